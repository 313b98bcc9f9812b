#!/usr/bin/env bash
# trusted_root.sh ROOT.pem -- COMMAND [ARG ...]
# Runs COMMAND where the tests' root certificate is trusted: in a mount
# namespace of its own whose /etc/ssl/certs/ca-certificates.crt (the file
# Wine takes its trusted roots from) holds the machine's roots and this one.
# Nothing outside the namespace changes. Wine 8 takes no root a program adds
# to the user's or the machine's Root store, so this is the way to trust one.
# Exit code: COMMAND's, or 77 where this cannot be set up (it needs root).
set -uo pipefail
root=$1; shift
[[ ${1:-} == -- ]] && shift
bundle=/etc/ssl/certs/ca-certificates.crt
command -v unshare >/dev/null || { echo "SKIP: unshare is not installed (package util-linux)"; exit 77; }
[[ $(id -u) == 0 ]] || { echo "SKIP: a root of the tests' own needs root (a mount namespace)"; exit 77; }
[[ -s $root ]] || { echo "SKIP: no test root at $root (openssl missing)"; exit 77; }
[[ -f $bundle ]] || { echo "SKIP: no $bundle to add the tests' root to"; exit 77; }
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cat "$bundle" "$root" >"$work/ca-certificates.crt"
unshare --mount --propagation private -- bash -c 'mount --bind "$0" "$1" || exit 77; shift; exec "$@"' \
    "$work/ca-certificates.crt" "$bundle" "$@"
