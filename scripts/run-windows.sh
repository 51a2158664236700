#!/usr/bin/env bash
# Builds the Windows program and runs it under Wine, on FILE when one is given:
#
#   scripts/run-windows.sh [FILE]
#
# FILE is a Linux path; Wine sees it on its drive Z:. With no display (DISPLAY unset) the
# window opens on a virtual one and a screenshot is written to build/win32/window.png.
set -euo pipefail

# shellcheck source=scripts/lib.sh
source "$(dirname "${BASH_SOURCE[0]}")/lib.sh"
# shellcheck source=scripts/windows-lib.sh
source "$STROVANIK_ROOT/scripts/windows-lib.sh"

ensure_windows_tools
build_windows strovanik
program="$STROVANIK_WINDOWS_BUILD/src/shell/win32/strovanik.exe"

arguments=()
if [ "$#" -gt 0 ]; then
    # The whole argument text is one path, as Windows hands it over: one Windows path.
    file="$(realpath -m -- "$*")"
    arguments=("Z:${file//\//\\}")
fi

if [ -n "${DISPLAY:-}" ]; then
    exec "$STROVANIK_ROOT/cmake/wine-exec.sh" "$program" "${arguments[@]}"
fi

say "run-windows.sh: no display: showing the window on a virtual one for a screenshot"
ensure_packages imagemagick
shot="$STROVANIK_WINDOWS_BUILD/window.png"
stop_wine
trap stop_wine EXIT
# Wine's own desktop window draws the frame and title bar that no window manager would.
xvfb-run --auto-servernum --server-args="-screen 0 1024x768x24" bash -c '
    "$1" explorer /desktop=strovanik,1024x768 "$2" "${@:4}" &
    sleep "${STROVANIK_SHOT_DELAY:-8}"
    import -window root "$3"
' _ "$STROVANIK_ROOT/cmake/wine-exec.sh" "Z:${program//\//\\}" "$shot" "${arguments[@]}"
say "run-windows.sh: screenshot in ${shot#"$STROVANIK_ROOT"/}"
