#!/usr/bin/env bash
# Launch overhead: Tarrow.exe starting the stand-in VM named by KIV_VM, against a minimal
# launcher of ours (CreateProcess and wait) starting the same VM, in one run under Wine.
# Prints the median of each with its quartiles, and the ratio (target: at most 1.10); where the
# quartiles lie far apart, Wine itself is timing unevenly and one ratio says little. A third
# line compares with the minimal launcher that also reads the Ctrl key: under Wine, loading the
# user-interface library for that one call costs about as much as a process start.
#   BENCH_BUILD=x86_64 (default)  the 64-bit build under Debian's wine64
#   BENCH_BUILD=i686              the 32-bit product and 32-bit baselines under the WoW64 Wine;
#                                 on a machine that refuses 32-bit code, inside the emulated
#                                 machine (scripts/emulated-machine.sh), which the output says
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
runs=${1:-40}
build=${BENCH_BUILD:-x86_64}
cd "$root"
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
  standin_plain >/dev/null

work="$root/build/bench-launch-$build"
rm -rf "$work" && mkdir -p "$work/app/lib" "$work/vm/bin"
cp "build/$build/bin/Tarrow.exe" "$work/app/"
cp "build/$build/standins/standin_plain.exe" "$work/vm/bin/java.exe"
cp "build/$build"/bench/*.exe "$work/"
cat >"$work/app/Tarrow.kiv" <<KIV
kiv.nl.java.launcher.main.class=bench.Main
kiv.class.path=lib\\bench.jar
kiv.nl.valid.vm.list=ALL
KIV
win() { echo "Z:${1//\//\\}"; }
vm=$(win "$work/vm/bin/java.exe")
bench=("$(win "$work/LaunchBench.exe")" "$runs"
       "\"$(win "$work/MinimalLauncher.exe")\" $vm"
       "\"$(win "$work/app/Tarrow.exe")\" KIV_VM $vm"
       "\"$(win "$work/MinimalLauncherCtrl.exe")\" $vm")
if [ "$way" = wine64 ]; then
  scripts/wine-run.sh "${bench[@]}"
  exit
fi
# Wine's server and background services start first with their output discarded, so that they
# never hold the benchmark's output open.
cat >"$work/run-i686.sh" <<'RUN'
cd "$1" && shift
scripts/wine-run.sh --i686 cmd /c exit </dev/null >/dev/null 2>&1
scripts/wine-run.sh --i686 "$@"
rc=$?
scripts/wine-run.sh --i686 --server -k >/dev/null 2>&1
exit $rc
RUN
if [ "$way" = emulated ]; then
  scripts/emulated-machine.sh bash "$work/run-i686.sh" "$root" "${bench[@]}"
else
  bash "$work/run-i686.sh" "$root" "${bench[@]}"
fi
