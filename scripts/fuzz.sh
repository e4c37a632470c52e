#!/usr/bin/env bash
# Runs every fuzz target of the host build for SECONDS each (default 600), two at a time, each
# on a scratch copy of its seed corpus, and prints runs, covered edges and corpus size per
# target. A finding (crash or broken property) is saved under build/host/fuzz-long/ and makes
# the script exit non-zero; add its input to tests/fuzz/corpus/<target>/ once it is fixed.
#   scripts/fuzz.sh [SECONDS]
set -uo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
seconds=${1:-600}
cd "$root"
cmake --preset host >/dev/null && cmake --build --preset host >/dev/null || exit 1
out="$root/build/host/fuzz-long"
rm -rf "$out" && mkdir -p "$out"

run_target() {
  local target=$1 work="$out/$1"
  mkdir -p "$work/corpus"
  (cd "$work" && "$root/build/host/tests/fuzz/fuzz_$target" -max_total_time="$seconds" \
     -max_len=4096 -print_final_stats=1 "$work/corpus" "$root/tests/fuzz/corpus/$target" \
     >"$work/log" 2>&1)
  echo $? >"$work/status"
}

targets=$(ls "$root/tests/fuzz/corpus")
printf '%s\n' $targets | xargs -P 2 -I{} bash -c "$(declare -f run_target); out='$out' \
  root='$root' seconds='$seconds' run_target {}"

status=0
printf '%-15s %12s %8s %8s  %s\n' target runs edges corpus result
for target in $targets; do
  log="$out/$target/log"
  runs=$(sed -nE 's/^stat::number_of_executed_units: *([0-9]+)/\1/p' "$log" | tail -n 1)
  edges=$(grep -E ' cov: [0-9]+' "$log" | tail -n 1 | sed -nE 's/.* cov: ([0-9]+).*/\1/p')
  corpus=$(ls "$out/$target/corpus" | wc -l)
  result=ok
  if [ "$(cat "$out/$target/status")" != 0 ]; then result="FINDING (see $log)"; status=1; fi
  printf '%-15s %12s %8s %8s  %s\n' "$target" "${runs:-?}" "${edges:-?}" "$corpus" "$result"
done
exit $status
