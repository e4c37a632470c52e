#!/usr/bin/env bash
# Builds the three presets and runs every test: the native logic tests (with sanitizers and a
# short fuzzing run), the checks of the 32-bit product binaries, and the 64-bit build's tests
# under Wine. Ends with one summary line "N passed, N failed".
set -uo pipefail

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
cd "$root"
export WINEPREFIX="${KIV_WINEPREFIX:-$root/build/wineprefix}"
export WINEDEBUG=-all
unset http_proxy https_proxy ftp_proxy no_proxy HTTP_PROXY HTTPS_PROXY FTP_PROXY NO_PROXY

# A failed configure or build ends the run at once with the tool's own messages: stale
# binaries from an earlier build are never tested.
mkdir -p build
for preset in host i686 x86_64; do
  echo "== build $preset"
  log="build/build-$preset.log"
  if ! cmake --preset "$preset" >"$log" 2>&1; then
    cat "$log"; echo "test: configuring preset $preset failed" >&2; exit 1
  fi
  if ! cmake --build --preset "$preset" >>"$log" 2>&1; then
    cat "$log"; echo "test: building preset $preset failed" >&2; exit 1
  fi
  grep -E 'warning|error' "$log" || :
done

# One private prefix and one persistent server for all Windows tests. Wine's background
# services start with the first program run and inherit its output handles, so that run
# discards its output: no test's pipe is then held open by them.
scripts/wine-run.sh cmd /c exit >/dev/null 2>&1 || true
/usr/lib/wine/wineserver -k >/dev/null 2>&1 || true
/usr/lib/wine/wineserver -w
/usr/lib/wine/wineserver -p
scripts/wine-run.sh cmd /c exit </dev/null >/dev/null 2>&1 || true
trap '/usr/lib/wine/wineserver -k >/dev/null 2>&1; /usr/lib/wine/wineserver -w' EXIT

passed=0
failed=0
for preset in host i686 x86_64; do
  echo "== tests $preset"
  log=$(mktemp)
  ctest --preset "$preset" --output-on-failure 2>&1 | tee "$log"
  summary=$(grep -E '^[0-9]+% tests passed, [0-9]+ tests? failed out of [0-9]+' "$log" | tail -n 1)
  if [ -z "$summary" ]; then
    failed=$((failed + 1))
  else
    total=$(sed -E 's/.* out of ([0-9]+).*/\1/' <<<"$summary")
    bad=$(sed -E 's/.*passed, ([0-9]+) tests? failed.*/\1/' <<<"$summary")
    passed=$((passed + total - bad))
    failed=$((failed + bad))
  fi
  rm -f "$log"
done

echo "$passed passed, $failed failed"
[ "$failed" -eq 0 ]
