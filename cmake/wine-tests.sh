#!/usr/bin/env bash
# Runs a Windows tree's tests in a Wine session once its probe has shown
# that this machine runs the tree's programs:
#   cmake/wine-tests.sh TREE [ctest options...]
# An i686 tree that cannot run keeps only its checks that need no Wine, with
# a notice; LAUNCHER_NO_WINE=1 keeps CTest from listing the tests of the
# Wine test executables, which would start them. An x86_64 tree that cannot
# run is an error.
set -euo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
if [[ ${1:-} != --inside ]]; then
    exec "$here/wine-session.sh" "$1/wine" "$here/wine-tests.sh" --inside "$@"
fi
tree=$2
shift 2
# shellcheck source=cmake/wine-arch.sh
source "$here/wine-arch.sh"
[[ -f $tree/tests/probe.exe ]] || { echo "wine-tests: $tree is not built (no tests/probe.exe)" >&2; exit 2; }
if tree_runs "$tree"; then
    exec ctest --test-dir "$tree" "$@"
fi
if [[ $(tree_arch "$tree") == i686 ]]; then
    no_win32_notice "the i686 tree was built and its format checked, but its Wine tests are skipped; the same sources run under the x86_64 tree's tests."
    LAUNCHER_NO_WINE=1 exec ctest --test-dir "$tree" "$@" -L nowine
fi
echo "wine-tests: the x86_64 probe of $tree printed no marker: Wine cannot run 64-bit programs here" >&2
exit 1
