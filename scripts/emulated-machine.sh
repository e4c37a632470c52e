#!/usr/bin/env bash
# Runs a command inside an emulated x86-64 machine (QEMU's software emulation, no KVM) whose
# kernel allows 32-bit code, for machines that refuse 32-bit code segments themselves. The
# emulated machine sees this machine's files over 9p, with this tree at its own path and a
# tmpfs on /tmp (wineserver cannot bind its socket on 9p), and runs the command as root in the
# current directory with this shell's exported variables.
#   emulated-machine.sh --check          exit 0 when the machine can be started here, else the
#                                        reason on standard error and exit 1
#   emulated-machine.sh COMMAND [ARG...] run it; its output is printed here, its exit status
#                                        is returned
# The console of every run is kept in build/emulated/console.log. A machine that does not come
# up within KIV_EMULATED_BOOT_TIMEOUT seconds (default 180), or a command that runs longer than
# KIV_EMULATED_TIMEOUT seconds (default 4500, so that a loaded machine that also makes the prefix
# finishes), ends the run with exit status 124. At the time limit
# the emulated machine itself ends the command, shuts Wine down (which writes its registry) and
# writes its files to this machine before it powers off; it is switched off from here only when
# it has not powered off five minutes later.
# The emulated machine has two processors: the test command runs it niced beside the native
# tests, so that it takes both cores only while they are idle or done. Its kernel skips the
# check of the timer interrupt at boot, which a busy machine's slow emulated clock failed
# ("IO-APIC + timer doesn't work", a panic).
# Debian's packages qemu-system-x86, linux-image-amd64 and busybox-static provide everything.
set -uo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
state="$root/build/emulated"
modules=(virtio_ring virtio virtio_pci_legacy_dev virtio_pci_modern_dev virtio_pci netfs fscache
         9pnet 9pnet_virtio 9p)

fail() { echo "emulated machine: $*" >&2; exit 1; }

kernel=$(ls /boot/vmlinuz-* 2>/dev/null | sort -V | tail -n 1)
qemu=$(command -v qemu-system-x86_64)
busybox=$(command -v busybox)
check() {
  [ -n "$qemu" ] || fail "qemu-system-x86_64 is not installed (Debian package qemu-system-x86)"
  [ -n "$kernel" ] || fail "no kernel in /boot (Debian package linux-image-amd64)"
  [ -n "$busybox" ] && file -L "$busybox" 2>/dev/null | grep -q 'statically linked' ||
    fail "no statically linked busybox (Debian package busybox-static)"
  local name
  for name in "${modules[@]}"; do
    modinfo -k "${kernel#/boot/vmlinuz-}" -n "$name" >/dev/null 2>&1 ||
      fail "kernel module $name of ${kernel#/boot/vmlinuz-} is missing"
  done
}
check
[ "${1:-}" = "--check" ] && exit 0
[ $# -gt 0 ] || fail "usage: emulated-machine.sh COMMAND [ARG...]"
mkdir -p "$state"

# The initial file system: busybox, the modules that reach the 9p share, and an init that
# mounts the share, runs the job in a chroot and powers off. Kept in .cache, named after what it
# is made of (the kernel, busybox, the modules and the init), so that a fresh tree reuses it.
cache="$root/.cache/emulated"
initrd="$cache/initrd-$({ echo "$kernel"; cat "$busybox" "$root/scripts/emulated-init.sh";
                          printf '%s\n' "${modules[@]}"; } | sha256sum | cut -c 1-16).img"
