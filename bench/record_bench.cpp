// One small file's JSON record, stage by stage, in-process and from memory: what a batch of
// small files spends on each file besides the system's work of opening and reading it.
//
//   report:  the header scan, the figures and the report (what --format text does);
//   inspect: the walk of the whole file, its first frames and the findings (what --check adds);
//   record:  the record's values gathered from an analysis already made;
//   dump:    that record written as one line of JSON;
//   whole:   all of it, as a batch does it for each file.
//
// The file is samples/mp3_sound.avi, or the one named in STROVANIK_RECORD_FILE.
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <iterator>
#include <string>
#include <vector>

#include "cli/json_output.h"
#include "container/byte_source.h"
#include "report/analysis.h"
#include "report/inspection.h"

namespace {

namespace fs = std::filesystem;
using strovanik::cli::FileAnalysis;
using strovanik::container::MemorySource;
using strovanik::report::AnalysisRequest;
using strovanik::report::ReportLayout;

const std::vector<std::uint8_t>& fileBytes() {
    static const std::vector<std::uint8_t> bytes = [] {
        const char* named = std::getenv("STROVANIK_RECORD_FILE");
        const fs::path path = named != nullptr
                                  ? fs::path(named)
                                  : fs::path(STROVANIK_SOURCE_DIR) / "samples" / "mp3_sound.avi";
        std::ifstream in(path, std::ios::binary);
        std::vector<std::uint8_t> read{std::istreambuf_iterator<char>(in),
                                       std::istreambuf_iterator<char>()};
        if (read.empty()) {
            std::cerr << "cannot read " << path << "\n";
            std::exit(1);
        }
        return read;
    }();
    return bytes;
}

FileAnalysis analysed(bool inspect) {
    MemorySource source(fileBytes());
    const AnalysisRequest request{"f.avi", source.size(), ReportLayout::KoreanDetailed, inspect};
    return {"/tmp/folder/f.avi", strovanik::report::examine(source, request)};
}

void report(benchmark::State& state) {
    for (auto _ : state) benchmark::DoNotOptimize(analysed(false));
}
BENCHMARK(report)->Unit(benchmark::kMicrosecond);

void inspect(benchmark::State& state) {
    for (auto _ : state) {
        MemorySource source(fileBytes());
        benchmark::DoNotOptimize(strovanik::report::inspect(source));
    }
}
BENCHMARK(inspect)->Unit(benchmark::kMicrosecond);

void record(benchmark::State& state) {
    const FileAnalysis analysis = analysed(true);
    for (auto _ : state) {
        benchmark::DoNotOptimize(strovanik::cli::fileRecord(
            analysis, ReportLayout::KoreanDetailed, strovanik::cli::RecordShape::Full));
    }
}
BENCHMARK(record)->Unit(benchmark::kMicrosecond);

void dump(benchmark::State& state) {
    const auto record = strovanik::cli::fileRecord(analysed(true), ReportLayout::KoreanDetailed,
                                                   strovanik::cli::RecordShape::Full);
    for (auto _ : state) benchmark::DoNotOptimize(strovanik::cli::compactJson(record));
}
BENCHMARK(dump)->Unit(benchmark::kMicrosecond);

void whole(benchmark::State& state) {
    for (auto _ : state) {
        benchmark::DoNotOptimize(strovanik::cli::compactJson(strovanik::cli::fileRecord(
            analysed(true), ReportLayout::KoreanDetailed, strovanik::cli::RecordShape::Full)));
    }
}
BENCHMARK(whole)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
