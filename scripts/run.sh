#!/usr/bin/env bash
# Builds the program and runs it on FILE: the window when there is a display and the window
# is built, otherwise the report of FILE on standard output (without FILE, the command
# line's help). Installs what it needs with apt-get when it is missing.
#
#   scripts/run.sh [FILE]
#   scripts/run.sh --windows [ARGS...]   the Windows build, where the tree has one
set -euo pipefail

# shellcheck source=scripts/lib.sh
source "$(dirname "${BASH_SOURCE[0]}")/lib.sh"

if [ "${1:-}" = --windows ]; then
    shift
    if [ -x "$STROVANIK_ROOT/scripts/run-windows.sh" ]; then
        exec "$STROVANIK_ROOT/scripts/run-windows.sh" "$@"
    fi
    say "run.sh: there is no Windows build in this tree yet"
    exit 2
fi

ensure_packages "${STROVANIK_BUILD_PACKAGES[@]}"

window="$STROVANIK_ROOT/build/default/src/shell/qt/strovanik"
report="$STROVANIK_ROOT/build/default/src/cli/strovanik-report"

# Only the programs this run may start are built (the tests and fuzz entries are not), so the
# first run on a fresh clone is short. The build's own messages go to standard error, so that
# standard output holds the report. The window is a target only where Qt was found.
(cd "$STROVANIK_ROOT" && cmake --preset default) >&2
targets=(strovanik-report)
if [ -n "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ] && [ -d "$STROVANIK_ROOT/build/default/src/shell/qt" ]; then
    targets+=(strovanik)
fi
(cd "$STROVANIK_ROOT" && cmake --build --preset default --target "${targets[@]}") >&2

if [ -n "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ] && [ -x "$window" ]; then
    exec "$window" "$@"
fi
if [ -z "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ]; then
    say "run.sh: no display (neither DISPLAY nor WAYLAND_DISPLAY is set): printing the report instead"
else
    say "run.sh: the window is not built yet: printing the report instead"
fi
if [ "$#" -eq 0 ]; then
    exec "$report" --help
fi
exec "$report" "$@"
