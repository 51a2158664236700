#!/bin/sh
# Times strovanik-report --check on the files the inspection is built for, each read from the
# page cache: a 1.15 GB OpenDML file (100 s, two RIFFs, indexed), a 700 MB cut of a file with
# small chunks whose index is gone (every chunk header walked), and a folder of COUNT (10,000)
# small files. The files are made with ffmpeg in a scratch folder (about 2.5 GB, removed
# afterwards; keep them with KEEP=FOLDER).
#
#   bench/inspection_speed.sh [BUILD_FOLDER] [COUNT]
#
# The goals: under 10 ms for the OpenDML file, under 1 s for the cut one, under 1 s for the
# folder.
set -eu

build=${1:-build/default}
count=${2:-10000}
report="$build/src/cli/strovanik-report"
[ -x "$report" ] || { echo "no $report: build it first" >&2; exit 2; }
for tool in ffmpeg hyperfine; do
    command -v "$tool" >/dev/null || { echo "$tool is needed (apt-get install $tool)" >&2; exit 2; }
done

work=${KEEP:-$(mktemp -d)}
mkdir -p "$work"
[ -n "${KEEP:-}" ] || trap 'rm -rf "$work"' EXIT INT TERM
make() {
    [ -s "$work/$1" ] && return 0
    shift_name=$1
    shift
    nice ffmpeg -nostdin -loglevel error -y "$@" "$work/$shift_name"
}
# 480 x 320 raw frames at 25 a second: 1.15 GB in 100 s, past the 1 GiB where ffmpeg begins
# a second RIFF and writes OpenDML indexes.
make odml.avi -f lavfi -i color=c=gray:size=480x320:rate=25 -f lavfi -i sine=sample_rate=44100 \
    -t 100 -c:v rawvideo -pix_fmt bgr24 -c:a libmp3lame -b:a 64k
# 64 x 48 raw frames and 8 kHz sound: about 150,000 small chunks in 760 MB, cut at 700 MB.
make small_chunks.avi -f lavfi -i color=c=gray:size=64x48:rate=25 -f lavfi -i sine=sample_rate=8000 \
    -t 3000 -c:v rawvideo -pix_fmt bgr24 -c:a pcm_s16le
[ -s "$work/cut.avi" ] || head -c 700000000 "$work/small_chunks.avi" >"$work/cut.avi"
if [ ! -d "$work/folder" ]; then
    mkdir "$work/folder"
    make tiny.avi -f lavfi -i testsrc=size=32x24:rate=25 -f lavfi -i sine=sample_rate=8000 -t 0.4 \
        -c:v mpeg4 -c:a pcm_u8
    i=0
    while [ "$i" -lt "$count" ]; do
        cp "$work/tiny.avi" "$work/folder/$i.avi"
        i=$((i + 1))
    done
fi
cat "$work/odml.avi" "$work/cut.avi" "$work"/folder/* >/dev/null

echo "$(nproc) processors; load $(cut -d' ' -f1-3 /proc/loadavg)"
"$report" --check --layout english "$work/odml.avi" "$work/cut.avi" || true
# Exit status 4 is expected: the cut file is truncated.
hyperfine --warmup 3 --runs 20 --ignore-failure --style basic \
    -n "odml 1.15 GB" "$report --check $work/odml.avi" \
    -n "cut 700 MB, no index" "$report --check $work/cut.avi"
hyperfine --warmup 1 --runs 5 --ignore-failure --style basic \
    -n "$count small files" "$report --check $work/folder"
# The OpenDML file against ffprobe and a plain walk, as the test suite checks small files.
tests="$build/tests/report_tests"
if [ -x "$tests" ]; then
    STROVANIK_LARGE_AVI="$work/odml.avi" "$tests" --gtest_filter='InspectionTruth.ALargeFile*'
fi
# In-process, without the program's start: the bench preset's analysis_bench.
bench="$build/bench/analysis_bench"
if [ -x "$bench" ]; then
    STROVANIK_INSPECT_FILES="$work/odml.avi $work/cut.avi" "$bench" --benchmark_filter=inspect
fi
