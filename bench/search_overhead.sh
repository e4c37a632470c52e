#!/usr/bin/env bash
# Search cost: a launch that searches 40 registered VMs (20 in each registry view) and 30
# PATH folders (6 of them holding a java.exe), against the launch of a VM named by KIV_VM, in
# one run under Wine. Prints the median of each and the ratio (target: at most 1.5).
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
runs=${1:-30}
cd "$root"
cmake --preset x86_64 >/dev/null
cmake --build --preset x86_64 --target Tarrow LaunchBench standin_plain standin_sun_1_8_0_151 >/dev/null

work="$root/build/bench-search"
rm -rf "$work" && mkdir -p "$work/app"
cp build/x86_64/bin/Tarrow.exe "$work/app/"
cp build/x86_64/bench/LaunchBench.exe "$work/"
cat >"$work/app/Tarrow.kiv" <<KIV
kiv.nl.java.launcher.main.class=bench.Main
kiv.class.path=lib\\bench.jar
kiv.nl.valid.vm.list=JRE_1.8* ALL
KIV
win() { echo "Z:${1//\//\\}"; }
export WINEPREFIX="${KIV_WINEPREFIX:-$root/build/wineprefix}" WINEDEBUG=-all

reg="$work/keys.reg"
{
  printf 'REGEDIT4\r\n\r\n'
  for view in "SOFTWARE" "SOFTWARE\\Wow6432Node"; do
    printf '[-HKEY_LOCAL_MACHINE\\%s\\JavaSoft]\r\n\r\n' "$view"
  done
  for i in $(seq 1 40); do
    view="SOFTWARE"; [ $((i % 2)) -eq 0 ] && view="SOFTWARE\\Wow6432Node"
    home="$work/vms/vm$i"
    mkdir -p "$home/bin"
    cp build/x86_64/standins/standin_plain.exe "$home/bin/java.exe"
    printf '[HKEY_LOCAL_MACHINE\\%s\\JavaSoft\\Java Runtime Environment\\1.%d.0_%d]\r\n' "$view" $((i % 8 + 2)) "$i"
    printf '"JavaHome"="%s"\r\n"MicroVersion"="0"\r\n\r\n' "$(win "$home" | sed 's/\\/\\\\/g')"
  done
} >"$reg"
scripts/wine-run.sh regedit /S "$(win "$reg")"

path_dirs=""
for i in $(seq 1 30); do
  dir="$work/path/dir$i"
  mkdir -p "$dir"
  [ $((i % 5)) -eq 0 ] && cp build/x86_64/standins/standin_sun_1_8_0_151.exe "$dir/java.exe"
  path_dirs="$path_dirs;$(win "$dir")"
done
named=$(win "$work/vms/vm1/bin/java.exe")

WINEPATH="${path_dirs#;}" scripts/wine-run.sh "$(win "$work/LaunchBench.exe")" "$runs" \
  "\"$(win "$work/app/Tarrow.exe")\" KIV_VM $named" \
  "\"$(win "$work/app/Tarrow.exe")\""

{
  printf 'REGEDIT4\r\n\r\n'
  for view in "SOFTWARE" "SOFTWARE\\Wow6432Node"; do
    printf '[-HKEY_LOCAL_MACHINE\\%s\\JavaSoft]\r\n\r\n' "$view"
  done
} >"$reg"
scripts/wine-run.sh regedit /S "$(win "$reg")"
