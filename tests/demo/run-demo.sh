#!/usr/bin/env bash
# The demo: the real Launcher.exe under Wine keeps a portable client folder
# identical to what the local update server publishes. Release v1 is
# published and installed, then v2 (one file changed, one added, one
# removed, media.pkg unchanged) is published over it and the same folder is
# updated. Each run must end with exit code 0 and leave a folder that both
# `launcher-tool verify` and the independent verify_install.py accept.
#
# Environment: BUILD_WIN (Windows tree; default build/win32 when this
# machine runs 32-bit programs, else build/win64), BUILD_NATIVE (tree of launcher-tool; default
# build/native), DEMO_TIMEOUT (seconds per launcher run; default 300).
# Everything it writes is under out/demo/.
set -euo pipefail
cd "$(dirname "$0")/../.."

demo=out/demo
live_path=/skyreach/live/

# shellcheck source=tests/e2e/server/server-process.sh
source tests/e2e/server/server-process.sh
# shellcheck source=cmake/wine-arch.sh
source cmake/wine-arch.sh

# Builds what the demo runs: launcher-tool and the shipped i686 tree (or
# BUILD_WIN). Which tree runs is decided inside Wine, by its probe.
prepare() {
    local native=${BUILD_NATIVE:-build/native} win=${BUILD_WIN:-build/win32}
    [[ -f $native/build.ninja && -f $win/build.ninja ]] ||
        { echo "demo: $native or $win is not configured; run 'make demo'" >&2; exit 2; }
    rm -rf "$demo"
    mkdir -p "$demo/server/root" "$demo/install"
    build_tree "$win"
    cmake --build "$native" -j "${JOBS:-2}" --target launcher-tool >>"$demo/build.log" 2>&1 ||
        { cat "$demo/build.log" >&2; exit 1; }
    export DEMO_TOOL=$native/tools/launcher-tool/launcher-tool DEMO_WIN=$win
}

build_tree() {
    cmake --build "$1" -j "${JOBS:-2}" --target Launcher Client probe >>"$demo/build.log" 2>&1 ||
        { cat "$demo/build.log" >&2; exit 1; }
}

# The x86_64 tree, for a machine that cannot run 32-bit programs.
build_fallback() {
    make --no-print-directory win64 >>"$demo/build.log" 2>&1 || { cat "$demo/build.log" >&2; return 1; }
    build_tree "$1"
}

# Inside Wine: the tree whose probe runs. The shipped i686 build when this
# machine runs 32-bit programs, else the x86_64 build of the same sources.
choose_tree() {
    local fallback=build/win64 win
    [[ -z ${BUILD_WIN:-} ]] || fallback=
    use_runnable_tree "$DEMO_WIN" "$fallback" "the demo runs the x86_64 build of the same sources." \
        build_fallback || exit 1
    win=$runnable_tree
    DEMO_EXE=$win/src/Launcher.exe
    echo "launcher:        $DEMO_EXE ($(file -b "$DEMO_EXE" | cut -d, -f1))"
    python3 tests/demo/make-release.py "$win/tests/fixtures/sample-client/Client.exe" "$demo/releases"
}

start_server() {
    start_update_server "$demo/server"
    port=$server_port
    echo "update server: http://127.0.0.1:$port$live_path (root $demo/server/root)"
}

publish() {
    local release=$demo/releases/$1
    "$DEMO_TOOL" publish "$release/client" "$release/layout.txt" "$demo/server/root$live_path"
}

failures=0
check() { # description, then the command
    local what=$1
    shift
    local output
    if output=$("$@" 2>&1); then
        printf '   ok    %s%s\n' "$what" "${output:+: $(tail -n 1 <<<"$output")}"
    else
        printf '   FAIL  %s\n' "$what"
        [[ -z $output ]] || head -n 20 <<<"$output" | sed 's/^/         /'
        failures=$((failures + 1))
    fi
}

# Titles of the windows still open, for a run that did not end in time.
show_windows() {
    command -v xwininfo >/dev/null || return 0
    echo "   windows on the screen:"
    xwininfo -root -tree 2>/dev/null | grep -o '^ *0x[0-9a-f]* "[^"]*"' |
        grep -v '"Default IME"' | sed 's/^ *0x[0-9a-f]* /         /' || true
}

# Starts Launcher.exe in the install folder and waits at most DEMO_TIMEOUT.
run_launcher() {
    local limit=${DEMO_TIMEOUT:-300} pid
    (cd "$demo/install" && exec wine Launcher.exe </dev/null >/dev/null 2>&1) &
    pid=$!
    for _ in $(seq $((limit * 10))); do
        kill -0 "$pid" 2>/dev/null || break
        sleep 0.1
    done
    if kill -0 "$pid" 2>/dev/null; then
        show_windows
        kill -KILL "$pid" 2>/dev/null || true
        wait "$pid" 2>/dev/null || true
        return 124
    fi
    wait "$pid"
}

