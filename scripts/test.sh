#!/usr/bin/env bash
# Builds the three presets and runs every test: the native logic tests (with sanitizers and a
# short fuzzing run), the 32-bit product (its binaries read, and its Windows tests run under a
# new-WoW64 Wine) and the 64-bit build's Windows tests under Debian's wine64. The 32-bit Windows
# tests run in the background, at the same time as the other builds and their tests (niced in
# the emulated machine, whose time limits are stretched), into a log of their own that is
# printed once they end.
# Ends with one line per skipped test case and expected failure, "skipped: BUILD GROUP CASE:
# REASON", then the summary line "N passed, N failed, N skipped", counting test cases
# (scripts/test_report.py says how), after a line "retried: ..." naming each test group that
# failed at first and passed when run again, if any. A suite left out fails the run with a line saying
# why, unless the person running it chose that: KIV_I686=skip for the 32-bit Windows tests,
# KIV_LEAVE_OUT=script,java,xvfb for the end-to-end cases that need util-linux's script, a JDK
# or an X server.
# KIV_I686 says where the 32-bit product's Windows tests run:
#   auto      natively where this machine runs 32-bit code, else in the emulated machine
#             (scripts/emulated-machine.sh), else not at all, which fails the run (default)
#   native    natively; emulated: in the emulated machine; skip: not at all
set -uo pipefail

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
cd "$root"
export WINEDEBUG=-all
unset http_proxy https_proxy ftp_proxy no_proxy HTTP_PROXY HTTPS_PROXY FTP_PROXY NO_PROXY

# Where the i686 suite runs, decided before the build: its tests are registered only when it
# runs, and the emulated machine gives them more time.
way=${KIV_I686:-auto}
wow64_reason=""
left_out=""
native_wine=$(scripts/wow64-wine.sh 2>/tmp/kiv-wow64-reason.$$) || native_wine=""
wow64_reason=$(cat /tmp/kiv-wow64-reason.$$); rm -f /tmp/kiv-wow64-reason.$$
emulated_wine=${KIV_WOW64_WINE:-$root/.cache/wine-wow64/bin/wine}
can_emulate() {
  [ -x "$emulated_wine" ] || { echo "no WoW64 Wine at $emulated_wine" >&2; return 1; }
  scripts/emulated-machine.sh --check
}
case "$way" in
  auto)
    if [ -n "$native_wine" ]; then way=native
    elif emulate_reason=$(can_emulate 2>&1); then way=emulated
    else way=skip; left_out="$wow64_reason; no emulated machine: $emulate_reason"; fi ;;
  native)
    [ -n "$native_wine" ] || { echo "test: KIV_I686=native, but $wow64_reason" >&2; exit 1; } ;;
  emulated)
    can_emulate || { echo "test: KIV_I686=emulated, but the emulated machine cannot start" >&2; exit 1; } ;;
  skip) left_out="" ;;
  *) echo "test: KIV_I686 is auto, native, emulated or skip, not \"$way\"" >&2; exit 1 ;;
esac
i686_options=(-DKIV_I686_RUN=OFF -DKIV_TEST_TIME_SCALE=1)
case "$way" in
  native)
    export KIV_I686_WINE=$native_wine
    i686_options=(-DKIV_I686_RUN=ON -DKIV_TEST_TIME_SCALE=1)
    echo "== the i686 product's Windows tests run natively under $native_wine" ;;
  emulated)
    export KIV_I686_WINE=$emulated_wine
    i686_options=(-DKIV_I686_RUN=ON -DKIV_TEST_TIME_SCALE=${KIV_EMULATED_TIME_SCALE:-12})
    echo "== the i686 product's Windows tests run in the emulated machine under $emulated_wine" \
         "(32-bit code does not run natively here: ${wow64_reason%% (set *})" ;;
  skip) echo "== the i686 product is only read, not run: ${left_out:-KIV_I686=skip}" ;;
