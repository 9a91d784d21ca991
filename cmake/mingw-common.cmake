# Shared part of the MinGW-w64 toolchain files: the caller sets
# CMAKE_SYSTEM_PROCESSOR and TESSALY_MINGW_PREFIX first.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_C_COMPILER ${TESSALY_MINGW_PREFIX}-gcc-posix)
set(CMAKE_CXX_COMPILER ${TESSALY_MINGW_PREFIX}-g++-posix)
set(CMAKE_RC_COMPILER ${TESSALY_MINGW_PREFIX}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${TESSALY_MINGW_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# One self-contained .exe: no libgcc, libstdc++ or winpthread DLLs.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")

# zlib from libz-mingw-w64-dev: the static library, not the import library.
set(ZLIB_USE_STATIC_LIBS ON)
set(ZLIB_LIBRARY /usr/${TESSALY_MINGW_PREFIX}/lib/libz.a)
set(ZLIB_INCLUDE_DIR /usr/${TESSALY_MINGW_PREFIX}/include)

# The Wine loader that runs the build's tests (Debian installs both loaders
# outside PATH, in /usr/lib/wine). Building never needs it: without it the
# programs build and the test suites are left out (root CMakeLists.txt).
find_program(TESSALY_WINE ${TESSALY_WINE_LOADER} PATHS /usr/lib/wine)
if(TESSALY_WINE)
  set(CMAKE_CROSSCOMPILING_EMULATOR ${TESSALY_WINE})
endif()
