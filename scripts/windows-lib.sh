# shellcheck shell=bash
# Shared by the Windows scripts: which Windows programs this host can run under Wine, the
# cross compilers, Wine and the virtual display, and the cross builds. Source it after lib.sh;
# it runs nothing.
#
# The program that is shipped is 32-bit (build/win32). Its test suite runs as 32-bit programs
# under 32-bit Wine where the host executes i386 programs; a host whose kernel runs 64-bit user
# code only cannot start 32-bit Wine at all, so there the same sources are built once more as
# 64-bit programs (build/win64) and the suite runs under 64-bit Wine.
#
#   STROVANIK_WINDOWS_TESTS=64   takes the 64-bit way even on a host that could run 32-bit Wine

STROVANIK_WINDOWS_BUILD="$STROVANIK_ROOT/build/win32"
STROVANIK_WINDOWS64_BUILD="$STROVANIK_ROOT/build/win64"

# Both ways: the 32-bit cross compilers (the shipped programs are always built), the sources
# of GoogleTest, the header-only libraries of the command line, the C library's charmaps (the
# CP949 table is made from one), Wine's fonts, a virtual display, and Korean fonts for the
# window.
STROVANIK_WINDOWS_PACKAGES=(
    cmake ninja-build g++-mingw-w64-i686-posix binutils-mingw-w64-i686 locales
    googletest libcli11-dev nlohmann-json3-dev
    wine fonts-wine xvfb xauth fonts-nanum
)
STROVANIK_WINDOWS32_PACKAGES=(wine32:i386)
STROVANIK_WINDOWS64_PACKAGES=(g++-mingw-w64-x86-64-posix binutils-mingw-w64-x86-64 wine64)

export WINEDEBUG="${WINEDEBUG:--all}"

# Whether this host executes i386 programs: a 96-byte static i386 program that only exits
# with status 42 is started. Where the kernel has no IA-32 emulation it is refused ("Exec
# format error"); nothing of the 32-bit Wine is needed to find that out.
host_runs_i386() {
    local probe status=0
    probe="$(mktemp "${TMPDIR:-/tmp}/strovanik-i386-probe.XXXXXX")"
    # ELF header (52 bytes), one loadable segment (32 bytes), then the code at 0x08048054:
    # mov eax, 1 (exit); mov ebx, 42; int 0x80.
    printf '\x7fELF\x01\x01\x01\x00\x00\x00\x00\x00\x00\x00\x00\x00' >"$probe"
    printf '\x02\x00\x03\x00\x01\x00\x00\x00\x54\x80\x04\x08\x34\x00\x00\x00' >>"$probe"
    printf '\x00\x00\x00\x00\x00\x00\x00\x00\x34\x00\x20\x00\x01\x00\x00\x00\x00\x00\x00\x00' >>"$probe"
    printf '\x01\x00\x00\x00\x00\x00\x00\x00\x00\x80\x04\x08\x00\x80\x04\x08' >>"$probe"
    printf '\x60\x00\x00\x00\x60\x00\x00\x00\x05\x00\x00\x00\x00\x10\x00\x00' >>"$probe"
    printf '\xb8\x01\x00\x00\x00\xbb\x2a\x00\x00\x00\xcd\x80' >>"$probe"
    chmod +x "$probe"
    "$probe" 2>/dev/null || status=$?
    rm -f "$probe"
    [ "$status" -eq 42 ]
}

# Sets STROVANIK_WINDOWS_ARCH (win32 or win64) and STROVANIK_WINDOWS_WHY, the line that says
# which way was taken and why.
choose_windows_arch() {
    if [ "${STROVANIK_WINDOWS_TESTS:-}" = 64 ]; then
        STROVANIK_WINDOWS_ARCH=win64
        STROVANIK_WINDOWS_WHY="STROVANIK_WINDOWS_TESTS=64: the Windows tests run as 64-bit programs under 64-bit Wine; the 32-bit programs are built, not run"
    elif host_runs_i386; then
        STROVANIK_WINDOWS_ARCH=win32
        STROVANIK_WINDOWS_WHY="this host executes i386 programs: the Windows tests run as 32-bit programs under 32-bit Wine"
    else
        STROVANIK_WINDOWS_ARCH=win64
        STROVANIK_WINDOWS_WHY="this host cannot execute i386 programs: the Windows tests run as 64-bit programs under 64-bit Wine; the 32-bit programs are built, not run"
    fi
}

ensure_windows_tools() {
    if [ "$STROVANIK_WINDOWS_ARCH" = win64 ]; then
        ensure_packages "${STROVANIK_WINDOWS_PACKAGES[@]}" "${STROVANIK_WINDOWS64_PACKAGES[@]}"
        return
    fi
    # wine32 is a package of the i386 architecture.
    if ! dpkg --print-foreign-architectures | grep -qx i386; then
        local sudo=()
        [ "$(id -u)" -eq 0 ] || sudo=(sudo)
        say "adding the i386 architecture for 32-bit Wine"
        "${sudo[@]}" dpkg --add-architecture i386
        "${sudo[@]}" env DEBIAN_FRONTEND=noninteractive apt-get update -q >&2
    fi
    ensure_packages "${STROVANIK_WINDOWS_PACKAGES[@]}" "${STROVANIK_WINDOWS32_PACKAGES[@]}"
}

# The build folder, the toolchain file and the Wine of one word size.
windows_build_folder() {
    if [ "$1" = win64 ]; then echo "$STROVANIK_WINDOWS64_BUILD"; else echo "$STROVANIK_WINDOWS_BUILD"; fi
}

# Configures the cross build of one word size (win32 or win64) and builds the named targets
# (all of them when none is named).
build_windows() {
    local arch="$1" toolchain=toolchain-i686-w64-mingw32.cmake
    shift
    [ "$arch" = win32 ] || toolchain=toolchain-x86_64-w64-mingw32.cmake
    cmake -S "$STROVANIK_ROOT" -B "$(windows_build_folder "$arch")" -G Ninja \
        --toolchain "$STROVANIK_ROOT/cmake/$toolchain" \
        -DCMAKE_BUILD_TYPE=Release -DSTROVANIK_WERROR=ON -DSTROVANIK_BUILD_TESTS=ON >&2
    local targets=()
    [ "$#" -eq 0 ] || targets=(--target "$@")
    nice cmake --build "$(windows_build_folder "$arch")" "${targets[@]}" >&2
}

# Ends the Wine sessions of both prefixes (their servers and background services), if any.
stop_wine() {
    local arch
    for arch in win32 win64; do
        WINEPREFIX="${XDG_CACHE_HOME:-$HOME/.cache}/strovanik/$arch" wineserver -k >/dev/null 2>&1 || true
    done
}
