#!/usr/bin/env bash
# Builds the Windows program and runs it under Wine, on FILE when one is given:
#
#   scripts/run-windows.sh [FILE]
#
# FILE is a Linux path; Wine sees it on its drive Z:. The program is the 32-bit one
# (build/win32), the one that is shipped; on a host that cannot execute i386 programs, where
# 32-bit Wine cannot be installed or does not run, or with STROVANIK_WINDOWS_TESTS=64, the
# same sources built as a 64-bit program (build/win64) run under 64-bit Wine instead, and a
# line on standard error says so. With no display (DISPLAY
# unset) the window opens on a virtual one and a screenshot is written to window.png in the
# build folder.
set -euo pipefail

# shellcheck source=scripts/lib.sh
source "$(dirname "${BASH_SOURCE[0]}")/lib.sh"
# shellcheck source=scripts/windows-lib.sh
source "$STROVANIK_ROOT/scripts/windows-lib.sh"

choose_windows_arch
[ "$STROVANIK_WINDOWS_ARCH" = win32 ] || say "run-windows.sh: $STROVANIK_WINDOWS_WHY"
ensure_windows_tools "run-windows.sh: "
arch="$STROVANIK_WINDOWS_ARCH"
build="$(windows_build_folder "$arch")"
build_windows "$arch" strovanik
program="$build/src/shell/win32/strovanik.exe"

arguments=()
if [ "$#" -gt 0 ]; then
    # The whole argument text is one path, as Windows hands it over: one Windows path.
    file="$(realpath -m -- "$*")"
    arguments=("Z:${file//\//\\}")
fi

if [ -n "${DISPLAY:-}" ]; then
    exec "$STROVANIK_ROOT/cmake/wine-exec.sh" "$arch" "$program" "${arguments[@]}"
fi

say "run-windows.sh: no display: showing the window on a virtual one for a screenshot"
ensure_packages imagemagick
shot="$build/window.png"
stop_wine
trap stop_wine EXIT
# Wine's own desktop window draws the frame and title bar that no window manager would.
xvfb-run --auto-servernum --server-args="-screen 0 1024x768x24" bash -c '
    "$1" "$2" explorer /desktop=strovanik,1024x768 "$3" "${@:5}" &
    sleep "${STROVANIK_SHOT_DELAY:-8}"
    import -window root "$4"
' _ "$STROVANIK_ROOT/cmake/wine-exec.sh" "$arch" "Z:${program//\//\\}" "$shot" "${arguments[@]}"
say "run-windows.sh: screenshot in ${shot#"$STROVANIK_ROOT"/}"
