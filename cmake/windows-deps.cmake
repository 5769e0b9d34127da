# Third-party libraries of the Windows build, and how its tests run.
#
# vergle_minizip: an INTERFACE target that links a static minizip (ioapi.c,
# unzip.c, zip.c) built from Debian's minizip source package with the
# cross-compiler, and the static zlib of libz-mingw-w64-dev.  Sources include
# it as on Linux, where pkg-config puts the minizip folder on the include
# path:
#
#     #include <unzip.h>
#
# (<minizip/unzip.h> works as well, as it does on Linux, but write the first.)
# The source package is fetched into the build folder (deps/minizip) by
# scripts/windows/fetch-minizip.sh when it is not there yet; point
# VERGLE_MINIZIP_SOURCE_DIR at a folder holding unzip.c to use another copy.

# --- zlib -----------------------------------------------------------------
set(ZLIB_USE_STATIC_LIBS ON)
find_package(ZLIB REQUIRED)

# --- minizip --------------------------------------------------------------
set(VERGLE_MINIZIP_SOURCE_DIR "" CACHE PATH
  "Folder holding minizip's unzip.c (empty: fetch Debian's source package into the build folder)")
set(_minizip_dir "${VERGLE_MINIZIP_SOURCE_DIR}")
if(NOT _minizip_dir)
  execute_process(
    COMMAND bash "${CMAKE_SOURCE_DIR}/scripts/windows/fetch-minizip.sh" "${CMAKE_BINARY_DIR}/deps/minizip"
    OUTPUT_VARIABLE _minizip_dir
    OUTPUT_STRIP_TRAILING_WHITESPACE
    RESULT_VARIABLE _minizip_result)
  if(NOT _minizip_result EQUAL 0)
    message(FATAL_ERROR "Could not fetch the minizip sources (scripts/windows/fetch-minizip.sh)")
  endif()
endif()
if(NOT EXISTS "${_minizip_dir}/unzip.c")
  message(FATAL_ERROR "No unzip.c in '${_minizip_dir}'")
endif()
message(STATUS "minizip sources: ${_minizip_dir}")

# The headers are copied so that the include folder holds nothing else of
# the package (its crypt.h, mztools.h stay out of reach).
set(_minizip_include "${CMAKE_BINARY_DIR}/deps/minizip-include")
foreach(_h unzip.h zip.h ioapi.h)
  configure_file("${_minizip_dir}/${_h}" "${_minizip_include}/${_h}" COPYONLY)
  configure_file("${_minizip_dir}/${_h}" "${_minizip_include}/minizip/${_h}" COPYONLY)
endforeach()

add_library(vergle_minizip_static STATIC
  "${_minizip_dir}/ioapi.c"
  "${_minizip_dir}/unzip.c"
  "${_minizip_dir}/zip.c"
  "${CMAKE_SOURCE_DIR}/platform/win32/minizip_fopen.c")
target_include_directories(vergle_minizip_static PUBLIC "${_minizip_include}")
# minizip's default stdio file functions open UTF-8 paths through _wfopen
# (platform/win32/minizip_fopen.h), like every other open of the program.
set_source_files_properties("${_minizip_dir}/ioapi.c" PROPERTIES
  COMPILE_OPTIONS "-include;${CMAKE_SOURCE_DIR}/platform/win32/minizip_fopen.h")
target_link_libraries(vergle_minizip_static PUBLIC ZLIB::ZLIB)
# Third-party code: its warnings are not ours to fix.
target_compile_options(vergle_minizip_static PRIVATE -w)
set_target_properties(vergle_minizip_static PROPERTIES C_STANDARD 99)

add_library(vergle_minizip INTERFACE)
target_link_libraries(vergle_minizip INTERFACE vergle_minizip_static ZLIB::ZLIB)

# --- Tests under Wine -------------------------------------------------------
# Each test program runs through scripts/windows/wine-run.sh, which gives it
# the build folder's Wine environment (private prefix, code page 932, the
# virtual desktop of the running session) and the corpus folder as a Windows
# path (the environment's VERGLE_CORPUS, else the configured one).  A
# CMAKE_CROSSCOMPILING_EMULATOR given on the command line wins.
if(NOT CMAKE_CROSSCOMPILING_EMULATOR)
  set(CMAKE_CROSSCOMPILING_EMULATOR
    "bash;${CMAKE_SOURCE_DIR}/scripts/windows/wine-run.sh;${CMAKE_BINARY_DIR};${VERGLE_CORPUS}")
endif()

# objdump of the cross tool chain, for the test that checks the DLL imports.
if(NOT CMAKE_OBJDUMP)
  find_program(CMAKE_OBJDUMP NAMES x86_64-w64-mingw32-objdump objdump)
endif()
