# Third-party libraries: Debian's -dev packages natively, the cross-built
# prefix (deps/build-deps.sh) for the Windows trees.
find_package(ZLIB REQUIRED)
find_package(OpenSSL REQUIRED COMPONENTS Crypto)
if(WIN32)
    # libcrypto's Windows entropy and socket glue.
    set_property(TARGET OpenSSL::Crypto APPEND PROPERTY INTERFACE_LINK_LIBRARIES ws2_32 crypt32 bcrypt)
endif()

set(GTEST_SOURCE_DIR /usr/src/googletest CACHE PATH "GoogleTest sources (Debian googletest)")
