# shellcheck shell=bash
# Shell helpers for scripts that run the test update server next to Wine
# (the demo, the update benchmark). Source this file.

server_pid=
stop_server() {
    [[ -n $server_pid ]] || return 0
    # SIGTERM can leave the server hanging in its own shutdown: KILL follows.
    kill -TERM "$server_pid" 2>/dev/null || true
    for _ in $(seq 50); do
        kill -0 "$server_pid" 2>/dev/null || break
        sleep 0.1
    done
    kill -KILL "$server_pid" 2>/dev/null || true
    wait "$server_pid" 2>/dev/null || true
}

# start_update_server FOLDER: serves FOLDER/root on a free loopback port,
# with FOLDER/port, FOLDER/access.log and FOLDER/server.out; stopped when the
# script exits. Sets server_port.
start_update_server() {
    local folder=$1
    python3 "$(dirname "${BASH_SOURCE[0]}")/update_server.py" --root "$folder/root" --port 0 \
        --port-file "$folder/port" --access-log "$folder/access.log" >"$folder/server.out" 2>&1 &
    server_pid=$!
    trap stop_server EXIT
    for _ in $(seq 300); do
        [[ -s $folder/port ]] && break
        kill -0 "$server_pid" 2>/dev/null || break
        sleep 0.1
    done
    if [[ ! -s $folder/port ]]; then
        echo "the update server did not start:" >&2
        cat "$folder/server.out" >&2
        exit 1
    fi
    # shellcheck disable=SC2034 # read by the sourcing script
    server_port=$(cat "$folder/port")
    touch "$folder/access.log"
}
