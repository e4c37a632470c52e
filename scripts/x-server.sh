# Sourced by the test scripts: the X server (Debian's Xvfb) on which the Wine programs of a test
# run show their windows. It must run before the first Wine program of the run, since Wine's
# desktop process takes its display from the program that starts it.
#   kiv_start_x   starts Xvfb on a free display, exports DISPLAY and returns 0; returns 1 (the
#                 reason on standard error) when none can be started. Does nothing and returns
#                 0 when KIV_LEAVE_OUT names xvfb (the windowed tests then skip, saying so).
#   kiv_stop_x    ends the server this shell started, by its process id
kiv_x_pid=""
kiv_start_x() {
  case ",${KIV_LEAVE_OUT:-}," in *,xvfb,*) return 0 ;; esac
  command -v Xvfb >/dev/null || { echo "no Xvfb (Debian package xvfb)" >&2; return 1; }
  local numbers tries=0
  numbers=$(mktemp)
  # Xvfb picks a free display itself and writes its number once it accepts connections.
  Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$numbers" </dev/null >/dev/null 2>&1 &
  kiv_x_pid=$!
  until [ -s "$numbers" ]; do
    if ! kill -0 "$kiv_x_pid" 2>/dev/null || [ "$tries" -ge 600 ]; then
      echo "Xvfb did not start" >&2; kiv_stop_x; rm -f "$numbers"; return 1
    fi
    tries=$((tries + 1)); sleep 0.1
  done
  DISPLAY=":$(head -n 1 "$numbers")"
  export DISPLAY
  rm -f "$numbers"
}
kiv_stop_x() {
  [ -n "$kiv_x_pid" ] || return 0
  kill "$kiv_x_pid" 2>/dev/null
  wait "$kiv_x_pid" 2>/dev/null
  kiv_x_pid=""
}
