#!/usr/bin/env bash
# make_certificates.sh FOLDER: the tests' certificates, made once per folder.
#   client.pfx  a self-signed client certificate and its key, without password
#   large.pfx   the same with 80 more certificates: well beyond 64 KiB
#   client.cer  the client certificate alone (DER), for telling its key apart
#   ca.pem      a test root, which trusted_root.sh makes trusted for a while
#   server.pem, server.key   a server certificate for localhost signed by
#               that root, naming no place to check its revocation
# The legacy algorithms (3DES, SHA-1 MAC) are the ones every Windows from
# Vista on imports. Without openssl the files are left empty, and the cases
# that need them skip themselves.
set -uo pipefail
dir=$1
files=(client.pfx large.pfx client.cer ca.pem server.pem server.key)
complete=1
for file in "${files[@]}"; do [[ -s $dir/$file ]] || complete=0; done
((complete)) && exit 0
mkdir -p "$dir"
tmp=$(mktemp -d "$dir/.making.XXXXXX")
trap 'rm -rf "$tmp"' EXIT
for file in "${files[@]}"; do : >"$tmp/$file"; done
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
    printf 'basicConstraints=critical,CA:TRUE\nkeyUsage=critical,keyCertSign,cRLSign\n' >"$tmp/ca.ext"
    printf 'basicConstraints=CA:FALSE\nkeyUsage=critical,digitalSignature,keyEncipherment\nextendedKeyUsage=serverAuth\nsubjectAltName=DNS:localhost,IP:127.0.0.1\n' >"$tmp/server.ext"
    if openssl req -new -newkey rsa:2048 -nodes -subj "/CN=Quelvano test root" -keyout "$tmp/ca.key" \
            -out "$tmp/ca.csr" >/dev/null 2>&1 &&
        openssl x509 -req -in "$tmp/ca.csr" -signkey "$tmp/ca.key" -days 30 -extfile "$tmp/ca.ext" \
            -out "$tmp/ca.pem" >/dev/null 2>&1 &&
        openssl req -new -newkey rsa:2048 -nodes -subj "/CN=localhost" -keyout "$tmp/server.key" \
            -out "$tmp/server.csr" >/dev/null 2>&1 &&
        openssl x509 -req -in "$tmp/server.csr" -CA "$tmp/ca.pem" -CAkey "$tmp/ca.key" -CAcreateserial -days 30 \
            -extfile "$tmp/server.ext" -out "$tmp/server.pem" >/dev/null 2>&1; then
        :
    else
        : >"$tmp/ca.pem"
        : >"$tmp/server.pem"
        : >"$tmp/server.key"
    fi
fi
# Whole files or none: concurrent first runs each make their own and the
# last one to finish wins.
for file in "${files[@]}"; do mv -f "$tmp/$file" "$dir/$file"; done
