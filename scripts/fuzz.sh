#!/usr/bin/env bash
# Runs the libFuzzer targets for a given time each: the whole analysis on arbitrary bytes, the
# number forms on arbitrary field values, the walk of a whole file's structure, and the sound
# identity of a stream's first chunks. Builds them with clang under AddressSanitizer and
# UndefinedBehaviorSanitizer in build/fuzz, installing clang when it is missing.
#
#   scripts/fuzz.sh [SECONDS] [TARGET...]     SECONDS per target (default 600);
#                                             TARGET: analysis, number_forms, walk,
#                                             audio_bitstream (default all four)
#   STROVANIK_FUZZ_MERGE=1 scripts/fuzz.sh    also adds the inputs that reached new code to
#                                             tests/fuzzing/corpus/TARGET (to be committed;
#                                             the test suite replays them)
#
# Each target starts from the stored corpus, the stored regression inputs and, for the
# analysis, the sample files; it keeps its working corpus in build/fuzz/corpus/TARGET between
# runs. A crash, a broken rule, a slow input (over 2 s), a memory use over 256 MB or a single
# allocation over 64 MB stops the target and leaves the input in build/fuzz/artifacts/TARGET/;
# copy it into tests/fuzzing/regressions/TARGET/ once it is mended, so the test suite replays
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
    targets=(analysis number_forms walk audio_bitstream)
fi
for target in "${targets[@]}"; do
    case "$target" in
        analysis | number_forms | walk | audio_bitstream) ;;
        *) say "fuzz.sh: no target named $target (analysis, number_forms, walk, audio_bitstream)"; exit 2 ;;
    esac
done

ensure_packages "${STROVANIK_BUILD_PACKAGES[@]}" clang libclang-rt-14-dev

build="$STROVANIK_ROOT/build/fuzz"
say "== building the fuzzers in $build"
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_CXX_COMPILER=clang++ \
    -DSTROVANIK_WERROR=ON -DSTROVANIK_SANITIZE=ON -DSTROVANIK_FUZZ=ON -DSTROVANIK_BUILD_GUI=OFF >&2
nice cmake --build "$build" --target "${targets[@]/#/fuzz_}" >&2

# A small quarantine keeps the fuzzer's memory use a measure of the code under test rather
# than of AddressSanitizer's bookkeeping.
export ASAN_OPTIONS="quarantine_size_mb=16:detect_leaks=1:abort_on_error=0:strict_string_checks=1"
export UBSAN_OPTIONS="halt_on_error=1:print_stacktrace=1"

failed=0
for target in "${targets[@]}"; do
    corpus="$build/corpus/$target"
    artifacts="$build/artifacts/$target"
    logs="$build/logs"
    mkdir -p "$corpus" "$artifacts" "$logs"
    seeds=("tests/fuzzing/corpus/$target")
    if [ -d "tests/fuzzing/regressions/$target" ]; then
        seeds+=("tests/fuzzing/regressions/$target")
    fi
    max_len=4096
    if [ "$target" = walk ]; then
        # AVI files of every shape the analysis's corpus holds, and cut and damaged ones.
        seeds+=(samples tests/fuzzing/corpus/analysis)
        max_len=140000
    fi
    if [ "$target" = audio_bitstream ]; then
        # A format record and first chunks of real sound streams, as the tests keep them.
        seeds+=(tests/bitstream/data)
        max_len=16384
    fi
    if [ "$target" = analysis ]; then
        seeds+=(samples)
        # Room for files that cross the scan's first 64 KiB block.
        max_len=140000
    fi
    log="$logs/$target.log"
    say "== fuzzing $target for $seconds s (log: $log)"
    status=0
    nice -n 10 "$build/tests/fuzzing/fuzz_$target" \
        -max_total_time="$seconds" -timeout=2 -rss_limit_mb=256 -malloc_limit_mb=64 \
        -max_len="$max_len" -print_final_stats=1 -artifact_prefix="$artifacts/" \
        "$corpus" "${seeds[@]}" >"$log" 2>&1 || status=$?
    # The last progress line holds the coverage (cov: edges, ft: features) and the corpus.
    grep -E '^#[0-9]+' "$log" | tail -n 1 >&2 || true
    grep -E '^stat::(number_of_executed_units|average_exec_per_sec|peak_rss_mb)' "$log" >&2 || true
    if [ "$status" -ne 0 ]; then
        failed=1
        say "fuzz.sh: $target stopped on an input (status $status); see $log and $artifacts/"
        grep -E 'ERROR|broken rule|SUMMARY|Test unit written' "$log" >&2 || true
    fi
    if [ "${STROVANIK_FUZZ_MERGE:-0}" = 1 ]; then
        say "== merging the new inputs of $target into tests/fuzzing/corpus/$target"
        # Only inputs that reach code the stored ones do not (counted by edges, not by how
        # often each is run), so that the stored corpus stays small.
        nice "$build/tests/fuzzing/fuzz_$target" -merge=1 -use_counters=0 -timeout=2 \
            -rss_limit_mb=256 -malloc_limit_mb=64 -max_len="$max_len" \
            "tests/fuzzing/corpus/$target" "$corpus" >>"$log" 2>&1
    fi
done
exit "$failed"
