#!/usr/bin/env bash
# The main job: builds the 64-bit launcher and launches the bundled example application
# (examples/hello) under Wine, with the stand-in VM in the role of the Java VM. Shows what the
# VM received and the exit code that came back.
set -euo pipefail

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
cd "$root"
bash scripts/setup.sh >/dev/null
cmake --preset x86_64 >/dev/null
cmake --build --preset x86_64 --target Tarrow standin_sun_1_8_0_151 >/dev/null

demo="$root/build/demo"
rm -rf "$demo"
mkdir -p "$demo/Hello App/lib" "$demo/Hello App/jre/bin"
cp build/x86_64/bin/Tarrow.exe "$demo/Hello App/Tarrow.exe"
cp examples/hello/Tarrow.kiv "$demo/Hello App/Tarrow.kiv"
: >"$demo/Hello App/lib/hello.jar"
: >"$demo/Hello App/lib/support.jar"
cp build/x86_64/standins/standin_sun_1_8_0_151.exe "$demo/Hello App/jre/bin/java.exe"

win() { echo "Z:${1//\//\\}"; }
record="$demo/vm-received.txt"
export KIV_STANDIN_RECORD=$(win "$record")
export KIV_STANDIN_SCRIPT="o:Hello from the example application (running in the stand-in VM)"
export KIV_STANDIN_EXIT=7

echo "Launching: Tarrow.exe KIV_VM <jre>\\bin\\java.exe first-argument"
set +e
scripts/wine-run.sh "$demo/Hello App/Tarrow.exe" KIV_VM "$(win "$demo/Hello App/jre/bin/java.exe")" first-argument
code=$?
set -e
echo
echo "The VM received:"
grep -E '^(commandline|cwd)=' "$record" | sed 's/^/  /'
echo "Tarrow.exe exit code: $code (the VM exited with $KIV_STANDIN_EXIT)"
[ "$code" -eq "$KIV_STANDIN_EXIT" ]
