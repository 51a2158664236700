# Cross build of the same sources as 64-bit Windows programs. They are not shipped: they run
# the test suite under 64-bit Wine on hosts that cannot execute 32-bit (i386) programs.
#   cmake -S . -B build/win64 -G Ninja --toolchain cmake/toolchain-x86_64-w64-mingw32.cmake
set(CMAKE_SYSTEM_PROCESSOR AMD64)
set(STROVANIK_MINGW_TRIPLE x86_64-w64-mingw32)
set(STROVANIK_WINE_ARCH win64)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-toolchain.cmake)
