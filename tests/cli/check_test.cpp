#include <gtest/gtest.h>

#include <filesystem>
#include <nlohmann/json.hpp>
#include <set>
#include <string>
#include <vector>

#include "cli/batch_fixture.h"

// --check: the verdict lines, their exit statuses, and the inspection in JSON and CSV.
namespace strovanik::testing {
namespace {

using nlohmann::json;

const std::filesystem::path kSamples = std::filesystem::path(STROVANIK_SOURCE_DIR) / "samples";

struct Files {
    Collection c;
    std::string whole = (kSamples / "silent.avi").string();
    std::string cut;
    std::string damaged;  // the writer's plan counts 250 frames over an index of one
    std::string ogg;
    std::string missing;
    Files() {
        const Bytes sample = readFile(kSamples / "mp3_sound.avi");
        cut = c.write("cut.avi", Bytes(sample.begin(), sample.begin() + 10'000));
        damaged = c.avi("damaged.avi");
        ogg = c.write("ogg.avi", oggBytes());
        missing = (c.root() / "missing.avi").string();
    }
};

TEST(Check, OneVerdictLinePerFileAndItsStatus) {
    const Files f;
    const struct {
        std::string path;
        std::vector<std::string> options;
        int status;
        std::string lineStart;  // after "PATH: "
    } cases[] = {
        {f.whole,
         {"--layout", "english"},
         0,
         "complete, 1.00 s, plays 1.00 s, MPEG-4 Visual Simple@L1 (libavcodec 59.37.100), 176 x "
         "144"},
        {f.whole, {}, 0, "정상, 길이 1.00초, 재생 1.00초"},
        {f.cut, {"--layout", "english"}, 4, "truncated, 2.04 s, plays 0."},
        {f.cut, {"--layout", "brief"}, 4, "잘림, 길이 2.04초"},
        {f.damaged, {"--layout", "english"}, 4, "damaged, "},
        {f.ogg, {}, 1, ""},
        {f.missing, {}, 1, ""},
    };
    for (const auto& c : cases) {
        std::vector<std::string> args = {"--check"};
        args.insert(args.end(), c.options.begin(), c.options.end());
        args.push_back(c.path);
        const CommandRun run = runInProcess(args);
        EXPECT_EQ(run.status, c.status) << c.path;
        const auto lines = linesOf(run.out);
        if (c.lineStart.empty()) {
            EXPECT_TRUE(lines.empty()) << run.out;
            EXPECT_FALSE(run.err.empty()) << c.path;
            continue;
        }
        ASSERT_FALSE(lines.empty()) << c.path;
        EXPECT_EQ(lines[0].rfind(c.path + ": " + c.lineStart, 0), 0u) << lines[0];
        // Findings stand indented below, one a line, each with its code.
        EXPECT_EQ(lines.size() > 1, c.status == 4) << run.out;
        for (std::size_t i = 1; i < lines.size(); ++i) {
            EXPECT_EQ(lines[i].rfind("    ", 0), 0u) << lines[i];
        }
    }
    // With several files the highest status wins, and the lines come in order.
    const CommandRun all = runInProcess({"--check", f.whole, f.cut, f.ogg});
    EXPECT_EQ(all.status, 4);
    EXPECT_EQ(all.out.find(f.whole), 0u);
    EXPECT_LT(all.out.find(f.whole), all.out.find(f.cut));
}

TEST(Check, JsonRecordsHoldTheInspection) {
    const Files f;
    const CommandRun run = runInProcess({"--check", "--format", "json", f.whole, f.cut, f.ogg});
    EXPECT_EQ(run.status, 4);
    const json all = json::parse(run.out);
    ASSERT_EQ(all.size(), 3u);
    for (const json& r : all) {
        std::set<std::string> keys;
        for (const auto& [key, value] : r.items()) keys.insert(key);
        EXPECT_EQ(keys, (std::set<std::string>{"path", "kind", "inspection"})) << r.dump();
    }
    EXPECT_TRUE(all[2].at("inspection").is_null());
    const json& cut = all[1].at("inspection");
    EXPECT_EQ(cut.at("verdict"), "truncated");
    EXPECT_EQ(cut.at("findings").at(0).at("code"), "truncated");
    std::set<std::string> keys;
    for (const auto& [key, value] : cut.items()) keys.insert(key);
    EXPECT_EQ(keys, (std::set<std::string>{"verdict", "durationSeconds", "playableSeconds",
                                           "presentPercent", "index", "writer", "unknownChunks",
                                           "streams", "findings"}));
    const json& stream = all[0].at("inspection").at("streams").at(0);
    EXPECT_EQ(stream.at("type"), "vids");
    EXPECT_TRUE(stream.at("formatTag").is_null());
    EXPECT_EQ(stream.at("presentChunks"), stream.at("indexedChunks"));

    // Without --check the record keeps its report and carries the same inspection.
    const json full = json::parse(runInProcess({"--format", "json", f.cut}).out).at(0);
    EXPECT_TRUE(full.contains("report"));
    EXPECT_EQ(full.at("inspection"), cut);
}

TEST(Check, TheReportAndItsStatusStayWithoutCheck) {
    const Files f;
    const CommandRun checked = runInProcess({"--check", f.cut});
    const CommandRun reported = runInProcess({f.cut});
    EXPECT_EQ(checked.status, 4);
    EXPECT_EQ(reported.status, 0);  // the report answers from the headers, which are whole
    EXPECT_EQ(reported.out.rfind("    파    일    명   :  cut.avi\r\n", 0), 0u);
}

}  // namespace
}  // namespace strovanik::testing
