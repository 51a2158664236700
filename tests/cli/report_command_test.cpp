#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <set>
#include <string>
#include <vector>

#include "cli/command_run.h"
#include "container/text_encoding.h"
#include "report/analysis.h"
#include "support/avi_writer.h"

// The contract of strovanik-report as scripts see it: which bytes reach stdout, which lines
// reach stderr, and the exit status.
namespace strovanik::testing {
namespace {

namespace fs = std::filesystem;
using report::ReportLayout;

constexpr std::string_view kUnknownMessage = "AVI형식이 아니거나 알수없는 형식입니다";

class ReportCommand : public ::testing::Test {
protected:
    std::string write(std::string_view name, const Bytes& bytes) {
        const fs::path path = folder_ / name;
        writeFile(path, bytes);
        return container::pathToUtf8(path);
    }

    std::string writeAvi(std::string_view name, const AviPlan& plan = {}) {
        return write(name, buildAvi(plan));
    }

    // A file whose scan gives up: its odml list claims a size that runs past any position.
    std::string writeAbandoned(std::string_view name) {
        const Bytes absurdOdml = concat({text("LIST"), le32(0x7FFFFFF0), text("odml")});
        const Bytes hdrl = list("hdrl", {chunk("avih", mainHeaderData({})), videoStreamList({}),
                                         audioStreamList({}), absurdOdml});
        return write(name, riff("AVI ", {hdrl, list("movi", {chunk("00dc", Bytes(16, 1))})}));
    }

