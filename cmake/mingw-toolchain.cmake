# What the Windows cross builds share, for Debian's mingw-w64 compilers. A toolchain file sets
# STROVANIK_MINGW_TRIPLE, CMAKE_SYSTEM_PROCESSOR and STROVANIK_WINE_ARCH, then includes this.
# The posix-threads compilers are used because GoogleTest needs std::mutex, which the
# win32-threads runtime of this compiler generation lacks; everything is linked statically so
# the one .exe needs nothing beyond the DLLs that every Windows has.
set(CMAKE_SYSTEM_NAME Windows)

set(CMAKE_C_COMPILER ${STROVANIK_MINGW_TRIPLE}-gcc-posix)
set(CMAKE_CXX_COMPILER ${STROVANIK_MINGW_TRIPLE}-g++-posix)
set(CMAKE_RC_COMPILER ${STROVANIK_MINGW_TRIPLE}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${STROVANIK_MINGW_TRIPLE})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")
# This compiler generation (GCC 12) warns falsely about overlapping copies inside
# std::string's operator+ once it inlines deeply (GCC bug 105651); the warnings are errors
# in our builds, so that one is off here.
# Figures are worked out in IEEE double precision. The x87 unit's wider registers would round
# some of them differently from every other build (a size band, a rounding half), so the
# arithmetic goes through SSE2, which every Windows version the program targets has (64-bit
# compilers do so anyway; saying it keeps both builds on the same flags).
set(CMAKE_CXX_FLAGS_INIT "-Wno-restrict -msse2 -mfpmath=sse")
# A release program is stripped: one small file.
set(CMAKE_EXE_LINKER_FLAGS_RELEASE_INIT "-s")

# Header-only libraries of the build machine, offered without its whole /usr/include.
set(CLI11_DIR ${CMAKE_CURRENT_LIST_DIR}/mingw-packages/CLI11 CACHE PATH "CLI11 for the cross build")
set(nlohmann_json_DIR ${CMAKE_CURRENT_LIST_DIR}/mingw-packages/nlohmann_json
    CACHE PATH "nlohmann-json for the cross build")

# Test programs (and GoogleTest's discovery) run under Wine of the same word size.
set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_CURRENT_LIST_DIR}/wine-exec.sh ${STROVANIK_WINE_ARCH})
