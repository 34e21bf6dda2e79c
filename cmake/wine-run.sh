#!/usr/bin/env bash
# CTest's emulator for the Windows trees. A wine start that fails before the
# program prints anything (seen in CI: non-zero exit after 0.00 s, no output
# at all) says nothing about the code under test, so it is retried once with
# a notice. A program that ran always prints something (GoogleTest, the
# probe), so real failures are never retried.
set -uo pipefail
out=$(mktemp) err=$(mktemp)
trap 'rm -f "$out" "$err"' EXIT
for attempt in 1 2; do
    wine "$@" >"$out" 2>"$err"
    rc=$?
    if [[ $rc -eq 0 || -s $out || -s $err || $attempt -eq 2 ]]; then
        break
    fi
    echo "wine-run: wine exited with $rc before the program printed anything; starting it again" >&2
done
cat "$out"
cat "$err" >&2
exit $rc
