#!/usr/bin/env bash
# The whole update done by the real Launcher.exe under Wine, in a portable
# folder (guest.dat beside a stamped copy) fed by the test update server:
#   1. peak memory (VmHWM of the Launcher.exe process, sampled every 100 ms)
#      while installing a release of one package holding one file of
#      1 GB, then of 2 GB (goal: under 64 MB each);
#   2. wall time of a no-op update of an up-to-date 5000-file client
#      (update.xml from the run that installed it), beside the Wine start-up
#      of an empty run, "Launcher.exe /crc" in an empty folder (goal: under
#      2 s after the launcher's start);
#   3. download rate of the 1 GB release against curl fetching the same
#      package from the same server (goal: launcher/curl 0.8 or more);
#   4. a 1 GB release of 16 packages: download rate of the launcher against
#      curl -o FILE fetching the same 16 packages (medians);
#   5. one package of 5 GiB (one file of 5*2^30 bytes, a stored RAR package):
#      install, peak VmHWM, download rate against curl, the install checked
#      by launcher-tool verify and by the SHA-256 of the installed file;
#   6. resume past 4 GiB: the run starts with the first 2 GiB of the 5 GiB
#      package left in tmp\ by an earlier run (checksummed at the start),
#      and the server drops the connection once when the package reaches a
#      byte beyond 4,294,967,296; the run must finish, and the access log
#      shows whether the next request starts at exactly the number of
#      package bytes sent before the drop.
# Every launcher run of parts 1, 5 and 6 is watched by window_probe.exe,
# which sends the window WM_NULL every 20 ms and prints the slowest answer
# (goal: 200 ms at most).
# Figures are printed, goals never asserted; the script fails only when a
# launcher run fails or leaves a client that launcher-tool verify rejects
# (or, parts 5 and 6, a file whose SHA-256 differs from its source).
# Everything is generated at run time and deleted at the end; a part that
# lacks disk space prints a SKIPPED line.
#   UPDATE_BENCH_BUILD  Windows tree (default build/bench-win32 when this
#                       machine runs 32-bit programs, else build/bench-win64;
#                       configured like the Makefile's trees when missing)
#   UPDATE_BENCH_TOOL   native launcher-tool (default build/native's)
#   UPDATE_BENCH_DIR    work folder (default: a new folder under /tmp)
#   UPDATE_BENCH_SIZES  package sizes of part 1 in MB, the first also for
#                       part 3 (default "1000 2000"; MB = 10^6 bytes)
#   UPDATE_BENCH_FILES  files of the no-op client (default 5000)
#   UPDATE_BENCH_PARTS  the parts to run, in any order (default all): "big"
#                       (1 and 3), "noop" (2), "release" (4), "big5g" (5),
#                       "resume" (6)
#   UPDATE_BENCH_RELEASE_RUNS  launcher runs and curl passes of part 4
#                       (default 3; medians are printed)
#   UPDATE_BENCH_BIG5G_RUNS    the same for part 5 (default 1: a run takes
#                       minutes)
#   UPDATE_BENCH_CUT    the package byte at which part 6 drops the connection
#                       (default 4294967296 + 123457)
set -euo pipefail

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
live_path=/skyreach/live/
run_limit=1800

# shellcheck source=tests/e2e/server/server-process.sh
source "$root/tests/e2e/server/server-process.sh"
# shellcheck source=cmake/wine-arch.sh
source "$root/cmake/wine-arch.sh"

# KiB as MB, ns as s, "goal met" or "goal missed" for value, limit, "<" or
# ">=", the median of numbers on stdin.
mb() { awk -v k="$1" 'BEGIN { printf "%.1f MB", k * 1024 / 1e6 }'; }
secs() { awk -v n="$1" 'BEGIN { printf "%.3f s", n / 1e9 }'; }
goal() { awk -v v="$1" -v g="$2" -v op="$3" 'BEGIN { ok = op == "<" ? v < g : v >= g
    print ok ? "goal met" : "goal missed" }'; }
median() { sort -g | awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] }'; }
gib=$((1 << 30))
all_parts="big noop release big5g resume"

