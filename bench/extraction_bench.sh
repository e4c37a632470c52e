#!/usr/bin/env bash
# VM pack extraction against `unzip -q`, side by side, in one run: a pack made from the host's
# JDK tree (its vm.zip stored, as packs are made) is installed by extractVmPack under Wine and its
# vm.zip unpacked by native `unzip -q`, round after round (nothing downloaded). Each round prints
# both times and their ratio (target at most 0.6). With BASELINE set to an earlier build's
# vmpack_tool.exe, each round times that one too, so that before and after share the machine's
# load. Wine's start-up (about 0.1 s) is included in every Wine figure.
#   bench/extraction_bench.sh [JDK] [ROUNDS]
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
cd "$root"
jdk=${1:-/usr/lib/jvm/java-17-openjdk-amd64}
rounds=${2:-3}
cmake --preset x86_64 >/dev/null
cmake --build --preset x86_64 --target vmpack_tool >/dev/null
export WINEPREFIX="${KIV_WINEPREFIX:-$root/build/wineprefix}" WINEDEBUG=-all

work="$root/build/bench-extraction"
rm -rf "$work" && mkdir -p "$work"
(cd "$jdk/.." && zip -qr "$work/vm.zip" "$(basename "$jdk")")
(cd "$work" && echo "vendor=bench" > vm.properties && zip -q0 pack.vm vm.zip vm.properties)
win() { echo "Z:${1//\//\\}"; }
now() { date +%s.%N; }
tool="$root/build/x86_64/bin/vmpack_tool.exe"

# A server that stays 600 s for the prefix; when one already runs, this one exits at once and
# the running one is used and left alone. Only the server started here is ended.
/usr/lib/wine/wineserver -f -p600 </dev/null >/dev/null 2>&1 &
wineserver_pid=$!
finish() {
  if kill -0 "$wineserver_pid" 2>/dev/null; then
    /usr/lib/wine/wineserver -k </dev/null >/dev/null 2>&1 || true
    wait "$wineserver_pid" 2>/dev/null || true
  fi
  rm -rf "$work"
}
trap finish EXIT
/usr/lib/wine/wine64 cmd /c exit </dev/null >/dev/null 2>&1 || true

# Seconds one extraction by the given tool takes; the target is emptied first, outside the time,
# and the disk's pending writes are flushed, so that no run pays for the writes of the one before.
extract() {
  rm -rf "$work/target" "$work/downloadIntermediary"
  sync
  local t0 t1
  t0=$(now)
  /usr/lib/wine/wine64 "$(win "$1")" extract "$(win "$work/pack.vm")" "$(win "$work/target")\\" \
    </dev/null >/dev/null
  t1=$(now)
  [ -f "$work/target/$(basename "$jdk")/lib/modules" ] || { echo "no VM extracted" >&2; exit 1; }
  python3 -c "print(f'{$t1 - $t0:.3f}')"
}
unzipped() {
  rm -rf "$work/unzip-target"
  sync
  local t0 t1
  t0=$(now); unzip -q "$work/vm.zip" -d "$work/unzip-target"; t1=$(now)
  python3 -c "print(f'{$t1 - $t0:.3f}')"
}

echo "pack $(($(stat -c %s "$work/pack.vm") / 1000000)) MB, $(nproc) processors"
for round in $(seq "$rounds"); do
  after=$(extract "$tool"); native=$(unzipped)
  line="round $round: extract $after s  unzip $native s  ratio $(python3 -c "print(f'{$after / $native:.2f}')") (target <= 0.6)"
  if [ -n "${BASELINE:-}" ]; then
    before=$(extract "$BASELINE")
    line+="  before $before s  ratio $(python3 -c "print(f'{$before / $native:.2f}')")"
  fi
  echo "$line"
done
