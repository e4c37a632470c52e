#!/bin/busybox sh
# The init of the emulated machine (scripts/emulated-machine.sh packs it into the initial file
# system): mounts this machine's files over 9p with a tmpfs on /tmp and the work tree at its own
# path, runs the job in a chroot, prints its exit status and powers off.
/bin/busybox --install -s /bin
mount -t proc proc /proc
mount -t sysfs sys /sys
mount -t devtmpfs dev /dev
exec </dev/console >/dev/console 2>&1
for name in $(cat /mods/order); do
  insmod "/mods/$name.ko" || echo "KIV-EMULATED: module $name failed"
done
param() { sed -n "s/.* $1=\([^ ]*\).*/\1/p" /proc/cmdline; }
options=trans=virtio,version=9p2000.L,msize=262144,cache=loose
tree=$(param kivtree)
job=$(param kivjob)
if mount -t 9p -o "$options" host /mnt; then
  mount -t proc proc /mnt/proc
  mount -t sysfs sys /mnt/sys
  mount -t devtmpfs dev /mnt/dev
  mkdir -p /mnt/dev/pts /mnt/dev/shm
  mount -t devpts pts /mnt/dev/pts
  mount -t tmpfs shm /mnt/dev/shm
  mount -t tmpfs tmp /mnt/tmp
  mount -t tmpfs run /mnt/run
  chmod 1777 /mnt/tmp
  # The tree again as a share of its own: the tmpfs on /tmp would hide a tree under /tmp.
  mkdir -p "/mnt$tree"
  mount -t 9p -o "$options" work "/mnt$tree" || echo "KIV-EMULATED: the work tree did not mount"
  ifconfig lo 127.0.0.1 up
  echo "KIV-EMULATED-UP"
  # Through a pipe, not the console: programs that see a terminal colour their output.
  { chroot /mnt /bin/bash "$job" </dev/null 2>&1; echo $? >/job.rc; } | cat
  rc=$(cat /job.rc)
  sync
  echo "KIV-EMULATED-RC=$rc"
else
  echo "KIV-EMULATED: this machine's files did not mount over 9p"
fi
poweroff -f
