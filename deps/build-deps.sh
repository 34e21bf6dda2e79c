#!/usr/bin/env bash
# Cross-builds the third-party libraries from Debian's source packages into a
# cache outside the checkout, one prefix per target triplet, and skips what is
# already built from the same source version with the same recipe.
#
#   deps/build-deps.sh                          build everything
#   deps/build-deps.sh --check                  download every source, build nothing
#   deps/build-deps.sh --print-prefix TRIPLET   print the prefix for TRIPLET
#
# When the newest source version in the index does not fetch, the next newest
# is tried, down to the oldest; the build is keyed by the version built.
# LAUNCHER_DEPS_DIR overrides the cache folder, JOBS the parallel build jobs,
# LAUNCHER_DEPS_VERSIONS the versions tried (see candidate_versions).
set -euo pipefail

DIR=${LAUNCHER_DEPS_DIR:-/var/cache/launcher-deps}
JOBS=${JOBS:-2}
WIN_TRIPLETS=(i686-w64-mingw32 x86_64-w64-mingw32)
NATIVE_TRIPLET=x86_64-linux-gnu
DEB_SRC_LIST=/etc/apt/sources.list.d/launcher-deb-src.sources
HERE=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
PACKAGES=(libpng1.6 tinyxml2 openssl libarchive h2o)
# The release whose sources a package is built from: libarchive 3.6.2 of
# bookworm decodes some valid multi-block RAR archives wrongly, trixie's
# does not. Every other package stays on bookworm's.
declare -A SUITE_OF=([libarchive]=trixie)

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

