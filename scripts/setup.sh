#!/usr/bin/env bash
# Installs everything the build and the tests need, from Debian packages only.
# Idempotent: a second run on a prepared machine returns within a second or two.
set -euo pipefail

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
cache="$root/.cache"
mkdir -p "$cache"

packages=(cmake ninja-build g++-mingw-w64-i686-posix g++-mingw-w64-x86-64-posix
          gcc-mingw-w64-i686-posix gcc-mingw-w64-x86-64-posix binutils-mingw-w64
          libz-mingw-w64-dev wine64 googletest python3 clang dpkg-dev
          python3-pyftpdlib cups printer-driver-cups-pdf openjdk-17-jdk-headless)

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done

if [ ${#missing[@]} -gt 0 ]; then
  export DEBIAN_FRONTEND=noninteractive
  apt-get update -qq
  apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
fi

# minizip's sources come from Debian's source package (with Debian's patches applied);
# the build compiles them with each cross compiler. Nothing of it lives in the repo.
minizip_dir="$cache/minizip"
if [ ! -f "$minizip_dir/unzip.c" ]; then
  src_list=/etc/apt/sources.list.d/kiv-deb-src.sources
  if ! grep -rqs '^Types:.*deb-src' /etc/apt/sources.list.d/ && \
     ! grep -qs '^deb-src' /etc/apt/sources.list; then
    sed -e 's/^Types: deb$/Types: deb-src/' /etc/apt/sources.list.d/debian.sources > "$src_list"
    apt-get update -qq
  fi
  work=$(mktemp -d "$cache/minizip-src.XXXX")
  (cd "$work" && apt-get source -qq minizip >/dev/null 2>&1)
  top=$(find "$work" -maxdepth 1 -mindepth 1 -type d | head -n 1)
  if [ -f "$top/contrib/minizip/unzip.c" ]; then
    sub="$top/contrib/minizip"
  else
    sub="$top"
  fi
  rm -rf "$minizip_dir"
  mkdir -p "$minizip_dir"
  cp "$sub"/{unzip.c,unzip.h,ioapi.c,ioapi.h,iowin32.c,iowin32.h,crypt.h} "$minizip_dir"/
  rm -rf "$work"
fi

echo "setup: ready"