esac
case "$way:$left_out" in
  skip:?*) echo "== a left-out suite fails the run: set KIV_I686=skip to leave it out on purpose" ;;
esac

# Each build's test results, read by scripts/test_report.py: never those of an earlier run.
results() { echo "$root/build/$1/test-results.xml"; }
# Sets results_options to the ctest options that write them, with every test's whole output.
results_options() {
  results_options=(--output-junit "$(results "$1")" --test-output-size-passed 4194304
                   --test-output-size-failed 4194304)
}

# The 32-bit Windows tests, started in the background once their build is done, in a session of
# their own so that they can be ended as one when this run ends early.
i686_log=build/i686-tests.log
i686_pid=""
start_i686() {
  local command
  rm -f "$(results i686)" "$i686_log"
  results_options i686
  case "$way" in
    native) command=(scripts/i686-tests.sh "${results_options[@]}") ;;
    # Under emulation, on a loaded machine, a test group can miss its time limits: one that
    # fails there runs once more before it counts, and the summary names it. The emulated
    # machine gives way to the native tests, whose time limits are not stretched.
    emulated) command=(nice -n 5 scripts/emulated-machine.sh scripts/i686-tests.sh
                       --repeat until-pass:2 "${results_options[@]}") ;;
  esac
  setsid "${command[@]}" </dev/null >"$i686_log" 2>&1 &
  i686_pid=$!
  echo "== tests i686 started in the background ($way); their output follows when they end"
}
stop_i686() {
  [ -n "$i686_pid" ] && kill -TERM -- "-$i686_pid" 2>/dev/null
  [ -n "$i686_pid" ] && wait "$i686_pid" 2>/dev/null
  i686_pid=""
}
trap stop_i686 EXIT
trap 'exit 130' INT TERM

# A failed configure or build ends the run at once with the tool's own messages: stale
# binaries from an earlier build are never tested.
mkdir -p build
for preset in i686 host x86_64; do
  echo "== build $preset"
  log="build/build-$preset.log"
  options=(); [ "$preset" = i686 ] && options=("${i686_options[@]}")
  if ! cmake --preset "$preset" "${options[@]}" >"$log" 2>&1; then
    cat "$log"; echo "test: configuring preset $preset failed" >&2; exit 1
  fi
  if ! cmake --build --preset "$preset" >>"$log" 2>&1; then
    cat "$log"; echo "test: building preset $preset failed" >&2; exit 1
  fi
  grep -E 'warning|error' "$log" || :
  if [ "$preset" = i686 ] && [ "$way" != skip ]; then start_i686; fi
done

# The X server for the windowed tests, started before the first Wine program (whose desktop
# process keeps the display it is given); a server that cannot start fails those tests, saying so.
# shellcheck source=x-server.sh
. "$root/scripts/x-server.sh"
trap 'stop_i686; kiv_stop_x' EXIT
kiv_start_x || unset DISPLAY

# One private prefix and one persistent server for Debian's wine64 (scripts/i686-tests.sh does
# the same for the i686 product's Wine). Wine's background services start with the first program
# run and inherit its output handles, so that run discards its output: no test's pipe is then
# held open by them.
scripts/wine-run.sh cmd /c exit </dev/null >/dev/null 2>&1 || true
scripts/wine-run.sh --server -k >/dev/null 2>&1 || true
scripts/wine-run.sh --server -w
scripts/wine-run.sh --server -p </dev/null >/dev/null 2>&1
scripts/wine-run.sh cmd /c exit </dev/null >/dev/null 2>&1 || true
stop_server() {
  scripts/wine-run.sh --server -k >/dev/null 2>&1
  scripts/wine-run.sh --server -w
}
trap 'stop_i686; stop_server; kiv_stop_x' EXIT
# Wine processes the Windows tests leave behind holding their output are ended and named here
# (scripts/wine-run.sh --test); the i686 suite prints and removes its own.
# shellcheck source=wine-env.sh
. "$root/scripts/wine-env.sh"
left_behind=$(kiv_wine_env x86_64 && echo "$WINEPREFIX-left-behind.log")
rm -f "$left_behind"

