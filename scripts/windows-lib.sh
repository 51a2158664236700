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
# Where the host executes i386 programs but 32-bit Wine cannot be installed (a package index
# out of step, unmet dependencies) or does not run a program, the 64-bit way is taken too, and
# what was installed for 32-bit Wine is removed again, the i386 architecture included.
#
#   STROVANIK_WINDOWS_TESTS=64   takes the 64-bit way even on a host that could run 32-bit Wine
#   STROVANIK_I386_PROBE=PROGRAM  is started instead of the built-in i386 program to find out
#                                 whether this host executes i386 programs (exit status 42: it
#                                 does); for trying the 32-bit way's fallbacks on any host

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
    if [ -n "${STROVANIK_I386_PROBE:-}" ]; then
        "$STROVANIK_I386_PROBE" 2>/dev/null || status=$?
        [ "$status" -eq 42 ]
        return
    fi
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

# Installs what the chosen way needs. On the 32-bit way, 32-bit Wine that cannot be installed
# or does not run a program is no failure: the 64-bit way is taken instead and said on standard
# error in one line that begins with $1 and gives the reason, and what was installed for 32-bit
# Wine is removed again. Fails only when the tools of the way taken cannot be installed.
ensure_windows_tools() {
    local prefix="${1:-}" status=0
    STROVANIK_I386_ADDED=no
    STROVANIK_I386_BEFORE=
    STROVANIK_I386_UNDO=no
    ensure_packages "${STROVANIK_WINDOWS_PACKAGES[@]}" || return 1
    if [ "$STROVANIK_WINDOWS_ARCH" = win32 ] && ! ensure_wine32; then
        STROVANIK_WINDOWS_ARCH=win64
        STROVANIK_WINDOWS_WHY="this host executes i386 programs, but $STROVANIK_WINE32_TROUBLE: the Windows tests run as 64-bit programs under 64-bit Wine; the 32-bit programs are built, not run"
        say "$prefix$STROVANIK_WINDOWS_WHY"
    fi
    if [ "$STROVANIK_WINDOWS_ARCH" = win64 ]; then
        ensure_packages "${STROVANIK_WINDOWS64_PACKAGES[@]}" || status=1
    fi
    # Only now: the wine package needs either word size's Wine, and 64-bit Wine is in place.
    if [ "$STROVANIK_I386_UNDO" = yes ]; then
        undo_wine32
    fi
    return "$status"
}

# The packages of the i386 architecture on this machine in any state but not installed (half
# installed and configuration files left included), one name:i386 a line.
i386_packages() {
    dpkg-query -W -f='${Package}:${Architecture} ${db:Status-Status}\n' 2>/dev/null |
        awk '$1 ~ /:i386$/ && $2 != "not-installed" { print $1 }'
}

# Whether 32-bit Wine runs a program: its own command interpreter, asked to print a word. The
# first start also makes the Wine prefix, which takes a while.
wine32_runs() {
    local output
    output="$(timeout 600 "$STROVANIK_ROOT/cmake/wine-exec.sh" win32 cmd /c echo strovanik-ready \
        </dev/null 2>/dev/null)" || return 1
    [[ "$output" == *strovanik-ready* ]]
}

# Makes 32-bit Wine ready: adds the i386 architecture when it is missing, installs wine32 and
# starts a program with it. Fails with the reason in STROVANIK_WINE32_TROUBLE; what this call
# added is then to be undone (STROVANIK_I386_UNDO=yes), once 64-bit Wine is installed.
ensure_wine32() {
    if package_installed wine32:i386; then
        # Someone else's 32-bit Wine: used when it works, left alone when not.
        wine32_runs && return 0
        STROVANIK_WINE32_TROUBLE="its 32-bit Wine does not run a program"
        return 1
    fi
    STROVANIK_I386_BEFORE="$(i386_packages)"
    STROVANIK_I386_UNDO=yes
    if ! dpkg --print-foreign-architectures | grep -qx i386; then
        say "adding the i386 architecture for 32-bit Wine (removed again if 32-bit Wine is not used)"
        if ! as_root dpkg --add-architecture i386; then
            STROVANIK_WINE32_TROUBLE="the i386 architecture could not be added"
            return 1
        fi
        STROVANIK_I386_ADDED=yes
    fi
    if ! ensure_packages "${STROVANIK_WINDOWS32_PACKAGES[@]}"; then
        STROVANIK_WINE32_TROUBLE="32-bit Wine could not be installed ($STROVANIK_PACKAGES_TROUBLE)"
        return 1
    fi
    if ! wine32_runs; then
        STROVANIK_WINE32_TROUBLE="the 32-bit Wine just installed does not run a program"
        return 1
    fi
    STROVANIK_I386_UNDO=no
}

# Removes the i386 packages that ensure_wine32 installed (wine32 and what came with it, also
# any a failed install left half done) and the i386 architecture if it added it, so that later
# apt-get calls do not fetch an i386 index the machine does not use. What cannot be undone is
# said, with the commands that would undo it; it does not fail the Windows step.
undo_wine32() {
    local added=() package problem=no
    while IFS= read -r package; do
        grep -qxF -- "$package" <<<"$STROVANIK_I386_BEFORE" || added+=("$package")
    done < <(i386_packages)
    if [ "${#added[@]}" -gt 0 ]; then
        say "removing what was installed for 32-bit Wine: ${added[*]}"
        apt_get purge -y "${added[@]}" >&2 || problem=yes
    fi
    if [ "$STROVANIK_I386_ADDED" = yes ]; then
        say "removing the i386 architecture again"
        as_root dpkg --remove-architecture i386 || problem=yes
    fi
    if [ "$problem" = yes ]; then
        local undo="apt-get purge ${added[*]}"
        [ "$STROVANIK_I386_ADDED" = no ] || undo="$undo; dpkg --remove-architecture i386"
        say "could not undo all that was done for 32-bit Wine (see the messages above); by hand: $undo"
    fi
    STROVANIK_I386_UNDO=no
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