# Configures (when needed) and builds the Launcher and probe targets of tree $1.
build_tree() {
    local tree=$1 triple=x86_64-w64-mingw32
    if [[ ! -f $tree/build.ninja ]]; then
        [[ $tree == *32 ]] && triple=i686-w64-mingw32
        nice cmake -S "$root" -B "$tree" -G Ninja -DCMAKE_BUILD_TYPE=Release \
            -DCMAKE_TOOLCHAIN_FILE="$root/cmake/toolchain-$triple.cmake" \
            -DLAUNCHER_DEPS_PREFIX="${DEPS_DIR:-/var/cache/launcher-deps}/$triple" \
            -DLAUNCHER_HOST_TOOL="$BENCH_TOOL" >>"$BENCH_WORK/build.log" 2>&1 ||
            { cat "$BENCH_WORK/build.log" >&2; exit 1; }
    fi
    nice cmake --build "$tree" --target Launcher probe window_probe -j 2 >>"$BENCH_WORK/build.log" 2>&1 ||
        { cat "$BENCH_WORK/build.log" >&2; exit 1; }
}

prepare() {
    [[ -x $BENCH_TOOL ]] || { echo "missing $BENCH_TOOL: run make native" >&2; exit 1; }
    BENCH_TREE=${UPDATE_BENCH_BUILD:-$root/build/bench-win32}
    build_tree "$BENCH_TREE"
    export BENCH_TREE
}

# Inside Wine: the shipped i686 build when this machine runs 32-bit
# programs, else the x86_64 build of the same sources.
choose_tree() {
    local fallback=$root/build/bench-win64 tree
    [[ -z ${UPDATE_BENCH_BUILD:-} ]] || fallback=
    use_runnable_tree "$BENCH_TREE" "$fallback" "the x86_64 build is measured." build_tree || exit 1
    tree=$runnable_tree
    BENCH_EXE=$tree/src/Launcher.exe
    BENCH_PROBE=$tree/bench/update/window_probe.exe
    BENCH_ARCH=$(file -b "$BENCH_EXE" | cut -d, -f1)
}

start_server() {
    mkdir -p "$work/root$live_path"
    start_update_server "$work"
    url=http://127.0.0.1:$server_port
}

# Largest VmHWM (KiB) of this Wine prefix's Launcher.exe processes into $1,
# sampled until the file $1.stop exists or this script is gone; $1.ready
# appears once it watches. The Windows process is the one whose argv[0] is
# the exe. /proc is scanned every 20 ms until one is found, then every
# second; the found ones are read every 100 ms.
sampler() {
    python3 - "$WINEPREFIX" "$1" "$$" <<'EOF'
import os, sys, time
want, out = b"\0WINEPREFIX=" + sys.argv[1].encode() + b"\0", sys.argv[2]
script = "/proc/" + sys.argv[3]
def launchers():
    for name in os.listdir("/proc"):
        if not name.isdigit():
            continue
        try:
            with open(f"/proc/{name}/cmdline", "rb") as f:
                argv0 = f.read().split(b"\0")[0].lower()
            if not argv0.endswith(b"launcher.exe"):
                continue
            with open(f"/proc/{name}/environ", "rb") as f:
                if want in b"\0" + f.read():
                    yield name
        except OSError:
            pass
def hwm(pid):
    try:
        with open(f"/proc/{pid}/status") as f:
            for line in f:
                if line.startswith("VmHWM:"):
                    return int(line.split()[1])
    except OSError:
        pass
    return 0
peak, pids, scanned = 0, set(), 0.0
open(out + ".ready", "w").close()
while os.path.exists(script) and not os.path.exists(out + ".stop"):
    now = time.monotonic()
    if not pids or now - scanned >= 1.0:
        pids |= set(launchers())
        scanned = now
    for pid in pids:
        peak = max(peak, hwm(pid))
    time.sleep(0.1 if pids else 0.02)
with open(out, "w") as f:
    print(peak, file=f)
EOF
}

