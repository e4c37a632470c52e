#!/usr/bin/env bash
# Started by scripts/wine-run.sh --test beside a test program (with no output of its own):
#   wine-left-behind.sh PID PROGRAM OUTPUT...
# waits until process PID (the test) has ended, then ends every Wine process of $WINEPREFIX whose
# standard output or error is still one of the OUTPUTs (the test's pipes, as /proc names them:
# "pipe:[N]"), and appends one line per process ended to PREFIX-left-behind.log beside the
# prefix (one log per prefix: the two builds' suites may run at once).
set -u
pid=$1 program=$2
shift 2
holds_output() {
  local fd target output
  for fd in 1 2; do
    target=$(readlink "$1/fd/$fd" 2>/dev/null) || continue
    for output in "${outputs[@]}"; do [ "$target" = "$output" ] && return 0; done
  done
  return 1
}
outputs=("$@")
log="$WINEPREFIX-left-behind.log"
# The test has ended once its process is gone or a zombie ctest has yet to collect.
while [ -e "/proc/$pid" ] && [ "$(sed -n 's/^State:[[:space:]]*\([A-Z]\).*/\1/p' "/proc/$pid/status" 2>/dev/null)" != Z ]; do
  sleep 1
done
# Ends the holders found in one look at every process; says whether there was any.
end_holders() {
  local entry other name found=1
  for entry in /proc/[0-9]*; do
    other=${entry#/proc/}
    [ "$other" = "$$" ] && continue
    holds_output "$entry" || continue
    tr '\0' '\n' <"$entry/environ" 2>/dev/null | grep -qxF "WINEPREFIX=$WINEPREFIX" || continue
    name=$(tr '\0' ' ' <"$entry/cmdline" 2>/dev/null | sed 's/ *$//')
    kill -KILL "$other" 2>/dev/null || continue
    echo "$(date '+%F %T') ended \"$name\" (pid $other), left holding the output of $program" >>"$log"
    found=0
  done
  return $found
}
# A holder may still be starting one of its own during the first look: look again until a look
# finds none (ten looks at most).
for _ in 1 2 3 4 5 6 7 8 9 10; do
  end_holders || break
  sleep 1
done
exit 0
