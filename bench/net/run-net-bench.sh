#!/usr/bin/env bash
# Loopback throughput of the net transport: one 256 MiB body fetched through
# CNetTransport the way the downloader fetches a package (the x86_64 build,
# under Wine), against `curl -s -o /dev/null` fetching the same file from the
# same test update server. Prints figures, asserts none; fails only when a
# transfer is short or corrupt.
#   run-net-bench.sh [bench-exe] [update_server.py]
#   defaults: build/win64/bench/net/net_throughput_bench.exe and
#             tests/e2e/server/update_server.py
#   NET_BENCH_PASSES  runs of each client, the median is shown (default 3)
set -euo pipefail

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
bench_exe=$(realpath -m "${1:-$root/build/win64/bench/net/net_throughput_bench.exe}")
server_script=$(realpath -m "${2:-$root/tests/e2e/server/update_server.py}")
passes=${NET_BENCH_PASSES:-3}
size=$((256 << 20))
file_path=/bench.bin

[[ -f $bench_exe ]] || { echo "missing $bench_exe: run make win64" >&2; exit 1; }
[[ -f $server_script ]] || { echo "missing $server_script" >&2; exit 1; }

work=$(mktemp -d /tmp/launcher-net-bench.XXXXXX)
server_pid=
cleanup() {
    if [[ -n $server_pid ]]; then
        kill -TERM "$server_pid" 2>/dev/null || true
        wait "$server_pid" 2>/dev/null || true
    fi
    rm -rf "$work"
}
trap cleanup EXIT

make_data() {
    mkdir -p "$work/root"
    head -c "$size" /dev/urandom >"$work/root$file_path"
}

# zip's CRC-32 in hex, as the bench exe computes it.
crc_of() {
    python3 - "$1" <<'EOF'
import sys, zlib
crc = 0
with open(sys.argv[1], "rb") as f:
    while piece := f.read(1 << 20):
        crc = zlib.crc32(piece, crc)
print(f"{crc:08x}")
EOF
}

start_server() {
    python3 "$server_script" --root "$work/root" --port 0 --port-file "$work/port" \
        --access-log "$work/access.log" >"$work/server.out" 2>&1 &
    server_pid=$!
    for _ in $(seq 300); do
        [[ -s $work/port ]] && return
        sleep 0.1
    done
    echo "the update server did not start:" >&2
    cat "$work/server.out" >&2
    exit 1
}

# One MB/s figure per line (MB = 10^6 bytes).
run_curl() {
    local url=$1 pass code bytes seconds
    for ((pass = 0; pass < passes; ++pass)); do
        read -r code bytes seconds < <(curl -s -o /dev/null \
            -w '%{http_code} %{size_download} %{time_total}\n' "$url")
        if [[ $code != 200 || $bytes != "$size" ]]; then
            echo "curl: status $code, $bytes of $size bytes" >&2
            exit 1
        fi
        awk -v b="$bytes" -v s="$seconds" 'BEGIN { printf "%.0f\n", b / s / 1e6 }'
    done
}

# The exe's result lines, all runs in one Wine session.
run_transport() {
    local url=$1 crc=$2
    # shellcheck disable=SC2016 # the loop's arguments expand in the inner bash
    "$root/cmake/wine-session.sh" "$work/wine" bash -c \
        'for ((i = 0; i < $1; ++i)); do "${@:2}" || exit; done' _ "$passes" \
        "$root/cmake/wine-run.sh" "$bench_exe" "$url" "$file_path" "$size" "$crc" | tr -d '\r'
}

# Field `key` of the exe's "transport key=value ..." lines, one per line.
field() {
    sed -n "s/^transport .*\\b$1=\\([^ ]*\\).*/\\1/p"
}

median() {
    sort -g | awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] }'
}

largest() {
    sort -g | tail -n 1
}

mib() {
    awk -v b="$1" 'BEGIN { printf "%.0f MiB", b / 1048576 }'
}

row() {
    printf '%-44s %9s   %s\n' "$@"
}

make_data
crc=$(crc_of "$work/root$file_path")
start_server
url=http://127.0.0.1:$(cat "$work/port")

curl_rates=$(run_curl "$url$file_path")
if ! results=$(run_transport "$url" "$crc"); then
    echo "the transport run failed:" >&2
    echo "$results" >&2
    exit 1
fi

curl_rate=$(median <<<"$curl_rates")
transport_rate=$(field mbps <<<"$results" | median)
ratio=$(awk -v t="$transport_rate" -v c="$curl_rate" 'BEGIN { printf "%.2f", t / c }')
goal=$(awk -v r="$ratio" 'BEGIN { print (r >= 0.8 ? "met" : "NOT met") }')

echo
echo "One body of $size bytes over loopback from the test update server,"
echo "median of $passes runs each (MB = 10^6 bytes); the body's length and CRC-32"
echo "($crc) were checked in every transport run."
row "" "MB/s" "runs"
row "curl -s -o /dev/null ($(curl --version | head -1 | cut -d' ' -f1-2))" "$curl_rate" \
    "$(xargs <<<"$curl_rates")"
row "CNetTransport, x86_64 under Wine" "$transport_rate" "$(field mbps <<<"$results" | xargs)"
echo "ratio transport/curl: $ratio (goal >= 0.80: $goal)"
echo "transport process memory (GetProcessMemoryInfo, filled from VmHWM/VmRSS by Wine):"
echo "  peak working set $(mib "$(field peak_working_set <<<"$results" | largest)") (largest" \
    "of the runs), working set at start $(mib "$(field start_working_set <<<"$results" | largest)")"
echo "  response buffer capacity at the end $(mib "$(field body_capacity <<<"$results" | largest)")" \
    "for a body of $(mib "$size")"
echo "adaptive reading: $(field progress <<<"$results" | median) progress notifications," \
    "last read block $(field last_block <<<"$results" | median) bytes (median of the runs)"
