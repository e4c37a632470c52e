#!/usr/bin/env bash
# Launch overhead: Tarrow.exe starting the stand-in VM named by KIV_VM, against a minimal
# launcher of ours (CreateProcess and wait) starting the same VM, in one run under Wine.
# Prints the median of each and the ratio (target: at most 1.10). A third line compares with
# the minimal launcher that also reads the Ctrl key: under Wine, loading the user-interface
# library for that one call costs about as much as a process start.
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
runs=${1:-40}
cd "$root"
cmake --preset x86_64 >/dev/null
cmake --build --preset x86_64 --target Tarrow LaunchBench MinimalLauncher MinimalLauncherCtrl standin_plain >/dev/null

work="$root/build/bench-launch"
rm -rf "$work" && mkdir -p "$work/app/lib" "$work/vm/bin"
cp build/x86_64/bin/Tarrow.exe "$work/app/"
cp build/x86_64/standins/standin_plain.exe "$work/vm/bin/java.exe"
cp build/x86_64/bench/*.exe "$work/"
cat >"$work/app/Tarrow.kiv" <<KIV
kiv.nl.java.launcher.main.class=bench.Main
kiv.class.path=lib\\bench.jar
kiv.nl.valid.vm.list=ALL
KIV
win() { echo "Z:${1//\//\\}"; }
vm=$(win "$work/vm/bin/java.exe")
scripts/wine-run.sh "$(win "$work/LaunchBench.exe")" "$runs" \
  "\"$(win "$work/MinimalLauncher.exe")\" $vm" \
  "\"$(win "$work/app/Tarrow.exe")\" KIV_VM $vm" \
  "\"$(win "$work/MinimalLauncherCtrl.exe")\" $vm"
