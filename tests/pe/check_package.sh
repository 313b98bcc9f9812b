#!/usr/bin/env bash
# check_package.sh PE_CHECK ARCH VERSION ZIP: the ZIP a user downloads holds
# exactly its files, under one folder named like the ZIP; its PixGen.exe and
# Quelvano.dll pass pe_check for ARCH, their version resources of VERSION.
set -uo pipefail
pe_check=$1 arch=$2 version=$3 zip=$4
[[ -f $zip ]] || { echo "no package at $zip (cmake --build <tree> --target package)"; exit 1; }
zip=$(realpath "$zip")
top=$(basename "$zip" .zip)
expected=$(printf '%s\n' "$top/PixGen.exe" "$top/Quelvano.dll" "$top/Quelvano.ini.sample" "$top/README.txt" \
    "$top/licenses/GCC-runtime-libraries.txt" "$top/licenses/GPL-3.txt" "$top/licenses/MinGW-w64-runtime.txt" \
    "$top/licenses/QR-Code-generator.txt" "$top/licenses/nlohmann-json.txt" | LC_ALL=C sort)
actual=$(cmake -E tar tf "$zip" | grep -v '/$' | LC_ALL=C sort)
status=0
if [[ $actual != "$expected" ]]; then
    echo "$zip holds other files than expected:"
    diff <(echo "$expected") <(echo "$actual") | sed -n 's/^[<>] /  &/p'
    status=1
fi
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
(cd "$work" && cmake -E tar xf "$zip") || { echo "$zip cannot be unpacked"; exit 1; }
for text in README.txt Quelvano.ini.sample licenses/QR-Code-generator.txt; do
    [[ -s $work/$top/$text ]] || { echo "$text is empty"; status=1; }
done
grep -q "QR Code do Pix" "$work/$top/README.txt" || { echo "README.txt lacks the user's part"; status=1; }
grep -q "Permission is hereby granted" "$work/$top/licenses/QR-Code-generator.txt" ||
    { echo "the QR Code generator's licence lacks its text"; status=1; }
"$pe_check" --arch "$arch" --version "$version" --exe "$work/$top/PixGen.exe" --dll "$work/$top/Quelvano.dll" || status=1
[[ $status -eq 0 ]] && echo "$zip: its files, $arch, version $version"
exit $status