# Package bodies the server sent after access log line `first`, against the
# published packages. Lines are written when an exchange ends: wait until
# the log stops growing.
traffic() {
    local first=$1 lines=-1
    for _ in $(seq 50); do
        [[ $lines == $(wc -l <"$demo/server/access.log") ]] && break
        lines=$(wc -l <"$demo/server/access.log")
        sleep 0.2
    done
    python3 - "$demo/server/access.log" "$first" "$demo/server/root$live_path" <<'EOF'
import json, os, sys
log, first, live = sys.argv[1], int(sys.argv[2]), sys.argv[3]
with open(log, encoding="utf-8") as f:
    entries = [json.loads(line) for line in f.read().splitlines()[first:] if line]
pkgs = [e for e in entries if e["path"].endswith(".pkg")]
sent = sum(e["sent"] for e in pkgs)
published = sum(os.path.getsize(os.path.join(live, n)) for n in os.listdir(live) if n.endswith(".pkg"))
fetched = sorted({os.path.basename(e["path"]) for e in pkgs if e["sent"] > 0})
share = 100.0 * sent / published if published else 0.0
print("   package bytes: %d sent of %d published (%.1f%%), %d requests" % (sent, published, share, len(pkgs)))
print("   fetched:       %s" % (" ".join(fetched) or "nothing"))
print("FETCHED=" + ",".join(fetched))
EOF
}

ended_with_zero() { # exit code of run_launcher
    [[ $1 == 0 ]] && return 0
    [[ $1 == 124 ]] && echo "did not end within ${DEMO_TIMEOUT:-300} s" || echo "exit code $1"
    return 1
}

not_fetched() { # package, fetched list
    [[ ,$2, != *,$1,* ]] || { echo "$1 was downloaded although it did not change"; return 1; }
    echo "not downloaded"
}

same_file() {
    [[ -f $1 ]] || { echo "$1 is missing"; return 1; }
    if ! cmp -s "$1" "$2"; then
        echo "$1 differs from $2"
        return 1
    fi
    echo "equal"
}

run_logs() {
    (cd "$demo/install" && shopt -s nullglob && printf '%s\n' *.log)
}

# One launcher run against release $1 (number $2), then its checks.
update_to() {
    local version=$1 number=$2 first logs_before start end code=0 info
    first=$(wc -l <"$demo/server/access.log")
    logs_before=$(run_logs)
    echo "== run $number: update $demo/install to $version"
    start=$(date +%s.%N)
    run_launcher || code=$?
    end=$(date +%s.%N)
    if [[ $code == 124 ]]; then
        printf '   exit code:     none, killed after %s s\n' "${DEMO_TIMEOUT:-300}"
    else
        printf '   exit code:     %d (%s s)\n' "$code" "$(awk "BEGIN { printf \"%.1f\", $end - $start }")"
    fi
    info=$(traffic "$first")
    grep -v '^FETCHED=' <<<"$info"
    fetched=$(sed -n 's/^FETCHED=//p' <<<"$info")
    local log
    log=$(comm -13 <(sort <<<"$logs_before") <(run_logs | sort) | tail -n 1)
    echo "   run log:       ${log:+$demo/install/}${log:-none written}"
    check "ended with exit code 0" ended_with_zero "$code"
    check "launcher-tool verify against the published manifest" \
        "$DEMO_TOOL" verify "$demo/install" "$demo/server/root${live_path}update.rxml"
    check "verify_install.py against the $version client folder" \
        python3 tests/e2e/verify_install.py "$demo/releases/$version/client" "$demo/install"
    check "saved update.xml is the published manifest" \
        same_file "$demo/install/update.xml" "$demo/server/root${live_path}update.xml"
}

# The stage inside the Wine session: server, both releases, both runs.
runs() {
    choose_tree
    start_server
    publish v1
    : >"$demo/install/guest.dat"
    "$DEMO_TOOL" stamp "$DEMO_EXE" "$demo/install/Launcher.exe" \
        SERVER_URL="http://127.0.0.1:$port/" UPDATE_PATH="$live_path" >/dev/null
    echo "portable folder: $demo/install (Launcher.exe stamped from $DEMO_EXE, guest.dat)"
    update_to v1 1

    cp "$demo/server/root${live_path}media.pkg" "$demo/server/media-v1.pkg"
    publish v2
    echo "== v2 published"
    check "media.pkg published unchanged" \
        same_file "$demo/server/media-v1.pkg" "$demo/server/root${live_path}media.pkg"
    update_to v2 2
    check "run 2 leaves the unchanged media.pkg alone" not_fetched media.pkg "$fetched"

    if ((failures > 0)); then
        echo "demo FAILED: $failures checks failed (everything is under $demo)"
        exit 1
    fi
    echo "demo passed: both releases installed and verified"
}

if [[ ${1:-} == --runs ]]; then
    runs
else
    prepare
    cmake/wine-session.sh "$demo/wine" bash tests/demo/run-demo.sh --runs
fi
