#!/usr/bin/env bash
# silent_dns.sh -- COMMAND [ARG ...]
# Runs COMMAND where no name resolves, ever: in a mount namespace of its own
# whose /etc/resolv.conf names one nameserver, on 127.83.83.83, that takes
# every query and answers none (the resolver waits 30 s five times over).
# Names in /etc/hosts (localhost) still resolve. Nothing outside the
# namespace changes. Exit code: COMMAND's, or 77 where this cannot be set up
# (it needs root, for the namespace and for port 53).
set -uo pipefail
[[ ${1:-} == -- ]] && shift
command -v unshare >/dev/null || { echo "SKIP: unshare is not installed (package util-linux)"; exit 77; }
command -v python3 >/dev/null || { echo "SKIP: python3 is not installed"; exit 77; }
[[ $(id -u) == 0 ]] || { echo "SKIP: a silent nameserver needs root (a mount namespace, port 53)"; exit 77; }
work=$(mktemp -d)
ready=$work/ready
python3 - "$ready" <<'PY' &
import os, socket, sys, time
s = socket.socket(socket.AF_INET, socket.SOCK_DGRAM)
s.bind(("127.83.83.83", 53))
open(sys.argv[1], "w").close()
parent = os.getppid()
while os.getppid() == parent:  # takes the queries in, answers none
    s.settimeout(1)
    try:
        s.recv(4096)
    except OSError:
        pass
PY
dns=$!
trap 'kill "$dns" 2>/dev/null; wait "$dns" 2>/dev/null; rm -rf "$work"' EXIT
for _ in $(seq 50); do [[ -e $ready ]] && break; sleep 0.1; done
[[ -e $ready ]] || { echo "SKIP: no silent nameserver on 127.83.83.83:53"; exit 77; }
printf 'nameserver 127.83.83.83\noptions timeout:30 attempts:5\n' >"$work/resolv.conf"
unshare --mount --propagation private -- bash -c 'mount --bind "$0" /etc/resolv.conf || exit 77; exec "$@"' \
    "$work/resolv.conf" "$@"
