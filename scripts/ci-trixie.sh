#!/usr/bin/env bash
# Runs a command from this clone inside a Debian 13 "trixie" chroot, as on a fresh Debian 13
# machine: by default the README's test command, ./scripts/test.sh.
#   scripts/ci-trixie.sh                    ./scripts/test.sh in the chroot
#   scripts/ci-trixie.sh CMD [ARG...]       CMD instead, from the clone's copy in the chroot
# The chroot is made once with debootstrap at a fixed place (VINTREL_CHROOT, by default
# /var/cache/vintrel/trixie) and kept, with its compiler cache, so later runs pay only for the
# build and the tests. The clone is copied in afresh each run (its build/ left out), so the
# chroot sees what a fresh clone holds. Whatever happens, the mounts are undone and every
# process left in the chroot is ended on exit. Needs root (debootstrap, mount, chroot).
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
root=$(readlink -m "${VINTREL_CHROOT:-/var/cache/vintrel/trixie}")
mirror=${VINTREL_MIRROR:-http://deb.debian.org/debian}
copy=/work/vintrel  # where the clone lands inside the chroot

[ "$(id -u)" -eq 0 ] || { echo "ci-trixie: needs root (debootstrap, mount, chroot)" >&2; exit 2; }

install_host_tools() {
  local missing=()
  command -v debootstrap >/dev/null || missing+=(debootstrap)
  ((${#missing[@]} == 0)) && return
  apt-get update -qq
  DEBIAN_FRONTEND=noninteractive apt-get install -y -qq "${missing[@]}" >/dev/null
}

# Made aside and moved into place only when complete: an interrupted debootstrap never
# leaves a half chroot at the fixed place.
make_chroot() {
  [ -x "$root/usr/bin/apt-get" ] && [ -f "$root/.vintrel-ready" ] && return
  local partial="$root.partial"
  echo "ci-trixie: making the Debian 13 chroot at $root (once; a few minutes)"
  rm -rf --one-file-system "$partial"
  mkdir -p "$(dirname "$root")"
  nice -n 5 debootstrap --variant=minbase --include=ca-certificates,ccache trixie "$partial" "$mirror" \
    >"$(dirname "$root")/debootstrap.log" 2>&1 ||
    { tail -20 "$(dirname "$root")/debootstrap.log" >&2; exit 1; }
  # Packages installed in the chroot start no services.
  printf '#!/bin/sh\nexit 101\n' >"$partial/usr/sbin/policy-rc.d"
  chmod +x "$partial/usr/sbin/policy-rc.d"
  touch "$partial/.vintrel-ready"
  rm -rf --one-file-system "$root"
  mv "$partial" "$root"
}

mounted=()
mount_into() {  # mount_into SOURCE TARGET [mount options...]
  local source=$1 target=$root$2
  shift 2
  mkdir -p "$target"
  mount "$@" "$source" "$target"
  mounted+=("$target")
}

# Ends every process whose root is the chroot, by its id, then undoes the mounts, newest first.
cleanup() {
  local status=$?
  trap - EXIT INT TERM HUP
  local pass pid
  for pass in TERM KILL; do
    local left=0
    for pid in $(ls /proc | grep -E '^[0-9]+$'); do
      [ "$(readlink "/proc/$pid/root" 2>/dev/null)" = "$root" ] || continue
      kill -s "$pass" "$pid" 2>/dev/null && left=1
    done
    ((left)) && sleep 1
  done
  local i
  for ((i = ${#mounted[@]} - 1; i >= 0; i--)); do
    umount "${mounted[i]}" 2>/dev/null || umount -l "${mounted[i]}" 2>/dev/null ||
      echo "ci-trixie: could not unmount ${mounted[i]}" >&2
  done
  exit "$status"
}

# One run at a time: a second would share the copy, the mounts and the processes.
mkdir -p "$(dirname "$root")"
exec 9>"$root.lock"
flock -n 9 || { echo "ci-trixie: another run uses $root; waiting for it" >&2; flock 9; }

install_host_tools
make_chroot
trap cleanup EXIT
trap 'exit 130' INT
trap 'exit 143' TERM HUP

mount_into proc /proc -t proc
mount_into sysfs /sys -t sysfs
mount_into /dev /dev --bind
mount_into devpts /dev/pts -t devpts -o newinstance,ptmxmode=0666
mount_into tmpfs /dev/shm -t tmpfs
cp /etc/resolv.conf "$root/etc/resolv.conf"
# The compiler cache, kept in the chroot between runs.
if [ ! -x "$root/usr/bin/ccache" ]; then
  chroot "$root" /bin/sh -c 'apt-get update -qq && DEBIAN_FRONTEND=noninteractive apt-get install -y -qq ccache >/dev/null'
fi

# The clone as a fresh clone holds it: no build folder, nothing ignored by git.
rm -rf --one-file-system "${root:?}$copy"
mkdir -p "$root$copy"
(cd "$here" && git ls-files -z --cached --others --exclude-standard |
  tar --null -T - -cf - ) | tar -C "$root$copy" -xf -

(($# > 0)) || set -- ./scripts/test.sh
# A clean environment, as a fresh machine's root shell; the compiler cache stays in the chroot.
nice -n 5 chroot "$root" /usr/bin/env -i \
  HOME=/root PATH=/usr/local/sbin:/usr/local/bin:/usr/sbin:/usr/bin:/sbin:/bin \
  LANG=C.UTF-8 CI="${CI:-}" CXXFLAGS="${CXXFLAGS:-}" TERM=dumb DEBIAN_FRONTEND=noninteractive \
  CCACHE_DIR=/var/cache/ccache CMAKE_CXX_COMPILER_LAUNCHER=ccache CMAKE_C_COMPILER_LAUNCHER=ccache \
  /bin/bash -c 'cd "$0" && exec "$@"' "$copy" "$@" </dev/null &
# Waited for in the background so that a signal to this script runs the cleanup at once
# (bash runs traps only between foreground commands, or when a wait is interrupted).
wait $!
