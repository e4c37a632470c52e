# Sourced by the scripts that run Windows programs: the one place that says which Wine and
# which private prefix run which build. Debian's wine64 runs the x86_64 build; the i686 product
# runs under a Wine in new-WoW64 mode, in a prefix of its own: $KIV_I686_WINE when the test
# command has chosen it (scripts/test.sh, natively or for the emulated machine), else the one
# scripts/wow64-wine.sh finds.
#   kiv_wine_env BUILD   sets KIV_WINE, KIV_WINESERVER and WINEPREFIX for x86_64 or i686;
#                        returns 1 (reason on standard error) when that build cannot run here.
#   kiv_prefix_damage    prints why Wine cannot load the prefix $WINEPREFIX (its creation cut
#                        off, a registry file missing, empty or cut short, as a machine switched
#                        off while Wine wrote it leaves it) and returns 0; returns 1 when the
#                        prefix looks whole. A prefix being created holds the file named by
#                        kiv_prefix_unfinished until it is complete.
kiv_prefix_unfinished=.kiv-prefix-unfinished
kiv_wine_env() {
  local root
  root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
  case "$1" in
    i686)
      KIV_WINE=${KIV_I686_WINE:-}
      [ -n "$KIV_WINE" ] || KIV_WINE=$("$root/scripts/wow64-wine.sh") || return 1
      KIV_WINESERVER="$(dirname "$KIV_WINE")/wineserver"
      [ -x "$KIV_WINESERVER" ] || KIV_WINESERVER=/usr/lib/wine/wineserver
      WINEPREFIX="${KIV_WINEPREFIX_I686:-$root/build/wineprefix-wow64}"
      ;;
    *)
      KIV_WINE=/usr/lib/wine/wine64
      KIV_WINESERVER=/usr/lib/wine/wineserver
      WINEPREFIX="${KIV_WINEPREFIX:-$root/build/wineprefix}"
      ;;
  esac
  export KIV_WINE KIV_WINESERVER WINEPREFIX
}

kiv_prefix_damage() {
  local name file
  if [ -e "$WINEPREFIX/$kiv_prefix_unfinished" ]; then
    echo "its creation was cut off"
    return 0
  fi
  for name in system.reg user.reg userdef.reg; do
    file="$WINEPREFIX/$name"
    if [ ! -f "$file" ]; then
      echo "$name is missing"
    elif [ ! -s "$file" ]; then
      echo "$name is empty"
    elif [ "$(head -c 23 "$file")" != "WINE REGISTRY Version 2" ]; then
      echo "$name is not a Wine registry file"
    elif [ -n "$(tail -c 1 "$file")" ]; then
      echo "$name ends in the middle of a line"
    else
      continue
    fi
    return 0
  done
  return 1
}
