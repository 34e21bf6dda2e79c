set(CMAKE_C_COMPILER ${LAUNCHER_TRIPLET}-gcc-posix)
set(CMAKE_CXX_COMPILER ${LAUNCHER_TRIPLET}-g++-posix)
set(CMAKE_RC_COMPILER ${LAUNCHER_TRIPLET}-windres)
set(CMAKE_FIND_ROOT_PATH /usr/${LAUNCHER_TRIPLET})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
# Only system DLLs at run time: the C/C++ runtime and winpthread are linked in.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")
# Test executables run under Wine (cmake/wine-session.sh prepares the prefix;
# wine-run.sh retries a wine start that died before printing anything).
set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_CURRENT_LIST_DIR}/wine-run.sh)
