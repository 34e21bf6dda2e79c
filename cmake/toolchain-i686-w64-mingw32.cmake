# i686 Windows (the shipped Launcher.exe). The -posix compilers are needed:
# the -win32 variant of GCC 12 has no std::thread / std::mutex.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR i686)
set(LAUNCHER_TRIPLET i686-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-common.cmake)
