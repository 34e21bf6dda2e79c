#!/usr/bin/env bash
# The layers of src/: a folder includes only from itself and the folders
# below it. base is the bottom; net, update and ui stand on base alone;
# system on those; app on everything. Prints every include that reaches up
# or sideways and fails when there is one; writes STAMP when there is none.
#   cmake/check-layers.sh [SRC_DIR] [STAMP]
set -euo pipefail
src=${1:-$(cd "$(dirname "$0")/../src" && pwd)}
declare -A allowed=(
    [base]="base"
    [net]="base net"
    [update]="base update"
    [ui]="base ui"
    [system]="base net update ui system"
    [app]="base net update ui system app"
)
status=0
for layer in "${!allowed[@]}"; do
    while IFS=: read -r file line text; do
        target=$(sed -E 's/^#include "([a-z]+)\/.*/\1/' <<<"$text")
        [[ " ${allowed[$layer]} " == *" $target "* || ! -d $src/$target ]] && continue
        echo "$file:$line: error: $layer/ may not include from $target/: $text" >&2
        status=1
    done < <(grep -rn '^#include "[a-z]*/' "$src/$layer" || true)
done
if [[ $status -eq 0 && -n ${2:-} ]]; then
    touch "$2"
fi
exit "$status"
