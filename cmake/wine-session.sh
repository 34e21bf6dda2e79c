#!/usr/bin/env bash
# Runs a command inside a prepared Wine session:
#   cmake/wine-session.sh <session-dir> <command> [args...]
# Xvfb comes up before the first wine call (GUI calls stay broken for the
# whole wineserver session otherwise), the prefix is new, the crash dialog
# is off (a crash would hang in winedbg), Windows reports version 10, and a
# persistent wineserver keeps CTest from waiting on Wine's service processes.
#
# Every program starts through the 64-bit loader (LAUNCHER_WINE_LOADER,
# default /usr/lib/wine/wine64), which hands 32-bit programs to the 32-bit
# loader beside it. /usr/bin/wine would pick the 32-bit loader for
# everything once wine32 is installed, and on a kernel that cannot execute
# i386 programs that fails for 64-bit programs too. Inside the session,
# `wine` is that loader; whether 32-bit programs run is for a probe to say.
set -euo pipefail
session_dir=$(realpath -m "$1")
shift
mkdir -p "$session_dir/bin"

export WINELOADER=${LAUNCHER_WINE_LOADER:-/usr/lib/wine/wine64}
[[ -x $WINELOADER ]] || { echo "wine-session: no 64-bit Wine loader at $WINELOADER (install wine64)" >&2; exit 1; }
# shellcheck disable=SC2016 # expanded by the shim, not here
printf '#!/bin/sh\nexec "$WINELOADER" "$@"\n' >"$session_dir/bin/wine"
chmod +x "$session_dir/bin/wine"
export PATH=$session_dir/bin:$PATH

export WINEPREFIX=$session_dir/wineprefix WINEARCH=win64 WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml="
rm -rf "$WINEPREFIX"

display=
for d in $(seq 90 140); do
    if [[ ! -e /tmp/.X$d-lock && ! -e /tmp/.X11-unix/X$d ]]; then
        display=$d
        break
    fi
done
[[ -n $display ]] || { echo "wine-session: no free X display" >&2; exit 1; }
Xvfb ":$display" -screen 0 1280x1024x24 -nolisten tcp >"$session_dir/xvfb.log" 2>&1 &
xvfb_pid=$!
export DISPLAY=:$display

cleanup() {
    wineserver -k >/dev/null 2>&1 || true
    kill "$xvfb_pid" >/dev/null 2>&1 || true
    wait "$xvfb_pid" 2>/dev/null || true
}
trap cleanup EXIT

for _ in $(seq 100); do
    [[ -e /tmp/.X11-unix/X$display ]] && break
    sleep 0.05
done

wine wineboot -i >/dev/null 2>&1 </dev/null
wineserver -w
wine reg add 'HKCU\Software\Wine\WineDbg' /v ShowCrashDialog /t REG_DWORD /d 0 /f >/dev/null 2>&1 </dev/null
wine reg add 'HKCU\Software\Wine' /v Version /t REG_SZ /d win10 /f >/dev/null 2>&1 </dev/null
# Xvfb has no window manager: Wine would wait 2 s for one whenever a shown
# window is hidden or destroyed. Unmanaged windows need no such wait.
wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /t REG_SZ /d N /f >/dev/null 2>&1 </dev/null
wineserver -w
wineserver -p
wine cmd /c exit </dev/null >/dev/null 2>&1

set +e
"$@"
rc=$?
set -e
exit $rc
