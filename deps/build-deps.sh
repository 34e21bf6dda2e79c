#!/usr/bin/env bash
# Cross-builds the third-party libraries from Debian's source packages into a
# cache outside the checkout, one prefix per target triplet, and skips what is
# already built from the same source version with the same recipe.
#
#   deps/build-deps.sh                          build everything
#   deps/build-deps.sh --print-prefix TRIPLET   print the prefix for TRIPLET
#
# LAUNCHER_DEPS_DIR overrides the cache folder, JOBS the parallel build jobs.
set -euo pipefail

DIR=${LAUNCHER_DEPS_DIR:-/var/cache/launcher-deps}
JOBS=${JOBS:-2}
WIN_TRIPLETS=(i686-w64-mingw32 x86_64-w64-mingw32)
NATIVE_TRIPLET=x86_64-linux-gnu
DEB_SRC_LIST=/etc/apt/sources.list.d/launcher-deb-src.sources
HERE=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)

# shellcheck source=deps/recipes.sh
source "$HERE/recipes.sh"

usage() {
    sed -n 's/^#   //p' "${BASH_SOURCE[0]}" >&2
    exit 2
}

print_prefix() {
    local t
    for t in "${WIN_TRIPLETS[@]}" "$NATIVE_TRIPLET"; do
        if [[ $1 == "$t" ]]; then
            echo "$DIR/$t"
            return
        fi
    done
    echo "unknown triplet: $1 (known: ${WIN_TRIPLETS[*]} $NATIVE_TRIPLET)" >&2
    exit 2
}

