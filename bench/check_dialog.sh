#!/usr/bin/env bash
# Times the Qt window's file check: from Ctrl+I to the dialog on the screen with its contents
# painted, on a virtual X display (Xvfb, no window manager), as bench/window_start.sh times the
# window's first paint. STARTS (10) starts of the window with a sample file, ROUNDS (5) checks
# in each: the first check of a start makes the walk of the file, the others show the walk
# already made. Prints the median, the fastest and the slowest of each kind, of the wall time
# and of the processor time the window's main thread used in it.
#
#   bench/check_dialog.sh [PROGRAM] [STARTS] [ROUNDS] [FILE]
#        default: build/default/src/shell/qt/strovanik 10 5 samples/mp3_sound.avi
#
# Installs what it uses (the benchmarks' packages and libxtst-dev) with apt-get when missing.
set -euo pipefail

# shellcheck source=scripts/lib.sh
source "$(dirname "${BASH_SOURCE[0]}")/../scripts/lib.sh"
ensure_packages "${STROVANIK_BENCH_PACKAGES[@]}" libxtst-dev

program="${1:-$STROVANIK_ROOT/build/default/src/shell/qt/strovanik}"
starts="${2:-10}"
rounds="${3:-5}"
file="${4:-$STROVANIK_ROOT/samples/mp3_sound.avi}"
if [ ! -x "$program" ]; then
    say "no $program: build the default preset first"
    exit 2
fi

work="$(mktemp -d)"
xvfb_pid=""
cleanup() {
    if [ -n "$xvfb_pid" ]; then kill "$xvfb_pid" 2>/dev/null || true; fi
    rm -rf "$work"
}
trap cleanup EXIT

cc -O2 -Wall -Wextra -o "$work/check_dialog_open" \
    "$STROVANIK_ROOT/bench/check_dialog_open.c" -lX11 -lXtst -lXdamage

# A display number nobody uses.
display=90
while [ -e "/tmp/.X11-unix/X$display" ] || [ -e "/tmp/.X$display-lock" ]; do
    display=$((display + 1))
done
Xvfb ":$display" -screen 0 1280x1024x24 -nolisten tcp >/dev/null 2>&1 &
xvfb_pid=$!
for _ in $(seq 100); do
    [ -e "/tmp/.X11-unix/X$display" ] && break
    sleep 0.05
done
export DISPLAY=":$display"
unset WAYLAND_DISPLAY QT_QPA_PLATFORM
export XDG_RUNTIME_DIR="$work/runtime"
mkdir -m 700 "$XDG_RUNTIME_DIR"

# One start first, so that the font cache and the program's pages are warm.
"$work/check_dialog_open" 1 "$program" "$file" >/dev/null 2>&1 || true
for _ in $(seq "$starts"); do
    "$work/check_dialog_open" "$rounds" "$program" "$file" 2>/dev/null || true
done >"$work/times"

summary() {
    awk "$1" "$work/times" | sort -n | awk '{ t[NR] = $1 } END {
        if (NR == 0) { print "none measured"; exit }
        median = NR % 2 ? t[(NR + 1) / 2] : (t[NR / 2] + t[NR / 2 + 1]) / 2
        printf "median %.1f ms, fastest %.1f ms, slowest %.1f ms (%d)", median, t[1], t[NR], NR
    }'
}
echo "load average: $(cut -d' ' -f1-3 /proc/loadavg) on $(nproc) cores; $starts starts of $program"
echo "Ctrl+I to a painted dialog, first check (walk made): $(summary '$1 == 1 { print $2 }')"
echo "  the window's processor time in it:                 $(summary '$1 == 1 { print $3 }')"
echo "Ctrl+I to a painted dialog, later checks:            $(summary '$1 > 1 { print $2 }')"
echo "  the window's processor time in them:               $(summary '$1 > 1 { print $3 }')"