# Runs Launcher.exe of folder $1 with the other arguments; sets run_rc,
# run_ns (start to exit), run_kib (peak VmHWM), run_log (the new run log) and
# run_probe (window_probe's line, or why there is none).
run_launcher() {
    local folder=$1 start sampler_pid logs_before probe_pid
    shift
    logs_before=$(cd "$folder" && ls -1 -- *.log 2>/dev/null || true)
    rm -f "$work/peak" "$work/peak.stop" "$work/peak.ready"
    sampler "$work/peak" &
    sampler_pid=$!
    for _ in $(seq 100); do
        [[ -e $work/peak.ready ]] && break
        sleep 0.05
    done
    run_rc=0
    rm -f "$work/probe.out"
    timeout "$run_limit" wine "$BENCH_PROBE" LauncherDialogWndClass 20 60 >"$work/probe.out" \
        2>/dev/null </dev/null &
    probe_pid=$!
    start=$(date +%s%N)
    (cd "$folder" && exec timeout "$run_limit" wine Launcher.exe "$@" </dev/null >/dev/null 2>&1) ||
        run_rc=$?
    run_ns=$(($(date +%s%N) - start))
    touch "$work/peak.stop"
    wait "$sampler_pid"
    wait "$probe_pid" || true
    run_probe=$(tr -d '\r' <"$work/probe.out")
    run_probe=${run_probe:-"window_probe printed nothing"}
    run_kib=$(cat "$work/peak")
    run_log=$(cd "$folder" && comm -13 <(sort <<<"$logs_before") <(ls -1 -- *.log 2>/dev/null | sort) |
        tail -n 1)
    run_log=${run_log:+$folder/$run_log}
}

# The last run's window probe as a row: slowest and median answer, probes.
probe_text() {
    awk -v line="$run_probe" 'BEGIN {
        n = split(line, f, " ")
        for (i = 2; i <= n; ++i) { split(f[i], kv, "="); v[kv[1]] = kv[2] }
        if (v["window_found"] != 1) { print "window answers: no window found (" line ")"; exit }
        printf "window answers: slowest %s ms, median %s ms over %s probes, %s above 200 ms (%s)",
            v["max"], v["median"], v["probes"], v["over200"],
            (v["max"] <= 200 ? "goal met" : "goal missed") }'
}

# A portable folder $1 whose launcher asks the test server.
make_portable() {
    rm -rf "$1"
    mkdir -p "$1"
    : >"$1/guest.dat"
    "$BENCH_TOOL" stamp "$BENCH_EXE" "$1/Launcher.exe" SERVER_URL="$url/" \
        UPDATE_PATH="$live_path" >/dev/null
}

# Sets publish_s and publish_kib (seconds, peak RSS of launcher-tool; "?"
# and 0 without GNU time). The native tool is built with AddressSanitizer,
# whose quarantine of freed blocks would count in the peak: it is turned off.
publish() { # client folder, layout
    local timer=(/usr/bin/time -f '%e %M' -o "$work/publish.time")
    rm -rf "${work:?}/root$live_path"
    big5g_published=0
    echo "? 0" >"$work/publish.time"
    [[ -x ${timer[0]} ]] || timer=()
    ASAN_OPTIONS=${ASAN_OPTIONS:-quarantine_size_mb=0} \
        "${timer[@]}" nice "$BENCH_TOOL" publish "$1" "$2" "$work/root$live_path" >/dev/null
    read -r publish_s publish_kib <"$work/publish.time"
}

# False, with a SKIPPED line, when $1 bytes are not free in the work folder.
has_space() { # bytes, what, what they hold
    local avail
    avail=$(df -B1 --output=avail "$work" | tail -n 1)
    ((avail >= $1)) && return 0
    echo "SKIPPED: $2: $((avail / 1000000)) MB free on $work, $(($1 / 1000000)) MB needed ($3)"
    return 1
}

# Checks a launcher run that should have left `folder` equal to the release.
check_run() { # what, folder
    local verdict
    if ((run_rc != 0)); then
        echo "FAILED: $1: Launcher.exe exited with $run_rc (124: killed after $run_limit s)"
    elif ! verdict=$(nice "$BENCH_TOOL" verify "$2" "$work/root${live_path}update.rxml" 2>&1); then
        echo "FAILED: $1: launcher-tool verify rejects the folder:"
        head -n 10 <<<"$verdict"
    else
        return 0
    fi
    failures=$((failures + 1))
    if [[ -n $run_log ]]; then
        echo "last lines of $run_log:"
        tr -d '\r' <"$run_log" | tail -n 15 | sed 's/^/    /'
    fi
    return 1
}

