#!/usr/bin/env bash
# launcher-tool verify against cksum over the same client: about 2 GB in
# 5000 files, published with launcher-tool publish, read from the page
# cache. Prints the times, verify's speed as a share of cksum's (goal: 0.9
# or more) and verify's peak memory (goal: under 64 MB). Figures are
# printed, never asserted; the script fails only when verify does not find
# the client intact. The generated data is deleted at the end.
#   VERIFY_BENCH_BUILD  native build tree (default build/native); the tool
#                       is built there without sanitizers
#   VERIFY_BENCH_DIR    work folder (default: a new folder under /tmp)
#   VERIFY_BENCH_PASSES runs per figure, the best is shown (default 3)
set -euo pipefail

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
build=${VERIFY_BENCH_BUILD:-$root/build/native}
passes=${VERIFY_BENCH_PASSES:-3}
work=${VERIFY_BENCH_DIR:-$(mktemp -d /tmp/launcher-verify-bench.XXXXXX)}
tool=$build/bench/verify/launcher-tool-bench
client=$work/client
server=$work/server

cleanup() { rm -rf "$work"; }
trap cleanup EXIT

# The native tree's own launcher-tool runs under the sanitizers; the
# figures are for the code as shipped.
cmake --build "$build" --target launcher-tool-bench -j 2 >/dev/null

echo "generating the client in $client"
mkdir -p "$client" "$server"
python3 "$root/bench/verify/make-client.py" "$client" "$work/layout.txt"
echo "publishing"
"$tool" publish "$client" "$work/layout.txt" "$server" >/dev/null

# Both tools read the same files from the page cache.
available_kib=$(awk '/^MemAvailable:/ {print $2}' /proc/meminfo)
if ((available_kib < 4 * 1024 * 1024)); then
    echo "warning: less than 4 GiB of memory available; the client may not stay cached"
fi
find "$client" -type f -print0 | xargs -0 cat >/dev/null

# Best wall time of `passes` runs in nanoseconds.
best_ns() {
    local best='' start end
    for ((pass = 0; pass < passes; ++pass)); do
        start=$(date +%s%N)
        "$@"
        end=$(date +%s%N)
        if [[ -z $best ]] || ((end - start < best)); then
            best=$((end - start))
        fi
    done
    echo "$best"
}

run_cksum() { find "$client" -type f -print0 | xargs -0 cksum >/dev/null; }
run_verify() {
    local status=0
    "$tool" verify "$client" "$server/update.xml" >"$work/verify.out" || status=$?
    if ((status != 0)); then
        echo "verify found the client not intact (exit $status):" >&2
        head -20 "$work/verify.out" >&2
        exit 1
    fi
}

verify_ns=$(best_ns run_verify)
cksum_ns=$(best_ns run_cksum)
/usr/bin/time -f %M -o "$work/rss" "$tool" verify "$client" "$server/update.xml" >/dev/null

files=$(find "$client" -type f | wc -l)
bytes=$(find "$client" -type f -printf '%s\n' | awk '{ n += $1 } END { print n }')
rss_kib=$(cat "$work/rss")

echo
echo "verify over $files files, $bytes bytes from the page cache, best of $passes (MB = 10^6 bytes)"
awk -v b="$bytes" -v v="$verify_ns" -v c="$cksum_ns" -v r="$rss_kib" 'BEGIN {
    printf "%-28s %8.3f s %8.0f MB/s\n", "launcher-tool verify", v / 1e9, b / (v / 1e9) / 1e6
    printf "%-28s %8.3f s %8.0f MB/s\n", "cksum (find | xargs)", c / 1e9, b / (c / 1e9) / 1e6
    printf "verify speed / cksum speed: %.2f (goal >= 0.90)\n", c / v
    printf "verify peak memory: %.1f MiB (maximum resident set; goal < 64 MB)\n", r / 1024
}'
