#!/usr/bin/env bash
# Proves the package reproducible: builds the i686 package twice from this tree in two fresh
# build folders and compares the binaries, the jars, the ZIP and its symbols ZIP byte for byte.
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
preset=${1:-i686}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
export SOURCE_DATE_EPOCH=${SOURCE_DATE_EPOCH:-$(git -C "$root" log -1 --format=%ct)}
for run in one two; do
  cmake -S "$root" -B "$work/$run" -G Ninja -DCMAKE_BUILD_TYPE=Release -DKIV_BUILD_TESTS=OFF \
        -DCMAKE_TOOLCHAIN_FILE="$root/cmake/toolchain-$preset.cmake" >/dev/null
  cmake --build "$work/$run" --target package_zip >/dev/null
done
status=0
for file in bin/Tarrow.exe bin/Helper.dll bin/Nettaro.dll java/Verify.jar java/Validator.jar \
            java/TarrowNatives.jar; do
  if cmp -s "$work/one/$file" "$work/two/$file"; then echo "same      $file"; else echo "DIFFERENT $file"; status=1; fi
done
# The package and its symbols archive.
for one in "$work"/one/Tarrow-*.zip; do
  two="$work/two/$(basename "$one")"
  if cmp -s "$one" "$two"; then echo "same      $(basename "$one")"; else echo "DIFFERENT $(basename "$one")"; status=1; fi
done
exit $status
