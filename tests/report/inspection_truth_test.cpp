// The inspection against real files: files made by ffmpeg, cuts of them, and copies whose
// index is gone or points past the end. Each stream's duration agrees with ffprobe's within a
// frame where ffprobe reads it from the headers (of a cut file it gives an estimate scaled by
// the file's size instead); the present chunks agree with a plain walk of the movie list
// written here.
#ifndef _WIN32

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "container/file_source.h"
#include "report/inspection.h"
#include "support/avi_writer.h"
#include "support/plain_walk.h"

namespace strovanik::testing {
namespace {

namespace fs = std::filesystem;
using report::Verdict;

bool haveTools() {
    return std::system("ffmpeg -version >/dev/null 2>&1 && ffprobe -version >/dev/null 2>&1") == 0;
}

// ffprobe's duration of each stream, in file order; NaN where it gives none.
std::vector<double> ffprobeDurations(const fs::path& file) {
    std::istringstream lines(commandOutput("ffprobe -v error -show_entries stream=duration -of csv=p=0 '" +
                                    file.string() + "'"));
    std::vector<double> durations;
    for (std::string line; std::getline(lines, line);) {
        durations.push_back(line.starts_with("N/A") ? std::nan("")
                                                    : std::strtod(line.c_str(), nullptr));
    }
    return durations;
}

std::uint32_t u32At(const Bytes& b, std::size_t at) {
    return b[at] | (b[at + 1] << 8) | (b[at + 2] << 16) |
           (static_cast<std::uint32_t>(b[at + 3]) << 24);
}

std::size_t find(const Bytes& b, std::string_view what, std::size_t from = 0) {
    const auto it = std::search(b.begin() + static_cast<std::ptrdiff_t>(from), b.end(),
                                what.begin(), what.end());
    return static_cast<std::size_t>(it - b.begin());
}

// The chunks of every movie list whose data lies inside the file, by stream number.
std::map<int, std::int64_t> plainWalk(const fs::path& file) {
    const auto size = static_cast<std::int64_t>(fs::file_size(file));
    std::map<int, std::int64_t> counts;
    walkMovieChunks(file, [&](std::string_view id, std::int64_t dataAt, std::int64_t chunkSize) {
        if (chunkSize > size - dataAt) return;
        if (std::isdigit(id[0]) && std::isdigit(id[1])) ++counts[(id[0] - '0') * 10 + (id[1] - '0')];
    });
    return counts;
}

report::Inspection inspectFile(const fs::path& file) {
    auto opened = container::FileSource::open(file.string());
    EXPECT_EQ(opened.status, container::FileSource::OpenStatus::Opened);
    return report::inspect(*opened.source);
}

// Each stream's duration against ffprobe's (a cut file's only where ffprobe reads the headers),
// and its present chunks against the plain walk.
void compareWithPeers(const fs::path& file, Verdict verdict) {
    const std::string name = file.filename().string();
    const report::Inspection in = inspectFile(file);
    EXPECT_EQ(in.verdict, verdict) << name;
    const std::vector<double> probed = verdict == Verdict::Truncated
                                           ? std::vector<double>(in.streams.size(), std::nan(""))
                                           : ffprobeDurations(file);
    ASSERT_EQ(probed.size(), in.streams.size()) << name;
    const auto walkedCounts = plainWalk(file);
    for (std::size_t s = 0; s < in.streams.size(); ++s) {
        if (!std::isnan(probed[s])) {
            EXPECT_NEAR(in.streams[s].durationSeconds, probed[s], 1 / 25.0) << name << " " << s;
        }
        const auto found = walkedCounts.find(static_cast<int>(s));
        EXPECT_EQ(in.streams[s].presentChunks, found == walkedCounts.end() ? 0 : found->second)
            << name << " " << s;
    }
}

TEST(InspectionTruth, AgreesWithFfprobeAndAPlainWalk) {
    if (!haveTools()) GTEST_SKIP() << "ffmpeg and ffprobe are not installed";
    TempFolder folder;
    const std::string sources =
        " -f lavfi -i testsrc=size=64x48:rate=25 -f lavfi -i sine=sample_rate=44100"
        " -f lavfi -i sine=frequency=300:sample_rate=48000 -t 1.5 -map 0:v";
    const struct {
        const char* name;
        const char* options;
    } makes[] = {
        {"mp3.avi", " -map 1:a -c:v mpeg4 -vtag XVID -c:a libmp3lame -b:a 64k"},
        {"pcm.avi", " -map 1:a -c:v mpeg4 -c:a pcm_s16le"},
        {"silent.avi", " -c:v mpeg4 -vtag DX50"},
        {"two_sounds.avi", " -map 1:a -map 2:a -c:v mpeg4 -c:a:0 libmp3lame -c:a:1 ac3 -b:a:1 96k"},
    };
    for (const auto& make : makes) {
        const fs::path whole = folder / make.name;
        ASSERT_EQ(std::system(("ffmpeg -nostdin -loglevel error -y" + sources + make.options +
                               " '" + whole.string() + "'")
                                  .c_str()),
                  0)
            << make.name;
        const Bytes bytes = readFile(whole);

        // The copies: cut at three lengths, without an index, with an index past the end.
        std::vector<std::pair<std::string, Verdict>> copies = {{make.name, Verdict::Complete}};
        for (int percent : {30, 60, 90}) {
            const std::string name = std::to_string(percent) + "-" + make.name;
            writeFile(folder / name,
                      Bytes(bytes.begin(), bytes.begin() + static_cast<std::ptrdiff_t>(
                                                               bytes.size() * percent / 100)));
            copies.emplace_back(name, Verdict::Truncated);
        }
        const std::size_t idx1 = find(bytes, "idx1", find(bytes, "movi"));
        ASSERT_LT(idx1, bytes.size()) << make.name;
        Bytes noIndex = bytes;
        std::memcpy(noIndex.data() + idx1, "JUNK", 4);
        writeFile(folder / ("noindex-" + std::string(make.name)), noIndex);
        copies.emplace_back("noindex-" + std::string(make.name), Verdict::Damaged);
        Bytes pastEnd = bytes;
        for (std::size_t e = idx1 + 8; e + 16 <= bytes.size(); e += 16) {
            const Bytes moved = le32(static_cast<std::int32_t>(u32At(bytes, e + 8) + bytes.size()));
            std::copy(moved.begin(), moved.end(),
                      pastEnd.begin() + static_cast<std::ptrdiff_t>(e + 8));
        }
        writeFile(folder / ("pastend-" + std::string(make.name)), pastEnd);
        copies.emplace_back("pastend-" + std::string(make.name), Verdict::Damaged);

        for (const auto& [name, verdict] : copies) compareWithPeers(folder / name, verdict);
    }
}

// A large file made by bench/inspection_speed.sh (an OpenDML file over 1 GiB), named in
// STROVANIK_LARGE_AVI; skipped without it.
TEST(InspectionTruth, ALargeFileAgreesToo) {
    const char* large = std::getenv("STROVANIK_LARGE_AVI");
    if (large == nullptr || !haveTools()) GTEST_SKIP() << "STROVANIK_LARGE_AVI names no file";
    compareWithPeers(large, Verdict::Complete);
}

}  // namespace
}  // namespace strovanik::testing

#endif
