#!/usr/bin/env bash
# Times the Qt window from its start to a visible window holding its report, on a virtual
# X display (Xvfb, no window manager): RUNS (20) starts with a sample file, and the median,
# the fastest and the slowest. A start ends when the mapped window first holds its painted
# contents (bench/window_first_paint.c, built here with the C compiler, libX11 and libXdamage).
#
#   bench/window_start.sh [PROGRAM] [RUNS]      default: build/default/src/shell/qt/strovanik
#
# Installs what the benchmarks use (STROVANIK_BENCH_PACKAGES of scripts/lib.sh: Xvfb, the
# headers of libX11 and libXdamage, ...) with apt-get when it is missing.
set -euo pipefail

# shellcheck source=scripts/lib.sh
source "$(dirname "${BASH_SOURCE[0]}")/../scripts/lib.sh"
ensure_packages "${STROVANIK_BENCH_PACKAGES[@]}"

program="${1:-$STROVANIK_ROOT/build/default/src/shell/qt/strovanik}"
runs="${2:-20}"
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

cc -O2 -Wall -Wextra -o "$work/window_first_paint" \
    "$STROVANIK_ROOT/bench/window_first_paint.c" -lX11 -lXdamage

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

file="$STROVANIK_ROOT/samples/mp3_sound.avi"
export XDG_RUNTIME_DIR="$work/runtime"
mkdir -m 700 "$XDG_RUNTIME_DIR"
# One start first, so that the font cache and the program's pages are warm.
"$work/window_first_paint" "$program" "$file" >/dev/null 2>&1
for _ in $(seq "$runs"); do
    "$work/window_first_paint" "$program" "$file" 2>/dev/null
done >"$work/times"

echo "load average: $(cut -d' ' -f1-3 /proc/loadavg) on $(nproc) cores; $runs starts of $program"
# Wall time (column 1) and the processor time the program used until then (column 2).
median_of() {
    sort -n -k"$1" "$work/times" | awk -v c="$1" '{ t[NR] = $c } END {
        median = NR % 2 ? t[(NR + 1) / 2] : (t[NR / 2] + t[NR / 2 + 1]) / 2
        printf "median %.1f ms, fastest %.1f ms, slowest %.1f ms", median, t[1], t[NR]
    }'
}
echo "start to a painted window, wall time: $(median_of 1)"
echo "processor time until then:           $(median_of 2)"
