#!/usr/bin/env bash
# Builds the three presets and runs every test: the native logic tests (with sanitizers and a
# short fuzzing run), the 32-bit product (its binaries read, and its Windows tests run under a
# new-WoW64 Wine when the machine has one) and the 64-bit build's Windows tests under Debian's
# wine64. Ends with one summary line "N passed, N failed".
set -uo pipefail

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
cd "$root"
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

# One private prefix and one persistent server per Wine: Debian's wine64 for the x86_64 build,
# the new-WoW64 Wine for the i686 product. Wine's background services start with the first
# program run and inherit its output handles, so that run discards its output: no test's pipe
# is then held open by them.
servers=()
for build in x86_64 i686; do
  if [ "$build" = i686 ] && ! reason=$(scripts/wow64-wine.sh 2>&1 >/dev/null); then
    echo "== the i686 product is only read, not run: $reason"
    continue
  fi
  args=(); [ "$build" = i686 ] && args=(--i686)
  scripts/wine-run.sh "${args[@]}" cmd /c exit </dev/null >/dev/null 2>&1 || true
  scripts/wine-run.sh "${args[@]}" --server -k >/dev/null 2>&1 || true
  scripts/wine-run.sh "${args[@]}" --server -w
  scripts/wine-run.sh "${args[@]}" --server -p </dev/null >/dev/null 2>&1
  scripts/wine-run.sh "${args[@]}" cmd /c exit </dev/null >/dev/null 2>&1 || true
  servers+=("${args[*]}")
done
stop_servers() {
  for args in "${servers[@]}"; do
    # shellcheck disable=SC2086
    scripts/wine-run.sh $args --server -k >/dev/null 2>&1
    scripts/wine-run.sh $args --server -w
  done
}
trap stop_servers EXIT

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
