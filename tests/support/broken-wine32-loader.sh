#!/usr/bin/env bash
# Makes a Wine loader tree whose 64-bit loader works and whose 32-bit loader
# cannot be executed ("Exec format error"), as on a kernel without i386
# support where wine32 still installs:
#   tests/support/broken-wine32-loader.sh DIR
#   LAUNCHER_WINE_LOADER=DIR/lib/wine/wine64 make test
# The 64-bit loader looks for the 32-bit one beside its own file and for its
# libraries and data relative to it, so it is copied, not linked.
set -euo pipefail
dir=$(realpath -m "$1")
mkdir -p "$dir/lib/wine"
cp /usr/lib/wine/wine64 "$dir/lib/wine/wine64"
ln -sfn /usr/lib/x86_64-linux-gnu "$dir/lib/x86_64-linux-gnu"
ln -sfn /usr/share "$dir/share"
printf '\177ELF, not a program\n' >"$dir/lib/wine/wine"
chmod +x "$dir/lib/wine/wine"
echo "$dir/lib/wine/wine64"
