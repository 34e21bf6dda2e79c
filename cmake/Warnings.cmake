# Warnings are errors in every tree, the dependencies' own code excepted.
add_compile_options(-Wall -Wextra -Werror -Wnon-virtual-dtor -Wshadow=local)

if(WIN32)
    add_compile_definitions(UNICODE _UNICODE WIN32_LEAN_AND_MEAN NOMINMAX _WIN32_WINNT=0x0601)
else()
    # The native tree exists to run the portable core under the sanitizers.
    set(LAUNCHER_SANITIZE -fsanitize=address,undefined -fno-sanitize-recover=undefined -fno-omit-frame-pointer)
    add_compile_options(${LAUNCHER_SANITIZE})
    add_link_options(${LAUNCHER_SANITIZE})
endif()

# -O2 for the release trees: the shipped launcher gains nothing from -O3's
# code size, and GCC 12 reports false array-bounds errors there.
set(CMAKE_C_FLAGS_RELEASE "-O2 -DNDEBUG")
set(CMAKE_CXX_FLAGS_RELEASE "-O2 -DNDEBUG")
