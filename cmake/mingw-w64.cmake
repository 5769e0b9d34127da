# Cross-compiling for 64-bit Windows with mingw-w64.
#
#   cmake -S . -B build-win -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64.cmake
#
# The posix thread model compilers are used: the default (win32) model of
# Debian's mingw-w64 has no std::mutex or std::thread.  The tests run under
# Wine: cmake/windows-deps.cmake sets CMAKE_CROSSCOMPILING_EMULATOR to
# scripts/windows/wine-run.sh unless one is given on the command line, and
# scripts/windows/build-and-test.sh prepares the Wine environment.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(VERGLE_MINGW_TRIPLE x86_64-w64-mingw32)

find_program(CMAKE_C_COMPILER NAMES ${VERGLE_MINGW_TRIPLE}-gcc-posix REQUIRED)
find_program(CMAKE_CXX_COMPILER NAMES ${VERGLE_MINGW_TRIPLE}-g++-posix REQUIRED)
find_program(CMAKE_RC_COMPILER NAMES ${VERGLE_MINGW_TRIPLE}-windres REQUIRED)
find_program(CMAKE_AR NAMES ${VERGLE_MINGW_TRIPLE}-gcc-ar ${VERGLE_MINGW_TRIPLE}-ar)
find_program(CMAKE_RANLIB NAMES ${VERGLE_MINGW_TRIPLE}-gcc-ranlib ${VERGLE_MINGW_TRIPLE}-ranlib)
find_program(CMAKE_OBJDUMP NAMES ${VERGLE_MINGW_TRIPLE}-objdump)

# Libraries and headers of the target (zlib from libz-mingw-w64-dev) live in
# the distribution's mingw-w64 root; programs are taken from the build host.
set(CMAKE_FIND_ROOT_PATH /usr/${VERGLE_MINGW_TRIPLE})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# Link zlib statically: Wine ships its own zlib1.dll and would hide a missing
# one.
set(ZLIB_USE_STATIC_LIBS ON CACHE BOOL "Link the static zlib")
