#!/usr/bin/env bash
# decode_qr.sh FOLDER -- COMMAND [ARG ...]: runs COMMAND (a QR test case
# through the harness), then reads every picture the case left in FOLDER
# beside the text it must hold (NAME.bmp or NAME.png with NAME.expected)
# with an independent decoder, ZXing's C++ port (Debian's python3-zxing-cpp).
# Exit code: COMMAND's when it failed or skipped, else the decoder's (77
# when the decoder is not installed).
set -uo pipefail
folder=$1; shift
[[ ${1:-} == -- ]] && shift
"$@"
rc=$?
[[ $rc -eq 0 ]] || exit $rc
# Debian's own Python, where its python3-zxing-cpp lives.
python=/usr/bin/python3
[[ -x $python ]] || { echo "SKIP: $python is not installed"; exit 77; }
exec "$python" "$(dirname "$0")/decode_qr.py" "$folder"
