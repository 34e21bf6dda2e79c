#!/usr/bin/env bash
# CRC-32 throughput over a 1 GiB file from the page cache: our Crc32 against
# zlib's crc32 in the same process, natively and in the x86_64 Windows build
# under Wine, and GNU cksum on the same file. Prints figures, asserts none;
# fails only when Crc32 and zlib disagree on the file's CRC.
#   CRC_BENCH_FILE    data file (default /tmp/launcher-crc-bench-1GiB.bin)
#   CRC_BENCH_PASSES  runs per figure, the best is shown (default 3)
#   CRC_BENCH_WIN_EXE the Windows crc_file_bench.exe (default: the win64 tree's)
set -euo pipefail

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
data=${CRC_BENCH_FILE:-/tmp/launcher-crc-bench-1GiB.bin}
passes=${CRC_BENCH_PASSES:-3}
size=$((1 << 30))
native_bench=$root/build/native/bench/crc/crc_file_bench
micro_bench=$root/build/native/bench/crc/crc_micro_bench
win_bench=${CRC_BENCH_WIN_EXE:-$root/build/win64/bench/crc/crc_file_bench.exe}
wine_session=$(dirname "$win_bench")/wine

make_data() {
    if [[ -f $data && $(stat -c %s "$data") -eq $size ]]; then
        return
    fi
    echo "creating $data: 1 GiB of pseudo-random bytes, kept for later runs"
    local part
    part=$(mktemp "$data.XXXXXX")
    head -c "$size" /dev/urandom >"$part"
    mv "$part" "$data"
}

warm_page_cache() {
    local available_kib
    available_kib=$(awk '/^MemAvailable:/ {print $2}' /proc/meminfo)
    if ((available_kib < 2 * 1024 * 1024)); then
        echo "warning: less than 2 GiB of memory available; the file may not stay cached"
    fi
    cat "$data" >/dev/null
}

# Lines of crc_file_bench: "<mode> <impl> <bytes> <crc> <seconds> <MB/s>".
declare -A rate crc
read_results() {
    local where=$1 mode impl value mbps
    while read -r mode impl _ value _ mbps; do
        case $mode in
        file | memory)
            rate[$where/$mode/$impl]=$mbps
            crc[$where/$mode/$impl]=$value
            ;;
        clmul) rate[$where/clmul]=$impl ;;
        zlib) rate[$where/zlib]=$impl ;;
        esac
    done
}

time_cksum() {
    local best='' start end ns
    for ((pass = 0; pass < passes; ++pass)); do
        start=$(date +%s%N)
        cksum "$data" >/dev/null
        end=$(date +%s%N)
        ns=$((end - start))
        if [[ -z $best ]] || ((ns < best)); then
            best=$ns
        fi
    done
    awk -v b="$size" -v ns="$best" 'BEGIN { printf "%.0f", b / (ns / 1e9) / 1e6 }'
}

check_same_crc() {
    local where=$1 mode
    for mode in file memory; do
        if [[ ${crc[$where/$mode/Crc32]} != "${crc[$where/$mode/zlib]}" ]]; then
            echo "CRC MISMATCH ($where, $mode): Crc32 ${crc[$where/$mode/Crc32]}, zlib ${crc[$where/$mode/zlib]}" >&2
            exit 1
        fi
    done
}

ratio() {
    awk -v a="$1" -v b="$2" 'BEGIN { printf "%.2fx", a / b }'
}

row() {
    printf '%-34s %10s %8s %10s %8s\n' "$@"
}

[[ -x $native_bench ]] || { echo "missing $native_bench: run make native" >&2; exit 1; }
make_data
warm_page_cache

read_results native < <("$native_bench" "$data" "$passes")
check_same_crc native
cksum_rate=$(time_cksum)

have_wine=no
if [[ -f $win_bench ]]; then
    read_results wine < <("$root/cmake/wine-session.sh" "$wine_session" \
        wine "$win_bench" "Z:$data" "$passes" | tr -d '\r')
    check_same_crc wine
    have_wine=yes
fi

echo
echo "CRC-32 over $size bytes from the page cache, best of $passes (MB = 10^6 bytes)"
echo "file: read in 64 KiB pieces and checksummed, like cksum; memory: the CRC alone over 256 MiB"
row "" "file MB/s" "vs zlib" "mem MB/s" "vs zlib"
zn=${rate[native/file/zlib]} zm=${rate[native/memory/zlib]}
row "Crc32 native (clmul ${rate[native/clmul]})" "${rate[native/file/Crc32]}" \
    "$(ratio "${rate[native/file/Crc32]}" "$zn")" "${rate[native/memory/Crc32]}" \
    "$(ratio "${rate[native/memory/Crc32]}" "$zm")"
row "zlib ${rate[native/zlib]} crc32 native" "$zn" "1.00x" "$zm" "1.00x"
row "$(cksum --version | head -1 | sed 's/^cksum (GNU coreutils) /GNU cksum /') (*)" \
    "$cksum_rate" "$(ratio "$cksum_rate" "$zn")" "-" "-"
if [[ $have_wine == yes ]]; then
    wzf=${rate[wine/file/zlib]} wzm=${rate[wine/memory/zlib]}
    row "Crc32 Wine x86_64 (clmul ${rate[wine/clmul]})" "${rate[wine/file/Crc32]}" \
        "$(ratio "${rate[wine/file/Crc32]}" "$wzf")" "${rate[wine/memory/Crc32]}" \
        "$(ratio "${rate[wine/memory/Crc32]}" "$wzm")"
    row "zlib ${rate[wine/zlib]} crc32 Wine x86_64" "$wzf" "1.00x" "$wzm" "1.00x"
else
    row "Crc32 Wine x86_64" "not built: $win_bench"
fi
echo "(*) cksum's default algorithm is the POSIX CRC (polynomial 0x04C11DB7, length"
echo "    appended), not zip's CRC-32; coreutils 9 folds it with carry-less"
echo "    multiplication, the same speed class. Wine rows compare with zlib in the"
echo "    same Wine process."

if [[ -x $micro_bench ]]; then
    echo
    echo "In memory by size (native; bytes_per_second from CPU time):"
    "$micro_bench" --benchmark_min_time=0.1 --benchmark_counters_tabular=true 2>/dev/null
fi
