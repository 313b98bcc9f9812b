#!/usr/bin/env bash
# make_pfx.sh FOLDER: the tests' client certificates, made once per folder.
#   client.pfx  a self-signed certificate and its key, without password
#   large.pfx   the same with 80 more certificates: well beyond 64 KiB
#   client.cer  the certificate alone (DER), for telling its key apart
# The legacy algorithms (3DES, SHA-1 MAC) are the ones every Windows from
# Vista on imports. Without openssl the files are left empty, and the cases
# that need them skip themselves.
set -uo pipefail
dir=$1
[[ -s $dir/client.pfx && -s $dir/large.pfx && -s $dir/client.cer ]] && exit 0
mkdir -p "$dir"
tmp=$(mktemp -d "$dir/.making.XXXXXX")
trap 'rm -rf "$tmp"' EXIT
: >"$tmp/client.pfx"
: >"$tmp/large.pfx"
: >"$tmp/client.cer"
if command -v openssl >/dev/null; then
    legacy=(-certpbe PBE-SHA1-3DES -keypbe PBE-SHA1-3DES -macalg sha1 -passout pass:)
    if openssl req -x509 -newkey rsa:2048 -nodes -days 30 -subj "/CN=Quelvano test client" \
            -keyout "$tmp/key.pem" -out "$tmp/cert.pem" >/dev/null 2>&1 &&
        openssl pkcs12 -export -inkey "$tmp/key.pem" -in "$tmp/cert.pem" -out "$tmp/client.pfx" \
            -name "Quelvano test client" "${legacy[@]}" >/dev/null 2>&1; then
        for i in $(seq 80); do
            openssl req -x509 -key "$tmp/key.pem" -days 30 -subj "/CN=Quelvano test chain $i" 2>/dev/null
        done >"$tmp/chain.pem"
        openssl pkcs12 -export -inkey "$tmp/key.pem" -in "$tmp/cert.pem" -certfile "$tmp/chain.pem" \
            -out "$tmp/large.pfx" -name "Quelvano test client" "${legacy[@]}" >/dev/null 2>&1 || : >"$tmp/large.pfx"
        openssl x509 -in "$tmp/cert.pem" -outform DER -out "$tmp/client.cer" 2>/dev/null || : >"$tmp/client.cer"
    else
        : >"$tmp/client.pfx"
    fi
fi
# Whole files or none: concurrent first runs each make their own and the
# last one to finish wins.
mv -f "$tmp/client.cer" "$dir/client.cer"
mv -f "$tmp/client.pfx" "$dir/client.pfx"
mv -f "$tmp/large.pfx" "$dir/large.pfx"
