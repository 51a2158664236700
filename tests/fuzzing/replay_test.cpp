// Replays every stored fuzzer input (the seed corpus, the inputs the fuzzers kept, and every
// input that once crashed or stalled a fuzzer) through the fuzzers' own entry functions, so
// that the ordinary and the sanitizer builds keep them mended.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "fuzzing/audio_bitstream_entry.h"
#include "fuzzing/fuzz_entries.h"
#include "fuzzing/video_bitstream_entry.h"
#include "support/avi_writer.h"

namespace strovanik::fuzzing {
namespace {

namespace fs = std::filesystem;

const fs::path kFuzzFolder = fs::path(STROVANIK_SOURCE_DIR) / "tests" / "fuzzing";

// The inputs of a folder, in name order; notes and hidden files are no inputs.
std::vector<fs::path> inputsIn(const fs::path& folder, std::string_view extension = {}) {
    std::vector<fs::path> inputs;
    std::error_code error;
    for (const auto& entry : fs::directory_iterator(folder, error)) {
        const std::string name = entry.path().filename().string();
        if (!entry.is_regular_file() || name.starts_with('.') || name.ends_with(".md")) continue;
        if (!extension.empty() && entry.path().extension() != extension) continue;
        inputs.push_back(entry.path());
    }
    std::sort(inputs.begin(), inputs.end());
    return inputs;
}

using Entry = std::function<std::string(const std::uint8_t*, std::size_t)>;

// Runs each input; returns how many there were.
std::size_t replay(const std::vector<fs::path>& inputs, const Entry& entry) {
    for (const fs::path& input : inputs) {
        const testing::Bytes bytes = testing::readFile(input);
        EXPECT_EQ(entry(bytes.data(), bytes.size()), "") << input;
    }
    return inputs.size();
}

TEST(FuzzReplay, AnalysisCorpus) {
    EXPECT_GE(replay(inputsIn(kFuzzFolder / "corpus" / "analysis"), analyseBytes), 20u)
        << "the seed corpus is missing";
}

TEST(FuzzReplay, AnalysisRegressions) {
    replay(inputsIn(kFuzzFolder / "regressions" / "analysis"), analyseBytes);
}

TEST(FuzzReplay, WalkCorpus) {
    // The walk's own inputs, and the analysis's, which are AVI files too.
    replay(inputsIn(kFuzzFolder / "corpus" / "walk"), walkBytes);
    EXPECT_GE(replay(inputsIn(kFuzzFolder / "corpus" / "analysis"), walkBytes), 20u);
}

TEST(FuzzReplay, StructureSampleCorpus) {
    // The sample's own inputs, and the walk's and the analysis's, which are AVI files too.
    replay(inputsIn(kFuzzFolder / "corpus" / "structure_sample"), sampleBytes);
    replay(inputsIn(kFuzzFolder / "corpus" / "walk"), sampleBytes);
    EXPECT_GE(replay(inputsIn(kFuzzFolder / "corpus" / "analysis"), sampleBytes), 20u);
}

TEST(FuzzReplay, RepairCorpus) {
    // The repair's own inputs, and the walk's and the analysis's, which are AVI files too.
    replay(inputsIn(kFuzzFolder / "corpus" / "repair"), repairBytes);
    replay(inputsIn(kFuzzFolder / "corpus" / "walk"), repairBytes);
    EXPECT_GE(replay(inputsIn(kFuzzFolder / "corpus" / "analysis"), repairBytes), 20u);
}

TEST(FuzzReplay, SampleFiles) {
    EXPECT_GE(replay(inputsIn(fs::path(STROVANIK_SOURCE_DIR) / "samples", ".avi"), analyseBytes),
              1u);
}

TEST(FuzzReplay, NumberFormsCorpus) {
    EXPECT_GE(replay(inputsIn(kFuzzFolder / "corpus" / "number_forms"), shapeNumbers), 10u)
        << "the seed corpus is missing";
}

TEST(FuzzReplay, NumberFormsRegressions) {
    replay(inputsIn(kFuzzFolder / "regressions" / "number_forms"), shapeNumbers);
}

TEST(FuzzReplay, VideoBitstreamCorpus) {
    // The kept inputs, and the real encoders' first chunks of the bitstream tests.
    replay(inputsIn(kFuzzFolder / "corpus" / "video_bitstream"), identifyVideoBytes);
    EXPECT_GE(replay(inputsIn(kFuzzFolder.parent_path() / "bitstream" / "data", ".chunks"),
                     identifyVideoBytes),
              10u);
}

TEST(FuzzReplay, VideoBitstreamRegressions) {
    replay(inputsIn(kFuzzFolder / "regressions" / "video_bitstream"), identifyVideoBytes);
}

TEST(FuzzReplay, AudioBitstreamCorpus) {
    // The inputs the fuzzer kept, and its seeds: the bitstream tests' real first chunks.
    replay(inputsIn(kFuzzFolder / "corpus" / "audio_bitstream"), identifySoundBytes);
    EXPECT_GE(replay(inputsIn(fs::path(STROVANIK_SOURCE_DIR) / "tests" / "bitstream" / "data",
                              ".chunks"),
                     identifySoundBytes),
              10u)
        << "the seeds are missing";
}

TEST(FuzzReplay, AudioBitstreamRegressions) {
    replay(inputsIn(kFuzzFolder / "regressions" / "audio_bitstream"), identifySoundBytes);
}

// Files full of odml lists whose jumps leave the scan's window: chains through a second list
// to a JUNK chunk, places that straddle the jump blocks' edges, make-info texts that run past
// the end, and jumps scattered at random. The scan must find what the plain scan finds.
TEST(FuzzReplay, OdmlJumpPatterns) {
    using testing::Bytes;
    using testing::code;
    using testing::concat;
    using testing::le32;
    const auto repeat = [](const Bytes& unit, std::size_t length) {
        Bytes out;
        while (out.size() < length) out.insert(out.end(), unit.begin(), unit.end());
        out.resize(length);
        return out;
    };
    const auto aviOf = [](const Bytes& body) {
        Bytes file = concat(
            {code("RIFF"), le32(static_cast<std::int32_t>(body.size() + 4)), code("AVI "), body});
        file.push_back(0);  // the entry's control bytes: whole reads, the real length
        file.push_back(0);
        return file;
    };
    std::vector<std::pair<std::string, Bytes>> files;
    // Every twelve bytes an odml list that jumps 100,008 bytes on, onto another "LIST", whose
    // size sends the second read as far again.
    files.emplace_back("chained lists",
                       aviOf(repeat(concat({code("LIST"), le32(100'000), code("odml")}), 300'000)));
    // Lists and JUNK chunks in turn, so that some chains end at a JUNK chunk.
    files.emplace_back("chains to JUNK",
                       aviOf(repeat(concat({code("LIST"), le32(100'000), code("odml"), code("JUNK"),
                                            le32(100'000), code("odml")}),
                                    300'000)));
    // Jumps whose four bytes, and whose make-info text, straddle the 1 KiB blocks' edges.
    for (const std::int32_t edge : {-3, -2, -1, 0, 1}) {
        Bytes body(200'000, 0x20);
        const std::int64_t p = 13;                      // the odml list right after the RIFF header
        const std::int64_t target = 150 * 1024 + edge;  // 0-based offset of the next chunk id
        const Bytes odml = concat(
            {code("LIST"), le32(static_cast<std::int32_t>(target - p + 1 - 8)), code("odml")});
        std::copy(odml.begin(), odml.end(), body.begin());
        const Bytes junk = code("JUNK");
        std::copy(junk.begin(), junk.end(), body.begin() + (target - 12));
        files.emplace_back("block edge " + std::to_string(edge), aviOf(body));
    }
    // A make-info text whose JUNK chunk starts 20 bytes before the end of the file.
    {
        Bytes body(100'000, 0x41);
        const std::int64_t target = 100'000 + 12 - 20;
        const Bytes odml = concat(
            {code("LIST"), le32(static_cast<std::int32_t>(target - 13 + 1 - 8)), code("odml")});
        std::copy(odml.begin(), odml.end(), body.begin());
        const Bytes junk = code("JUNK");
        std::copy(junk.begin(), junk.end(), body.begin() + (target - 12));
        files.emplace_back("make-info past the end", aviOf(body));
    }
    // Scattered jumps: sizes from a fixed sequence of numbers, into scattered lists and chunks.
    {
        Bytes body(262'144, 0);
        std::uint32_t state = 12345;
        const auto next = [&state] {
            state = state * 1103515245u + 12345u;
            return state >> 8;
        };
        for (std::size_t at = 0; at + 12 <= 40'000; at += 12) {
            const Bytes odml = concat(
                {code("LIST"), le32(static_cast<std::int32_t>(next() % 250'000)), code("odml")});
            std::copy(odml.begin(), odml.end(), body.begin() + static_cast<std::ptrdiff_t>(at));
        }
        for (int island = 0; island < 2'000; ++island) {
            const std::size_t at = 40'000 + next() % (body.size() - 40'008);
            const Bytes chunk =
                island % 2 == 0
                    ? concat({code("LIST"), le32(static_cast<std::int32_t>(next() % 100'000))})
                    : concat({code("JUNK"), le32(35)});
            std::copy(chunk.begin(), chunk.end(), body.begin() + static_cast<std::ptrdiff_t>(at));
        }
        files.emplace_back("scattered jumps", aviOf(body));
    }
    for (const auto& [what, bytes] : files) {
        EXPECT_EQ(analyseBytes(bytes.data(), bytes.size()), "") << what;
    }
}

// The shortest inputs the fuzzers make: nothing at all, and a control byte with no file.
TEST(FuzzReplay, EntriesAcceptTheirEdgeInputs) {
    const std::uint8_t none = 0;
    EXPECT_EQ(analyseBytes(&none, 0), "");
    const std::uint8_t lone[] = {0xFF};
    EXPECT_EQ(analyseBytes(lone, 1), "");
    EXPECT_EQ(shapeNumbers(&none, 0), "");
}

}  // namespace
}  // namespace strovanik::fuzzing
