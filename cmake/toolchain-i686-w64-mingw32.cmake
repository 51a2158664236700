# Cross build of the 32-bit Windows program, the one that is shipped:
#   cmake -S . -B build/win32 -G Ninja --toolchain cmake/toolchain-i686-w64-mingw32.cmake
set(CMAKE_SYSTEM_PROCESSOR x86)
set(STROVANIK_MINGW_TRIPLE i686-w64-mingw32)
set(STROVANIK_WINE_ARCH win32)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-toolchain.cmake)
