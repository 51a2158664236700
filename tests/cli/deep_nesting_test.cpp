#include <gtest/gtest.h>

#include <algorithm>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "cli/command_run.h"
#include "container/riff_walk.h"
#include "support/avi_writer.h"
#include "support/small_stack.h"

// Files built to trap a walk that goes one level deeper on the stack for every nested list:
// 100,000 `rec ` lists, each inside the one before, with one frame at the bottom, in an AVI and
// in an AVIX movie list. The walk, --check and --structure-sample run on a thread with a
// 256 KiB stack, and must still tell the truth.
namespace strovanik::testing {
namespace {

constexpr std::size_t kDepth = 100'000;
constexpr std::size_t kSmallStack = 256 * 1024;

Bytes headerList(std::int32_t mainFrames, std::int32_t streamLength) {
    const Bytes strh = concat({code("vids"), code("XVID"), Bytes(12, 0), le32(1), le32(25), le32(0),
                               le32(streamLength), Bytes(20, 0)});
    MainHeaderPlan main;
    main.totalFrames = mainFrames;
    main.streams = 1;
    return list("hdrl", {chunk("avih", mainHeaderData(main)),
                         list("strl", {chunk("strh", strh), chunk("strf", Bytes(40, 0))})});
}

Bytes movieList(const Bytes& chunks) {
    return concat(
        {code("LIST"), le32(static_cast<std::int32_t>(chunks.size() + 4)), code("movi"), chunks});
}

struct DeepFile {
    std::string name;
    Bytes bytes;
    std::int64_t frames;  // the frames the file holds
    int checkStatus;      // --check's exit status
    std::string verdict;
};

std::vector<DeepFile> deepFiles() {
    const Bytes frame = chunk("00dc", Bytes(16, 0x5A));
    const Bytes nested = nestedLists("rec ", kDepth, frame);
    const Bytes idx1 = chunk("idx1", concat({code("00dc"), le32(0x10), le32(4), le32(16)}));
    return {
        // No index: the movie list is walked to count the frame, and the file is damaged for
        // want of an index, nothing else.
        {"deep-avi.avi", riff("AVI ", {headerList(1, 1), movieList(nested)}), 1, 4, "damaged"},
        // idx1 covers the first RIFF: the AVIX movie list is walked. The main header counts the
        // first RIFF's frame only, which is a note.
        {"deep-avix.avi",
         concat({riff("AVI ", {headerList(1, 2), movieList(frame), idx1}),
                 riff("AVIX", {movieList(nested)})}),
         2, 0, "complete"},
    };
}

// The file with the data of its frames made zero: what its structure sample must hold.
Bytes withoutFrameData(Bytes bytes) {
    const Bytes data(16, 0x5A);
    for (auto at = bytes.begin();
         (at = std::search(at, bytes.end(), data.begin(), data.end())) != bytes.end();) {
        std::fill_n(at, data.size(), std::uint8_t{0});
    }
    return bytes;
}

TEST(DeepNesting, WalkCheckAndSampleOnASmallStack) {
    const TempFolder folder;
    for (const DeepFile& file : deepFiles()) {
        SCOPED_TRACE(file.name);
        const std::string path = (folder / file.name).string();
        const std::string samplePath = (folder / ("sample-" + file.name)).string();
        writeFile(path, file.bytes);
        container::RiffWalk walk;
        CommandRun check;
        CommandRun sample;
        runOnSmallStack(kSmallStack, [&] {
            container::MemorySource source(file.bytes);
            walk = container::walkRiff(source);
            check = runInProcess({"--check", "--format", "json", path});
            sample = runInProcess({"--structure-sample", samplePath, path});
        });

        EXPECT_EQ(walk.trouble, container::WalkTrouble::None);
        ASSERT_EQ(walk.streams.size(), 1u);
        EXPECT_EQ(walk.streams[0].presentChunks, file.frames);
        EXPECT_TRUE(walk.movieWalked);

        EXPECT_EQ(check.status, file.checkStatus) << check.err;
        const auto records = nlohmann::json::parse(check.out);
        const auto& inspection = records.at(0).at("inspection");
        EXPECT_EQ(inspection.at("verdict"), file.verdict);
        EXPECT_EQ(inspection.at("streams").at(0).at("presentChunks"), file.frames);

        EXPECT_EQ(sample.status, 0) << sample.err;
        EXPECT_TRUE(readFile(samplePath) == withoutFrameData(file.bytes))
            << "the sample lost a list header or kept frame data";
    }
}

}  // namespace
}  // namespace strovanik::testing
