#!/usr/bin/env bash
# with_mock.sh WORK_DIR -- COMMAND [ARG ...]
# Runs COMMAND with the mock bank (mock_bank.py) listening on ephemeral ports
# of 127.0.0.1 (plain, TLS when openssl is there, and one that never accepts),
# listed in WORK_DIR/port, the plain address in BANK001_MOCK_URL; the
# recording proxy (recording_proxy.py), its port in WORK_DIR/proxy_port; the
# tests' certificates in WORK_DIR/../pfx (make_certificates.sh); and
# BANK001_EMV_FILE naming (as a Windows path) the file where the test lists
# every BR Code the library returned. Exit code: COMMAND's, or 77 when
# python3 is missing.
set -uo pipefail
work=$1; shift
[[ ${1:-} == -- ]] && shift
command -v python3 >/dev/null || { echo "SKIP: python3 is not installed"; exit 77; }
mkdir -p "$work"
rm -f "$work/port" "$work/proxy_port" "$work/emvs.txt"
bash "$(dirname "$0")/make_certificates.sh" "$work/../pfx"
# A certificate of its own for the TLS port, trusted by nobody.
tls=()
if command -v openssl >/dev/null &&
    openssl req -x509 -newkey rsa:2048 -nodes -days 2 -subj /CN=127.0.0.1 \
        -keyout "$work/key.pem" -out "$work/cert.pem" >/dev/null 2>&1; then
    tls=("$work/cert.pem" "$work/key.pem")
    # And one for 127.0.0.1 signed by the tests' own root.
    [[ -s $work/../pfx/server.pem ]] && tls+=("$work/../pfx/server.pem" "$work/../pfx/server.key")
fi
python3 "$(dirname "$0")/mock_bank.py" "$work/port" "${tls[@]}" >"$work/mock.log" 2>&1 &
mock=$!
python3 "$(dirname "$0")/recording_proxy.py" "$work/proxy_port" >"$work/proxy.log" 2>&1 &
proxy=$!
trap 'kill "$mock" "$proxy" 2>/dev/null; wait "$mock" "$proxy" 2>/dev/null' EXIT
trap 'exit 143' TERM
trap 'exit 130' INT
for _ in $(seq 100); do
    [[ -s $work/port && -s $work/proxy_port ]] && break
    kill -0 "$mock" 2>/dev/null || { echo "the mock bank did not start:"; cat "$work/mock.log"; exit 1; }
    kill -0 "$proxy" 2>/dev/null || { echo "the recording proxy did not start:"; cat "$work/proxy.log"; exit 1; }
    sleep 0.1
done
[[ -s $work/port && -s $work/proxy_port ]] || { echo "the mock bank or the proxy did not start in 10 s"; exit 1; }
export BANK001_MOCK_URL="http://127.0.0.1:$(head -n 1 "$work/port")"
emvs=$(realpath -m "$work/emvs.txt")
export BANK001_EMV_FILE="Z:${emvs//\//\\}"
"$@"
