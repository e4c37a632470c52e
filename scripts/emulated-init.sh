#!/bin/busybox sh
# The init of the emulated machine (scripts/emulated-machine.sh packs it into the initial file
# system): mounts this machine's files over 9p with a tmpfs on /tmp and the work tree at its own
# path, runs the job in a chroot (ended at the time limit given as kivtimeout), shuts down the Wine
# servers still running, writes everything to the host, prints the exit status and powers off.
/bin/busybox --install -s /bin
mount -t proc proc /proc
mount -t sysfs sys /sys
mount -t devtmpfs dev /dev
exec </dev/console >/dev/console 2>&1
for name in $(cat /mods/order); do
  insmod "/mods/$name.ko" || echo "KIV-EMULATED: module $name failed"
done
param() { sed -n "s/.* $1=\([^ ]*\).*/\1/p" /proc/cmdline; }
alive() { [ -e "/proc/$1" ] && ! grep -q '^State:[[:space:]]*Z' "/proc/$1/status" 2>/dev/null; }

# Runs the job in a session of its own, its output through a pipe, not the console (programs that
# see a terminal colour their output); sets rc to its exit status. At the time limit (seconds, 0
# for none) the whole job is told to stop (SIGTERM: scripts/i686-tests.sh then shuts Wine down)
# and given two minutes for it, then killed; rc is then 124.
run_job() {
  local limit=${1:-0} start stop
  mkfifo /job.out
  cat /job.out &
  printer=$!
  setsid chroot /mnt /bin/bash "$job" </dev/null >/job.out 2>&1 &
  runner=$!
  start=$(date +%s)
  while alive "$runner"; do
    if [ "$limit" -gt 0 ] && [ $(($(date +%s) - start)) -ge "$limit" ]; then
      echo "KIV-EMULATED-TIMEOUT"
      kill -TERM -"$runner" 2>/dev/null
      stop=$(($(date +%s) + 120))
      while alive "$runner" && [ "$(date +%s)" -lt "$stop" ]; do sleep 1; done
      kill -KILL -"$runner" 2>/dev/null
      wait "$runner"
      rc=124
      return
    fi
    sleep 1
  done
  wait "$runner"
  rc=$?
}

# The job's last output reaches the console once every process holding the pipe has ended; a
# process left behind holds it for ten seconds at most.
finish_output() {
  local stop=$(($(date +%s) + 10))
  while alive "$printer" && [ "$(date +%s)" -lt "$stop" ]; do sleep 1; done
  kill "$printer" 2>/dev/null
  wait "$printer"
}

# Ends every Wine server as "wineserver -k" does (SIGINT: its processes are ended, the registry
# written), and waits a minute at most for them to be gone.
stop_wine_servers() {
  local servers pid stop
  servers=$(pidof wineserver wineserver64)
  [ -n "$servers" ] || return 0
  echo "KIV-EMULATED: ending the Wine servers still running ($servers)"
  kill -INT $servers
  stop=$(($(date +%s) + 60))
  for pid in $servers; do
    while alive "$pid" && [ "$(date +%s)" -lt "$stop" ]; do sleep 1; done
  done
}
options=trans=virtio,version=9p2000.L,msize=262144,cache=loose
tree=$(param kivtree)
job=$(param kivjob)
if mount -t 9p -o "$options" host /mnt; then
  mount -t proc proc /mnt/proc
  mount -t sysfs sys /mnt/sys
  mount -t devtmpfs dev /mnt/dev
  mkdir -p /mnt/dev/pts /mnt/dev/shm
  mount -t devpts pts /mnt/dev/pts
  # What udev would add: bash's process substitution opens /dev/fd/N.
  ln -s /proc/self/fd /mnt/dev/fd
  mount -t tmpfs shm /mnt/dev/shm
  mount -t tmpfs tmp /mnt/tmp
  mount -t tmpfs run /mnt/run
  chmod 1777 /mnt/tmp
  # The tree again as a share of its own: the tmpfs on /tmp would hide a tree under /tmp.
  mkdir -p "/mnt$tree"
  mount -t 9p -o "$options" work "/mnt$tree" || echo "KIV-EMULATED: the work tree did not mount"
  ifconfig lo 127.0.0.1 up
  echo "KIV-EMULATED-UP"
  run_job "$(param kivtimeout)"
  # A Wine server still running writes its registry when told to end; only then is the machine
  # switched off, after the files written over 9p have reached the host (sync): switched off
  # in the middle of that, a prefix was left with an empty system.reg.
  stop_wine_servers
  finish_output
  sync
  echo "KIV-EMULATED-RC=$rc"
else
  echo "KIV-EMULATED: this machine's files did not mount over 9p"
fi
poweroff -f
