#!/usr/bin/env bash
# Runs a Windows program under Wine in the project's private prefix: the x86_64 build under
# Debian's wine64, or with "--i686" first, the 32-bit product under the new-WoW64 Wine.
# "--server ARGS" runs that Wine's wineserver instead. The prefix lives in the build tree and is
# created on first use; the user's ~/.wine is never touched. Used as the cross-compiling
# emulator for tests and by the end-to-end tests.
# "--test" (after "--i686", if any) runs a test that ctest reads through a pipe: Wine gives every
# process it starts the Unix standard error of the process that started it, so a Wine process the
# test leaves behind keeps ctest's pipe open, and ctest waits for it until the test's time limit.
# One such process is the console host Wine starts for a child created without a window (the
# Verify probe) when the child is ended while it is still starting: it never ends. Once the test
# has ended, the Wine processes of this prefix that still hold its output are ended, each named
# in PREFIX-left-behind.log beside the prefix.
set -eu
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
# shellcheck source=wine-env.sh
. "$root/scripts/wine-env.sh"
build=x86_64
if [ "${1:-}" = "--i686" ]; then build=i686; shift; fi
kiv_wine_env "$build"
export WINEDEBUG="${WINEDEBUG:--all}"
export WINEDLLOVERRIDES="${WINEDLLOVERRIDES:-mscoree,mshtml=}"
unset http_proxy https_proxy ftp_proxy no_proxy HTTP_PROXY HTTPS_PROXY FTP_PROXY NO_PROXY
if [ "${1:-}" = "--server" ]; then shift; exec "$KIV_WINESERVER" "$@"; fi
test_run=false
if [ "${1:-}" = "--test" ]; then test_run=true; shift; fi
if [ ! -f "$WINEPREFIX/system.reg" ]; then
  mkdir -p "$WINEPREFIX"
  "$KIV_WINE" wineboot -i >/dev/null 2>&1 || true
  "$KIV_WINESERVER" -w
fi
if $test_run; then
  # The watcher holds none of the test's output itself; it waits for this process, which
  # becomes the test program below.
  outputs=()
  for fd in 1 2; do
    target=$(readlink "/proc/$$/fd/$fd" || :)
    case "$target" in pipe:*) ;; *) continue ;; esac
    [ ${#outputs[@]} -gt 0 ] && [ "${outputs[0]}" = "$target" ] && continue
    outputs+=("$target")
  done
  if [ ${#outputs[@]} -gt 0 ]; then
    "$root/scripts/wine-left-behind.sh" "$$" "${1:-}" "${outputs[@]}" </dev/null >/dev/null 2>&1 &
  fi
fi
exec "$KIV_WINE" "$@"
