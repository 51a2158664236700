#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "cli/command_run.h"
#include "container/text_encoding.h"
#include "support/avi_writer.h"

// strovanik-report --repair OUT FILE: what it refuses, what it leaves untouched, and what it
// says of a copy it wrote, in each language and as JSON.
namespace strovanik::testing {
namespace {

namespace fs = std::filesystem;

std::string utf8(const fs::path& path) { return container::pathToUtf8(path); }

// A file whose movie list holds two pictures, then 200 bytes that are no chunk, then two more,
// and no index.
Bytes damagedAvi() {
    Bytes picture(40, 0x33);  // an MPEG-4 I-VOP
    picture[0] = 0;
    picture[1] = 0;
    picture[2] = 1;
    picture[3] = 0xB6;
    picture[4] = 0;
    const Bytes v = chunk("00dc", picture);
    const Bytes a = chunk("01wb", Bytes(100, 7));
    const Bytes movi = list("movi", {v, a, v, Bytes(200, 0xEE), v, a, v, a});
    return riff("AVI ", {list("hdrl", {chunk("avih", mainHeaderData({})), videoStreamList({}),
                                       audioStreamList({})}),
                         movi});
}

TEST(RepairCommand, RefusalsLeaveEveryFileAsItWas) {
    TempFolder folder;
    const fs::path file = folder / "film.avi";
    writeFile(file, damagedAvi());
    const Bytes original = readFile(file);
    // A repaired copy is whole.
    const fs::path whole = folder / "whole.avi";
    ASSERT_EQ(runInProcess({"--repair", utf8(whole), utf8(file)}).status, 0);
    const fs::path existing = folder / "existing.avi";
    writeFile(existing, Bytes{1, 2, 3});
    const fs::path ogg = folder / "sound.ogg";
    writeFile(ogg, concat({text("OggS"), Bytes(60, 0)}));
    // Where the system makes no links, as under Wine, the case of the link is left out.
    const fs::path link = folder / "link.avi";
    std::error_code noLinks;
    fs::create_symlink(file, link, noLinks);
    const bool linked = !noLinks;
    const fs::path fresh = folder / "fresh.avi";

    struct Case {
        const char* name;
        std::vector<std::string> args;
        int status;
        const char* says;
    };
    std::vector<Case> cases = {
        {"an existing OUT", {"--repair", utf8(existing), utf8(file)}, 1, "--force"},
        {"OUT is FILE", {"--repair", utf8(file), utf8(file), "--force"}, 1, "itself"},
        {"FILE is missing", {"--repair", utf8(fresh), utf8(folder / "none.avi")}, 1, "no such"},
        {"FILE is not an AVI file", {"--repair", utf8(fresh), utf8(ogg)}, 1, "not an AVI"},
        {"FILE needs no repair", {"--repair", utf8(fresh), utf8(whole)}, 0, "--even-if-complete"},
        {"two files", {"--repair", utf8(fresh), utf8(file), utf8(file)}, 2, "exactly one"},
        {"with --check", {"--repair", utf8(fresh), "--check", utf8(file)}, 2, "exactly one"},
    };
    if (linked) {
        cases.push_back(
            {"OUT is a link to FILE", {"--repair", utf8(link), utf8(file), "--force"}, 1, "itself"});
    }
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const CommandRun run = runInProcess(c.args);
        EXPECT_EQ(run.status, c.status);
        EXPECT_NE(run.err.find(c.says), std::string::npos) << run.err;
        EXPECT_EQ(run.out, "");
        EXPECT_EQ(readFile(file), original);
        EXPECT_EQ(readFile(existing), (Bytes{1, 2, 3}));
        EXPECT_EQ(fs::is_symlink(link), linked);
        EXPECT_FALSE(fs::exists(fresh));
    }
    // Nothing but the files of the test is left in the folder: no temporary file.
    EXPECT_EQ(std::distance(fs::directory_iterator(folder.path()), fs::directory_iterator{}),
              linked ? 5 : 4);

    const CommandRun forced = runInProcess({"--repair", utf8(existing), utf8(file), "--force"});
    EXPECT_EQ(forced.status, 0) << forced.err;
    EXPECT_GT(readFile(existing).size(), 3u);
    EXPECT_EQ(readFile(file), original);
    const CommandRun anyway =
        runInProcess({"--repair", utf8(fresh), "--even-if-complete", utf8(whole)});
    EXPECT_EQ(anyway.status, 0) << anyway.err;
    EXPECT_TRUE(fs::exists(fresh));
}

TEST(RepairCommand, SaysWhatItKeptAndLeftOutInTheReportsLanguage) {
    TempFolder folder;
    const fs::path file = folder / "film.avi";
    writeFile(file, damagedAvi());
    const fs::path copy = folder / "copy.avi";
    // The damage begins with the picture before the bytes that are no chunk: its end may be
    // lost.
    const Bytes bytes = readFile(file);
    const std::string at =
        std::to_string(std::find(bytes.begin(), bytes.end(), 0xEE) - bytes.begin() - 48);
    const struct {
        std::vector<std::string> options;
        std::vector<std::string> lines;
    } cases[] = {
        {{"--layout", "english"},
         {": repaired copy (AVI 1.0), 0.12 s, complete\n",
          "    stream 0 (vids): 3 chunks kept, 3 key frames, length 3\n",
          "    stream 1 (auds): 3 chunks kept, 3 key frames, length 300\n",
          "    left out: 248 bytes at byte " + at + " (damage)\n"}},
        {{},
         {": 복구본 (AVI 1.0), 길이 0.12초, 정상\n",
          "    스트림 0 (vids): 청크 3개 남김, 키 프레임 3개, 길이 3\n",
          "    뺀 부분: " + at + "번째 바이트부터 248바이트 (손상)\n"}},
        {{"--format", "json"},
         {"\"form\": \"avi\"", "\"chunks\": 3", "\"leftOut\": [", "\"offset\": " + at,
          "\"bytes\": 248", "\"reason\": \"damage\"", "\"verdict\": \"complete\""}},
    };
    for (const auto& c : cases) {
        std::vector<std::string> args = {"--repair", utf8(copy), "--force", utf8(file)};
        args.insert(args.end(), c.options.begin(), c.options.end());
        const CommandRun run = runInProcess(args);
        EXPECT_EQ(run.status, 0) << run.err;
        EXPECT_EQ(run.err, "");
        for (const std::string& line : c.lines) {
            EXPECT_NE(run.out.find(line), std::string::npos) << line << "\nin\n" << run.out;
        }
    }
}

}  // namespace
}  // namespace strovanik::testing
