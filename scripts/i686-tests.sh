#!/usr/bin/env bash
# Runs the 32-bit product's test suite (ctest --preset i686) on a machine that runs 32-bit
# code: natively, or inside the emulated machine (scripts/test.sh says which). The prefix is
# created once and kept in the build tree; a newly created prefix is also kept, as made, in
# $KIV_I686_PREFIX_CACHE (default .cache/i686-prefix, one copy per Wine version), from which a
# later build tree's prefix is unpacked instead of being created again (minutes under
# emulation); a kept copy that gives a prefix Wine cannot load is dropped. Before the suite, a 32-bit program
# must run in it,
# so that a machine that refuses 32-bit code fails here in one line, not in every test. A prefix
# Wine cannot load (a registry file cut short when a run was switched off) is made afresh, saying
# so. Wine's server and background services start with their output discarded, so that they
# never hold a test's pipes open; Wine is shut down (its registry written) when the suite ends or
# is stopped. Prints ctest's output and returns its exit status.
set -uo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
cd "$root"
export WINEDEBUG=-all
unset http_proxy https_proxy ftp_proxy no_proxy HTTP_PROXY HTTPS_PROXY FTP_PROXY NO_PROXY
# shellcheck source=wine-env.sh
. "$root/scripts/wine-env.sh"
kiv_wine_env i686 || exit 1

stop_wine() {
  "$KIV_WINESERVER" -k >/dev/null 2>&1
  "$KIV_WINESERVER" -w
}
# The X server for the windowed tests, started before the first Wine program (whose desktop
# process keeps the display it is given); a server that cannot start fails those tests, saying so.
# shellcheck source=x-server.sh
. "$root/scripts/x-server.sh"
trap 'stop_wine; kiv_stop_x; exit 143' TERM
trap 'stop_wine; kiv_stop_x; exit 130' INT
trap 'kiv_stop_x' EXIT
kiv_start_x || unset DISPLAY

start=$SECONDS
left_behind="$WINEPREFIX-left-behind.log"
rm -f "$left_behind"
wine_version=$("$KIV_WINE" --version 2>/dev/null | head -n 1 | tr -c 'A-Za-z0-9.\n-' _)
prefix_cache=""
[ -n "$wine_version" ] &&
  prefix_cache="${KIV_I686_PREFIX_CACHE:-$root/.cache/i686-prefix}/$wine_version.tar"
make_prefix() {
  mkdir -p "$WINEPREFIX" && : >"$WINEPREFIX/$kiv_prefix_unfinished"
  if [ -n "$prefix_cache" ] && [ -f "$prefix_cache" ] && tar -xf "$prefix_cache" -C "$WINEPREFIX"; then
    rm -f "$WINEPREFIX/$kiv_prefix_unfinished"
    echo "== the i686 prefix $WINEPREFIX unpacked from $prefix_cache in $((SECONDS - start)) s"
    return
  fi
  echo "== creating the i686 prefix $WINEPREFIX"
  scripts/wine-run.sh --i686 cmd /c exit </dev/null >/dev/null 2>&1
  stop_wine
  rm -f "$WINEPREFIX/$kiv_prefix_unfinished"
  echo "== prefix created in $((SECONDS - start)) s"
  # Kept only when Wine can load it, written under another name first: a copy cut short is
  # never taken for a whole one.
  if [ -n "$prefix_cache" ] && ! kiv_prefix_damage >/dev/null && mkdir -p "$(dirname "$prefix_cache")" &&
     tar -cf "$prefix_cache.$$" -C "$WINEPREFIX" . && mv "$prefix_cache.$$" "$prefix_cache"; then
    echo "== prefix kept in $prefix_cache"
  else
    rm -f "$prefix_cache.$$"
  fi
}
remake_prefix() {
  echo "== the i686 prefix $WINEPREFIX cannot be loaded by Wine ($1): it is made afresh"
  stop_wine
  rm -rf "$WINEPREFIX"
  [ -n "$prefix_cache" ] && rm -f "$prefix_cache"
  make_prefix
}
start_wine() {
  stop_wine
  "$KIV_WINESERVER" -p </dev/null >/dev/null 2>&1
  scripts/wine-run.sh --i686 cmd /c exit </dev/null >/dev/null 2>&1
}
# Runs a check program that exits with 32 (32-bit) or 64 (64-bit) in the prefix; its exit status.
check_program() {
  local bits=$1 compiler=$2 probe
  probe="$(dirname "$WINEPREFIX")/wow64-check"
  mkdir -p "$probe"
  [ -f "$probe/check$bits.exe" ] || {
    printf 'int main(void){return (int)sizeof(void*)*8;}\n' >"$probe/check.c" &&
      "$compiler" -o "$probe/check$bits.exe" "$probe/check.c"
  } || return 1
  scripts/wine-run.sh --i686 "$probe/check$bits.exe" </dev/null >/dev/null 2>&1
}

[ -e "$WINEPREFIX" ] || make_prefix
if damage=$(kiv_prefix_damage); then
  remake_prefix "$damage"
fi
start_wine
check_program 32 i686-w64-mingw32-gcc
code=$?
if [ "$code" -ne 32 ]; then
  # The prefix is to blame, not the machine, when a 64-bit program fails there too.
  check_program 64 x86_64-w64-mingw32-gcc
  if [ $? -ne 64 ]; then
    remake_prefix "a 64-bit program did not run in it either"
    start_wine
    check_program 32 i686-w64-mingw32-gcc
    code=$?
  fi
fi
if [ "$code" -ne 32 ]; then
  stop_wine
  echo "i686 tests: a 32-bit program did not run under $KIV_WINE here (exit status $code)"
  exit 1
fi

ctest --preset i686 --output-on-failure "$@"
rc=$?
stop_wine
if [ -s "$left_behind" ]; then
  echo "== Wine processes left behind by tests, ended once their test had ended:"
  cat "$left_behind"
  rm -f "$left_behind"
fi
echo "== the i686 suite took $((SECONDS - start)) s"
exit $rc
