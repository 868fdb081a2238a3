#!/usr/bin/env bash
# Runs inside a fresh user and mount namespace (scripts/lib/wine-loader.sh starts it with
# unshare): gives the namespace a binfmt_misc of its own that hands every 32-bit x86 ELF to
# qemu-i386, then runs the command. Nothing outside the namespace sees the registration.
#   binfmt-namespace.sh QEMU COMMAND [ARGUMENTS...]
set -euo pipefail
qemu=$1
shift

mount -t binfmt_misc binfmt_misc /proc/sys/fs/binfmt_misc
# The ELF header of a 32-bit little-endian x86 executable or shared object (e_type 2 or 3,
# e_machine 3); F opens the interpreter now, so it is found whatever the mounts later hold.
magic='\x7fELF\x01\x01\x01\x00\x00\x00\x00\x00\x00\x00\x00\x00\x02\x00\x03\x00'
mask='\xff\xff\xff\xff\xff\xfe\xfe\x00\xff\xff\xff\xff\xff\xff\xff\xff\xfe\xff\xff\xff'
printf ':vantorel-i386:M::%s:%s:%s:F\n' "$magic" "$mask" "$qemu" \
  >/proc/sys/fs/binfmt_misc/register

export VANTOREL_IN_BINFMT_NAMESPACE=1
exec "$@"
