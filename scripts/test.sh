#!/usr/bin/env bash
# Builds the three presets and runs every test: the native logic tests (with sanitizers and a
# short fuzzing run), the 32-bit product (its binaries read, and its Windows tests run under a
# new-WoW64 Wine) and the 64-bit build's Windows tests under Debian's wine64. Ends with one
# summary line "N passed, N failed", followed by ", N retried (...)" naming each test group that
# failed at first and passed when run again.
# KIV_I686 says where the 32-bit product's Windows tests run:
#   auto      natively where this machine runs 32-bit code, else in the emulated machine
#             (scripts/emulated-machine.sh), else skipped with one line saying why (default)
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
    else way=skip; skip_reason="$wow64_reason; no emulated machine: $emulate_reason"; fi ;;
  native)
    [ -n "$native_wine" ] || { echo "test: KIV_I686=native, but $wow64_reason" >&2; exit 1; } ;;
  emulated)
    can_emulate || { echo "test: KIV_I686=emulated, but the emulated machine cannot start" >&2; exit 1; } ;;
  skip) skip_reason="KIV_I686=skip" ;;
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
  skip) echo "== the i686 product is only read, not run: $skip_reason" ;;
esac

# A failed configure or build ends the run at once with the tool's own messages: stale
# binaries from an earlier build are never tested.
mkdir -p build
for preset in host i686 x86_64; do
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
done

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
trap stop_server EXIT
# Wine processes the Windows tests leave behind holding their output are ended and named here
# (scripts/wine-run.sh --test); the i686 suite prints and removes its own.
left_behind=build/wine-left-behind.log
rm -f "$left_behind"

# The test groups of a ctest log that failed and then passed when run again: ctest prints one
# result line per attempt.
retried_groups() {
  sed -nE 's/^ *([0-9]+\/[0-9]+ )?Test +#[0-9]+: ([^ ]+) \.+ *(\*\*\*)?([A-Za-z]+).*/\2 \4/p' "$1" |
    awk '$2 != "Passed" { failed[$1] = 1 } $2 == "Passed" && failed[$1] { print $1 }' | sort -u
}

passed=0
failed=0
retried=()
for preset in host i686 x86_64; do
  echo "== tests $preset"
  log=$(mktemp)
  case "$preset:$way" in
    i686:native) scripts/i686-tests.sh ;;
    # Under emulation, on a loaded machine, a test group can miss its time limits: one that
    # fails there runs once more before it counts, and the summary names it.
    i686:emulated) scripts/emulated-machine.sh scripts/i686-tests.sh --repeat until-pass:2 ;;
    *) ctest --preset "$preset" --output-on-failure ;;
  esac 2>&1 | tee "$log"
  status=${PIPESTATUS[0]}
  summary=$(grep -E '^[0-9]+% tests passed, [0-9]+ tests? failed out of [0-9]+' "$log" | tail -n 1)
  if [ -z "$summary" ]; then
    failed=$((failed + 1))
  else
    total=$(sed -E 's/.* out of ([0-9]+).*/\1/' <<<"$summary")
    bad=$(sed -E 's/.*passed, ([0-9]+) tests? failed.*/\1/' <<<"$summary")
    passed=$((passed + total - bad))
    failed=$((failed + bad))
    # A run that failed outside its tests (the emulated machine, the prefix) fails too.
    [ "$status" -ne 0 ] && [ "$bad" -eq 0 ] && failed=$((failed + 1))
  fi
  for group in $(retried_groups "$log"); do retried+=("$group of $preset"); done
  rm -f "$log"
done

if [ -s "$left_behind" ]; then
  echo "== Wine processes left behind by tests, ended once their test had ended:"
  cat "$left_behind"
fi
if [ ${#retried[@]} -gt 0 ]; then
  list=$(printf '%s, ' "${retried[@]}")
  echo "$passed passed, $failed failed, ${#retried[@]} retried (failed at first, passed when" \
       "run again: ${list%, })"
else
  echo "$passed passed, $failed failed"
fi
[ "$failed" -eq 0 ]
