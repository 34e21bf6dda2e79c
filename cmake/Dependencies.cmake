# Third-party libraries: Debian's -dev packages natively, the cross-built
# prefix (deps/build-deps.sh) for the Windows trees.
if(WIN32)
    # Only static libraries: Debian's mingw zlib also ships an import library,
    # and the launcher must need no DLL beyond the system's.
    set(CMAKE_FIND_LIBRARY_SUFFIXES .a)
endif()
find_package(ZLIB REQUIRED)
find_package(OpenSSL REQUIRED COMPONENTS Crypto)
if(WIN32)
    # libcrypto's Windows entropy and socket glue.
    set_property(TARGET OpenSSL::Crypto APPEND PROPERTY INTERFACE_LINK_LIBRARIES ws2_32 crypt32 bcrypt)
endif()

set(GTEST_SOURCE_DIR /usr/src/googletest CACHE PATH "GoogleTest sources (Debian googletest)")

find_package(PNG REQUIRED)
find_package(tinyxml2 CONFIG QUIET)
if(NOT TARGET tinyxml2::tinyxml2)
    # Debian's native package ships no CMake config.
    find_library(TINYXML2_LIBRARY NAMES tinyxml2 REQUIRED)
    find_path(TINYXML2_INCLUDE_DIR tinyxml2.h REQUIRED)
    add_library(tinyxml2::tinyxml2 UNKNOWN IMPORTED)
    set_target_properties(tinyxml2::tinyxml2 PROPERTIES IMPORTED_LOCATION ${TINYXML2_LIBRARY}
        INTERFACE_INCLUDE_DIRECTORIES ${TINYXML2_INCLUDE_DIR})
endif()
# picohttpparser: two files from Debian's h2o sources, built into the prefix
# for every tree (deps/recipes.sh); no CMake config.
find_path(PICOHTTPPARSER_INCLUDE_DIR picohttpparser.h REQUIRED)
find_library(PICOHTTPPARSER_LIBRARY NAMES picohttpparser REQUIRED)
add_library(picohttpparser::picohttpparser UNKNOWN IMPORTED)
set_target_properties(picohttpparser::picohttpparser PROPERTIES IMPORTED_LOCATION ${PICOHTTPPARSER_LIBRARY}
    INTERFACE_INCLUDE_DIRECTORIES ${PICOHTTPPARSER_INCLUDE_DIR})
# libarchive: built from source for every tree (deps/recipes.sh), so the
# launcher, its tests and the fuzzers decode with the same version; static,
# and it checks RAR data with zlib's crc32.
find_package(LibArchive REQUIRED)
if(LAUNCHER_DEPS_PREFIX AND NOT LibArchive_LIBRARY MATCHES "^${LAUNCHER_DEPS_PREFIX}/")
    message(FATAL_ERROR "libarchive found at ${LibArchive_LIBRARY}, not in ${LAUNCHER_DEPS_PREFIX} (run deps/build-deps.sh)")
endif()
set_property(TARGET LibArchive::LibArchive APPEND PROPERTY INTERFACE_LINK_LIBRARIES ZLIB::ZLIB)
if(WIN32)
    set_property(TARGET LibArchive::LibArchive APPEND PROPERTY INTERFACE_COMPILE_DEFINITIONS LIBARCHIVE_STATIC)
endif()
