#!/usr/bin/env bash
# check_emv.sh FOLDER: every BR Code the bank 001 library returned in the Wine
# tests (the emvs.txt files below FOLDER, "cents code" per line), read by the
# npm package pix-utils and checked for what that reader lets pass.
# check_emv.sh --spoiled FILE: every code of FILE must be caught.
set -uo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
modules=${PIX_NODE_MODULES:-${PIX_BUILD:-$root/build}/node}/node_modules
command -v node >/dev/null || { echo "SKIP: node is not installed (package nodejs)"; exit 77; }
[[ -d $modules/pix-utils ]] || { echo "SKIP: pix-utils is not installed in $modules (scripts/test installs it)"; exit 77; }
if [[ $1 == --spoiled ]]; then
    NODE_PATH=$modules exec node "$(dirname "$0")/check_emv.js" --spoiled "$2"
fi
mapfile -t lists < <(find "$1" -name emvs.txt -size +0 2>/dev/null | sort)
[[ ${#lists[@]} -gt 0 ]] || { echo "SKIP: no BR Codes listed under $1 (run the bank001 Wine tests first)"; exit 77; }
NODE_PATH=$modules exec node "$(dirname "$0")/check_emv.js" "${lists[@]}"
