#!/usr/bin/env bash
# The layer rule holds in an existing build tree too: high/ includes low/,
# which compiles while the rule lets it and fails once the permission is
# taken out of the rule and the same tree is configured again.
# Usage: check_layer_rule.sh SOURCE_ROOT WORK_DIR
set -u
root=$1 work=$2
rm -rf "$work" "$work.src"
mkdir -p "$(dirname "$work")"
# A copy of the fixture, so that its source can be touched.
fixture=$work.src
cp -r "$root/tests/layers/fixture" "$fixture"
configure() { cmake -S "$fixture" -B "$work" -G Ninja -DPIX_LAYERS_CMAKE="$root/cmake/layers.cmake" "$@" >"$work.log" 2>&1; }

configure -DPIX_HIGH_SEES=low || { cat "$work.log"; echo "FAIL: the fixture does not configure"; exit 1; }
cmake --build "$work" >>"$work.log" 2>&1 || { cat "$work.log"; echo "FAIL: an allowed include does not compile"; exit 1; }

configure -DPIX_HIGH_SEES= || { cat "$work.log"; echo "FAIL: the fixture does not configure again"; exit 1; }
touch "$fixture/high/high.cpp"
if cmake --build "$work" >>"$work.log" 2>&1; then
    echo "FAIL: an include the rule no longer allows still compiles in the existing tree"
    exit 1
fi
grep -q 'low/low.h' "$work.log" || { cat "$work.log"; echo "FAIL: the build failed for another reason"; exit 1; }
echo "ok: the withdrawn permission is gone from the existing tree"
