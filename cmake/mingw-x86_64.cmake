# Cross build for 64-bit Windows with Debian's MinGW-w64 tools: the same
# source as the 32-bit program, for machines whose kernel cannot run the
# 32-bit Wine loader. Tests run through the 64-bit loader.
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(TESSALY_MINGW_PREFIX x86_64-w64-mingw32)
set(TESSALY_WINE_LOADER wine64)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-common.cmake)
