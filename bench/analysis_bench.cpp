// How long one analysis takes, in-process, from a file in the page cache, and how much of
// the file it reads.
//
//   typical: a real AVI file written by ffmpeg (samples/mp3_sound.avi) whose movie data was
//            extended to 64 MiB. The scan stops at the movie list, within the first 16 KiB,
//            so the analysis must read at most 128 KiB of it (goal: under 100 µs).
//   no movie list: 3.2 MB of bytes without any "LIST", after a RIFF AVI header, so that the
//            scan searches all 3,000,000 positions (goal: under 5 ms). Two fillings: bytes
//            that never match, and "LIS?" over and over, which makes every fourth position a
//            near match.
//   inspect: the walk of a whole file and its inspection (what --check does besides the
//            report), for each file named in STROVANIK_INSPECT_FILES (paths separated by
//            spaces; bench/inspection_speed.sh makes a 1.15 GB OpenDML file and a 700 MB cut
//            one), with the bytes it read. Goals: under 10 ms for the OpenDML file, under 1 s
//            for the cut one.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <iterator>
#include <string>
#include <vector>

#include "container/avi_header_scan.h"
#include "container/file_source.h"
#include "report/analysis.h"
#include "report/inspection.h"

namespace {

namespace fs = std::filesystem;
using strovanik::container::FileSource;
using strovanik::report::AnalysisRequest;
using strovanik::report::Outcome;
using strovanik::report::ReportLayout;

constexpr std::int64_t kReadBudget = 128 * 1024;

fs::path benchFolder() {
    static const fs::path folder = [] {
        fs::path path = fs::temp_directory_path() / "strovanik-bench";
        fs::create_directories(path);
        return path;
    }();
    return folder;
}

std::vector<char> readWhole(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void writeWhole(const fs::path& path, const std::vector<char>& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    if (!out) {
        std::cerr << "cannot write " << path << "\n";
        std::exit(1);
    }
}

// The sample, its movie data repeated until the file is `length` bytes long.
fs::path typicalFile() {
    static const fs::path path = [] {
        const fs::path sample = fs::path(STROVANIK_SOURCE_DIR) / "samples" / "mp3_sound.avi";
        std::vector<char> bytes = readWhole(sample);
        if (bytes.size() < 4096) {
            std::cerr << "cannot read " << sample << "\n";
            std::exit(1);
        }
        const std::vector<char> tail(bytes.begin() + static_cast<std::ptrdiff_t>(bytes.size() / 2),
                                     bytes.end());
        constexpr std::size_t kLength = 64u << 20;
        while (bytes.size() < kLength) bytes.insert(bytes.end(), tail.begin(), tail.end());
        bytes.resize(kLength);
        const fs::path out = benchFolder() / "typical.avi";
        writeWhole(out, bytes);
        return out;
    }();
    return path;
}

fs::path noMovieListFile(std::string_view name, std::string_view filling) {
    std::vector<char> bytes = {'R', 'I', 'F', 'F', 0, 0, 0, 0, 'A', 'V', 'I', ' '};
    constexpr std::size_t kLength = 3'200'000;
    while (bytes.size() < kLength) bytes.insert(bytes.end(), filling.begin(), filling.end());
    bytes.resize(kLength);
    const fs::path out = benchFolder() / name;
    writeWhole(out, bytes);
    return out;
}

void analyseFromDisk(benchmark::State& state, const fs::path& path, ReportLayout layout,
                     std::int64_t budget) {
    const std::string utf8Path = path.string();
    std::int64_t bytesRead = 0;
    std::size_t reportBytes = 0;
    for (auto _ : state) {
        auto opened = FileSource::open(utf8Path);
        if (opened.status != FileSource::OpenStatus::Opened) {
            state.SkipWithError("cannot open the file");
            return;
        }
        const AnalysisRequest request{path.filename().string(), opened.source->size(), layout};
        Outcome outcome = strovanik::report::analyse(*opened.source, request);
        benchmark::DoNotOptimize(outcome.report.data());
        bytesRead = opened.source->bytesRead();
        reportBytes = outcome.report.size();
    }
    state.counters["bytes_read"] = static_cast<double>(bytesRead);
    state.counters["report_bytes"] = static_cast<double>(reportBytes);
    if (bytesRead > budget) state.SkipWithError("read more of the file than its budget");
}

void typical(benchmark::State& state) {
    analyseFromDisk(state, typicalFile(), static_cast<ReportLayout>(state.range(0)), kReadBudget);
}
BENCHMARK(typical)
    ->ArgName("layout")
    ->Arg(static_cast<int>(ReportLayout::English))
    ->Arg(static_cast<int>(ReportLayout::KoreanDetailed))
    ->Arg(static_cast<int>(ReportLayout::KoreanBrief))
    ->Unit(benchmark::kMicrosecond);

void noMovieList(benchmark::State& state) {
    // Reads are budgeted at the searched positions plus one block's look-ahead.
    constexpr std::int64_t kBudget = strovanik::container::kScanLimit + kReadBudget;
    const fs::path path = state.range(0) == 0 ? noMovieListFile("plain.avi", "abcdefgh")
                                              : noMovieListFile("near-lists.avi", "LIS?");
    analyseFromDisk(state, path, ReportLayout::KoreanDetailed, kBudget);
}
BENCHMARK(noMovieList)->ArgName("near_lists")->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

void inspectFromDisk(benchmark::State& state, const std::string& path) {
    std::int64_t bytesRead = 0;
    for (auto _ : state) {
        auto opened = FileSource::open(path);
        if (opened.status != FileSource::OpenStatus::Opened) {
            state.SkipWithError("cannot open the file");
            return;
        }
        const auto inspection = strovanik::report::inspect(*opened.source);
        benchmark::DoNotOptimize(inspection.findings.data());
        bytesRead = opened.source->bytesRead();
    }
    state.counters["bytes_read"] = static_cast<double>(bytesRead);
}

}  // namespace

int main(int argc, char** argv) {
    if (const char* files = std::getenv("STROVANIK_INSPECT_FILES")) {
        std::string list = files;
        for (std::size_t start = 0; start < list.size();) {
            const std::size_t end = std::min(list.find(' ', start), list.size());
            const std::string path = list.substr(start, end - start);
            if (!path.empty()) {
                benchmark::RegisterBenchmark(
                    ("inspect/" + fs::path(path).filename().string()).c_str(),
                    [path](benchmark::State& state) { inspectFromDisk(state, path); })
                    ->Unit(benchmark::kMillisecond);
            }
            start = end + 1;
        }
    }
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
