#!/usr/bin/env bash
# VM pack throughput, in one run: a pack made from the host's JDK tree (about 260 MB unpacked)
# is extracted by extractVmPack under Wine and its inner archive by native `unzip -q`
# (target ratio at most 1.5); fileMd5 of the pack is timed against `md5sum` (target at least
# 0.8 of its throughput) and its SHA-256 against `sha256sum`; the download from a local HTTP
# server against `curl` (at least 0.5) and against a minimal WinINet program of our own that reads
# 1 MB blocks without the cache (the launcher's download at most 1.1 times its time).
# Wine's start-up (about 0.1 s) is included in every Wine figure.
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
cd "$root"
jdk=${1:-/usr/lib/jvm/java-17-openjdk-amd64}
cmake --preset x86_64 >/dev/null
cmake --build --preset x86_64 --target vmpack_tool MinimalDownload >/dev/null
export WINEPREFIX="${KIV_WINEPREFIX:-$root/build/wineprefix}" WINEDEBUG=-all
unset http_proxy https_proxy no_proxy

work="$root/build/bench-vmpack"
rm -rf "$work" && mkdir -p "$work/web" "$work/wine-target" "$work/unzip-target"
(cd "$jdk/.." && zip -qr "$work/vm.zip" "$(basename "$jdk")")
(cd "$work" && echo "vendor=bench" > vm.properties && zip -q0 web/pack.vm vm.zip vm.properties)
tool="Z:${root//\//\\}\\build\\x86_64\\bin\\vmpack_tool.exe"
minimal="Z:${root//\//\\}\\build\\x86_64\\bench\\MinimalDownload.exe"
win() { echo "Z:${1//\//\\}"; }
now() { date +%s.%N; }
seconds() { python3 -c "print(f'{$2 - $1:.3f}')"; }

# A server that stays 600 s for the prefix, started in the foreground of a background job so that
# its pid is known, with output discarded: a server holding the script's output would keep a
# pipe reading it open until it ends. When a server already runs for the prefix, this one exits
# at once and the running one is used and left alone. Only the server started here is ended.
/usr/lib/wine/wineserver -f -p600 </dev/null >/dev/null 2>&1 &
wineserver_pid=$!
server=
finish() {
  [ -z "$server" ] || kill "$server" 2>/dev/null || true
  if kill -0 "$wineserver_pid" 2>/dev/null; then
    /usr/lib/wine/wineserver -k </dev/null >/dev/null 2>&1 || true
    wait "$wineserver_pid" 2>/dev/null || true
  fi
}
trap finish EXIT
/usr/lib/wine/wine64 cmd /c exit </dev/null >/dev/null 2>&1 || true

cp "$work/web/pack.vm" "$work/pack.vm"
t0=$(now); /usr/lib/wine/wine64 "$tool" extract "$(win "$work/pack.vm")" "$(win "$work/wine-target")\\"; t1=$(now)
unzip -q "$work/vm.zip" -d "$work/unzip-target"; t2=$(now)
extract=$(seconds "$t0" "$t1"); unzipped=$(seconds "$t1" "$t2")

t0=$(now); /usr/lib/wine/wine64 "$tool" md5 "$(win "$work/pack.vm")" >/dev/null; t1=$(now)
md5sum "$work/pack.vm" >/dev/null; t2=$(now)
md5=$(seconds "$t0" "$t1"); md5native=$(seconds "$t1" "$t2")

t0=$(now); /usr/lib/wine/wine64 "$tool" sha256 "$(win "$work/pack.vm")" >/dev/null; t1=$(now)
sha256sum "$work/pack.vm" >/dev/null; t2=$(now)
sha=$(seconds "$t0" "$t1"); shanative=$(seconds "$t1" "$t2")

python3 -m http.server --bind 127.0.0.1 --directory "$work/web" 18765 >/dev/null 2>&1 &
server=$!
# Ready once it answers (a loaded machine can take seconds to start it); at most 30 s.
for _ in $(seq 300); do
  curl -s -o /dev/null http://127.0.0.1:18765/ && break
  sleep 0.1
done
t0=$(now); /usr/lib/wine/wine64 "$tool" download http://127.0.0.1:18765/pack.vm "$(win "$work/dl.vm")"; t1=$(now)
curl -s -o "$work/curl.vm" http://127.0.0.1:18765/pack.vm; t2=$(now)
/usr/lib/wine/wine64 "$minimal" http://127.0.0.1:18765/pack.vm "$(win "$work/minimal.vm")"; t3=$(now)
download=$(seconds "$t0" "$t1"); curled=$(seconds "$t1" "$t2"); minimal=$(seconds "$t2" "$t3")
cmp "$work/dl.vm" "$work/web/pack.vm"
cmp "$work/minimal.vm" "$work/web/pack.vm"

size=$(stat -c %s "$work/pack.vm")
python3 - "$size" "$extract" "$unzipped" "$md5" "$md5native" "$download" "$curled" "$sha" \
  "$shanative" "$minimal" <<'PY'
import sys
size, extract, unzipped, md5, md5native, download, curled, sha, shanative, minimal = (
    float(v) for v in sys.argv[1:])
mb = size / 1e6
print(f"pack {mb:.0f} MB")
print(f"extract  {extract:7.2f} s  unzip  {unzipped:7.2f} s  ratio {extract / unzipped:.2f} (target <= 1.5)")
print(f"md5      {mb / md5:7.0f} MB/s md5sum {mb / md5native:5.0f} MB/s share {md5native / md5:.2f} (target >= 0.8)")
print(f"sha256   {mb / sha:7.0f} MB/s sha256sum {mb / shanative:5.0f} MB/s share {shanative / sha:.2f}")
print(f"download {mb / download:7.0f} MB/s curl   {mb / curled:5.0f} MB/s share {curled / download:.2f} (target >= 0.5)")
print(f"download {download:7.2f} s  minimal WinINet {minimal:5.2f} s  ratio {download / minimal:.2f} (target <= 1.1)")
PY
