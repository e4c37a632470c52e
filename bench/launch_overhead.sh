#!/usr/bin/env bash
# Launch overhead: Tarrow.exe starting the stand-in VM named by KIV_VM, against a minimal
# launcher of ours (CreateProcess and wait) starting the same VM, in one run under Wine.
# Prints the median of each with its quartiles, and the ratio to the first; where the
# quartiles lie far apart, Wine itself is timing unevenly and one ratio says little. A second
# baseline is the minimal launcher that also reads the Ctrl key: under Wine, loading the
# user-interface library for that one call costs about as much as a process start. A third also
# creates a file in the temporary folder (GetTempFileNameW), hands its path on and deletes it,
# as every launch does with its information file: under Wine, creating a new name reads the
# whole folder, so with many files there this is the floor of any such launcher. Tarrow comes
# last, with its paired ratios against each baseline: the median of the round-by-round ratios,
# which stays steady on a machine whose speed drifts during the run. Target: Tarrow at most 1.03
# times the second baseline, also with BENCH_TEMP_FILES=20000.
# Every program runs as shipped, stripped of its debugging sections. Wine's server and every
# program run on one CPU where taskset is at hand: on a virtual machine, waking a process on an
# idle CPU can take tens of milliseconds, which then lands at random in one command's time.
#   BENCH_CPUS=all                leaves the processes on every CPU
#   BENCH_TEMP_FILES=20000        that many other programs' files in the temporary folder during
#                                 the run (removed after it), as a user's folder often holds:
#                                 each launch creates its information file there, and the sweep
#                                 of leftovers lists the folder at most once a day
#   BENCH_TARROW=PATH             another Tarrow.exe to time (an earlier build, for comparison)
#   BENCH_BUILD=x86_64 (default)  the 64-bit build under Debian's wine64
#   BENCH_BUILD=i686              the 32-bit product and 32-bit baselines under the WoW64 Wine;
#                                 on a machine that refuses 32-bit code, inside the emulated
#                                 machine (scripts/emulated-machine.sh), which the output says
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
runs=${1:-40}
build=${BENCH_BUILD:-x86_64}
cd "$root"
flag_early=(); [ "$build" = i686 ] && flag_early=(--i686)
case "$build" in
  x86_64) way=wine64 ;;
  i686)
    way=native
    if wine=$(scripts/wow64-wine.sh 2>/dev/null); then
      export KIV_I686_WINE=$wine
      echo "== i686 under $wine, natively"
    else
      export KIV_I686_WINE=${KIV_WOW64_WINE:-$root/.cache/wine-wow64/bin/wine}
      way=emulated
      echo "== i686 under $KIV_I686_WINE in the emulated machine: this machine refuses 32-bit" \
           "code, and emulation changes what each call costs, so the ratios say less here"
    fi ;;
  *) echo "launch_overhead: BENCH_BUILD is x86_64 or i686, not \"$build\"" >&2; exit 2 ;;
esac
# The i686 stand-in VM is part of the i686 tests, which this machine then runs.
configure=()
[ "$build" = i686 ] && configure=(-DKIV_I686_RUN=ON)
cmake --preset "$build" "${configure[@]}" >/dev/null
cmake --build --preset "$build" --target Tarrow LaunchBench MinimalLauncher MinimalLauncherCtrl \
  MinimalLauncherCtrlTemp standin_plain >/dev/null

work="$root/build/bench-launch-$build"
rm -rf "$work" && mkdir -p "$work/app/lib" "$work/vm/bin"
strip=$build-w64-mingw32-strip
"$strip" -o "$work/app/Tarrow.exe" "${BENCH_TARROW:-build/$build/bin/Tarrow.exe}"
"$strip" -o "$work/vm/bin/java.exe" "build/$build/standins/standin_plain.exe"
for program in "build/$build"/bench/*.exe; do
  "$strip" -o "$work/$(basename "$program")" "$program"
done
cat >"$work/app/Tarrow.kiv" <<KIV
kiv.nl.java.launcher.main.class=bench.Main
kiv.class.path=lib\\bench.jar
kiv.nl.valid.vm.list=ALL
KIV
win() { echo "Z:${1//\//\\}"; }
vm=$(win "$work/vm/bin/java.exe")
fill=${BENCH_TEMP_FILES:-0}
if [ "$fill" -gt 0 ]; then
  # shellcheck source=../scripts/wine-env.sh
  . scripts/wine-env.sh && kiv_wine_env "$build"
  scripts/wine-run.sh "${flag_early[@]}" cmd /c exit </dev/null >/dev/null 2>&1 || true
  temp=$(find "$WINEPREFIX/drive_c/users" -maxdepth 4 -type d -name Temp | head -n1)
  mkdir -p "$temp/bench-fill" # made beside, then moved in at once, and removed after the run
  python3 -c 'import sys; [open(f"{sys.argv[1]}/fill{i:05d}.tmp", "w").close() for i in range(int(sys.argv[2]))]' \
    "$temp/bench-fill" "$fill"
  find "$temp/bench-fill" -name 'fill*.tmp' -exec mv -t "$temp" {} +
  rmdir "$temp/bench-fill"
  trap 'find "$temp" -maxdepth 1 -name "fill?????.tmp" -delete' EXIT
  echo "== $fill other files in the temporary folder $temp"
fi
# Every launch leaves its VM information file in the temporary folder, and Wine reads the whole
# folder to create a file in it: the benchmark removes them after each run, so that every
# launch creates its file in the same folder rather than one that grows during the benchmark.
bench=("$(win "$work/LaunchBench.exe")" "$runs" --remove "%TEMP%\\kiv*.tmp"
       "\"$(win "$work/MinimalLauncher.exe")\" $vm"
       "\"$(win "$work/MinimalLauncherCtrl.exe")\" $vm"
       "\"$(win "$work/MinimalLauncherCtrlTemp.exe")\" $vm"
       "\"$(win "$work/app/Tarrow.exe")\" KIV_VM $vm")
# Wine's server and background services start afresh, first with their output discarded, so
# that they never hold the benchmark's output open and run where the benchmark runs. The
# information files that earlier runs and tests left are removed first.
flag=(); [ "$way" = wine64 ] || flag=(--i686)
cat >"$work/run.sh" <<'RUN'
cd "$1" && shift
flag=(); [ "$1" = --i686 ] && flag=(--i686); shift
scripts/wine-run.sh "${flag[@]}" --server -k >/dev/null 2>&1
scripts/wine-run.sh "${flag[@]}" cmd /c del /q "%TEMP%\\kiv*.tmp" </dev/null >/dev/null 2>&1
scripts/wine-run.sh "${flag[@]}" "$@"
rc=$?
scripts/wine-run.sh "${flag[@]}" --server -k >/dev/null 2>&1
exit $rc
RUN
if [ "$way" = emulated ]; then
  scripts/emulated-machine.sh bash "$work/run.sh" "$root" --i686 "${bench[@]}"
  exit
fi
pin=()
if [ "${BENCH_CPUS:-one}" != all ] && command -v taskset >/dev/null; then
  cpu=$(taskset -pc $$ | sed 's/.*: *//; s/[,-].*//')
  pin=(taskset -c "$cpu")
  echo "== every process on CPU $cpu (BENCH_CPUS=all leaves them on every CPU)"
fi
"${pin[@]}" bash "$work/run.sh" "$root" "${flag[@]:---x86_64}" "${bench[@]}"
