#!/usr/bin/env bash
# Checks the shipped executable's format: a GUI program for the given
# architecture that imports nothing but Windows system DLLs.
#   tests/check-pe.sh <exe> <file-pattern> <objdump>
set -euo pipefail
exe=$1 pattern=$2 objdump=$3

kind=$(file -b "$exe")
echo "file: $kind"
if [[ $kind != *"$pattern"* ]]; then
    echo "expected: $pattern" >&2
    exit 1
fi

# DLLs that every Windows installation carries.
allowed='^(kernel32|user32|gdi32|msimg32|advapi32|shell32|ole32|oleaut32|comctl32|comdlg32|shlwapi|version|psapi|wininet|secur32|ws2_32|crypt32|bcrypt|msvcrt|uxtheme|winmm|rpcrt4|userenv|ntdll)\.dll$'
status=0
while read -r dll; do
    echo "imports: $dll"
    if ! [[ ${dll,,} =~ $allowed ]]; then
        echo "not a system DLL: $dll" >&2
        status=1
    fi
done < <("$objdump" -p "$exe" | sed -n 's/^\s*DLL Name: //p')
exit $status
