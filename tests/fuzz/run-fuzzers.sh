#!/usr/bin/env bash
# Builds every libFuzzer target with clang and runs each one for a while on a
# working corpus that starts from its seed folders (the seeds stay as they
# are), then prints its executions, final coverage (libFuzzer's cov and ft)
# and corpus size.
#   tests/fuzz/run-fuzzers.sh [seconds per target (60)] [build folder (build/fuzz)]
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
seconds=${1:-60}
build=$(realpath -m "${2:-$root/build/fuzz}")

cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ -DLAUNCHER_FUZZ=ON \
    -DLAUNCHER_DEPS_PREFIX="${DEPS_DIR:-/var/cache/launcher-deps}/x86_64-linux-gnu" >/dev/null
mapfile -t targets < <(find "$build" -name '*.seeds' -path '*fuzz*' -printf '%f\n' | sed 's/\.seeds$//' | sort)
[[ ${#targets[@]} -gt 0 ]] || { echo "run-fuzzers: no fuzz targets configured" >&2; exit 1; }
cmake --build "$build" -j 2 --target "${targets[@]}"

# field NAME LINE: the value after "NAME: " in a libFuzzer status line.
field() { grep -oP " $1: \\K[^ ]+" <<<"$2" || echo "?"; }

status=0
for target in "${targets[@]}"; do
    binary=$(find "$build" -type f -name "$target" -perm -u+x | head -n 1)
    seeds_file=$(find "$build" -name "$target.seeds" | head -n 1)
    mapfile -t seeds < <(grep -v '^$' "$seeds_file")
    corpus=$build/corpus/$target
    log=$build/$target.log
    mkdir -p "$corpus"
    if ! "$binary" -max_total_time="$seconds" -print_final_stats=1 "$corpus" "${seeds[@]}" >"$log" 2>&1; then
        tail -n 40 "$log"
        echo "$target: FAILED (log: $log)"
        status=1
        continue
    fi
    executions=$(grep -oP 'stat::number_of_executed_units:\s*\K[0-9]+' "$log")
    final=$(grep -E '^#[0-9]+.* cov: ' "$log" | tail -n 1) || true
    echo "$target: $executions executions in ${seconds}s, cov $(field cov "$final"), ft $(field ft "$final")," \
        "corpus $(field corp "$final") in memory, $(find "$corpus" -type f | wc -l) files in $corpus"
done
exit $status