# The test groups of a ctest log that failed and then passed when run again: ctest prints one
# result line per attempt.
retried_groups() {
  sed -nE 's/^ *([0-9]+\/[0-9]+ )?Test +#[0-9]+: ([^ ]+) \.+ *(\*\*\*)?([A-Za-z]+).*/\2 \4/p' "$1" |
    awk '$2 != "Passed" { failed[$1] = 1 } $2 == "Passed" && failed[$1] { print $1 }' | sort -u
}

passed=0
failed=0
skipped=0
retried=()
notes=()
skip_lines=()
# Adds one build's results: its cases from the results file, its skip lines, and one failure
# more for a run that failed outside its tests (the emulated machine, the prefix).
count() {
  local preset=$1 status=$2 log=$3 line p=0 f=1 s=0 read_them=false group
  while IFS= read -r line; do
    case "$line" in
      "counts "*) read -r _ p f s <<<"$line"; read_them=true ;;
      skipped:*) skip_lines+=("$line") ;;
      *) notes+=("$line") ;;
    esac
  done < <(python3 scripts/test_report.py "$preset" "$(results "$preset")")
  $read_them || notes+=("failed: $preset: its test results could not be read")
  passed=$((passed + p)); failed=$((failed + f)); skipped=$((skipped + s))
  if [ "$status" -ne 0 ] && [ "$f" -eq 0 ]; then
    failed=$((failed + 1))
    notes+=("failed: $preset: the run failed outside its tests (exit status $status)")
  fi
  for group in $(retried_groups "$log"); do retried+=("$group of $preset"); done
}

for preset in host i686 x86_64; do
  [ "$preset" = i686 ] && [ "$way" != skip ] && continue
  echo "== tests $preset"
  log=$(mktemp)
  rm -f "$(results "$preset")"
  results_options "$preset"
  # The Windows groups share the machine with the emulated 32-bit suite: one that fails runs
  # once more before it counts, as there, and the summary names it.
  repeat=(); [ "$preset" = x86_64 ] && repeat=(--repeat until-pass:2)
  ctest --preset "$preset" --output-on-failure "${repeat[@]}" "${results_options[@]}" 2>&1 |
    tee "$log"
  count "$preset" "${PIPESTATUS[0]}" "$log"
  rm -f "$log"
done

if [ -s "$left_behind" ]; then
  echo "== Wine processes left behind by tests, ended once their test had ended:"
  cat "$left_behind"
fi

if [ -n "$i686_pid" ]; then
  echo "== tests i686 ($way, in the background)"
  wait "$i686_pid"
  status=$?
  i686_pid=""
  cat "$i686_log"
  count i686 "$status" "$i686_log"
elif [ "$way" = skip ] && [ -n "$left_out" ]; then
  failed=$((failed + 1))
  notes+=("failed: i686: the 32-bit product's Windows tests were left out: $left_out (KIV_I686=skip leaves them out on purpose)")
elif [ "$way" = skip ]; then
  skipped=$((skipped + 1))
  skip_lines+=("skipped: i686 Windows tests: left out by KIV_I686=skip")
fi

[ ${#notes[@]} -gt 0 ] && printf '%s\n' "${notes[@]}"
[ ${#skip_lines[@]} -gt 0 ] && printf '%s\n' "${skip_lines[@]}"
# The retried groups are named on a line of their own, so that the closing line is always just
# the counts.
if [ ${#retried[@]} -gt 0 ]; then
  list=$(printf '%s, ' "${retried[@]}")
  echo "retried: ${#retried[@]} (failed at first, passed when run again: ${list%, })"
fi
echo "$passed passed, $failed failed, $skipped skipped"
[ "$failed" -eq 0 ]
