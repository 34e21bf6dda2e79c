# shellcheck shell=bash
# Inside a Wine session (cmake/wine-session.sh): which Windows builds this
# machine runs. wine32 being installed proves nothing (a kernel without i386
# support installs it too), so a build's probe must print its marker.
# Source this file.

# tree_arch TREE: i686 or x86_64, from the tree's probe executable.
tree_arch() {
    if [[ $(file -b "$1/tests/probe.exe" 2>/dev/null) == *"Intel 80386"* ]]; then
        echo i686
    else
        echo x86_64
    fi
}

# tree_runs TREE: the tree's probe printed its marker under this Wine.
tree_runs() {
    local out
    out=$(wine "$1/tests/probe.exe" </dev/null 2>/dev/null | tr -d '\r') || true
    [[ $out == *"launcher-probe-ok $(tree_arch "$1")"* ]]
}

# no_win32_notice WHAT_HAPPENS_INSTEAD
no_win32_notice() {
    echo "NOTICE: this machine cannot run 32-bit Windows programs under Wine (the i686 probe printed no marker: wine32 is missing or the kernel cannot execute i386 programs); $1"
}

# use_runnable_tree TREE FALLBACK WHAT_INSTEAD BUILD_FUNCTION: sets
# runnable_tree to TREE when its probe runs. An i686 TREE that cannot run
# gives the notice, then FALLBACK (the x86_64 build of the same sources) is
# built with BUILD_FUNCTION FALLBACK and used. No FALLBACK: an error.
use_runnable_tree() {
    local tree=$1 fallback=$2 instead=$3 build=$4
    runnable_tree=$tree
    tree_runs "$tree" && return 0
    if [[ -n $fallback && $(tree_arch "$tree") == i686 ]]; then
        no_win32_notice "$instead"
        "$build" "$fallback" || return 1
        runnable_tree=$fallback
        tree_runs "$fallback" && return 0
    fi
    echo "the probe of $runnable_tree printed no marker under this Wine" >&2
    return 1
}
