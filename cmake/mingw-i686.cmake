# Cross build for 32-bit Windows with Debian's MinGW-w64 tools:
#   cmake -S . -B build/windows -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-i686.cmake
# The -posix compiler variant provides std::thread and std::mutex. Programs
# and tests are linked statically, so each is one .exe that Wine (or
# Windows) runs without MinGW's DLLs. Tests run through Wine.
set(CMAKE_SYSTEM_PROCESSOR i686)
set(TESSALY_MINGW_PREFIX i686-w64-mingw32)
set(TESSALY_WINE_LOADER wine)  # wine32:i386 provides it
include(${CMAKE_CURRENT_LIST_DIR}/mingw-common.cmake)
