#!/usr/bin/env bash
# Prints the path of a Wine program that runs 32-bit Windows programs on this machine (Wine's
# "new WoW64" mode), looked up in this order:
#   1. $KIV_WOW64_WINE, the path of such a wine program;
#   2. the project's unpacked copy of ../shared/wine-wow64.tar.xz (.cache/wine-wow64, made by
#      scripts/setup.sh; scripts/build-wine-wow64.sh builds the same from Debian's sources);
#   3. the system's wine.
# A candidate counts only if it really runs a 32-bit test program here: some machines (some
# virtual machines among them) refuse 32-bit code altogether. The verdict is kept in .cache.
# Exits with 1 and the reason on standard error when there is none.
set -uo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
probe="$root/.cache/wow64-probe"

candidates=()
[ -n "${KIV_WOW64_WINE:-}" ] && candidates+=("$KIV_WOW64_WINE")
candidates+=("$root/.cache/wine-wow64/bin/wine")
system=$(command -v wine 2>/dev/null) && candidates+=("$system")

# Runs a 32-bit program that exits with 32 under `wine` in a throwaway prefix.
runs_32_bit_code() {
  local wine=$1 server
  command -v i686-w64-mingw32-gcc >/dev/null || return 1
  mkdir -p "$probe"
  printf 'int main(void){return sizeof(void*)==4?32:1;}\n' >"$probe/probe.c"
  [ -f "$probe/probe.exe" ] || i686-w64-mingw32-gcc -o "$probe/probe.exe" "$probe/probe.c" || return 1
  server="$(dirname "$wine")/wineserver"
  # A Wine that crashes on 32-bit code is reported by the shell that waits for it: that shell
  # is a subshell whose own error output is discarded.
  local code
  code=$( (WINEPREFIX="$probe/prefix" WINEDEBUG=-all timeout 180 "$wine" "$probe/probe.exe" \
    </dev/null >/dev/null 2>&1; echo $?) 2>/dev/null)
  [ -x "$server" ] && WINEPREFIX="$probe/prefix" "$server" -k >/dev/null 2>&1
  rm -rf "$probe/prefix"
  [ "$code" -eq 32 ]
}

reasons=()
for wine in "${candidates[@]}"; do
  [ -x "$wine" ] || { [ "$wine" = "${KIV_WOW64_WINE:-}" ] && reasons+=("$wine is not a program"); continue; }
  verdict_file="$probe/verdict"
  if [ -f "$verdict_file" ] && grep -qxF "ok $wine" "$verdict_file"; then echo "$wine"; exit 0; fi
  if [ -f "$verdict_file" ] && grep -qxF "no $wine" "$verdict_file"; then
    reasons+=("$wine does not run 32-bit code on this machine"); continue
  fi
  if runs_32_bit_code "$wine"; then
    echo "ok $wine" >>"$verdict_file"; echo "$wine"; exit 0
  fi
  echo "no $wine" >>"$verdict_file"
  reasons+=("$wine does not run 32-bit code on this machine")
done
[ ${#reasons[@]} -eq 0 ] && reasons+=("no WoW64 Wine found")
echo "$(IFS=';'; echo "${reasons[*]}") (set KIV_WOW64_WINE, place wine-wow64.tar.xz in ../shared" \
     "and run scripts/setup.sh, or build one with scripts/build-wine-wow64.sh)" >&2
exit 1
