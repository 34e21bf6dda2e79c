# Build recipes for deps/build-deps.sh, one per source package:
#   build_<recipe> SRC TRIPLET PREFIX
# runs in an empty work folder with its output going to the package's log and
# installs static libraries and headers into PREFIX.
# shellcheck shell=bash

declare -A RECIPE_OF=([libpng1.6]=libpng [tinyxml2]=tinyxml2 [openssl]=openssl
    [libarchive]=libarchive [h2o]=picohttpparser)
# Shared by several recipes: part of every recipe's fingerprint.
# shellcheck disable=SC2034 # read by build-deps.sh
RECIPE_HELPERS=(write_toolchain cmake_configure check_symbols)

recipe_name() {
    echo "${RECIPE_OF[$1]}"
}

write_toolchain() {
    local triplet=$1 prefix=$2
    cat >toolchain.cmake <<EOF
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR ${triplet%%-*})
set(CMAKE_C_COMPILER $triplet-gcc-posix)
set(CMAKE_CXX_COMPILER $triplet-g++-posix)
set(CMAKE_RC_COMPILER $triplet-windres)
set(CMAKE_FIND_ROOT_PATH /usr/$triplet $prefix)
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
EOF
}

# Configures SRC into ./build for TRIPLET. For Windows, zlib is Debian's
# static mingw one (naming libz.a keeps the import library libz.dll.a out);
# the native build uses the system's zlib and position-independent code.
cmake_configure() {
    local src=$1 triplet=$2 prefix=$3 target=()
    shift 3
    if [[ $triplet == *-mingw32 ]]; then
        write_toolchain "$triplet" "$prefix"
        target=(-DCMAKE_TOOLCHAIN_FILE="$PWD/toolchain.cmake" -DZLIB_INCLUDE_DIR="/usr/$triplet/include"
            -DZLIB_LIBRARY="/usr/$triplet/lib/libz.a")
    else
        target=(-DCMAKE_POSITION_INDEPENDENT_CODE=ON)
    fi
    cmake -S "$src" -B build -G Ninja "${target[@]}" \
        -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX="$prefix" -DBUILD_SHARED_LIBS=OFF \
        -DCMAKE_C_FLAGS_RELEASE="-O2 -DNDEBUG" -DCMAKE_CXX_FLAGS_RELEASE="-O2 -DNDEBUG" \
        -DBUILD_TESTING=OFF "$@"
}

# Fails unless the archive defines every named function (i686 names carry
# a leading underscore).
check_symbols() {
    local triplet=$1 lib=$2 sym defined nm=nm
    shift 2
    [[ $triplet == *-mingw32 ]] && nm=$triplet-nm
    defined=$("$nm" -g --defined-only "$lib" 2>/dev/null)
    for sym in "$@"; do
        if ! grep -Eq " T _?$sym\$" <<<"$defined"; then
            echo "$lib lacks $sym"
            return 1
        fi
    done
    echo "$lib defines $*"
}

build_libpng() {
    local src=$1 triplet=$2 prefix=$3
    cmake_configure "$src" "$triplet" "$prefix" -DPNG_SHARED=OFF -DPNG_STATIC=ON \
        -DPNG_EXECUTABLES=OFF -DPNG_TESTS=OFF
    cmake --build build -j "$JOBS"
    cmake --install build
}

build_tinyxml2() {
    local src=$1 triplet=$2 prefix=$3
    cmake_configure "$src" "$triplet" "$prefix" -Dtinyxml2_BUILD_TESTING=OFF
    cmake --build build -j "$JOBS"
    cmake --install build
}

