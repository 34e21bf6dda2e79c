#!/usr/bin/env bash
# Peak memory of unpacking one 1 GiB zip entry with the streaming extraction
# (natively), then the RAR decoding rate of the shipped libarchive against
# the system's. The archive and the unpacked file are made in a temporary
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

# RAR decoding rate of libarchive's test archives: the decoder the launcher
# ships against the system's (Debian 12's 3.6) when the bench for it was
# built, and their ratio.
bench_dir=$(dirname "$exe")
archives=()
for name in binary_data.rar compress_best.rar compress_normal.rar filter.rar \
    multi_lzss_blocks.rar ppmd_lzss_conversion.rar; do
    archives+=("$root/tests/fixtures/rar/$name")
done
"$bench_dir/rar_unpack_bench" "${archives[@]}" | tee "$work/shipped.txt"
if [[ -x $bench_dir/rar_unpack_bench_system ]]; then
    "$bench_dir/rar_unpack_bench_system" "${archives[@]}" | tee "$work/system.txt"
    echo "rate ratio, shipped / system:"
    awk 'FNR == 1 { next }
         NR == FNR { if ($NF == "MB/s") rate[$1] = $(NF - 1); next }
         { if ($NF == "MB/s" && ($1 in rate)) printf "  %-28s %.2f\n", $1, rate[$1] / $(NF - 1);
           else printf "  %-28s system decoder failed\n", $1 }' "$work/shipped.txt" "$work/system.txt"
fi
