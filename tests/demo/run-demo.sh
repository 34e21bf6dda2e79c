#!/usr/bin/env bash
# The demo: personalise a copy of the real Launcher.exe with launcher-tool,
# then run it under Wine: "/crc", and a normal start with its run log.
set -euo pipefail
cd "$(dirname "$0")/../.."

tool=build/native/tools/launcher-tool/launcher-tool
demo=out/demo
rm -rf "$demo"
mkdir -p "$demo"

exe=build/win32/src/Launcher.exe
if ! dpkg-query -W -f='${Status}' wine32:i386 2>/dev/null | grep -q "install ok installed"; then
    echo "NOTICE: wine32 is not installable here; the demo runs the x86_64 build of the same sources."
    make --no-print-directory win64 >/dev/null
    exe=build/win64/src/Launcher.exe
fi

echo "== launcher-tool stamp"
"$tool" stamp "$exe" "$demo/Launcher.exe" \
    SERVER_URL=http://127.0.0.1:8731/ SERVER_URL=http://localhost:8731/ \
    UPDATE_PATH=/client/update LANGUAGE=en AFFILIATE_ID=demo-affiliate \
    REFERRER_ID=demo-referrer PROMOCODE=DEMO2026
"$tool" stamp --show "$demo/Launcher.exe"
echo "launcher-tool crc (shipped build): $("$tool" crc "$exe")"
echo "launcher-tool crc (stamped copy):  $("$tool" crc "$demo/Launcher.exe")"

run_in_wine() {
    cd "$demo"
    echo "== Launcher.exe /crc"
    wine Launcher.exe /crc </dev/null
    echo "crc.txt: $(cat crc.txt)"
    echo "== Launcher.exe"
    wine Launcher.exe </dev/null
    for log in *.log; do
        echo "== run log $log"
        cat "$log"
    done
}
export -f run_in_wine
export demo
cmake/wine-session.sh build/demo-wine bash -c run_in_wine