# Package traffic after access log line $1: "bytes requests largest rate",
# the rate (bytes/s) between the ends of the first and the last request.
traffic() {
    local lines=-1
    # A line is written when its exchange ends: wait until the log is still.
    for _ in $(seq 50); do
        [[ $lines == $(wc -l <"$work/access.log") ]] && break
        lines=$(wc -l <"$work/access.log")
        sleep 0.2
    done
    python3 - "$work/access.log" "$1" <<'EOF'
import json, sys
with open(sys.argv[1], encoding="utf-8") as f:
    entries = [json.loads(l) for l in f.read().splitlines()[int(sys.argv[2]):] if l]
pkgs = sorted((e for e in entries if e["path"].endswith(".pkg") and e["sent"] > 0),
              key=lambda e: e["time"])
sent = sum(e["sent"] for e in pkgs)
largest = max((e["sent"] for e in pkgs), default=0)
span = pkgs[-1]["time"] - pkgs[0]["time"] if len(pkgs) > 1 else 0
rate = (sent - pkgs[0]["sent"]) / span if span > 0 else 0
print(sent, len(pkgs), largest, int(rate))
EOF
}

# Bytes/s of curl fetching every package of the release on one connection,
# median of $2 passes (default 3): "file" writes each package to a file,
# "null" to /dev/null, "ranges" asks 16 MiB ranges in turn, as the launcher
# does, and drops them.
curl_rate() {
    local mode=$1 passes=${2:-3} pkg size start out args begin end total rates=() pass
    for ((pass = 0; pass < passes; pass++)); do
        args=() total=0
        for pkg in "$work/root$live_path"*.pkg; do
            size=$(stat -c %s "$pkg")
            total=$((total + size))
            out=/dev/null
            [[ $mode == file ]] && out=$work/curl-${pkg##*/}
            if [[ $mode == ranges ]]; then
                for ((start = 0; start < size; start += 16 << 20)); do
                    args+=(--next -sf -o "$out" -r "$start-$((start + (16 << 20) - 1))"
                        "$url$live_path${pkg##*/}")
                done
            else
                args+=(--next -sf -o "$out" "$url$live_path${pkg##*/}")
            fi
        done
        begin=$(date +%s%N)
        curl "${args[@]:1}" || { echo "curl failed ($mode)" >&2; return 1; }
        end=$(date +%s%N)
        rm -f "$work"/curl-*.pkg
        rates+=("$((total * 1000000000 / (end - begin)))")
    done
    printf '%s\n' "${rates[@]}" | median
}

# $1 bytes of AES-CTR keystream from IV $2 into file $3: incompressible, the
# same every run.
keystream() {
    { openssl enc -aes-128-ctr -nosalt -K 5b7e151628aed2a6abf7158809cf4f3c -iv "$2" \
        </dev/zero 2>/dev/null || true; } | head -c "$1" >"$3"
}

# One file of $2 MB.
make_big_client() {
    mkdir -p "$1"
    keystream "$(($2 * 1000000))" 0 "$1/big.bin"
}

# $3 files of 1 KiB to 256 KiB (log-uniform) over 50 folders, ten folders a
# package, pseudo-random from a fixed seed.
make_many_client() {
    python3 - "$1" "$2" "$3" <<'EOF'
import os, random, sys
client, layout, count = sys.argv[1], sys.argv[2], int(sys.argv[3])
rng = random.Random(20261210)
lines = ["modification update-bench", "client-version 1.0.0"]
for f in range(50):
    if f % 10 == 0:
        lines.append("pack g%d.pkg full" % (f // 10))
    lines.append("  add d%02d" % f)
    os.makedirs(os.path.join(client, "d%02d" % f), exist_ok=True)
for i in range(count):
    with open(os.path.join(client, "d%02d" % (i % 50), "f%04d.bin" % i), "wb") as out:
        out.write(rng.randbytes(int(2 ** rng.uniform(10, 18))))
with open(layout, "w") as out:
    out.write("\n".join(lines) + "\n")
EOF
}

layout_of_big() {
    printf 'modification update-bench-%s\nclient-version 1.0.0\npack big.pkg full\n  add big.bin\n' \
        "$1" >"$2"
}

# Part 1 (and 3 for the first size): one release of one $1 MB package.
bench_big() {
    local size=$1 first=$2 install=$work/install first_line
    has_space "$((3 * size * 1000000 + 1000000000))" "$size MB package" \
        "package, download, unpacked" || return 0
    echo "== $size MB package: generating and publishing"
    make_big_client "$work/client" "$size"
    layout_of_big "$size" "$work/layout.txt"
    publish "$work/client" "$work/layout.txt"
    rm -rf "$work/client"
    make_portable "$install"
    first_line=$(wc -l <"$work/access.log")
    run_launcher "$install"
    printf '   installed in %s, exit code %d, peak VmHWM %s (%s)\n' "$(secs "$run_ns")" "$run_rc" \
        "$(mb "$run_kib")" "$(goal "$((run_kib * 1024))" 64000000 "<")"
    printf '   %s\n' "$(probe_text)"
    memory_rows+=("$(printf '%-36s %10s   %s' "install of one $size MB package" "$(mb "$run_kib")" \
        "$(goal "$((run_kib * 1024))" 64000000 "<")")" "   $(probe_text)")
    if check_run "install of the $size MB package" "$install" && ((first)); then
        local sent requests largest rate to_file to_null ranges
        read -r sent requests largest rate < <(traffic "$first_line")
        to_file=$(curl_rate file)
        to_null=$(curl_rate null)
        ranges=$(curl_rate ranges)
        throughput_rows=(
            "$(awk -v s="$sent" -v n="$requests" -v l="$largest" -v r="$rate" 'BEGIN {
                printf "package bytes %d in %d requests, the largest %d bytes (%.0f ms each)",
                    s, n, l, l / r * 1000 }')"
            "$(printf '%-40s %12s bytes/s' "Launcher.exe (first to last request end)" "$rate")"
            "$(printf '%-40s %12s bytes/s' "curl -o FILE (median of 3)" "$to_file")"
            "$(printf '%-40s %12s bytes/s' "curl -o /dev/null (median of 3)" "$to_null")"
            "$(printf '%-40s %12s bytes/s' "curl, 16 MiB ranges in turn (median of 3)" "$ranges")"
            "$(awk -v l="$rate" -v c="$to_file" -v n="$to_null" 'BEGIN {
                printf "ratio launcher/curl -o FILE: %.2f (%s); against /dev/null: %.2f",
                    l / c, (l / c >= 0.8 ? "goal met" : "goal missed"), l / n }')"
        )
    fi
    rm -rf "$install" "${work:?}/root$live_path"
}

# Nanoseconds from the creation of the run log $1 to its last write.
log_span() {
    local birth modified
    birth=$(stat -c %.9W "$1" | tr -d .)
    modified=$(stat -c %.9Y "$1" | tr -d .)
    echo "$((10#$modified - 10#$birth))"
}

# Part 2.
bench_noop() {
    local count=${UPDATE_BENCH_FILES:-5000} install=$work/noop i first_line pkgs walls=() spans=()
    local bytes empty_walls=() empty_peaks=() finish
    echo "== empty runs: Launcher.exe /crc in an empty folder"
    mkdir -p "$work/empty"
    cp "$BENCH_EXE" "$work/empty/Launcher.exe"
    for i in 1 2 3; do
        run_launcher "$work/empty" /crc
        empty_walls+=("$run_ns")
        empty_peaks+=("$run_kib")
    done
    echo "== $count-file client: generating, publishing, installing"
    make_many_client "$work/client" "$work/layout.txt" "$count"
    bytes=$(find "$work/client" -type f -printf '%s\n' | awk '{ n += $1 } END { print n }')
    publish "$work/client" "$work/layout.txt"
    rm -rf "$work/client"
    make_portable "$install"
    run_launcher "$install"
    printf '   installed in %s, exit code %d\n' "$(secs "$run_ns")" "$run_rc"
    check_run "install of the $count-file client" "$install" || return 0
    for i in 1 2 3; do
        first_line=$(wc -l <"$work/access.log")
        run_launcher "$install"
        check_run "no-op run $i" "$install" || return 0
        pkgs=$(traffic "$first_line" | cut -d' ' -f2)
        finish=no
        [[ -n $run_log ]] && grep -q "Msg cycle - finish" "$run_log" &&
            finish=yes
        printf '   no-op run %d: %s start to exit, log %s, "Msg cycle - finish" logged: %s,' \
            "$i" "$(secs "$run_ns")" "$(secs "$(log_span "$run_log")")" "$finish"
        printf ' %s package requests\n' "$pkgs"
        walls+=("$run_ns")
        spans+=("$(log_span "$run_log")")
    done
    local wall span empty
    wall=$(printf '%s\n' "${walls[@]}" | median)
    span=$(printf '%s\n' "${spans[@]}" | median)
    empty=$(printf '%s\n' "${empty_walls[@]}" | median)
    noop_rows=(
        "$(printf '%d files, %d bytes, update.xml present; medians of 3 runs' "$count" "$bytes")"
        "$(printf '%-48s %10s' "Launcher.exe start to exit" "$(secs "$wall")")"
        "$(printf '%-48s %10s' "empty run (/crc, empty folder) start to exit" "$(secs "$empty")")"
        "$(printf '%-48s %10s   %s' "difference (after the launcher's start)" \
            "$(secs "$((wall - empty))")" "$(goal "$((wall - empty))" 2000000000 "<")")"
        "$(printf '%-48s %10s   %s' "run log, creation to last write" "$(secs "$span")" \
            "$(goal "$span" 2000000000 "<")")"
        "$(printf 'empty run VmHWM, largest sample: %s (Wine and the launcher without its window)' \
            "$(mb "$(printf '%s\n' "${empty_peaks[@]}" | sort -g | tail -n 1)")")"
    )
    rm -rf "$install" "$work/empty" "${work:?}/root$live_path"
}

# One launcher run installing the published release into a new portable
# folder $1, checked; adds its download rate and peak to run_rates and
# run_peaks and prints a line. False when the run failed.
install_measured() { # folder, label
    local first_line sent requests largest rate
    make_portable "$1"
    first_line=$(wc -l <"$work/access.log")
    run_launcher "$1"
    read -r sent requests largest rate < <(traffic "$first_line")
    printf '   %s: installed in %s, exit code %d, peak VmHWM %s, %d package bytes in %d requests,' \
        "$2" "$(secs "$run_ns")" "$run_rc" "$(mb "$run_kib")" "$sent" "$requests"
    printf ' %s bytes/s\n' "$rate"
    printf '   %s\n' "$(probe_text)"
    run_rates+=("$rate")
    run_peaks+=("$run_kib")
    check_run "$2" "$1"
}

# The rows comparing the launcher's median rate with curl -o FILE fetching
# the same packages.
rate_rows() { # runs
    local rate to_file peak
    rate=$(printf '%s\n' "${run_rates[@]}" | median)
    peak=$(printf '%s\n' "${run_peaks[@]}" | sort -g | tail -n 1)
    to_file=$(curl_rate file "$1")
    printf '%-44s %12s bytes/s\n' "Launcher.exe (median of $1 runs)" "$rate"
    printf '%-44s %12s bytes/s\n' "curl -o FILE (median of $1 passes)" "$to_file"
    awk -v l="$rate" -v c="$to_file" 'BEGIN { printf "ratio launcher/curl -o FILE: %.2f\n", l / c }'
    printf 'peak VmHWM of the Launcher.exe process, largest of the runs: %s\n' "$(mb "$peak")"
}

# Part 4: 16 packages of one file each, 10^9 bytes in all.
bench_release() {
    local runs=${UPDATE_BENCH_RELEASE_RUNS:-3} i size=62500000 layout=$work/layout.txt
    has_space "$((4 * 16 * size + 1000000000))" "1 GB release of 16 packages" \
        "client, packages, download, unpacked" || return 0
    echo "== 1 GB release of 16 packages: generating and publishing"
    mkdir -p "$work/client"
    printf 'modification update-bench-release\nclient-version 1.0.0\n' >"$layout"
    for i in $(seq -w 0 15); do
        keystream "$size" "$((10#$i + 1))" "$work/client/r$i.bin"
        printf 'pack r%s.pkg full\n  add r%s.bin\n' "$i" "$i" >>"$layout"
    done
    publish "$work/client" "$layout"
    rm -rf "$work/client"
    echo "   published in $publish_s s, launcher-tool peak RSS $(mb "$publish_kib")"
    run_rates=() run_peaks=()
    for ((i = 1; i <= runs; i++)); do
        install_measured "$work/install" "run $i" || true
        rm -rf "$work/install"
    done
    mapfile -t release_rows < <(rate_rows "$runs")
    rm -rf "${work:?}/root$live_path"
}

# Publishes the 5 GiB release once for parts 5 and 6; sets big5g_sha (the
# SHA-256 of its file). False with a SKIPPED line when space is short.
publish_big5g() {
    has_space "$((3 * 5 * gib + 1000000000))" "5 GiB package" "package, download, unpacked" ||
        return 1
    ((big5g_published)) && return 0
    echo "== 5 GiB package: generating and publishing"
    mkdir -p "$work/client"
    keystream "$((5 * gib))" 0 "$work/client/big.bin"
    big5g_sha=$(nice sha256sum "$work/client/big.bin" | cut -d' ' -f1)
    layout_of_big 5GiB "$work/layout.txt"
    publish "$work/client" "$work/layout.txt"
    rm -rf "$work/client"
    big5g_published=1
    printf '   published in %s s, launcher-tool peak RSS %s; big.pkg: %s bytes, a %s archive\n' \
        "$publish_s" "$(mb "$publish_kib")" "$(stat -c %s "$work/root${live_path}big.pkg")" \
        "$(head -c 4 "$work/root${live_path}big.pkg" | tr -dc '[:print:]')"
}

# The installed big.bin of folder $1 against the source's SHA-256; counts a
# failure when it differs.
check_sha() { # folder, what
    local sha
    sha=$(nice sha256sum "$1/big.bin" 2>/dev/null | cut -d' ' -f1) || true
    if [[ $sha == "$big5g_sha" ]]; then
        echo "   $2: SHA-256 of the installed big.bin equals the source's ($sha)"
        return 0
    fi
    echo "FAILED: $2: SHA-256 of the installed big.bin is '$sha', the source's $big5g_sha"
    failures=$((failures + 1))
    return 1
}

# Part 5.
bench_big5g() {
    local runs=${UPDATE_BENCH_BIG5G_RUNS:-1} i
    publish_big5g || return 0
    run_rates=() run_peaks=()
    for ((i = 1; i <= runs; i++)); do
        if install_measured "$work/install" "run $i"; then
            check_sha "$work/install" "run $i" || true
        fi
        rm -rf "$work/install"
    done
    mapfile -t big5g_rows < <(rate_rows "$runs")
    big5g_rows+=("published in $publish_s s, launcher-tool peak RSS $(mb "$publish_kib")")
}

# From the access log after line $1, of big.pkg: "start sent range before
# next next_range": the first dropped request's body start, bytes sent and
# Range header, the package bytes sent up to the drop, and the next
# request's body start and Range header.
resume_evidence() {
    python3 - "$work/access.log" "$1" <<'PY'
import json, sys
with open(sys.argv[1], encoding="utf-8") as f:
    entries = [json.loads(l) for l in f.read().splitlines()[int(sys.argv[2]):] if l]
# One request is in flight at a time: the log's order is the requests'.
pkgs = [e for e in entries if e["path"].endswith("/big.pkg")]
cuts = [i for i, e in enumerate(pkgs) if e["outcome"] == "closed"]
if not cuts:
    print("none 0 - 0 none -")
    sys.exit()
cut = pkgs[cuts[0]]
# Where the package's bytes ended at the drop: the ranges run back to back
# (or start from a part an earlier run left), so the cut range's start plus
# what it sent.
before = cut["start"] + cut["sent"]
after = pkgs[cuts[0] + 1] if cuts[0] + 1 < len(pkgs) else None
print(cut["start"], cut["sent"], (cut["range"] or "-").replace(" ", ""), before,
      after["start"] if after else "none", ((after["range"] or "-") if after else "-").replace(" ", ""))
PY
}

# Part 6.
# The first $2 bytes of the published package in folder $1's tmp\, named as
# the launcher names its download of it; sets left_text.
leave_part() {
    local name
    name=$(python3 - "$work/root${live_path}update.rxml" <<'EOF'
import re, sys, zipfile
xml = zipfile.ZipFile(sys.argv[1]).read("update.xml").decode()
pack = re.search(r'<PACK [^>]*file="big.pkg"[^>]*>', xml).group(0)
crc = int(re.search(r' crc="(\d+)"', pack).group(1))
size = int(re.search(r' size="(\d+)"', pack).group(1))
print("%08X.%d" % (crc, size))
EOF
)
    mkdir -p "$1/tmp"
    head -c "$2" "$work/root${live_path}big.pkg" >"$1/tmp/$name"
    left_text="left in tmp\\ by an earlier run: the first $2 bytes ($name), checksummed at the start"
}

bench_resume() {
    local cut=${UPDATE_BENCH_CUT:-$((4 * gib + 123457))} first_line install=$work/install
    local start sent range before next next_range verdict=no
    publish_big5g || return 0
    echo "== Resume past 4 GiB: the server drops big.pkg once at byte $cut"
    curl -sf -X POST --data "{\"rules\": [{\"path\": \"*.pkg\", \"cut_at_offset\": $cut}]}" \
        "$url/__control/config" >/dev/null
    make_portable "$install"
    leave_part "$install" "$((2 * gib))"
    first_line=$(wc -l <"$work/access.log")
    run_launcher "$install"
    curl -sf -X POST --data '{"rules": []}' "$url/__control/config" >/dev/null
    printf '   run: finished in %s, exit code %d, peak VmHWM %s\n' "$(secs "$run_ns")" "$run_rc" \
        "$(mb "$run_kib")"
    printf '   %s\n' "$(probe_text)"
    if check_run "the run resumed past 4 GiB" "$install"; then
        check_sha "$install" "resumed run" || true
    fi
    read -r start sent range before next next_range < <(resume_evidence "$first_line")
    [[ $next == "$before" && $next == "$cut" ]] && verdict=yes
    resume_rows=(
        "$left_text"
        "$(probe_text)"
        "cut at package byte $cut (4 GiB + $((cut - 4 * gib)))"
        "dropped request: Range $range, body from byte $start, $sent bytes sent"
        "package bytes held when the connection dropped (its start + bytes sent): $before"
        "next request: Range $next_range, body from byte $next"
        "resume exact to the byte: $verdict (next start $next, bytes held at the drop $before)"
    )
    if [[ -n $run_log ]]; then
        resume_rows+=("launcher log: $(tr -d '\r' <"$run_log" | grep -m 1 -F "(begin: $next, " ||
            echo "no line with \"(begin: $next, \"")")
    fi
    rm -rf "$install"
}

# The title $2 and the rows after it, when part $1 ran.
section() { # part, title, rows
    [[ $parts == *" $1 "* ]] || return 0
    echo "== $2"
    shift 2
    printf '%s\n' "$@"
}

# The stage inside the Wine session.
runs() {
    work=$BENCH_WORK
    failures=0
    big5g_published=0
    memory_rows=() throughput_rows=() noop_rows=() release_rows=() big5g_rows=() resume_rows=()
    local parts=" ${UPDATE_BENCH_PARTS:-$all_parts} " part
    for part in $parts; do
        [[ " $all_parts " == *" $part "* ]] ||
            { echo "unknown part $part (parts: $all_parts)" >&2; exit 2; }
    done
    choose_tree
    start_server
    echo "Launcher.exe: $BENCH_EXE ($BENCH_ARCH, $(wine --version 2>/dev/null))"
    echo "update server: $url$live_path, work folder $work"
    echo "load average at the start: $(cut -d' ' -f1-3 /proc/loadavg) on $(nproc) cores"
    local first=1 size
    if [[ $parts == *" big "* ]]; then
        for size in ${UPDATE_BENCH_SIZES:-1000 2000}; do
            bench_big "$size" "$first"
            first=0
        done
    fi
    [[ $parts != *" noop "* ]] || bench_noop
    [[ $parts != *" release "* ]] || bench_release
    [[ $parts != *" big5g "* ]] || bench_big5g
    [[ $parts != *" resume "* ]] || bench_resume
    rm -rf "${work:?}/root$live_path"

    echo
    section big "Peak memory of the Launcher.exe process (VmHWM, MB = 10^6 bytes; goal < 64 MB)" \
        "${memory_rows[@]}"
    section noop "No-op update (goal < 2 s after the launcher's start)" "${noop_rows[@]}"
    section big "Download rate of the first release (goal launcher/curl >= 0.80)" \
        "${throughput_rows[@]}"
    section release "1 GB release of 16 packages (62.5 MB each)" "${release_rows[@]}"
    section big5g "One package of 5 GiB (a 5368709120-byte file in a stored RAR package)" \
        "${big5g_rows[@]}"
    section resume "Resume past 4 GiB" "${resume_rows[@]}"
    if ((failures > 0)); then
        echo "$failures launcher runs FAILED: their figures are not valid"
        exit 1
    fi
}

if [[ ${1:-} == --runs ]]; then
    runs
    exit
fi

BENCH_WORK=$(realpath -m "${UPDATE_BENCH_DIR:-$(mktemp -d /tmp/launcher-update-bench.XXXXXX)}")
BENCH_TOOL=$(realpath -m "${UPDATE_BENCH_TOOL:-$root/build/native/tools/launcher-tool/launcher-tool}")
export BENCH_WORK BENCH_TOOL
mkdir -p "$BENCH_WORK"
trap 'rm -rf "$BENCH_WORK"' EXIT
prepare
nice "$root/cmake/wine-session.sh" "$BENCH_WORK/wine" bash "${BASH_SOURCE[0]}" --runs
