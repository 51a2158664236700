// Replays every stored fuzzer input (the seed corpus, the inputs the fuzzers kept, and every
// input that once crashed or stalled a fuzzer) through the fuzzers' own entry functions, so
// that the ordinary and the sanitizer builds keep them mended.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "fuzzing/fuzz_entries.h"
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

// The entry functions must notice a broken rule, or the replays above prove nothing: an
// empty input and a lone control byte are valid inputs, and every seed stays clean.
TEST(FuzzReplay, EntriesAcceptTheirEdgeInputs) {
    const std::uint8_t none = 0;
    EXPECT_EQ(analyseBytes(&none, 0), "");
    const std::uint8_t lone[] = {0xFF};
    EXPECT_EQ(analyseBytes(lone, 1), "");
    EXPECT_EQ(shapeNumbers(&none, 0), "");
}

}  // namespace
}  // namespace strovanik::fuzzing