# libcrypto only, without TLS, sockets, engines, loadable modules and every
# algorithm family the launcher does not use. AES and Blowfish stay; Blowfish
# lives in the legacy provider, which no-dso builds into libcrypto.
build_openssl() {
    local src=$1 triplet=$2 prefix=$3 target=mingw
    local options=(no-shared no-asm no-tests no-dso no-engine no-async no-sock
        no-ssl no-tls no-dtls no-srtp no-psk no-srp no-nextprotoneg no-ssl-trace
        no-comp no-ocsp no-ct no-cms no-cmp no-ts no-rfc3779 no-ui-console no-autoload-config
        no-aria no-camellia no-cast no-des no-idea no-rc2 no-rc4 no-seed no-sm3 no-sm4
        no-chacha no-poly1305 no-ocb no-siv no-md4 no-rmd160 no-whirlpool no-blake2
        no-siphash no-scrypt no-dh no-dsa no-ec no-multiblock)
    [[ $triplet == x86_64-* ]] && target=mingw64
    perl "$src/Configure" "$target" --cross-compile-prefix="$triplet-" CC=gcc-posix CXX=g++-posix CFLAGS="-O2 -Wall" \
        --prefix="$prefix" --libdir=lib "${options[@]}"
    make -j "$JOBS" build_generated
    make -j "$JOBS" libcrypto.a
    check_symbols "$triplet" libcrypto.a EVP_bf_cbc EVP_aes_128_ecb OSSL_PROVIDER_load
    rm -rf "$prefix/include/openssl"
    mkdir -p "$prefix/include/openssl" "$prefix/lib"
    install -m 644 "$src"/include/openssl/*.h include/openssl/*.h "$prefix/include/openssl/"
    install -m 644 libcrypto.a "$prefix/lib/"
}

# Only the static library: libarchive always builds a shared one too, which
# would double the work. Every optional library is off except zlib. Its
# probe for a stdcall zlib (ZLIB_WINAPI) is a try_run, which crashes CMake
# 3.25 when cross-compiling; Debian's mingw zlib is cdecl, so the answer is
# given.
build_libarchive() {
    local src=$1 triplet=$2 prefix=$3 opt
    local off=(OPENSSL MBEDTLS NETTLE CNG LIBB2 LZ4 LZO LZMA ZSTD BZip2 LIBXML2 EXPAT
        PCREPOSIX PCRE2POSIX LIBGCC ICONV ACL XATTR TAR CPIO CAT UNZIP TEST WERROR)
    local args=(-DENABLE_ZLIB=ON -DPOSIX_REGEX_LIB=NONE)
    [[ $triplet == *-mingw32 ]] &&
        args+=(-DZLIB_WINAPI=OFF -DZLIB_WINAPI_WITH_LIB="/usr/$triplet/lib/libz.a")
    for opt in "${off[@]}"; do
        args+=("-DENABLE_$opt=OFF")
    done
    cmake_configure "$src" "$triplet" "$prefix" "${args[@]}"
    cmake --build build -j "$JOBS" --target archive_static
    # 3.7 names the static library libarchive.a, 3.6 libarchive_static.a.
    local lib=build/libarchive/libarchive.a
    [[ -f $lib ]] || lib=build/libarchive/libarchive_static.a
    check_symbols "$triplet" "$lib" archive_read_support_format_rar archive_read_open_memory
    mkdir -p "$prefix/include" "$prefix/lib/pkgconfig"
    install -m 644 "$src/libarchive/archive.h" "$src/libarchive/archive_entry.h" "$prefix/include/"
    install -m 644 "$lib" "$prefix/lib/libarchive.a"
    install -m 644 build/build/pkgconfig/libarchive.pc "$prefix/lib/pkgconfig/"
}

# picohttpparser is two files inside the h2o sources; a Makefile is not worth it.
build_picohttpparser() {
    local src=$1/deps/picohttpparser triplet=$2 prefix=$3 cc=(gcc -fPIC) ar=ar
    if [[ $triplet == *-mingw32 ]]; then
        cc=("$triplet-gcc-posix")
        ar=$triplet-ar
    fi
    "${cc[@]}" -O2 -Wall -c "$src/picohttpparser.c" -o picohttpparser.o
    rm -f libpicohttpparser.a
    "$ar" rcs libpicohttpparser.a picohttpparser.o
    mkdir -p "$prefix/include" "$prefix/lib"
    install -m 644 "$src/picohttpparser.h" "$prefix/include/"
    install -m 644 libpicohttpparser.a "$prefix/lib/"
}