make_initrd() {
  local version=${kernel#/boot/vmlinuz-} work name file
  work=$(mktemp -d "$state/initrd.XXXX")
  mkdir -p "$work/bin" "$work/mods" "$work/proc" "$work/sys" "$work/dev" "$work/mnt"
  cp "$busybox" "$work/bin/busybox"
  for name in "${modules[@]}"; do
    file=$(modinfo -k "$version" -n "$name")
    case "$file" in
      *.xz) xz -dc "$file" >"$work/mods/$name.ko" ;;
      *.zst) zstd -qdc "$file" >"$work/mods/$name.ko" ;;
      *) cp "$file" "$work/mods/$name.ko" ;;
    esac
  done
  printf '%s\n' "${modules[@]}" >"$work/mods/order"
  cp "$root/scripts/emulated-init.sh" "$work/init"
  chmod 755 "$work/init"
  mkdir -p "$cache" &&
    (cd "$work" && find . | "$busybox" cpio -o -H newc 2>/dev/null | gzip -1) >"$initrd.$$" &&
    rm -f "$cache"/initrd-*.img && mv "$initrd.$$" "$initrd"
  local made=$?
  rm -rf "$work" "$initrd.$$"
  return $made
}
[ -f "$initrd" ] || make_initrd || fail "could not make the initial file system"

# The job: this shell's exported variables (less those that name this machine's own session),
# the current directory and the command, quoted for bash.
job="$state/job.sh"
{
  echo '#!/bin/bash'
  export -p | grep -v -E '^declare -x (PWD|OLDPWD|SHLVL|TMPDIR|TERM|DISPLAY|SSH_[A-Z_]*|XDG_[A-Z_]*)='
  printf 'cd %q || exit 125\n' "$PWD"
  printf '%q ' "$@"; echo
} >"$job"

console="$state/console.log"
: >"$console"
limit=${KIV_EMULATED_TIMEOUT:-4500}
grace=300
"$qemu" -machine pc -cpu max,-smap,-pku -m 6G -smp 2 -nodefaults -no-user-config -display none \
  -monitor none -serial "file:$console" -no-reboot -kernel "$kernel" -initrd "$initrd" \
  -append "console=ttyS0 quiet panic=-1 no_timer_check kivtree=$root kivjob=$job kivtimeout=$limit" \
  -virtfs local,path=/,mount_tag=host,security_model=passthrough,id=host,multidevs=remap \
  -virtfs "local,path=$root,mount_tag=work,security_model=passthrough,id=work,multidevs=remap" \
  </dev/null >"$state/qemu.log" 2>&1 &
machine=$!
stop_machine() { kill "$machine" 2>/dev/null; wait "$machine" 2>/dev/null; }
trap 'stop_machine; exit 130' INT TERM

# A bounded wait for the machine to come up; its console tells why when it does not.
deadline=$((SECONDS + ${KIV_EMULATED_BOOT_TIMEOUT:-180}))
until grep -q '^KIV-EMULATED-UP' "$console"; do
  if ! kill -0 "$machine" 2>/dev/null || [ $SECONDS -ge $deadline ]; then
    stop_machine
    echo "emulated machine: did not come up; console in $console, QEMU's messages in $state/qemu.log:" >&2
    tail -n 20 "$console" "$state/qemu.log" | tr -d '\r' >&2
    exit 124
  fi
  sleep 1
done

# The command's output as it comes, then its exit status from the last line it printed.
( sleep $((limit + grace)); echo "KIV-EMULATED-SWITCHED-OFF" >>"$console"; kill "$machine" ) \
  >/dev/null 2>&1 &
watchdog=$!
tail -n +1 -f --pid="$machine" "$console" |
  sed -u -n 's/\r$//; /^KIV-EMULATED-UP/,/^KIV-EMULATED-RC=/{/^KIV-EMULATED-/!p}'
wait "$machine"
kill "$watchdog" 2>/dev/null
rc=$(tr -d '\r' <"$console" | sed -n 's/^KIV-EMULATED-RC=\([0-9]*\)$/\1/p' | tail -n 1)
if grep -q '^KIV-EMULATED-TIMEOUT' "$console"; then
  echo "emulated machine: the command ran longer than $limit s and was ended" >&2
  [ -n "$rc" ] || echo "emulated machine: it did not power off within $grace s after that and" \
    "was switched off: files it wrote last may be incomplete; console in $console" >&2
  exit 124
fi
if [ -z "$rc" ]; then
  echo "emulated machine: ended before the command did; console in $console" >&2
  exit 124
fi
exit "$rc"
