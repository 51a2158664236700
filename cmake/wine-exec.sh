#!/bin/sh
# Runs a cross-built Windows program under Wine: CMake's emulator for the Windows builds.
#
#   wine-exec.sh win32|win64 PROGRAM [ARGUMENT...]
#
# win32 runs a 32-bit program under 32-bit Wine, win64 a 64-bit one under 64-bit Wine. Each has
# its own Wine prefix, in the build machine's cache, so that it is made once, not per run.
#
# Wine's background services inherit the output pipes of the process that starts them, and a
# test runner waits for those pipes to close; so the services are started here, once, with
# their output sent nowhere, under a wine server that stays up for a minute after the last
# program ends. Each program then starts in a fraction of a second. The services belong to
# the display they were started on: another display (a new Xvfb) starts them anew.
case "${1:-}" in
    win32 | win64) WINEARCH=$1; shift ;;
    *) echo "usage: wine-exec.sh win32|win64 PROGRAM [ARGUMENT...]" >&2; exit 2 ;;
esac
: "${WINEPREFIX:=${XDG_CACHE_HOME:-$HOME/.cache}/strovanik/$WINEARCH}"
: "${WINEDEBUG:=-all}"
# No .NET or browser engine installers: the programs need neither.
: "${WINEDLLOVERRIDES:=mscoree,mshtml=}"
export WINEPREFIX WINEDEBUG WINEARCH WINEDLLOVERRIDES

if [ "$WINEARCH" = win64 ]; then
    # Debian's wine command prefers 32-bit Wine whenever it is installed; the 64-bit loader is
    # called by name.
    WINELOADER=$(command -v wine64 || echo /usr/lib/wine/wine64)
else
    WINELOADER=$(command -v wine)
fi
export WINELOADER

mkdir -p "$WINEPREFIX"
flock -o "$WINEPREFIX/.start.lock" sh -c '
    display_file="$WINEPREFIX/.strovanik-display"
    if [ -f "$WINEPREFIX/system.reg" ] && [ "$(cat "$display_file" 2>/dev/null)" != "${DISPLAY:-}" ]; then
        wineserver -k; wineserver -w
    fi
    if wineserver -p60 || [ ! -f "$WINEPREFIX/system.reg" ]; then
        "$WINELOADER" wineboot -i
        # Without a window manager (Xvfb), managed windows make Wine wait two seconds for
        # each one to close; unmanaged ones close at once.
        "$WINELOADER" reg add "HKCU\\Software\\Wine\\X11 Driver" /v Managed /d N /f
        printf "%s" "${DISPLAY:-}" >"$display_file"
    fi
' </dev/null >/dev/null 2>&1
exec "$WINELOADER" "$@"
