#!/bin/sh
# Runs a program with its own empty /run/pcscd: a private mount namespace with a
# tmpfs there, so the private pcscd it starts and every PC/SC client it runs
# meet on their own socket, whether or not the system's pcscd runs. Nothing the
# program does there is seen outside.
fail() { echo "integration suite cannot run: $*" >&2; exit 1; }
[ "$(id -u)" -eq 0 ] || fail "it needs root (a private mount namespace and its own /run/pcscd)"
command -v unshare >/dev/null 2>&1 || fail "unshare (util-linux) is not installed"
# The mount point must exist on the host; an empty /run/pcscd is what pcscd
# itself would create.
mkdir -p /run/pcscd || exit 1
exec unshare --mount --propagation private -- sh -c '
  mount -t tmpfs -o mode=0755,size=1m orvex-pcscd /run/pcscd || {
    echo "integration suite cannot run: no private /run/pcscd could be mounted" >&2
    exit 1
  }
  exec "$@"' run_private "$@"
