#!/usr/bin/env bash
# qrcodegen.sh DIR: puts the upstream source of the QR Code generator the
# program links (the tarball of Debian's source package qr-code-generator)
# into DIR, unless a copy with the recorded SHA-256 (cmake/qrcodegen.sha256)
# is there already, and prints its path. Fetched through apt's own source
# download, with a source list, package lists and cache of its own in a
# temporary folder: the system's apt settings and state stay as they are.
# Nothing of it is committed; the build checks the hash again and unpacks it
# into its own tree (cmake/qrcodegen.cmake).
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
dir=${1:?usage: qrcodegen.sh DIR}
read -r hash name <"$root/cmake/qrcodegen.sha256"
package=qr-code-generator
tarball=$dir/$name

matches() { [[ -f $1 ]] && [[ $(sha256sum "$1" | cut -d' ' -f1) == "$hash" ]]; }

if matches "$tarball"; then
    printf '%s\n' "$tarball"
    exit 0
fi
command -v apt-get >/dev/null || { echo "qrcodegen.sh: apt-get is needed to fetch $name" >&2; exit 1; }

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/parts" "$work/lists/partial" "$work/cache/archives/partial" "$work/get"
# The system's own Debian mirror, as a source of source packages.
uri=$(awk '/^URIs:/ {print $2; exit}' /etc/apt/sources.list.d/debian.sources 2>/dev/null || true)
[[ -n $uri ]] || uri=$(awk '$1 == "deb" {print $2; exit}' /etc/apt/sources.list 2>/dev/null || true)
[[ -n $uri ]] || { echo "qrcodegen.sh: no Debian mirror configured for apt" >&2; exit 1; }
suite=$(. /etc/os-release && printf '%s' "${VERSION_CODENAME:-bookworm}")
printf 'Types: deb-src\nURIs: %s\nSuites: %s\nComponents: main\nSigned-By: /usr/share/keyrings/debian-archive-keyring.gpg\n' \
    "$uri" "$suite" >"$work/parts/source.sources"
opts=(-o "Dir::Etc::SourceList=/dev/null" -o "Dir::Etc::SourceParts=$work/parts"
      -o "Dir::State::Lists=$work/lists" -o "Dir::Cache=$work/cache" -o "APT::Sandbox::User=root")
apt-get "${opts[@]}" -qq update >"$work/log" 2>&1 || { cat "$work/log" >&2; exit 1; }
# Only the upstream tarball matters: apt's exit status also reflects the
# Debian packaging files, which a mirror may lack.
(cd "$work/get" && apt-get "${opts[@]}" -qq source --download-only "$package" >>"$work/log" 2>&1) || true
if ! matches "$work/get/$name"; then
    cat "$work/log" >&2
    echo "qrcodegen.sh: $name did not arrive with SHA-256 $hash" >&2
    exit 1
fi
mkdir -p "$dir"
mv "$work/get/$name" "$tarball"
printf '%s\n' "$tarball"
