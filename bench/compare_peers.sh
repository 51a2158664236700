#!/usr/bin/env bash
# Times strovanik-report against `mediainfo FILE` on the same files with hyperfine, prints how
# many times faster ours is (goal: at least 10), and measures the peak memory of both with
# /usr/bin/time (goal for ours: under 10 MiB). Installs hyperfine, mediainfo, time and
# ffmpeg with apt-get when they are missing; they serve this benchmark only.
#
#   bench/compare_peers.sh [FILE...]      default: the samples and a one-minute AVI made here
#
#   STROVANIK_REPORT=path   the program to time (default: the bench preset's build, made
#                           when it is missing)
set -euo pipefail

# shellcheck source=scripts/lib.sh
source "$(dirname "${BASH_SOURCE[0]}")/../scripts/lib.sh"
ensure_packages hyperfine mediainfo time ffmpeg

ours="${STROVANIK_REPORT:-$STROVANIK_ROOT/build/bench/src/cli/strovanik-report}"
if [ ! -x "$ours" ]; then
    ensure_packages "${STROVANIK_BUILD_PACKAGES[@]}" libbenchmark-dev
    build_preset bench >&2
fi

work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT

files=("$@")
if [ "${#files[@]}" -eq 0 ]; then
    # A longer file as a camera or an encoder leaves it: one minute of 640 x 480 MPEG-4 with
    # MP3 sound, its index at the end.
    ffmpeg -hide_banner -loglevel error -y \
        -f lavfi -i "testsrc=size=640x480:rate=25:duration=60" \
        -f lavfi -i "sine=frequency=440:sample_rate=44100:duration=60" \
        -c:v mpeg4 -vtag XVID -q:v 8 -c:a libmp3lame -b:a 128k "$work/minute.avi"
    files=("$STROVANIK_ROOT/samples/mp3_sound.avi" "$STROVANIK_ROOT/samples/two_sounds.avi"
        "$work/minute.avi")
fi

# The mean time in seconds of a command in hyperfine's CSV export (the header's first field
# is "command", then "mean").
mean_of() {
    awk -F, -v row="$2" 'NR == row + 1 { print $2 }' "$1"
}

peak_kib() {
    /usr/bin/time -v "$@" 2>&1 >/dev/null | awk -F': ' '/Maximum resident set size/ { print $2 }'
}

printf '%-16s %12s %14s %8s %14s %16s\n' file "ours (ms)" "mediainfo (ms)" ratio \
    "ours peak KiB" "mediainfo peak KiB"
worst_ratio=""
worst_peak=0
for file in "${files[@]}"; do
    csv="$work/times.csv"
    hyperfine -N --warmup 20 --min-runs 200 --style none --export-csv "$csv" \
        "$ours $file" "mediainfo $file" >/dev/null
    ours_s="$(mean_of "$csv" 1)"
    theirs_s="$(mean_of "$csv" 2)"
    ratio="$(awk -v a="$theirs_s" -v b="$ours_s" 'BEGIN { printf "%.1f", a / b }')"
    ours_peak="$(peak_kib "$ours" "$file")"
    theirs_peak="$(peak_kib mediainfo "$file")"
    printf '%-16s %12.3f %14.3f %7sx %14s %16s\n' "$(basename "$file")" \
        "$(awk -v s="$ours_s" 'BEGIN { print s * 1000 }')" \
        "$(awk -v s="$theirs_s" 'BEGIN { print s * 1000 }')" "$ratio" "$ours_peak" "$theirs_peak"
    if [ -z "$worst_ratio" ] || awk -v a="$ratio" -v b="$worst_ratio" 'BEGIN { exit !(a < b) }'; then
        worst_ratio="$ratio"
    fi
    if [ "$ours_peak" -gt "$worst_peak" ]; then
        worst_peak="$ours_peak"
    fi
done

echo
echo "slowest ratio: ${worst_ratio}x faster than mediainfo (goal: at least 10x)"
echo "largest peak memory of ours: ${worst_peak} KiB (goal: under $((10 * 1024)) KiB)"
