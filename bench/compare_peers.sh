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

# Fields of one command's row in hyperfine's CSV export: command, mean, stddev, median, user,
# system, min, max (times in seconds). `cpu` is user plus system.
field_of() {
    awk -F, -v row="$2" -v name="$3" '
        NR == 1 { for (i = 1; i <= NF; i++) column[$i] = i; next }
        NR == row + 1 { print name == "cpu" ? $column["user"] + $column["system"] : $column[name] }
    ' "$1"
}

peak_kib() {
    /usr/bin/time -v "$@" 2>&1 >/dev/null | awk -F': ' '/Maximum resident set size/ { print $2 }'
}

ms() {
    awk -v s="$1" 'BEGIN { printf "%.2f", s * 1000 }'
}

ratio_of() {
    awk -v a="$1" -v b="$2" 'BEGIN { printf "%.1f", a / b }'
}

echo "load average: $(cut -d' ' -f1-3 /proc/loadavg) on $(nproc) cores"
echo "times are means over at least 200 runs; wall = elapsed, cpu = user + system"
printf '%-16s %10s %10s %8s %10s %10s %8s %10s %10s\n' file "ours wall" "mi wall" ratio \
    "ours cpu" "mi cpu" ratio "ours KiB" "mi KiB"
worst_ratio=""
worst_peak=0
for file in "${files[@]}"; do
    csv="$work/times.csv"
    hyperfine -N --warmup 20 --min-runs 200 --style none --export-csv "$csv" \
        "$ours $file" "mediainfo $file" >/dev/null
    ours_wall="$(field_of "$csv" 1 mean)"
    theirs_wall="$(field_of "$csv" 2 mean)"
    ours_cpu="$(field_of "$csv" 1 cpu)"
    theirs_cpu="$(field_of "$csv" 2 cpu)"
    ratio="$(ratio_of "$theirs_wall" "$ours_wall")"
    ours_peak="$(peak_kib "$ours" "$file")"
    theirs_peak="$(peak_kib mediainfo "$file")"
    printf '%-16s %8s ms %8s ms %7sx %8s ms %8s ms %7sx %10s %10s\n' "$(basename "$file")" \
        "$(ms "$ours_wall")" "$(ms "$theirs_wall")" "$ratio" \
        "$(ms "$ours_cpu")" "$(ms "$theirs_cpu")" "$(ratio_of "$theirs_cpu" "$ours_cpu")" \
        "$ours_peak" "$theirs_peak"
    if [ -z "$worst_ratio" ] || awk -v a="$ratio" -v b="$worst_ratio" 'BEGIN { exit !(a < b) }'; then
        worst_ratio="$ratio"
    fi
    if [ "$ours_peak" -gt "$worst_peak" ]; then
        worst_peak="$ours_peak"
    fi
done

echo
echo "slowest wall-time ratio: ${worst_ratio}x faster than mediainfo (goal: at least 10x)"
echo "largest peak memory of ours: ${worst_peak} KiB (goal: under $((10 * 1024)) KiB)"
