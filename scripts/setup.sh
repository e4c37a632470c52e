#!/usr/bin/env bash
# Installs everything the build and the tests need, from Debian packages only.
# Idempotent: a second run on a prepared machine returns within a second or two.
# A failing step ends the script with one line naming that step.
set -Eeuo pipefail

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
cache="$root/.cache"
mkdir -p "$cache"

current_step="start"
trap 'echo "setup: failed while $current_step" >&2' ERR

# apt and dpkg wait for a lock held by another process (an unattended upgrade, a second setup)
# instead of failing at once. The lists lock of "apt-get update" is not covered by dpkg's own
# time-out, so update is retried while another process holds it.
apt_options=(-o DPkg::Lock::Timeout=600 -o Acquire::Retries=3)
apt_update() {
  local tries=0 log
  log=$(mktemp)
  until apt-get "${apt_options[@]}" update -qq >"$log" 2>&1; do
    tries=$((tries + 1))
    if ! grep -q 'Could not get lock' "$log" || [ "$tries" -ge 120 ]; then
      cat "$log" >&2; rm -f "$log"; return 1
    fi
    sleep 5
  done
  rm -f "$log"
}

packages=(cmake ninja-build g++-mingw-w64-i686-win32 g++-mingw-w64-x86-64-win32
          gcc-mingw-w64-i686-win32 gcc-mingw-w64-x86-64-win32 binutils-mingw-w64
          wine64 googletest python3 clang dpkg-dev
          python3-pyftpdlib cups printer-driver-cups-pdf openjdk-17-jdk-headless
          xvfb x11-apps)

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done

if [ ${#missing[@]} -gt 0 ]; then
  export DEBIAN_FRONTEND=noninteractive
  current_step="updating the package lists"
  apt_update
  current_step="installing ${missing[*]}"
  apt-get "${apt_options[@]}" install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
fi

# minizip's sources, and zlib's inflate, come from Debian's source packages of the release this
# machine runs (with Debian's patches applied); the build compiles them with each cross compiler,
# for size and with only the functions the launcher calls. Nothing of them lives in the repo. The
# release is named explicitly, so that a deb-src entry for another release never decides which
# sources are taken.
# fetch_sources PACKAGE FOLDER FILE...: copies FILEs of PACKAGE's source package into FOLDER.
fetch_sources() {
  local package=$1 folder=$2 codename work top sub
  shift 2
  codename=$(. /etc/os-release && echo "${VERSION_CODENAME:-}")
  current_step="finding the Debian release of this machine"
  [ -n "$codename" ]
  if ! apt-get source --print-uris -qq "$package/$codename" >/dev/null 2>&1; then
    current_step="adding a deb-src entry for $codename"
    sed -e 's/^Types: deb$/Types: deb-src/' /etc/apt/sources.list.d/debian.sources \
      > /etc/apt/sources.list.d/kiv-deb-src.sources
    apt_update
  fi
  current_step="fetching the $package source package of $codename"
  work=$(mktemp -d "$cache/$package-src.XXXX")
  if ! (cd "$work" && apt-get source -q "$package/$codename" >"$work.log" 2>&1); then
    cat "$work.log" >&2; rm -rf "$work" "$work.log"; false
  fi
  rm -f "$work.log"
  top=$(find "$work" -maxdepth 1 -mindepth 1 -type d | head -n 1)
  sub="$top"
  if [ "$package" = minizip ] && [ -f "$top/contrib/minizip/unzip.c" ]; then
    sub="$top/contrib/minizip"
  fi
  # Copied beside the folder and moved into place when whole: a copy cut short must not leave
  # the file that tells later runs the sources are there.
  current_step="copying the $package sources"
  rm -rf "$folder" "$folder.part"
  mkdir -p "$folder.part"
  if ! (cd "$sub" && cp "$@" "$folder.part"/); then
    rm -rf "$work" "$folder.part"; false
  fi
  mv "$folder.part" "$folder"
  rm -rf "$work"
}
if [ ! -f "$cache/minizip/unzip.c" ]; then
  fetch_sources minizip "$cache/minizip" unzip.c unzip.h ioapi.c ioapi.h iowin32.c iowin32.h \
    crypt.h
fi
if [ ! -f "$cache/zlib/inflate.c" ]; then
  fetch_sources zlib "$cache/zlib" zlib.h zconf.h zutil.h zutil.c inflate.c inflate.h \
    inftrees.c inftrees.h inffast.c inffast.h inffixed.h crc32.c crc32.h adler32.c gzguts.h
fi

# A Wine that runs the 32-bit product: the prebuilt one beside the project, when there is one,
# or beside the local repository this checkout was cloned from (a scratch clone elsewhere).
wow64_archive="$root/../shared/wine-wow64.tar.xz"
origin=$(git -C "$root" remote get-url origin 2>/dev/null || true)
if [ ! -f "$wow64_archive" ] && [ -d "$origin" ]; then
  wow64_archive="$origin/../shared/wine-wow64.tar.xz"
fi
if [ ! -x "$cache/wine-wow64/bin/wine" ] && [ -f "$wow64_archive" ]; then
  current_step="unpacking $wow64_archive"
  rm -rf "$cache/wine-wow64"
  tar -C "$cache" -xJf "$wow64_archive"
fi
if wow64=$("$root/scripts/wow64-wine.sh" 2>"$cache/wow64.reason"); then
  echo "setup: 32-bit Windows programs run with $wow64"
elif [ "${KIV_I686:-auto}" = skip ] || [ "${KIV_I686:-auto}" = native ]; then
  echo "setup: the 32-bit run-time tests will be skipped: $(cat "$cache/wow64.reason")"
else
  # This machine refuses 32-bit code: the i686 suite runs in an emulated x86-64 machine whose
  # kernel allows it (scripts/emulated-machine.sh), made of these packages.
  emulation=(qemu-system-x86 linux-image-amd64 busybox-static)
  missing=()
  for p in "${emulation[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
  done
  if [ ${#missing[@]} -gt 0 ]; then
    export DEBIAN_FRONTEND=noninteractive
    current_step="updating the package lists"
    apt_update
    current_step="installing ${missing[*]} for the emulated machine"
    apt-get "${apt_options[@]}" install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
  fi
  current_step="checking the emulated machine"
  "$root/scripts/emulated-machine.sh" --check
  echo "setup: this machine refuses 32-bit code ($(cat "$cache/wow64.reason"));" \
       "the 32-bit run-time tests run in the emulated machine"
fi

echo "setup: ready"
