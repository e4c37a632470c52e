#!/usr/bin/env bash
# Runs a Windows program under Wine in the project's private prefix: the x86_64 build under
# Debian's wine64, or with "--i686" first, the 32-bit product under the new-WoW64 Wine.
# "--server ARGS" runs that Wine's wineserver instead. The prefix lives in the build tree and is
# created on first use; the user's ~/.wine is never touched. Used as the cross-compiling
# emulator for tests and by the end-to-end tests.
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
if [ ! -f "$WINEPREFIX/system.reg" ]; then
  mkdir -p "$WINEPREFIX"
  "$KIV_WINE" wineboot -i >/dev/null 2>&1 || true
  "$KIV_WINESERVER" -w
fi
exec "$KIV_WINE" "$@"
