#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <optional>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

#include "cli/command_run.h"
#include "support/plain_walk.h"

// The sample files of samples/ are real AVI files written by ffmpeg; what the reports say of
// them must agree with what ffprobe, which reads the whole file, says.
namespace strovanik::testing {
namespace {

namespace fs = std::filesystem;

const char* const kSamples[] = {"mp3_sound.avi", "silent.avi", "two_sounds.avi"};

fs::path samplePath(std::string_view name) {
    return fs::path(STROVANIK_SOURCE_DIR) / "samples" / name;
}

// --- what ffprobe says ----------------------------------------------------------------------

struct ProbedStream {
    std::string type;
    std::map<std::string, std::string> fields;
};

struct Probe {
    std::int64_t size = -1;
    std::vector<ProbedStream> streams;

    std::vector<const ProbedStream*> of(std::string_view type) const {
        std::vector<const ProbedStream*> found;
        for (const auto& s : streams) {
            if (s.type == type) found.push_back(&s);
        }
        return found;
    }
};

bool ffprobeAvailable() {
#ifdef _WIN32
    return false;
#else
    return std::system("command -v ffprobe >/dev/null 2>&1") == 0;
#endif
}

std::optional<std::string> commandOutput(const std::string& command) {
#ifdef _WIN32
    (void)command;
    return std::nullopt;
#else
    FILE* pipe = popen(command.c_str(), "r");
    if (pipe == nullptr) return std::nullopt;
    std::string out;
    char buffer[4096];
    for (std::size_t n; (n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0;)
        out.append(buffer, n);
    if (pclose(pipe) != 0) return std::nullopt;
    return out;
#endif
}

// Lines like "stream|codec_type=audio|sample_rate=44100|channels=2" and "format|size=26754".
std::optional<Probe> probe(const fs::path& file) {
    const auto text = commandOutput(
        "ffprobe -v error -show_entries "
        "format=size:stream=codec_type,nb_frames,r_frame_rate,channels,sample_rate "
        "-of compact " +
        shellQuoted(file.string()));
    if (!text) return std::nullopt;
    Probe result;
    std::istringstream lines(*text);
    for (std::string line; std::getline(lines, line);) {
        std::istringstream parts(line);
        std::string section;
        std::getline(parts, section, '|');
        std::map<std::string, std::string> fields;
        for (std::string part; std::getline(parts, part, '|');) {
            const std::size_t eq = part.find('=');
            if (eq != std::string::npos) fields[part.substr(0, eq)] = part.substr(eq + 1);
        }
        if (section == "format") {
            result.size = std::stoll(fields.at("size"));
        } else if (section == "stream") {
            result.streams.push_back({fields["codec_type"], fields});
        }
    }
    return result;
}

double rateOf(const std::string& fraction) {
    const std::size_t slash = fraction.find('/');
    return std::stod(fraction.substr(0, slash)) / std::stod(fraction.substr(slash + 1));
}

// --- what the English report says -----------------------------------------------------------

std::int64_t numberIn(std::string text) {
    std::erase(text, ',');
    return std::stoll(text);
}

std::vector<std::string> allMatches(const std::string& report, const std::regex& pattern) {
    std::vector<std::string> found;
    for (auto it = std::sregex_iterator(report.begin(), report.end(), pattern);
         it != std::sregex_iterator(); ++it) {
        found.push_back((*it)[1].str());
    }
    return found;
}

std::string onlyMatch(const std::string& report, const std::regex& pattern) {
    const auto found = allMatches(report, pattern);
    EXPECT_EQ(found.size(), 1u);
    return found.empty() ? std::string("-1") : found.front();
}

TEST(Samples, EveryLayoutReportsEverySampleCompletely) {
    for (const char* name : kSamples) {
        for (const std::string layout : {"english", "korean", "brief"}) {
            SCOPED_TRACE(std::string(name) + " " + layout);
            const CommandRun run = runInProcess({"--layout", layout, samplePath(name).string()});
            EXPECT_EQ(run.status, 0);
            EXPECT_EQ(run.err, "");
            EXPECT_NE(run.out.find(std::string(name) + "\r\n"), std::string::npos);
        }
    }
}

TEST(Samples, ReportsAgreeWithFfprobe) {
    if (!ffprobeAvailable()) GTEST_SKIP() << "ffprobe is not on PATH";
    const std::regex sizeRow(R"(    Filesize  : ([0-9,]+) Byte)");
    const std::regex framesRow(R"(    Total Frames  :  (-?[0-9]+)\r\n)");
    const std::regex rateRow(R"(    Frame/Secend  :  ([0-9.]+) fps\r\n)");
    const std::regex channelsRow(R"(    Channels      :  ([0-9]+)[ .])");
    const std::regex samplesRow(R"(    Samples Rate  :  ([0-9,]+) Hz\r\n)");

    for (const char* name : kSamples) {
        SCOPED_TRACE(name);
        const auto probed = probe(samplePath(name));
        ASSERT_TRUE(probed.has_value()) << "ffprobe could not read the sample";
        const CommandRun run = runInProcess({"--layout", "english", samplePath(name).string()});
        ASSERT_EQ(run.status, 0) << run.err;
        const std::string& report = run.out;

        EXPECT_EQ(numberIn(onlyMatch(report, sizeRow)), probed->size);
        EXPECT_EQ(static_cast<std::int64_t>(fs::file_size(samplePath(name))), probed->size);

        const auto video = probed->of("video");
        ASSERT_EQ(video.size(), 1u);
        EXPECT_EQ(onlyMatch(report, framesRow), video[0]->fields.at("nb_frames"));
        // The report works the rate out from the whole microseconds of one frame, so a rate
        // such as 30000/1001 comes out a little off in the third decimal.
        const double reportedRate = std::stod(onlyMatch(report, rateRow));
        EXPECT_NEAR(reportedRate, rateOf(video[0]->fields.at("r_frame_rate")), 0.002);

        const auto audio = probed->of("audio");
        const auto channels = allMatches(report, channelsRow);
        const auto sampleRates = allMatches(report, samplesRow);
        ASSERT_EQ(channels.size(), audio.size()) << report;
        ASSERT_EQ(sampleRates.size(), audio.size()) << report;
        for (std::size_t i = 0; i < audio.size(); ++i) {
            SCOPED_TRACE("sound stream " + std::to_string(i + 1));
            EXPECT_EQ(channels[i], audio[i]->fields.at("channels"));
            EXPECT_EQ(numberIn(sampleRates[i]), numberIn(audio[i]->fields.at("sample_rate")));
        }
        if (audio.empty()) {
            EXPECT_NE(report.find("  Audio stream - No sound \r\n"), std::string::npos);
        }
    }
}

TEST(Samples, CoverSilenceOneSoundAndTwoSounds) {
    // The tests above are only as good as the samples: keep one of each kind.
    if (!ffprobeAvailable()) GTEST_SKIP() << "ffprobe is not on PATH";
    std::vector<std::size_t> soundCounts;
    for (const char* name : kSamples) {
        const auto probed = probe(samplePath(name));
        ASSERT_TRUE(probed.has_value()) << name;
        soundCounts.push_back(probed->of("audio").size());
        EXPECT_LE(probed->size, 30 * 1024) << name << " should stay small";
    }
    EXPECT_EQ(soundCounts, (std::vector<std::size_t>{1, 0, 2}));
}

}  // namespace
}  // namespace strovanik::testing
