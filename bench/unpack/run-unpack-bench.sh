#!/usr/bin/env bash
# Peak memory of unpacking one 1 GiB zip entry with the streaming extraction
# (natively). The archive and the unpacked file are made in a temporary
# folder at run time and deleted afterwards. Prints figures, asserts none.
#   UNPACK_BENCH_EXE  the program (default: the native tree's)
#   UNPACK_BENCH_MIB  entry size in MiB (default 1024)
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
exe=${UNPACK_BENCH_EXE:-$root/build/native/bench/unpack/unpack_memory_bench}
work=$(mktemp -d "${TMPDIR:-/tmp}/unpack-bench.XXXXXX")
trap 'rm -rf "$work"' EXIT
echo "unpack bench: $exe, work folder $work (about 1 GiB of disk while it runs)"
"$exe" "$work" "${UNPACK_BENCH_MIB:-1024}"
