#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "cli/command_run.h"
#include "container/file_source.h"
#include "container/repair.h"
#include "container/text_encoding.h"
#include "support/avi_writer.h"
#include "support/plain_walk.h"

// The repaired copy on files made by ffmpeg (and mencoder, where it is installed), cut,
// overwritten with noise in the middle and robbed of their index: each copy must decode
// without an error, pass --check as complete, and hold exactly the whole chunks of the
// original that the damage left, as a walk of the test's own and ffprobe count them.
namespace strovanik::testing {
namespace {

#ifndef _WIN32

namespace fs = std::filesystem;

constexpr std::int64_t kNoise = 64 * 1024;

std::string utf8(const fs::path& path) { return container::pathToUtf8(path); }

bool toolsInstalled(const char* check) { return std::system(check) == 0; }

// A chunk of a stream in the original: its stream number, where its header starts and where
// its data ends.
struct Placed {
    int stream = 0;
    std::int64_t at = 0;
    std::int64_t end = 0;
    bool empty = false;  // a frame dropped: ffprobe reads no packet of it
};

std::vector<Placed> streamChunks(const fs::path& file) {
    std::vector<Placed> chunks;
    walkMovieChunks(file, [&](std::string_view id, std::int64_t dataAt, std::int64_t size) {
        if (std::isdigit(static_cast<unsigned char>(id[0])) == 0 ||
            std::isdigit(static_cast<unsigned char>(id[1])) == 0)
            return;
        chunks.push_back(
            {(id[0] - '0') * 10 + (id[1] - '0'), dataAt - 8, dataAt + size, size == 0});
    });
    return chunks;
}

// Packets per stream as ffprobe reads them.
std::map<int, std::int64_t> probedPackets(const fs::path& file) {
    std::istringstream lines(commandOutput(
        "ffprobe -v error -count_packets -show_entries stream=index,nb_read_packets -of csv=p=0 " +
        shellQuoted(file.string())));
    std::map<int, std::int64_t> counts;
    std::string line;
    while (std::getline(lines, line)) {
        const auto comma = line.find(',');
        if (comma == std::string::npos) continue;
        counts[std::stoi(line.substr(0, comma))] = std::stoll(line.substr(comma + 1));
    }
    return counts;
}

// What one damage does to a file, and the bytes of the original it leaves whole.
struct Damage {
    const char* name;
    double cutAt = 1.0;    // the share of the file kept
    bool noise = false;    // kNoise random bytes written at its middle
    bool noIndex = false;  // idx1 and indx renamed JUNK
};

Bytes damaged(const Bytes& original, const Damage& damage) {
    Bytes bytes = original;
    if (damage.noise) {
        std::mt19937 random(27);
        for (std::size_t i = 0; i < kNoise; ++i) {
            bytes[bytes.size() / 2 + i] = static_cast<std::uint8_t>(random());
        }
    }
    if (damage.noIndex) {
        for (const char* id : {"idx1", "indx"}) {
            for (auto at = std::search(bytes.begin(), bytes.end(), id, id + 4); at != bytes.end();
                 at = std::search(at + 4, bytes.end(), id, id + 4)) {
                std::memcpy(&*at, "JUNK", 4);
            }
        }
    }
    bytes.resize(static_cast<std::size_t>(static_cast<double>(bytes.size()) * damage.cutAt));
    return bytes;
}

// Chunks per stream the copy must hold: those of the original wholly before the cut and
// wholly outside the noise; with `packets`, only those ffprobe reads a packet from.
std::map<int, std::int64_t> expectedChunks(const std::vector<Placed>& chunks,
                                           std::int64_t originalSize, std::int64_t keptSize,
                                           bool noise, bool packets) {
    const std::int64_t noiseAt = originalSize / 2;
    std::map<int, std::int64_t> counts;
    for (const Placed& c : chunks) {
        const bool cut = c.end > keptSize;
        const bool hit = noise && c.at < noiseAt + kNoise && c.end > noiseAt;
        counts[c.stream] += (cut || hit || (packets && c.empty)) ? 0 : 1;
    }
    return counts;
}

// Chunks per stream the repair says it kept, from its JSON.
std::map<int, std::int64_t> keptChunks(const std::string& json) {
    std::map<int, std::int64_t> counts;
    const std::string key = "\"chunks\": ";
    int stream = 0;
    for (auto at = json.find(key); at != std::string::npos; at = json.find(key, at + 1)) {
        counts[stream++] = std::stoll(json.substr(at + key.size()));
    }
    return counts;
}

// The data of every chunk named `id` in the bytes (stream formats, names, INFO texts).
std::vector<Bytes> chunksNamed(const Bytes& bytes, const char* id) {
    std::vector<Bytes> found;
    for (auto at = std::search(bytes.begin(), bytes.end(), id, id + 4);
         at != bytes.end() && bytes.end() - at >= 8;
         at = std::search(at + 4, bytes.end(), id, id + 4)) {
        const auto size = static_cast<std::size_t>(at[4] | at[5] << 8 | at[6] << 16 | at[7] << 24);
        if (static_cast<std::size_t>(bytes.end() - at) < 8 + size) break;
        found.emplace_back(at + 8, at + 8 + static_cast<std::ptrdiff_t>(size));
    }
    return found;
}

// The headers' own records before the movie list: everything but the counts stays.
void expectHeadersKept(const Bytes& original, const Bytes& copy) {
    const auto movi = [](const Bytes& b) {
        const char* id = "movi";
        return Bytes(b.begin(), std::search(b.begin(), b.end(), id, id + 4));
    };
    for (const char* id : {"strf", "strn", "ISFT", "vprp"}) {
        EXPECT_EQ(chunksNamed(movi(copy), id), chunksNamed(movi(original), id)) << id;
    }
}

struct Source {
    const char* name;
    std::string make;  // a shell command that writes the file at $OUT
};

std::vector<Source> sources() {
    const std::string input =
        "ffmpeg -nostdin -v error -y -f lavfi -i testsrc=size=320x240:rate=25,noise=alls=20:allf=t "
        "-f lavfi "
        "-i sine=sample_rate=44100 -t 4 -g 12 -b:v 1500k ";
    std::vector<Source> list = {
        {"xvid-packed-mp3",
         input + "-c:v libxvid -bf 2 -vtag XVID -c:a libmp3lame -b:a 64k \"$OUT\""},
        {"h264-ac3", input + "-c:v libx264 -preset ultrafast -crf 20 -c:a ac3 \"$OUT\""},
        {"mpeg4-pcm", input + "-c:v mpeg4 -c:a pcm_s16le \"$OUT\""},
    };
    if (toolsInstalled("mencoder -really-quiet >/dev/null 2>&1; command -v mencoder >/dev/null")) {
        list.push_back({"mencoder-xvid-mp3",
                        "ffmpeg -nostdin -v error -y -f lavfi -i "
                        "testsrc=size=320x240:rate=25,noise=alls=20:allf=t -t 4 -pix_fmt yuv420p "
                        "\"$OUT.y4m\" && ffmpeg -nostdin -v error -y -f lavfi "
                        "-i sine=sample_rate=44100 -t 4 \"$OUT.wav\" && mencoder \"$OUT.y4m\" "
                        "-really-quiet -audiofile \"$OUT.wav\" -ovc xvid -xvidencopts "
                        "packed:max_bframes=2:bitrate=900 -oac mp3lame -o \"$OUT\" "
                        ">/dev/null 2>&1"});
    }
    return list;
}

const Damage kDamages[] = {
    {"cut at 23%", 0.23},           {"cut at 61%", 0.61},
    {"cut at 97%", 0.97},           {"64 KB of noise in the middle", 1.0, true},
    {"no index", 1.0, false, true}, {"noise, no index, cut at 80%", 0.8, true, true},
};

TEST(RepairRealFiles, CopiesDecodeAreCompleteAndHoldEveryWholeChunk) {
    if (!toolsInstalled("ffmpeg -version >/dev/null 2>&1 && ffprobe -version >/dev/null 2>&1"))
        GTEST_SKIP() << "ffmpeg and ffprobe are not installed";
    TempFolder folder;
    for (const Source& source : sources()) {
        SCOPED_TRACE(source.name);
        const fs::path file = folder / (std::string(source.name) + ".avi");
        ASSERT_EQ(std::system(("OUT=" + shellQuoted(file.string()) + "; " + source.make).c_str()),
                  0);
        const Bytes original = readFile(file);
        ASSERT_GT(original.size(), 4 * kNoise) << "the noise must fall inside the movie data";
        const std::vector<Placed> chunks = streamChunks(file);
        for (const Damage& damage : kDamages) {
            SCOPED_TRACE(damage.name);
            const fs::path broken = folder / "broken.avi";
            const Bytes bytes = damaged(original, damage);
            writeFile(broken, bytes);
            const fs::path copy = folder / "copy.avi";
            fs::remove(copy);
            const CommandRun run = runInProcess(
                {"--repair", utf8(copy), "--format", "json", "--even-if-complete", utf8(broken)});
            // A damage the check does not see (noise inside the chunks its index samples
            // skip) is repaired all the same.
            ASSERT_EQ(run.status, 0) << run.err << run.out;
            EXPECT_NE(run.out.find("\"verdict\": \"complete\""), std::string::npos) << run.out;

            const auto expectedOf = [&](bool packets) {
                return expectedChunks(chunks, static_cast<std::int64_t>(original.size()),
                                      static_cast<std::int64_t>(bytes.size()), damage.noise,
                                      packets);
            };
            EXPECT_EQ(keptChunks(run.out), expectedOf(false));
            const auto expected = expectedOf(true);
            EXPECT_EQ(probedPackets(copy), expected);
            if (!damage.noise && !damage.noIndex) {
                // ffprobe reads the chunk cut short too, if there is one.
                auto probed = probedPackets(broken);
                for (const Placed& c : chunks) {
                    if (c.at + 8 <= static_cast<std::int64_t>(bytes.size()) &&
                        c.end > static_cast<std::int64_t>(bytes.size()))
                        --probed[c.stream];
                }
                EXPECT_EQ(probed, expected);
            }
            EXPECT_EQ(commandOutput("ffmpeg -nostdin -v error -i " + shellQuoted(copy.string()) +
                                    " -f null - 2>&1"),
                      "");
            const CommandRun check = runInProcess({"--check", "--layout", "english", utf8(copy)});
            EXPECT_EQ(check.status, 0) << check.out;
            EXPECT_NE(check.out.find(": complete, "), std::string::npos) << check.out;
            // The counts are true: the headers agree with the chunks.
            for (const char* untrue : {"stream-length-mismatch", "frame-count-mismatch"}) {
                EXPECT_EQ(check.out.find(untrue), std::string::npos) << check.out;
            }
            expectHeadersKept(original, readFile(copy));
        }
    }
}

// A cut file written as OpenDML in RIFFs of 64 KiB: AVIX segments, super and standard indexes,
// read by ffprobe to the last chunk kept.
TEST(RepairRealFiles, AnOpenDmlCopyIsReadToItsEnd) {
    if (!toolsInstalled("ffmpeg -version >/dev/null 2>&1 && ffprobe -version >/dev/null 2>&1"))
        GTEST_SKIP() << "ffmpeg and ffprobe are not installed";
    TempFolder folder;
    const fs::path file = folder / "film.avi";
    ASSERT_EQ(std::system(("ffmpeg -nostdin -v error -y -f lavfi -i testsrc=size=96x64:rate=25 -f "
                           "lavfi -i sine=sample_rate=44100 -t 6 -c:v mpeg4 -c:a pcm_s16le " +
                           shellQuoted(file.string()))
                              .c_str()),
              0);
    const Bytes original = readFile(file);
    const fs::path cut = folder / "cut.avi";
    writeFile(cut, Bytes(original.begin(),
                         original.begin() + static_cast<std::ptrdiff_t>(original.size() * 3 / 4)));
    for (const std::int64_t riff : {std::int64_t{64} << 10, std::int64_t{300} << 10}) {
        SCOPED_TRACE(riff);
        auto opened = container::FileSource::open(utf8(cut));
        ASSERT_TRUE(opened.source);
        container::RepairOptions options;
        options.openDmlAbove = riff;
        container::RepairResult result;
        std::string problem;
        const fs::path copy = folder / "copy.avi";
        ASSERT_TRUE(container::replaceFileWithRepairedCopy(utf8(copy), *opened.source, options, {},
                                                           result, problem))
            << problem;
        EXPECT_TRUE(result.openDml);
        EXPECT_GT(result.riffs, riff < (100 << 10) ? 3 : 1);
        const auto expected =
            expectedChunks(streamChunks(file), static_cast<std::int64_t>(original.size()),
                           static_cast<std::int64_t>(original.size() * 3 / 4), false, true);
        EXPECT_EQ(probedPackets(copy), expected);
        EXPECT_EQ(commandOutput("ffmpeg -nostdin -v error -i " + shellQuoted(copy.string()) +
                                " -f null - 2>&1"),
                  "");
        const double seconds =
            std::stod(commandOutput("ffprobe -v error -show_entries format=duration -of csv=p=0 " +
                                    shellQuoted(copy.string())));
        EXPECT_NEAR(seconds, result.seconds, 0.05);
        const CommandRun check = runInProcess({"--check", "--layout", "english", utf8(copy)});
        EXPECT_NE(check.out.find(": complete, "), std::string::npos) << check.out;
        const CommandRun json = runInProcess({"--check", "--format", "json", utf8(copy)});
        EXPECT_NE(json.out.find("\"index\":\"odml\""), std::string::npos) << json.out;
    }
}

#endif

}  // namespace
}  // namespace strovanik::testing