# deb-src twins of the deb stanzas in Debian's own source list; when that file
# is missing (a one-line sources.list), the standard bookworm mirrors.
deb_src_stanzas() {
    local sys=/etc/apt/sources.list.d/debian.sources
    if [[ -f $sys ]]; then
        awk 'BEGIN { RS = ""; FS = "\n" }
             {
                 types = ""; body = ""; enabled = 1
                 for (i = 1; i <= NF; i++) {
                     if ($i ~ /^#/) continue
                     if ($i ~ /^Types:/) { types = $i; continue }
                     if ($i ~ /^Enabled: *no/) enabled = 0
                     body = body $i "\n"
                 }
                 if (enabled && types ~ /[ :]deb( |$)/ && types !~ /deb-src/)
                     printf "%sTypes: deb-src\n%s", (n++ ? "\n" : ""), body
             }' "$sys"
    else
        cat <<'EOF'
Types: deb-src
URIs: http://deb.debian.org/debian
Suites: bookworm bookworm-updates
Components: main
Signed-By: /usr/share/keyrings/debian-archive-keyring.gpg

Types: deb-src
URIs: http://deb.debian.org/debian-security
Suites: bookworm-security
Components: main
Signed-By: /usr/share/keyrings/debian-archive-keyring.gpg
EOF
    fi
}

# Writes our deb-src list when it differs; returns 0 when it changed.
ensure_deb_src() {
    local want
    want=$(deb_src_stanzas)
    [[ -z $want ]] && return 1 # Debian's own list already carries deb-src
    if [[ -f $DEB_SRC_LIST && $(<"$DEB_SRC_LIST") == "$want" ]]; then
        return 1
    fi
    printf '%s\n' "$want" >"$DEB_SRC_LIST"
}

apt_updated=0
apt_update() {
    ((apt_updated)) && return
    apt_updated=1
    # A broken index elsewhere (e.g. a foreign architecture) fails the update
    # as a whole; a missing source index shows when the version is resolved.
    echo "apt-get update"
    apt-get update -qq >"$DIR/logs/apt-update.log" 2>&1 ||
        echo "apt-get update reported errors (see $DIR/logs/apt-update.log)"
}

# The newest version in the source index (apt-get source's choice too; it is
# then asked for exactly that version).
source_version() {
    local v best=""
    while read -r v; do
        if [[ -z $best ]] || dpkg --compare-versions "$v" gt "$best"; then
            best=$v
        fi
    done < <(apt-cache showsrc --only-source "$1" 2>/dev/null | sed -n 's/^Version: //p')
    echo "$best"
}

# Sets `version` to the version of source package $1 to build, updating the
# index once when it has none.
resolve_version() {
    version=$(source_version "$1")
    if [[ -z $version ]]; then
        apt_update
        version=$(source_version "$1")
    fi
    [[ -n $version ]] || {
        echo "apt-get source cannot find $1" >&2
        exit 1
    }
}

# Downloads and unpacks pkg=ver into $DIR/src/<pkg>_<ver>/tree (patched);
# other versions of the package are removed.
fetch_source() {
    local pkg=$1 ver=$2 dest="$DIR/src/${1}_$2" log="$DIR/logs/$1-fetch.log"
    [[ -f $dest/tree/.unpacked ]] && return
    rm -rf "$dest" "$DIR/src/${pkg}"_*
    mkdir -p "$dest"
    (cd "$dest" && apt-get source --download-only "$pkg=$ver" &&
        dpkg-source -x "${pkg}_${ver#*:}.dsc" tree) >"$log" 2>&1 || return 1
    touch "$dest/tree/.unpacked"
}

# A stamp names the source version; its content is the recipe's fingerprint,
# so an edited recipe rebuilds as well.
recipe_fingerprint() {
    declare -f "build_$1" "${RECIPE_HELPERS[@]}" | sha256sum | cut -d' ' -f1
}

is_built() {
    local stamp="$DIR/$3/.built/${1}_$2"
    [[ -f $stamp && $(<"$stamp") == "$(recipe_fingerprint "$(recipe_name "$1")")" ]]
}

build_one() {
    local pkg=$1 ver=$2 triplet=$3 recipe
    recipe=$(recipe_name "$pkg")
    local log="$DIR/logs/$recipe-$triplet.log" prefix="$DIR/$triplet"
    local work="$DIR/build/$recipe-$triplet" start=$SECONDS
    rm -rf "$work" "$prefix/.built/${pkg}"_*
    mkdir -p "$work" "$prefix/.built"
    # A child shell of its own, because errexit is off inside an if condition.
    if ! (cd "$work" && JOBS=$JOBS bash -euo pipefail -c 'source "$1" && shift && "$@"' _ \
        "$HERE/recipes.sh" "build_$recipe" "$DIR/src/${pkg}_$ver/tree" "$triplet" "$prefix") >"$log" 2>&1; then
        echo "$recipe $ver $triplet: FAILED, end of $log:" >&2
        tail -n 40 "$log" >&2
        exit 1
    fi
    rm -rf "$work"
    recipe_fingerprint "$recipe" >"$prefix/.built/${pkg}_$ver"
    echo "$recipe $ver $triplet: built ($((SECONDS - start)) s)"
}

build_package() {
    local pkg=$1 version ver triplet
    shift
    resolve_version "$pkg"
    ver=$version
    local todo=()
    for triplet in "$@"; do
        if is_built "$pkg" "$ver" "$triplet"; then
            echo "$(recipe_name "$pkg") $ver $triplet: cached"
        else
            todo+=("$triplet")
        fi
    done
    ((${#todo[@]})) || return 0
    if ! fetch_source "$pkg" "$ver"; then
        # An old index names files the mirror has dropped since.
        if ((apt_updated == 0)); then
            apt_update
            build_package "$pkg" "$@"
            return
        fi
        echo "$pkg $ver: fetch FAILED, end of $DIR/logs/$pkg-fetch.log:" >&2
        tail -n 30 "$DIR/logs/$pkg-fetch.log" >&2
        exit 1
    fi
    # The triplets build side by side, sharing the jobs: configure steps are
    # serial, so one at a time would leave a core idle for long stretches.
    local jobs=$((JOBS / ${#todo[@]})) pids=() pid failed=0
    ((jobs > 0)) || jobs=1
    for triplet in "${todo[@]}"; do
        JOBS=$jobs build_one "$pkg" "$ver" "$triplet" &
        pids+=($!)
    done
    for pid in "${pids[@]}"; do
        wait "$pid" || failed=1
    done
    ((failed == 0)) || exit 1
}

main() {
    case ${1:-} in
    --print-prefix)
        [[ $# -eq 2 ]] || usage
        print_prefix "$2"
        return
        ;;
    "") ;;
    *) usage ;;
    esac
    [[ $EUID -eq 0 ]] || {
        echo "run as root (adds an apt source, runs apt-get update)" >&2
        exit 1
    }
    local start=$SECONDS
    mkdir -p "$DIR/src" "$DIR/logs" "$DIR/build"
    exec 9>"$DIR/.lock"
    flock 9 # a second run waits instead of building into the same folders
    if ensure_deb_src; then
        echo "added $DEB_SRC_LIST"
        apt_update
    fi
    build_package libpng1.6 "${WIN_TRIPLETS[@]}"
    build_package tinyxml2 "${WIN_TRIPLETS[@]}"
    build_package openssl "${WIN_TRIPLETS[@]}"
    build_package libarchive "${WIN_TRIPLETS[@]}"
    build_package h2o "${WIN_TRIPLETS[@]}" "$NATIVE_TRIPLET"
    echo "dependencies ready in $DIR ($((SECONDS - start)) s)"
}

main "$@"
