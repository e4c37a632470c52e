#!/usr/bin/env bash
# Builds a Wine that runs 32-bit Windows programs inside 64-bit Linux processes (Wine 10.0 from
# Debian trixie's source package, configured with --enable-archs=i386,x86_64: "new WoW64"), the
# Wine the i686 product's run-time tests use. The result is a relocatable folder, packed as
# wine-wow64.tar.xz; scripts/setup.sh unpacks such an archive from ../shared. About 50 minutes of
# make on 2 cores. The files in scripts/wine-wow64/ hold the configure line, the changes against
# Debian's source (Wine's own zlib, Wine's install paths, a CLDR path for make_unicode) and the
# icon links Debian's rules make.
#   scripts/build-wine-wow64.sh [WORK_FOLDER] [OUTPUT_ARCHIVE]
set -euo pipefail

here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
files="$here/wine-wow64"
work=$(realpath -m "${1:-$here/../.cache/wine-wow64-build}")
output=$(realpath -m "${2:-$work/wine-wow64.tar.xz}")
version=10.0~repack-6
mkdir -p "$work"
cd "$work"

step() { echo "== build-wine-wow64: $*"; }

step "build dependencies (Debian packages)"
export DEBIAN_FRONTEND=noninteractive
apt-get install -y -qq --no-install-recommends flex bison autoconf autotools-dev \
  libgnutls28-dev libcups2-dev libfreetype-dev libgettextpo-dev icoutils librsvg2-bin \
  imagemagick fontforge-nox khronos-api unicode-data unicode-idna libxml-libxml-perl \
  gcc-mingw-w64-i686-posix gcc-mingw-w64-x86-64-posix libz-mingw-w64-dev dpkg-dev npm >/dev/null

step "sources of trixie's wine $version and vulkan-loader (a deb-src entry for trixie)"
if ! apt-get source --print-uris -qq "wine=$version" >/dev/null 2>&1; then
  cat >/etc/apt/sources.list.d/kiv-trixie-src.sources <<'SOURCES'
Types: deb-src
URIs: http://deb.debian.org/debian
Suites: trixie
Components: main
Signed-By: /usr/share/keyrings/debian-archive-keyring.gpg
SOURCES
  apt-get update -qq
fi
[ -d "wine-10.0~repack" ] || apt-get source -q "wine=$version"
[ -d vulkan ] || { mkdir vulkan && (cd vulkan && apt-get source -q vulkan-loader/trixie); }
vk=$(dirname "$(find "$work/vulkan" -name vk.xml | head -n 1)")

step "Unicode CLDR 46 data (npm package cldr@7.7.0)"
if [ ! -d data/cldr46 ]; then
  mkdir -p data/cldr46
  (cd data/cldr46 && npm pack --silent cldr@7.7.0 >/dev/null && tar -xzf cldr-7.7.0.tgz)
fi

step "preparing the source"
cd "wine-10.0~repack"
if [ ! -f .kiv-prepared ]; then
  patch -p1 <"$files/source-changes-vs-debian.diff"
  sed -i "s|CLDR_DIR_PLACEHOLDER|$work/data/cldr46/package/3rdparty/cldr|" tools/make_unicode
  ./tools/make_unicode && ./tools/make_requests && ./tools/make_specfiles
  (cd dlls/dsound && ./make_fir) && (cd dlls/opengl32 && ./make_opengl)
  (cd dlls/winevulkan && ./make_vulkan -x "$vk/vk.xml" -X "$vk/video.xml")
  ln -sf /usr/share/misc/config.sub tools
  ln -sf /usr/share/misc/config.guess tools
  sh "$files/svglinks.sh"
  autoreconf -fi
  touch .kiv-prepared
fi

step "configure and make (about 50 minutes on 2 cores)"
sh "$files/configure.sh"
make -j"$(nproc)" -C include
make -j"$(nproc)"

step "installing into a relocatable folder and packing $output"
stage="$work/stage"
rm -rf "$stage"
make install-lib INSTALL_PROGRAM_FLAGS=-s DESTDIR="$stage"
rm -rf "$work/wine-wow64"
mv "$stage/opt/wine-wow64" "$work/wine-wow64"
tar -C "$work" -cJf "$output" wine-wow64
step "done: $output"
