#!/usr/bin/env bash
# Runs the 32-bit product's test suite (ctest --preset i686) on a machine that runs 32-bit
# code: natively, or inside the emulated machine (scripts/test.sh says which). The prefix is
# created once and kept in the build tree; before the suite, a 32-bit program must run in it,
# so that a machine that refuses 32-bit code fails here in one line, not in every test. Wine's
# server and background services start with their output discarded, so that they never hold a
# test's pipes open. Prints ctest's output and returns its exit status.
set -uo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
cd "$root"
export WINEDEBUG=-all
unset http_proxy https_proxy ftp_proxy no_proxy HTTP_PROXY HTTPS_PROXY FTP_PROXY NO_PROXY
# shellcheck source=wine-env.sh
. "$root/scripts/wine-env.sh"
kiv_wine_env i686 || exit 1

start=$SECONDS
if [ ! -f "$WINEPREFIX/system.reg" ]; then
  echo "== creating the i686 prefix $WINEPREFIX"
  scripts/wine-run.sh --i686 cmd /c exit </dev/null >/dev/null 2>&1
  echo "== prefix created in $((SECONDS - start)) s"
fi
"$KIV_WINESERVER" -k >/dev/null 2>&1
"$KIV_WINESERVER" -w
"$KIV_WINESERVER" -p </dev/null >/dev/null 2>&1
scripts/wine-run.sh --i686 cmd /c exit </dev/null >/dev/null 2>&1

probe="$root/build/i686/wow64-check"
mkdir -p "$probe"
printf 'int main(void){return sizeof(void*)==4?32:1;}\n' >"$probe/check.c"
i686-w64-mingw32-gcc -o "$probe/check.exe" "$probe/check.c"
scripts/wine-run.sh --i686 "$probe/check.exe" </dev/null >/dev/null 2>&1
code=$?
if [ "$code" -ne 32 ]; then
  echo "i686 tests: a 32-bit program did not run under $KIV_WINE here (exit status $code)"
  exit 1
fi

ctest --preset i686 --output-on-failure "$@"
rc=$?
"$KIV_WINESERVER" -k >/dev/null 2>&1
"$KIV_WINESERVER" -w
echo "== the i686 suite took $((SECONDS - start)) s"
exit $rc
