#!/bin/sh
# Times strovanik-report on a whole collection: a folder of COUNT (10,000) small AVI files,
# read from the page cache, in each output format and with 1, 2 and 4 files analysed at
# once; then the peak memory for a tenth of the files and for all of them, which should be
# about the same; then the same for lists read with --files-from that name the collection
# once and ten times over, where memory should not grow at all.
#
#   cmake --preset bench && cmake --build --preset bench
#   bench/batch_collection.sh [BUILD_FOLDER] [COUNT]
#
# The goals: the whole folder reported in under 3 seconds on a 2-core machine, and in
# under 0.4 s as JSON Lines on a quiet one.
set -eu

build=${1:-build/bench}
count=${2:-10000}
report="$build/src/cli/strovanik-report"
maker="$build/bench/batch/make_collection"
for program in "$report" "$maker"; do
    if [ ! -x "$program" ]; then
        echo "no $program: build the bench preset first" >&2
        exit 2
    fi
done
command -v hyperfine >/dev/null || { echo "hyperfine is needed (apt-get install hyperfine)" >&2; exit 2; }

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT INT TERM
"$maker" "$work/collection" "$count"
tenth=$((count / 10))
mkdir "$work/tenth"
ls "$work/collection" | head -n "$tenth" | while read -r name; do
    ln "$work/collection/$name" "$work/tenth/$name"
done
# Into the page cache, and past the first read's access-time update.
cat "$work"/collection/* >/dev/null
cat "$work"/collection/* >/dev/null

echo "$count files, $(du -sh "$work/collection" | cut -f1) in all; $(nproc) processors;" \
     "load $(cut -d' ' -f1-3 /proc/loadavg)"
# Exit status 3 is expected: a few files of the collection have reports that end early.
hyperfine --warmup 2 --runs 10 --ignore-failure --style basic \
    --export-markdown "$work/times.md" \
    -L format text,json,jsonl,csv -L jobs 1,2,4 \
    "$report --format {format} -j {jobs} $work/collection >/dev/null 2>&1"
cat "$work/times.md"

echo
echo "peak memory (maximum resident set size), and processor time (user + system):"
for folder in tenth collection; do
    for format in text json jsonl csv; do
        /usr/bin/time -f "  %M KiB, %e s, CPU %U + %S s: $format, $(ls "$work/$folder" | wc -l) files" \
            "$report" --format "$format" "$work/$folder" >/dev/null 2>"$work/err" || true
        tail -n 1 "$work/err"
    done
done

echo
echo "peak memory and processor time for a list on standard input (--files-from - --null):"
for times in 1 10; do
    i=0
    while [ "$i" -lt "$times" ]; do
        find "$work/collection" -type f -print0
        i=$((i + 1))
    done >"$work/list"
    /usr/bin/time -f "  %M KiB, %e s, CPU %U + %S s: jsonl, $((count * times)) listed files" \
        "$report" --format jsonl --files-from - --null <"$work/list" >/dev/null 2>"$work/err" || true
    tail -n 1 "$work/err"
done
