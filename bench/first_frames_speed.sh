#!/bin/sh
# What reading the streams' first frames costs every --check, JSON and CSV record: one
# hyperfine run, side by side, of `strovanik-report --check` on a typical file (60 s of
# 720 x 400 Xvid at 1200 kb/s with B-frames, of a noisy picture that does not compress to
# nothing, and 128 kb/s MP3: about 10 MB, read from the page cache)
# against /bin/true and against `mediainfo FILE`; then COUNT (10,000) copies of
# samples/mp3_sound.avi as JSON Lines. CPU times come from hyperfine's user and system
# columns; the machine's load is printed before and after, as other work skews wall times.
#
#   bench/first_frames_speed.sh [BUILD_FOLDER] [COUNT]
#
# The goals: --check within 1.5x of /bin/true and at least 20x faster than mediainfo; the
# 10,000 files as JSON Lines in under 0.4 s.
set -eu

build=${1:-build/default}
count=${2:-10000}
report="$build/src/cli/strovanik-report"
[ -x "$report" ] || { echo "no $report: build it first" >&2; exit 2; }
for tool in ffmpeg hyperfine mediainfo; do
    command -v "$tool" >/dev/null || { echo "$tool is needed (apt-get install $tool)" >&2; exit 2; }
done

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT INT TERM
nice ffmpeg -nostdin -loglevel error -y \
    -f lavfi -i "testsrc2=size=720x400:rate=25,noise=alls=20:allf=t" \
    -f lavfi -i sine=sample_rate=48000 -t 60 -c:v libxvid -bf 2 -b:v 1200k \
    -c:a libmp3lame -b:a 128k "$work/typical.avi"
mkdir "$work/folder"
i=0
while [ "$i" -lt "$count" ]; do
    cp samples/mp3_sound.avi "$work/folder/$i.avi"
    i=$((i + 1))
done
cat "$work/typical.avi" "$work"/folder/* >/dev/null

echo "load before: $(cat /proc/loadavg)"
hyperfine -N --warmup 20 --runs 300 \
    "/bin/true" \
    "$report --check $work/typical.avi" \
    "mediainfo $work/typical.avi" \
    --export-markdown "$work/typical.md"
hyperfine --warmup 2 --runs 10 \
    "$report --check -r --format jsonl $work/folder" \
    --export-markdown "$work/folder.md"
echo "load after: $(cat /proc/loadavg)"
cat "$work/typical.md" "$work/folder.md"
