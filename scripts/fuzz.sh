#!/usr/bin/env bash
# Runs the libFuzzer targets for a given time each: the whole analysis on arbitrary bytes, the
# number forms on arbitrary field values, the walk of a whole file's structure, the
# structure sample, the repaired copy, and a video or sound stream's identity from its first chunks. Builds them with clang under AddressSanitizer and UndefinedBehaviorSanitizer
# in build/fuzz, installing clang when it is missing.
#
#   scripts/fuzz.sh [SECONDS] [TARGET...]     SECONDS per target (default 600);
#                                             TARGET: analysis, number_forms, walk,
#                                             structure_sample, repair, video_bitstream,
#                                             audio_bitstream (default all seven)
#   STROVANIK_FUZZ_PARALLEL=1 scripts/fuzz.sh runs the targets at the same time
#   STROVANIK_FUZZ_MERGE=1 scripts/fuzz.sh    also adds the inputs that reached new code to
#                                             tests/fuzzing/corpus/TARGET (to be committed;
#                                             the test suite replays them)
#
# Each target starts from the stored corpus, the stored regression inputs and, for the
# analysis, the sample files; it keeps its working corpus in build/fuzz/corpus/TARGET between
# runs. A crash, a broken rule, a slow input (over 30 s of the clock: the machine may be busy),
# a memory use over 1 GB or a single allocation over 256 MB stops the target and leaves the
# input in build/fuzz/artifacts/TARGET/; copy it into tests/fuzzing/regressions/TARGET/ once it is mended, so the test suite replays
# it. The script exits non-zero when any target stopped on an input.
set -euo pipefail

# shellcheck source=scripts/lib.sh
source "$(dirname "${BASH_SOURCE[0]}")/lib.sh"
cd "$STROVANIK_ROOT"

seconds="${1:-600}"
if ! [[ "$seconds" =~ ^[0-9]+$ ]] || [ "$seconds" -lt 1 ]; then
    say "usage: scripts/fuzz.sh [SECONDS] [TARGET...]"
    exit 2
fi
shift || true
targets=("$@")
if [ "${#targets[@]}" -eq 0 ]; then
    targets=(analysis number_forms walk structure_sample repair video_bitstream audio_bitstream)
fi
for target in "${targets[@]}"; do
    case "$target" in
        analysis | number_forms | walk | structure_sample | repair | video_bitstream | audio_bitstream) ;;
        *) say "fuzz.sh: no target named $target (analysis, number_forms, walk, structure_sample, repair, video_bitstream, audio_bitstream)"; exit 2 ;;
    esac
done

ensure_packages "${STROVANIK_BUILD_PACKAGES[@]}" clang libclang-rt-14-dev

build="$STROVANIK_ROOT/build/fuzz"
say "== building the fuzzers in $build"
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_CXX_COMPILER=clang++ \
    -DSTROVANIK_WERROR=ON -DSTROVANIK_SANITIZE=ON -DSTROVANIK_FUZZ=ON -DSTROVANIK_BUILD_GUI=OFF >&2
nice cmake --build "$build" --target "${targets[@]/#/fuzz_}" write_fuzz_seeds >&2
# Seeds too large to keep in the tree (deep nesting, many RIFFs, long indexes) are written
# afresh for every run.
rm -rf "$build/seeds"
"$build/tests/fuzzing/write_fuzz_seeds" "$build/seeds" >&2

# A small quarantine keeps the fuzzer's memory use a measure of the code under test rather
# than of AddressSanitizer's bookkeeping.
export ASAN_OPTIONS="quarantine_size_mb=16:detect_leaks=1:abort_on_error=0:strict_string_checks=1"
export UBSAN_OPTIONS="halt_on_error=1:print_stacktrace=1"

# Fuzzes one target; its status is that of the fuzzer.
fuzz_target() {
    local target="$1"
    local corpus="$build/corpus/$target"
    local artifacts="$build/artifacts/$target"
    local logs="$build/logs"
    mkdir -p "$corpus" "$artifacts" "$logs"
    local seeds=()
    for stored in corpus regressions; do
        if [ -d "tests/fuzzing/$stored/$target" ]; then
            seeds+=("tests/fuzzing/$stored/$target")
        fi
    done
    local max_len=4096
    local extra=()
    case "$target" in
        walk | structure_sample | repair)
            # AVI files of every shape the analysis's corpus holds, cut and damaged ones, and
            # files of several megabytes whose structure is deep, long or repeated.
            seeds+=(samples tests/fuzzing/corpus/analysis "$build/seeds/walk")
            max_len=4000000
            extra=(-dict=tests/fuzzing/avi.dict)
            ;;
        analysis)
            # Room for files that cross the scan's 64 KiB blocks many times over.
            seeds+=(samples "$build/seeds/walk")
            max_len=4000000
            extra=(-dict=tests/fuzzing/avi.dict)
            ;;
        video_bitstream | audio_bitstream)
            # Real encoders' first chunks, as the bitstream tests keep them.
            seeds+=(tests/bitstream/data)
            max_len=16384
            ;;
    esac
    local log="$logs/$target.log"
    say "== fuzzing $target for $seconds s (log: $log)"
    local status=0
    nice -n 10 "$build/tests/fuzzing/fuzz_$target" \
        -max_total_time="$seconds" -timeout=30 -rss_limit_mb=1024 -malloc_limit_mb=256 \
        -max_len="$max_len" "${extra[@]}" -print_final_stats=1 -artifact_prefix="$artifacts/" \
        "$corpus" "${seeds[@]}" >"$log" 2>&1 || status=$?
    # The last progress line holds the coverage (cov: edges, ft: features) and the corpus.
    grep -E '^#[0-9]+' "$log" | tail -n 1 >&2 || true
    grep -E '^stat::(number_of_executed_units|average_exec_per_sec|peak_rss_mb)' "$log" >&2 || true
    if [ "$status" -ne 0 ]; then
        say "fuzz.sh: $target stopped on an input (status $status); see $log and $artifacts/"
        grep -E 'ERROR|broken rule|SUMMARY|Test unit written' "$log" >&2 || true
    fi
    if [ "${STROVANIK_FUZZ_MERGE:-0}" = 1 ]; then
        say "== merging the new inputs of $target into tests/fuzzing/corpus/$target"
        mkdir -p "tests/fuzzing/corpus/$target"
        # Only inputs that reach code the stored ones do not (counted by edges, not by how
        # often each is run), so that the stored corpus stays small.
        nice "$build/tests/fuzzing/fuzz_$target" -merge=1 -use_counters=0 -timeout=30 \
            -rss_limit_mb=1024 -malloc_limit_mb=256 -max_len="$max_len" \
            "tests/fuzzing/corpus/$target" "$corpus" >>"$log" 2>&1
    fi
    return "$status"
}

failed=0
if [ "${STROVANIK_FUZZ_PARALLEL:-0}" = 1 ]; then
    pids=()
    for target in "${targets[@]}"; do
        fuzz_target "$target" &
        pids+=("$!")
    done
    for pid in "${pids[@]}"; do
        wait "$pid" || failed=1
    done
else
    for target in "${targets[@]}"; do
        fuzz_target "$target" || failed=1
    done
fi
exit "$failed"
