#!/usr/bin/env bash
# The main job: builds the 64-bit launcher and launches the bundled example application
# (examples/hello) under Wine. Where this machine has a JDK (setup installs one), the VM is a
# real JVM, reached through the test-only bridge that stands in the place of a Windows
# java.exe; otherwise a stand-in VM takes its role. Shows what the application received and the
# exit code that came back.
set -euo pipefail

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
cd "$root"
bash scripts/setup.sh >/dev/null
cmake --preset x86_64 >/dev/null
cmake --build --preset x86_64 --target Tarrow standin_sun_1_8_0_151 java_bridge hello >/dev/null

demo="$root/build/demo"
rm -rf "$demo"
mkdir -p "$demo/Hello App/lib" "$demo/Hello App/jre/bin"
cp build/x86_64/bin/Tarrow.exe "$demo/Hello App/Tarrow.exe"
cp examples/hello/Tarrow.kiv "$demo/Hello App/Tarrow.kiv"
win() { echo "Z:${1//\//\\}"; }

record=""
: >"$demo/Hello App/lib/support.jar"
if command -v java >/dev/null; then
  echo "Running the example application on this machine's Java ($(java -version 2>&1 | head -n 1))"
  cp build/x86_64/java/hello.jar "$demo/Hello App/lib/hello.jar"
  cp build/x86_64/standins/java_bridge.exe "$demo/Hello App/jre/bin/java.exe"
  export KIV_JAVA_BRIDGE="$root/tests/e2e/java_bridge.py"
else
  echo "No JDK here: the stand-in VM takes the role of the Java VM"
  : >"$demo/Hello App/lib/hello.jar"
  cp build/x86_64/standins/standin_sun_1_8_0_151.exe "$demo/Hello App/jre/bin/java.exe"
  record="$demo/vm-received.txt"
  export KIV_STANDIN_RECORD=$(win "$record")
  export KIV_STANDIN_SCRIPT="o:Hello from the example application (running in the stand-in VM)"
  export KIV_STANDIN_EXIT=7
fi
expected=7 # the example application's exit code

echo "Launching: Tarrow.exe KIV_VM <jre>\\bin\\java.exe first-argument"
set +e
scripts/wine-run.sh "$demo/Hello App/Tarrow.exe" KIV_VM "$(win "$demo/Hello App/jre/bin/java.exe")" first-argument
code=$?
set -e
if [ -n "$record" ]; then
  echo
  echo "The VM received:"
  grep -E '^(commandline|cwd)=' "$record" | sed 's/^/  /'
fi
echo "Tarrow.exe exit code: $code (the application exited with $expected)"
[ "$code" -eq "$expected" ]