# deb-src twins of the deb stanzas in Debian's own source list, and the same
# again for the release after bookworm (one source is taken from there, see
# SUITE_OF); when that file is missing (a one-line sources.list), the
# standard mirrors.
deb_src_stanzas() {
    local sys=/etc/apt/sources.list.d/debian.sources bookworm
    if [[ -f $sys ]]; then
        bookworm=$(awk 'BEGIN { RS = ""; FS = "\n" }
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
             }' "$sys")
    else
        bookworm=$(cat <<'EOF'
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
        )
    fi
    [[ -n $bookworm ]] || return 0
    printf '%s\n\n' "$bookworm"
    sed '/^Suites:/s/bookworm/trixie/g' <<<"$bookworm"
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

# Versions of source package $1 in the index for its release, newest first. For tests,
# LAUNCHER_DEPS_VERSIONS="pkg=v1,v2 ..." replaces a package's list, and a
# "+" entry in it stands for the index's own versions.
index_versions() {
    apt-cache madison "$1" 2>/dev/null |
        awk -F'|' -v suite="${SUITE_OF[$1]:-bookworm}" '
            $3 ~ / Sources *$/ && $3 ~ (" " suite "(-[a-z]+)?/") { gsub(/ /, "", $2); print $2 }' |
        sort -u
}

newest_first() {
    local v sorted=() i
    while read -r v; do
        [[ -n $v ]] || continue
        for i in "${!sorted[@]}"; do
            if dpkg --compare-versions "$v" gt "${sorted[$i]}"; then
                sorted=("${sorted[@]:0:$i}" "$v" "${sorted[@]:$i}")
                continue 2
            fi
        done
        sorted+=("$v")
    done
    ((${#sorted[@]})) && printf '%s\n' "${sorted[@]}"
    return 0
}

overridden_versions() {
    local entry list v
    for entry in ${LAUNCHER_DEPS_VERSIONS:-}; do
        [[ ${entry%%=*} == "$1" ]] || continue
        list=${entry#*=}
        for v in ${list//,/ }; do
            if [[ $v == + ]]; then
                index_versions "$1" | newest_first
            else
                echo "$v"
            fi
        done
        return 0
    done
    return 1
}

candidate_versions() {
    overridden_versions "$1" || index_versions "$1" | newest_first
}

# Sets `versions` to the candidates of source package $1, newest first,
# updating the index once when it has none.
resolve_versions() {
    mapfile -t versions < <(candidate_versions "$1")
    if ((${#versions[@]} == 0)); then
        apt_update
        mapfile -t versions < <(candidate_versions "$1")
    fi
    ((${#versions[@]})) || {
        echo "apt-get source cannot find $1: no version in the source index" >&2
        exit 1
    }
}

# The reason a fetch failed, from its log: the first file the server
# refused ("x.dsc: 404 Not Found"), else apt's last error.
fetch_failure() {
    local refused
    refused=$(sed -n 's|^E: Failed to fetch [^ ]*/\([^/ ]*\) *\([0-9][0-9][0-9] [^[]*\).*|\1: \2|p' "$1" 2>/dev/null | head -n 1)
    if [[ -n $refused ]]; then
        echo "${refused% }"
    else
        grep -E '^E:' "$1" 2>/dev/null | tail -n 1 | cut -c1-200 || true
    fi
}

# Downloads pkg=ver into folder $3 (download only).
download_source() {
    local pkg=$1 ver=$2 dest=$3
    (cd "$dest" && apt-get source --download-only "$pkg=$ver")
}

# A version that did not fetch is not tried again for a day, so a run with
# everything built asks no server.
unfetchable_mark() {
    echo "$DIR/unfetchable/${1}_$2"
}

recently_unfetchable() {
    local mark
    mark=$(unfetchable_mark "$1" "$2")
    [[ -f $mark && -n $(find "$mark" -mmin -1440 2>/dev/null) ]]
}

# Downloads and unpacks pkg=ver into $DIR/src/<pkg>_<ver>/tree (patched);
# other versions of the package are removed.
fetch_source() {
    local pkg=$1 ver=$2 dest="$DIR/src/${1}_$2" log="$DIR/logs/$1-fetch.log"
    [[ -f $dest/tree/.unpacked ]] && return
    rm -rf "$dest" "$DIR/src/${pkg}"_*
    mkdir -p "$dest" "$DIR/unfetchable"
    if ! (download_source "$pkg" "$ver" "$dest" &&
        cd "$dest" && dpkg-source -x "${pkg}_${ver#*:}.dsc" tree) >"$log" 2>&1; then
        fetch_failure "$log" >"$(unfetchable_mark "$pkg" "$ver")"
        rm -rf "$dest"
        return 1
    fi
    rm -f "$(unfetchable_mark "$pkg" "$ver")"
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

built_everywhere() {
    local pkg=$1 ver=$2 triplet
    shift 2
    for triplet in "$@"; do
        is_built "$pkg" "$ver" "$triplet" || return 1
    done
}

# The version to build: the newest candidate that is built already or that
# fetches. Newer candidates that did not fetch are named with the reason.
# Sets `chosen`; returns 1 when none qualifies.
choose_version() {
    local pkg=$1 ver reason skipped=()
    shift
    chosen=
    for ver in "${versions[@]}"; do
        if built_everywhere "$pkg" "$ver" "$@"; then
            chosen=$ver
        elif recently_unfetchable "$pkg" "$ver"; then
            skipped+=("$ver ($(<"$(unfetchable_mark "$pkg" "$ver")"), not tried again until a day after)")
            continue
        elif fetch_source "$pkg" "$ver"; then
            chosen=$ver
        else
            reason=$(<"$(unfetchable_mark "$pkg" "$ver")")
            skipped+=("$ver (${reason:-fetch failed, see $DIR/logs/$pkg-fetch.log})")
            continue
        fi
        break
    done
    for reason in "${skipped[@]}"; do
        echo "$pkg: version $reason did not fetch"
    done
    [[ -n $chosen ]] || return 1
    ((${#skipped[@]} == 0)) || echo "$pkg: using $chosen, the newest version that fetched"
}

build_package() {
    local pkg=$1 versions chosen ver triplet
    shift
    resolve_versions "$pkg"
    if ! choose_version "$pkg" "$@"; then
        # An old index names files the mirror has dropped since.
        if ((apt_updated == 0)); then
            apt_update
            rm -f "$DIR/unfetchable/${pkg}"_*
            build_package "$pkg" "$@"
            return
        fi
        echo "$pkg: no version fetches (tried ${versions[*]}); end of $DIR/logs/$pkg-fetch.log:" >&2
        tail -n 30 "$DIR/logs/$pkg-fetch.log" >&2
        exit 1
    fi
    ver=$chosen
    local todo=()
    for triplet in "$@"; do
        if is_built "$pkg" "$ver" "$triplet"; then
            echo "$(recipe_name "$pkg") $ver $triplet: cached"
        else
            todo+=("$triplet")
        fi
    done
    ((${#todo[@]})) || return 0
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

# Downloads every package's chosen source into a temporary folder, newest
# version first, and reports what fetched; builds nothing and keeps nothing.
check_package() {
    local pkg=$1 work=$2 ver tried="" reason
    shift 2
    for ver in "$@"; do
        mkdir -p "$work/$pkg-$ver"
        if download_source "$pkg" "$ver" "$work/$pkg-$ver" >"$work/$pkg-$ver.log" 2>&1; then
            if [[ -n $tried ]]; then
                echo "$pkg: $ver fetches (newer did not: ${tried#; })"
            else
                echo "$pkg: $ver fetches"
            fi
            return 0
        fi
        reason=$(fetch_failure "$work/$pkg-$ver.log")
        tried+="; $ver: ${reason:-fetch failed}"
    done
    echo "$pkg: FAILED, no version fetches (${tried#; })" >&2
    return 1
}

check_fetch() {
    local pkg versions pids=() failed=0 start=$SECONDS
    check_work=$(mktemp -d)
    trap 'rm -rf "$check_work"' EXIT
    if ensure_deb_src; then
        echo "added $DEB_SRC_LIST"
        apt_update
    fi
    for pkg in "${PACKAGES[@]}"; do
        resolve_versions "$pkg" # in this shell: it may update the index
        check_package "$pkg" "$check_work" "${versions[@]}" &
        pids+=($!)
    done
    for pkg in "${pids[@]}"; do
        wait "$pkg" || failed=1
    done
    if ((failed)); then
        echo "deps-check FAILED: a dependency's source cannot be fetched; a fresh machine could not build it" >&2
        exit 1
    fi
    echo "deps-check: every dependency's source fetches ($((SECONDS - start)) s)"
}

main() {
    case ${1:-} in
    --print-prefix)
        [[ $# -eq 2 ]] || usage
        print_prefix "$2"
        return
        ;;
    --check | "") ;;
    *) usage ;;
    esac
    [[ $EUID -eq 0 ]] || {
        echo "run as root (adds an apt source, runs apt-get update)" >&2
        exit 1
    }
    local start=$SECONDS
    mkdir -p "$DIR/src" "$DIR/logs" "$DIR/build"
    if [[ ${1:-} == --check ]]; then
        check_fetch
        return
    fi
    exec 9>"$DIR/.lock"
    flock 9 # a second run waits instead of building into the same folders
    if ensure_deb_src; then
        echo "added $DEB_SRC_LIST"
        apt_update
    fi
    build_package libpng1.6 "${WIN_TRIPLETS[@]}"
    build_package tinyxml2 "${WIN_TRIPLETS[@]}"
    build_package openssl "${WIN_TRIPLETS[@]}"
    build_package libarchive "${WIN_TRIPLETS[@]}" "$NATIVE_TRIPLET"
    build_package h2o "${WIN_TRIPLETS[@]}" "$NATIVE_TRIPLET"
    echo "dependencies ready in $DIR ($((SECONDS - start)) s)"
}

main "$@"
