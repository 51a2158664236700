#!/usr/bin/env bash
# Times strovanik-report side by side with the floor and a peer, each file in one hyperfine
# run, and prints the ratios of the medians:
#
#   - a typical file against /bin/true (the cost of starting any program; goal: at most 1.5
#     times it) and against `mediainfo FILE` (goal: at least 15 times faster);
#   - a file without a movie list in its first 3,000,000 bytes, where all of them are
#     searched, against `head -c 3000000 FILE`, which only reads them (goal: at most 1.3 times
#     it);
#
# and the peak memory of ours and of mediainfo with /usr/bin/time (goal for ours: under
# 4 MiB). Installs what the benchmarks use (STROVANIK_BENCH_PACKAGES of scripts/lib.sh) with
# apt-get when it is missing.
#
#   bench/compare_peers.sh [FILE...]      default: the samples and a one-minute AVI made here
#
#   STROVANIK_REPORT=path   the program to time (default: the bench preset's build, made
#                           when it is missing)
#   RUNS=n                  runs of each command (default 300, after 30 warm-ups)
set -euo pipefail

# shellcheck source=scripts/lib.sh
source "$(dirname "${BASH_SOURCE[0]}")/../scripts/lib.sh"
ensure_packages "${STROVANIK_BENCH_PACKAGES[@]}"

ours="${STROVANIK_REPORT:-$STROVANIK_ROOT/build/bench/src/cli/strovanik-report}"
if [ ! -x "$ours" ]; then
    ensure_packages "${STROVANIK_BUILD_PACKAGES[@]}" libbenchmark-dev
    build_preset bench >&2
fi
runs="${RUNS:-300}"

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

# The worst case for the search: an AVI file of 3.2 MB of random bytes after its RIFF header,
# where a list is all but impossible and an "L" or "l" turns up every 128 bytes.
worst="$work/no_movie_list.avi"
{
    printf 'RIFF\x00\x00\x31\x00AVI '
    head -c 3200000 /dev/urandom
} >"$worst"

# The median (or another column) of one command's row in hyperfine's CSV export, in seconds.
field_of() {
    awk -F, -v row="$2" -v name="$3" '
        NR == 1 { for (i = 1; i <= NF; i++) column[$i] = i; next }
        NR == row + 1 { print name == "cpu" ? $column["user"] + $column["system"] : $column[name] }
    ' "$1"
}

# The peak memory of a command, whatever its exit status.
peak_kib() {
    { /usr/bin/time -v "$@" 2>&1 >/dev/null || true; } |
        awk -F': ' '/Maximum resident set size/ { print $2 }'
}

ms() {
    awk -v s="$1" 'BEGIN { printf "%.2f", s * 1000 }'
}

ratio_of() {
    awk -v a="$1" -v b="$2" 'BEGIN { printf "%.2f", a / b }'
}

# Keeps the least (or, with "max", the greatest) of the values seen so far in a variable.
keep() {
    local name="$1" value="$2" way="${3:-min}"
    if [ -z "${!name}" ] || awk -v a="$value" -v b="${!name}" -v w="$way" \
        'BEGIN { exit !(w == "min" ? a < b : a > b) }'; then
        printf -v "$name" '%s' "$value"
    fi
}

echo "load average: $(cut -d' ' -f1-3 /proc/loadavg) on $(nproc) cores; $ours"
echo "medians of $runs runs each, the commands of a row in one hyperfine run"
echo
echo "wall: medians; cpu: means of user + system; ratios of the wall medians"
printf '%-16s %9s %9s %9s %8s %8s %9s %9s %9s %9s %9s\n' file "ours" "true" "mediainfo" \
    "/ true" "mi /" "ours cpu" "true cpu" "mi cpu" "ours KiB" "mi KiB"
worst_true="" worst_mediainfo="" worst_peak=""
for file in "${files[@]}"; do
    csv="$work/times.csv"
    hyperfine -N --warmup 30 --runs "$runs" --style none --export-csv "$csv" \
        "$ours $file" "/bin/true" "mediainfo $file" >/dev/null
    ours_median="$(field_of "$csv" 1 median)"
    true_median="$(field_of "$csv" 2 median)"
    theirs_median="$(field_of "$csv" 3 median)"
    over_true="$(ratio_of "$ours_median" "$true_median")"
    under_mediainfo="$(ratio_of "$theirs_median" "$ours_median")"
    ours_peak="$(peak_kib "$ours" "$file")"
    printf '%-16s %6s ms %6s ms %6s ms %7sx %7sx %6s ms %6s ms %6s ms %9s %9s\n' \
        "$(basename "$file")" "$(ms "$ours_median")" "$(ms "$true_median")" \
        "$(ms "$theirs_median")" "$over_true" "$under_mediainfo" "$(ms "$(field_of "$csv" 1 cpu)")" \
        "$(ms "$(field_of "$csv" 2 cpu)")" "$(ms "$(field_of "$csv" 3 cpu)")" "$ours_peak" \
        "$(peak_kib mediainfo "$file")"
    keep worst_true "$over_true" max
    keep worst_mediainfo "$under_mediainfo"
    keep worst_peak "$ours_peak" max
done

echo
csv="$work/worst.csv"
# Exit status 3 is expected: the report of a file without headers ends early.
hyperfine -N -i --warmup 30 --runs "$runs" --style none --export-csv "$csv" \
    "$ours $worst" "head -c 3000000 $worst" >/dev/null 2>&1
ours_median="$(field_of "$csv" 1 median)"
head_median="$(field_of "$csv" 2 median)"
over_head="$(ratio_of "$ours_median" "$head_median")"
worst_case_peak="$(peak_kib "$ours" "$worst")"
keep worst_peak "$worst_case_peak" max
printf 'no movie list in 3 MB: ours %s ms, head -c 3000000 %s ms: %sx' \
    "$(ms "$ours_median")" "$(ms "$head_median")" "$over_head"
printf ' (cpu: ours %s ms, head %s ms; ours %s KiB)\n' "$(ms "$(field_of "$csv" 1 cpu)")" \
    "$(ms "$(field_of "$csv" 2 cpu)")" "$worst_case_peak"

echo
echo "typical files: at most ${worst_true}x /bin/true (goal: at most 1.5x)," \
    "at least ${worst_mediainfo}x faster than mediainfo (goal: at least 15x)"
echo "no movie list: ${over_head}x head -c 3000000 (goal: at most 1.3x)"
echo "largest peak memory of ours: ${worst_peak} KiB (goal: under 4096 KiB)"
