#!/usr/bin/env bash
# VM pack throughput, in one run: a pack made from the host's JDK tree (about 260 MB unpacked)
# is extracted by extractVmPack under Wine and its inner archive by native `unzip -q`
# (target ratio at most 1.5); fileMd5 of the pack is timed against `md5sum` (target at least
# 0.8 of its throughput) and its SHA-256 against `sha256sum`; the download from a local HTTP
# server against `curl` (at least 0.5) and against a minimal WinINet program of our own that reads
# 1 MB blocks without the cache (the launcher's download at most 1.1 times its time).
# Wine's start-up (about 0.1 s) is included in every Wine figure.
# Then the first launch of an application without a VM: Tarrow.exe downloads a pack made from the
# same tree (with the stand-in VM as its bin\java.exe), checks its MD5 and SHA-256, unpacks it and
# starts the VM, against the minimal WinINet program downloading the same pack, side by side, from
# a local server sending at most 40 MB/s and from one sending as fast as it can (the first launch
# at most 1.25 times the download alone at 40 MB/s); the median of BENCH_ROUNDS rounds (3).
#   BENCH_RATE=40e6              the throttled server's bytes per second
#   BENCH_TARROW=PATH            another Tarrow.exe to time (an earlier build, for comparison)
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
cd "$root"
jdk=${1:-/usr/lib/jvm/java-17-openjdk-amd64}
cmake --preset x86_64 >/dev/null
cmake --build --preset x86_64 --target vmpack_tool MinimalDownload Tarrow standin_plain >/dev/null
export WINEPREFIX="${KIV_WINEPREFIX:-$root/build/wineprefix}" WINEDEBUG=-all
unset http_proxy https_proxy no_proxy

work="$root/build/bench-vmpack"
rm -rf "$work" && mkdir -p "$work/web" "$work/wine-target" "$work/unzip-target"
(cd "$jdk/.." && zip -qr "$work/vm.zip" "$(basename "$jdk")")
(cd "$work" && echo "vendor=bench" > vm.properties && zip -q0 web/pack.vm vm.zip vm.properties)
tool="Z:${root//\//\\}\\build\\x86_64\\bin\\vmpack_tool.exe"
minimal="Z:${root//\//\\}\\build\\x86_64\\bench\\MinimalDownload.exe"
minimal_program=$minimal
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
servers=()
finish() {
  [ -z "$server" ] || kill "$server" 2>/dev/null || true
  for pid in "${servers[@]}"; do kill "$pid" 2>/dev/null || true; done
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

# The first launch, side by side with the minimal download, per server.
first="$work/first"
mkdir -p "$first/web" "$first/app/jvmspecs" "$first/vm/bin"
cp build/x86_64/standins/standin_plain.exe "$first/vm/bin/java.exe"
(cd "$jdk" && zip -qr "$first/vm.zip" .)
(cd "$first/vm" && zip -q "$first/vm.zip" bin/java.exe)
(cd "$first" && echo "vendor=bench" > vm.properties && zip -q0 web/first.vm vm.zip vm.properties)
x86_64-w64-mingw32-strip -o "$first/app/Tarrow.exe" "${BENCH_TARROW:-build/x86_64/bin/Tarrow.exe}"
printf 'kiv.nl.java.launcher.main.class=bench.Main\r\nkiv.class.path=lib\\bench.jar\r\nkiv.nl.valid.vm.list=ALL\r\n' \
  >"$first/app/Tarrow.kiv"
rate=${BENCH_RATE:-40e6}
rounds=${BENCH_ROUNDS:-3}
for port in 18766 18767; do
  python3 bench/throttled_server.py "$first/web" "$port" "$([ $port = 18766 ] && echo "$rate" || echo 0)" \
    >/dev/null 2>&1 &
  servers+=($!)
  for _ in $(seq 300); do
    curl -s -o /dev/null "http://127.0.0.1:$port/" && break
    sleep 0.1
  done
done
firstsize=$(stat -c %s "$first/web/first.vm")
launch_at() { # port: the seconds of one first launch, from a fresh start folder
  local url=http://127.0.0.1:$1/first.vm
  printf 'build.option=withoutvm\r\nbuild.without.vm.search.option=12\r\nbuild.without.vm.direct.download.url=%s\r\nbuild.without.vm.dont.search.download.url.md5Checksum.applicable=true\r\nbuild.without.vm.dont.search.download.url.md5Checksum.value=%s\r\nbuild.without.vm.dont.search.download.url.sha256Checksum.value=%s\r\n' \
    "$url" "$(md5sum <"$first/web/first.vm" | cut -c1-32)" \
    "$(sha256sum <"$first/web/first.vm" | cut -c1-64)" >"$first/app/jvmspecs/jvmspecs.properties"
  rm -rf "$first/start" && mkdir -p "$first/start/Windows/jvmspecs"
  sync # no run pays for the writes of the one before
  local t0 t1
  t0=$(now)
  (cd "$first/start" && /usr/lib/wine/wine64 "$(win "$first/app/Tarrow.exe")" </dev/null >/dev/null 2>&1)
  t1=$(now)
  [ -f "$first/start/Windows/resource/jre/bin/java.exe" ] || { echo "first launch failed" >&2; exit 1; }
  seconds "$t0" "$t1"
}
download_at() { # port: the seconds of one minimal download
  local t0 t1
  rm -f "$first/minimal.vm"
  sync
  t0=$(now); /usr/lib/wine/wine64 "$minimal_program" "http://127.0.0.1:$1/first.vm" "$(win "$first/minimal.vm")"; t1=$(now)
  cmp "$first/minimal.vm" "$first/web/first.vm"
  seconds "$t0" "$t1"
}
for port in 18766 18767; do
  launches=() downloads=()
  for _ in $(seq "$rounds"); do
    launches+=("$(launch_at "$port")")
    downloads+=("$(download_at "$port")")
  done
  python3 - "$firstsize" "$([ $port = 18766 ] && echo "$rate" || echo 0)" "${launches[*]}" \
    "${downloads[*]}" <<'PY'
import statistics, sys
size, rate = float(sys.argv[1]), float(sys.argv[2])
launch = statistics.median(float(v) for v in sys.argv[3].split())
download = statistics.median(float(v) for v in sys.argv[4].split())
served = f"at {rate / 1e6:.0f} MB/s" if rate else "unthrottled"
target = " (target <= 1.25)" if rate else ""
print(f"first launch {launch:6.2f} s  minimal download {download:6.2f} s  ratio {launch / download:.2f}"
      f"{target}  pack {size / 1e6:.0f} MB {served}")
PY
done
