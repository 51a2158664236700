# shellcheck shell=bash
# Shared by the Windows scripts: the cross compiler, Wine and the virtual display, and the
# cross build in build/win32. Source it after lib.sh; it runs nothing.

STROVANIK_WINDOWS_BUILD="$STROVANIK_ROOT/build/win32"

# The mingw-w64 cross compilers (the posix-threads ones), the sources of GoogleTest, the
# header-only libraries of the command line, the C library's charmaps (the CP949 table is
# made from one), 32-bit Wine and its fonts, a virtual display, and Korean fonts for the window.
STROVANIK_WINDOWS_PACKAGES=(
    cmake ninja-build g++-mingw-w64-i686-posix binutils-mingw-w64-i686 locales
    googletest libcli11-dev nlohmann-json3-dev
    wine wine32:i386 fonts-wine xvfb xauth fonts-nanum
)

# The Wine prefix: made once in the build machine's cache, then reused.
export WINEPREFIX="${WINEPREFIX:-${XDG_CACHE_HOME:-$HOME/.cache}/strovanik/wine32}"
export WINEDEBUG="${WINEDEBUG:--all}"
export WINEARCH=win32

ensure_windows_tools() {
    # wine32 is a package of the i386 architecture.
    if ! dpkg --print-foreign-architectures | grep -qx i386; then
        local sudo=()
        [ "$(id -u)" -eq 0 ] || sudo=(sudo)
        say "adding the i386 architecture for 32-bit Wine"
        "${sudo[@]}" dpkg --add-architecture i386
        "${sudo[@]}" env DEBIAN_FRONTEND=noninteractive apt-get update -q >&2
    fi
    ensure_packages "${STROVANIK_WINDOWS_PACKAGES[@]}"
}

# Configures the cross build and builds the named targets (all of them when none is named).
build_windows() {
    cmake -S "$STROVANIK_ROOT" -B "$STROVANIK_WINDOWS_BUILD" -G Ninja \
        --toolchain "$STROVANIK_ROOT/cmake/toolchain-i686-w64-mingw32.cmake" \
        -DCMAKE_BUILD_TYPE=Release -DSTROVANIK_WERROR=ON -DSTROVANIK_BUILD_TESTS=ON >&2
    local targets=()
    [ "$#" -eq 0 ] || targets=(--target "$@")
    nice cmake --build "$STROVANIK_WINDOWS_BUILD" "${targets[@]}" >&2
}

# Ends the Wine session of the prefix (its server and background services), if there is one.
stop_wine() {
    wineserver -k >/dev/null 2>&1 || true
}
