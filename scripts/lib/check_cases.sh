#!/usr/bin/env bash
# Every case a test program registers has a ctest test of its own: the cases
# the program lists (--list, run under the harness) are exactly those the
# build derived from its sources (cmake/harness.cmake). A case written in a
# way the build does not see would otherwise never run.
# Usage: check_cases.sh BUILD PROGRAM CASE...
set -uo pipefail
build=$1 program=$2
shift 2
name=$(basename "$program" .exe).cases
listed=$(bash "$(dirname "$0")/harness.sh" run "$build" --name "$name" -- "$program" --list 2>/dev/null | tr -d '\r' |
         grep -E '^[A-Za-z0-9_]+$' | sort)
registered=$(printf '%s\n' "$@" | sort)
if [[ -z $listed ]]; then
    echo "FAIL: $program listed no cases"
    exit 1
fi
if [[ $listed != "$registered" ]]; then
    echo "FAIL: the cases of $(basename "$program") and its ctest tests differ"
    diff <(echo "$registered") <(echo "$listed") | sed -n 's/^< /  registered only: /p; s/^> /  listed only:     /p'
    exit 1
fi
echo "ok: $(wc -l <<<"$listed") cases, each registered once"