    TempFolder folder_;
};

// --- layouts --------------------------------------------------------------------------------

TEST_F(ReportCommand, EachLayoutPrintsTheAnalysisReportUnchanged) {
    const std::string path = writeAvi("movie.avi");
    const struct {
        std::vector<std::string> options;
        ReportLayout layout;
        std::string_view firstLine;
    } cases[] = {
        {{}, ReportLayout::KoreanDetailed, "    파    일    명   :  movie.avi\r\n"},
        {{"--layout", "korean"},
         ReportLayout::KoreanDetailed,
         "    파    일    명   :  movie.avi\r\n"},
        {{"--layout", "english"}, ReportLayout::English, "    Filename  : movie.avi\r\n"},
        {{"--layout=brief"}, ReportLayout::KoreanBrief, "    파    일    명   :  movie.avi\r\n"},
        {{"--encoding", "utf-8", "--layout", "english"}, ReportLayout::English, "    Filename  : "},
    };
    std::set<std::string> distinct;
    for (const auto& c : cases) {
        std::vector<std::string> args = c.options;
        args.push_back(path);
        SCOPED_TRACE(::testing::PrintToString(args));
        const CommandRun run = runInProcess(args);
        EXPECT_EQ(run.status, 0);
        EXPECT_EQ(run.err, "");
        const report::Outcome expected = report::analyseFile(path, "movie.avi", c.layout);
        ASSERT_TRUE(expected.complete);
        EXPECT_EQ(run.out, expected.report);
        EXPECT_TRUE(run.out.starts_with(c.firstLine));
        EXPECT_TRUE(run.out.ends_with("\r\n"));
        EXPECT_TRUE(onlyCrLfLineEnds(run.out));
        distinct.insert(run.out);
    }
    EXPECT_EQ(distinct.size(), 3u) << "the three layouts must differ";
}

TEST_F(ReportCommand, OptionsMayFollowTheFile) {
    const std::string path = writeAvi("movie.avi");
    const CommandRun after = runInProcess({path, "--layout", "english"});
    const CommandRun before = runInProcess({"--layout", "english", path});
    EXPECT_EQ(after.status, 0);
    EXPECT_EQ(after.out, before.out);
    EXPECT_TRUE(after.out.starts_with("    Filename  : movie.avi\r\n"));
}

TEST_F(ReportCommand, DetailedReportOfVideoAndOneSoundHasTwentyLines) {
    const CommandRun run = runInProcess({writeAvi("movie.avi")});
    ASSERT_EQ(run.status, 0);
    EXPECT_EQ(countOf(run.out, "\r\n"), 20u) << run.out;
}

// --- encodings ------------------------------------------------------------------------------

TEST_F(ReportCommand, Cp949OutputIsTheUtf8ReportEncoded) {
    // The Korean file name checks that inserted texts are converted as well as the labels.
    const std::string path = writeAvi("영화.avi");
    for (const std::string layout : {"korean", "brief", "english"}) {
        SCOPED_TRACE(layout);
        const CommandRun utf8 = runInProcess({"--layout", layout, path});
        const CommandRun cp949 = runInProcess({"--layout", layout, "--encoding", "cp949", path});
        ASSERT_EQ(utf8.status, 0);
        EXPECT_EQ(cp949.status, 0);
        EXPECT_EQ(cp949.err, "");
        EXPECT_EQ(cp949.out, container::encodeCp949(utf8.out));
        EXPECT_NE(cp949.out.find("\xBF\xB5\xC8\xAD.avi\r\n"), std::string::npos) << "영화 in CP949";
        EXPECT_EQ(cp949.out.find("\xEC\x98\x81"), std::string::npos) << "no UTF-8 영 left";
        EXPECT_TRUE(onlyCrLfLineEnds(cp949.out));
    }
    const CommandRun korean = runInProcess({"--encoding", "cp949", path});
    // "파" of the first label is C6 C4 in CP949.
    EXPECT_EQ(korean.out.substr(0, 6), "    \xC6\xC4");
    const CommandRun english = runInProcess({"--layout", "english", "--encoding", "cp949", path});
    EXPECT_TRUE(english.out.starts_with("    Filename  : \xBF\xB5\xC8\xAD.avi\r\n"));
}

// --- files that get no report ---------------------------------------------------------------

Bytes withZeros(std::initializer_list<std::uint8_t> first, std::size_t length = 64) {
    Bytes bytes(first);
    bytes.resize(std::max(length, bytes.size()), 0);
    return bytes;
}

TEST_F(ReportCommand, OtherContainersPrintTheirKindsMessageOnly) {
    const struct {
        std::string_view name;
        Bytes bytes;
        std::string_view message;
    } cases[] = {
        {"ogg", concat({text("OggS"), Bytes(60, 0)}),
         "OGG 코덱의 동영상 정보는 알수없습니다.. 죄송^^"},
        {"asf", withZeros({0x30, 0x26, 0xB2, 0x75, 0x8E, 0x66, 0xCF, 0x11}),
         "ASF형식입니다. ASF파일의정보는 알수없습니다"},
        {"mpeg program", withZeros({0x00, 0x00, 0x01, 0xBA, 0x44}),
         "MPG형식입니다. MPG파일의정보는 알수없습니다"},
        {"mpeg video only", withZeros({0x00, 0x00, 0x01, 0xB3}), kUnknownMessage},
        {"video cd", concat({text("RIFF"), le32(52), text("CDXA"), Bytes(52, 0)}),
         "VCD의 DAT형식입니다. DAT파일의정보는 알수없습니다"},
        {"video cd lower case", concat({text("RIFF"), le32(52), text("cdxa"), Bytes(52, 0)}),
         "VCD의 DAT형식입니다. DAT파일의정보는 알수없습니다"},
        {"wave", concat({text("RIFF"), le32(36), text("WAVE"), text("fmt "), Bytes(32, 0)}),
         kUnknownMessage},
        {"riff cut before its form type", concat({text("RIFF"), le32(4)}), kUnknownMessage},
        {"three bytes", text("RIF"), kUnknownMessage},
        {"empty", {}, kUnknownMessage},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string path = write("file.bin", c.bytes);
        for (const std::string encoding : {"utf-8", "cp949"}) {
            const CommandRun run = runInProcess({"--encoding", encoding, path});
            EXPECT_EQ(run.status, 1);
            EXPECT_EQ(run.out, "");
            EXPECT_EQ(run.err, std::string(c.message) + "\n");
        }
    }
}

TEST_F(ReportCommand, MissingFilesAndFoldersGetOneLineAndNothingIsCreated) {
    const struct {
        std::string_view name;
        fs::path path;
    } cases[] = {
        {"missing file", folder_ / "missing.avi"},
        {"file in a missing folder", folder_ / "nowhere" / "missing.avi"},
        {"missing folder", folder_ / "nowhere" / ""},
        {"Korean name", folder_ / "없는 영화.avi"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const CommandRun run = runInProcess({"--layout", "english", c.path.string()});
        EXPECT_EQ(run.status, 1);
        EXPECT_EQ(run.out, "");
        EXPECT_EQ(countOf(run.err, "\n"), 1u) << run.err;
        EXPECT_TRUE(run.err.ends_with("\n"));
        EXPECT_NE(run.err.find(c.path.string()), std::string::npos) << run.err;
        EXPECT_FALSE(fs::exists(c.path));
    }
    EXPECT_TRUE(fs::is_empty(folder_.path())) << "nothing may be created";
}

// --- reports that end early -----------------------------------------------------------------

TEST_F(ReportCommand, IncompleteReportPrintsItsRowsAndExitsThree) {
    // The rows before the failing one are those of the same file with a sound value in the
    // field, so the partial text is the complete one cut at the failing row's label.
    AviPlan noHeight;
    noHeight.main.height = 0;
    AviPlan noFrames;
    noFrames.main.totalFrames = 0;  // a running time of 0 seconds
    const struct {
        std::string_view name;
        AviPlan plan;
        std::string layout;
        std::string_view failingLabel;  // empty: the layout needs no such figure
    } cases[] = {
        {"height 0, English", noHeight, "english", "    Size (Ratio)  : "},
        {"height 0, Korean", noHeight, "korean", "    화면크기 (비율)  : "},
        {"height 0, brief", noHeight, "brief", "    화면크기 (비율)  : "},
        {"0 seconds, English", noFrames, "english", "    Total Rate  :  "},
        {"0 seconds, Korean", noFrames, "korean", "    재 생 전 송 량   :  "},
        {"0 seconds, brief", noFrames, "brief", ""},
    };
    const std::string sound = writeAvi("sound.avi");
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string path = writeAvi("broken.avi", c.plan);
        const CommandRun run = runInProcess({"--layout", c.layout, path});
        if (c.failingLabel.empty()) {
            EXPECT_EQ(run.status, 0);
            EXPECT_EQ(run.err, "");
            continue;
        }
        const std::string complete = runInProcess({"--layout", c.layout, sound}).out;
        const std::size_t cut = complete.find(c.failingLabel);
        ASSERT_NE(cut, std::string::npos);
        std::string expected = complete.substr(0, cut);
        // Only the file name differs before the cut.
        expected.replace(expected.find("sound.avi"), 9, "broken.avi");
        EXPECT_EQ(run.status, 3);
        EXPECT_EQ(run.out, expected);
        EXPECT_EQ(countOf(run.err, "\n"), 1u) << run.err;
        EXPECT_NE(run.err.find(path), std::string::npos) << run.err;

        const CommandRun cp949 = runInProcess({"--layout", c.layout, "--encoding", "cp949", path});
        EXPECT_EQ(cp949.status, 3);
        EXPECT_EQ(cp949.out, container::encodeCp949(expected));
    }
}

TEST_F(ReportCommand, AbandonedScanPrintsNothingAndExitsThree) {
    const std::string path = writeAbandoned("absurd.avi");
    for (const std::string layout : {"english", "korean", "brief"}) {
        SCOPED_TRACE(layout);
        const CommandRun run = runInProcess({"--layout", layout, path});
        EXPECT_EQ(run.status, 3);
        EXPECT_EQ(run.out, "");
        EXPECT_EQ(countOf(run.err, "\n"), 1u) << run.err;
        EXPECT_NE(run.err.find(path), std::string::npos) << run.err;
    }
}

// --- several files --------------------------------------------------------------------------

TEST_F(ReportCommand, SeveralFilesAreHeadedAndTheHighestStatusWins) {
    AviPlan noHeight;
    noHeight.main.height = 0;
    const std::string good = writeAvi("good.avi");
    AviPlan silent;
    silent.audio.clear();
    const std::string other = writeAvi("other.avi", silent);
    const std::string partial = writeAvi("partial.avi", noHeight);
    const std::string empty = writeAbandoned("empty.avi");
    const std::string wave =
        write("sound.wav", concat({text("RIFF"), le32(36), text("WAVE"), Bytes(32, 0)}));
    const std::string missing = (folder_ / "missing.avi").string();

    const struct {
        std::vector<std::string> files;
        int status;
    } cases[] = {
        {{good, other}, 0},
        {{good, partial}, 3},
        {{wave, good}, 1},
        {{good, missing}, 1},
        {{missing, partial, good}, 3},
        {{partial, wave}, 3},
        {{empty, good}, 3},
        {{good, good}, 0},
    };
    for (const std::string layout : {"english", "korean"}) {
        for (const auto& c : cases) {
            SCOPED_TRACE(layout + " " + ::testing::PrintToString(c.files));
            std::string expectedOut;
            std::string expectedErr;
            for (const std::string& file : c.files) {
                const CommandRun alone = runInProcess({"--layout", layout, file});
                expectedOut += "==> " + file + " <==\r\n" + alone.out + "\r\n";
                // Among several files the refusal message, alone without a name, gets one.
                if (file == wave) expectedErr += "strovanik-report: " + file + ": ";
                expectedErr += alone.err;
            }
            std::vector<std::string> args = {"--layout", layout};
            args.insert(args.end(), c.files.begin(), c.files.end());
            const CommandRun run = runInProcess(args);
            EXPECT_EQ(run.status, c.status);
            EXPECT_EQ(run.out, expectedOut);
            EXPECT_EQ(run.err, expectedErr);
        }
    }
    // The heading line itself, byte for byte, right before the report's first label.
    const CommandRun run = runInProcess({good, wave});
    EXPECT_TRUE(
        run.out.starts_with("==> " + good + " <==\r\n    파    일    명   :  good.avi\r\n"));
    EXPECT_TRUE(run.out.ends_with("\r\n\r\n==> " + wave + " <==\r\n\r\n"));
}

// --- help, version and usage errors ---------------------------------------------------------

TEST_F(ReportCommand, HelpAndVersionExitZero) {
    for (const std::string option : {"--help", "-h"}) {
        const CommandRun run = runInProcess({option});
        EXPECT_EQ(run.status, 0) << option;
        EXPECT_NE(run.out.find("--layout"), std::string::npos) << run.out;
        EXPECT_NE(run.out.find("--encoding"), std::string::npos) << run.out;
        EXPECT_NE(run.out.find("cp949"), std::string::npos) << run.out;
    }
    const CommandRun version = runInProcess({"--version"});
    EXPECT_EQ(version.status, 0);
    EXPECT_TRUE(version.out.starts_with("strovanik-report ")) << version.out;
    EXPECT_NE(version.out.find_first_of("0123456789"), std::string::npos) << version.out;
}

TEST_F(ReportCommand, UsageErrorsExitTwoAndAnalyseNothing) {
    const std::string path = writeAvi("movie.avi");
    const std::vector<std::vector<std::string>> cases = {
        {},
        {"--layout", "english"},
        {"--frob", path},
        {"-x", path},
        {"--layout", "french", path},
        {"--layout=", path},
        {"--encoding", "latin1", path},
        {"--encoding", "utf8", path},
        {path, "--layout"},
    };
    for (const auto& args : cases) {
        SCOPED_TRACE(::testing::PrintToString(args));
        const CommandRun run = runInProcess(args);
        EXPECT_EQ(run.status, 2);
        EXPECT_EQ(run.out, "");
        EXPECT_NE(run.err, "");
    }
}

}  // namespace
}  // namespace strovanik::testing
