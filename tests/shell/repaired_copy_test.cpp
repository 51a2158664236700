#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "cli/command_run.h"
#include "container/text_encoding.h"
#include "shell/form1_commands.h"
#include "shell/structure_sample_file.h"
#include "support/avi_writer.h"
#include "tests/shell/recording_port.h"

// 복구본 만들기, from the report box's context menu and the check dialog: driven through the
// recording port and held against what strovanik-report --repair writes for the same file.
namespace strovanik::testing {
namespace {

namespace fs = std::filesystem;
using shell::ControlId;

const fs::path kSamples = fs::path(STROVANIK_SOURCE_DIR) / "samples";

std::string utf8(const fs::path& path) { return container::pathToUtf8(path); }

// A file of `count` pictures of `size` bytes and no index: damaged, and repairable.
Bytes withoutIndex(int count, std::size_t size) {
    Bytes movi = text("movi");
    for (int i = 0; i < count; ++i) {
        const Bytes c = chunk("00dc", Bytes(size, static_cast<std::uint8_t>(i)));
        movi.insert(movi.end(), c.begin(), c.end());
    }
    VideoPlan video;
    video.compression = "MJPG";
    MainHeaderPlan main;
    main.streams = 1;
    return riff("AVI ",
                {list("hdrl", {chunk("avih", mainHeaderData(main)), videoStreamList(video)}),
                 concat({text("LIST"), le32(static_cast<std::int32_t>(movi.size())), movi})});
}

struct Window {
    Window() {
        const Bytes sample = readFile(kSamples / "mp3_sound.avi");
        writeFile(whole, readFile(kSamples / "silent.avi"));
        writeFile(cut, Bytes(sample.begin(),
                             sample.begin() + static_cast<std::ptrdiff_t>(sample.size() * 2 / 3)));
    }
    void open(const fs::path& path) {
        port.openAnswers.push_back(utf8(path));
        commands.click(ControlId::Command1);
        port.messages.clear();
    }
    // The copy through the save dialog's answer, and the yes/no answer when it is asked.
    void repair(const fs::path& target, bool replace = false) {
        port.messages.clear();
        port.questions.clear();
        port.saveAnswers.push_back(utf8(target));
        port.yesNoAnswers.push_back(replace);
        commands.makeRepairedCopy();
        port.yesNoAnswers.clear();
        port.saveAnswers.clear();
    }

    TempFolder folder;
    fs::path whole = folder / "whole.avi";
    fs::path cut = folder / "cut.avi";
    shell::ViewerState state;
    RecordingPort port;
    shell::Form1Commands commands{state, port};
};

TEST(RepairedCopy, TheProposedName) {
    const struct {
        const char* bare;
        const char* proposed;
    } cases[] = {
        {"film.avi", "film_repaired.avi"},
        {"FILM.AVI", "FILM_repaired.avi"},
        {"영화.Avi", "영화_repaired.avi"},
        {"clip.mkv", "clip.mkv_repaired.avi"},
        {"", "_repaired.avi"},
    };
    for (const auto& c : cases) EXPECT_EQ(shell::repairedCopyName(c.bare), c.proposed);
}

TEST(RepairedCopy, WritesWhatTheCommandLineWritesAndSaysSoInKorean) {
    Window w;
    w.open(w.cut);
    const fs::path target = w.folder / "window.avi";
    w.repair(target);
    ASSERT_EQ(w.port.saveRequests.size(), 1u);
    EXPECT_EQ(w.port.saveRequests[0].proposedName, "cut_repaired.avi");
    EXPECT_EQ(w.port.saveRequests[0].title, shell::kRepairDialogTitle);
    EXPECT_FALSE(w.port.saveRequests[0].confirmReplace) << "the command asks itself";
    EXPECT_TRUE(w.port.questions.empty()) << "a new file needs no question";
    const fs::path reference = w.folder / "cli.avi";
    const CommandRun run = runInProcess({"--repair", utf8(reference), utf8(w.cut)});
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(readFile(target), readFile(reference));
    ASSERT_EQ(w.port.messages.size(), 1u);
    const std::string& message = w.port.messages[0];
    EXPECT_EQ(message.rfind(std::string(shell::kMessageRepairWritten) + "\n" + utf8(target), 0), 0u)
        << message;
    // What the command line prints in Korean, under the copy's name (after "NAME: ", since a
    // Windows name has a colon of its own).
    const std::string printed = run.out.substr(run.out.find(": "));
    EXPECT_NE(message.find(printed), std::string::npos) << message << "\n" << printed;
    EXPECT_TRUE(w.port.progressTexts.empty()) << "a short repair shows no progress";
}

TEST(RepairedCopy, OfferedByTheCheckDialogOfAFileThatNeedsIt) {
    Window w;
    w.open(w.cut);
    w.port.inspectionChoices.push_back(shell::InspectionChoice::Repair);
    w.port.saveAnswers.push_back(utf8(w.folder / "from_dialog.avi"));
    w.commands.checkFile();
    ASSERT_EQ(w.port.inspections.size(), 1u);
    EXPECT_TRUE(w.port.inspections[0].offersRepair);
    EXPECT_TRUE(fs::exists(w.folder / "from_dialog.avi"));

    // A complete file: no button, and the command says there is nothing to repair.
    w.open(w.whole);
    w.port.saveRequests.clear();
    w.commands.checkFile();
    ASSERT_EQ(w.port.inspections.size(), 2u);
    EXPECT_FALSE(w.port.inspections[1].offersRepair);
    w.repair(w.folder / "never.avi");
    EXPECT_TRUE(w.port.saveRequests.empty());
    ASSERT_EQ(w.port.messages.size(), 1u);
    EXPECT_NE(w.port.messages[0].find("복구할 것이 없"), std::string::npos) << w.port.messages[0];
    EXPECT_FALSE(fs::exists(w.folder / "never.avi"));
}

TEST(RepairedCopy, AnExistingFileOnlyAfterYesAndNeverTheAnalysedFile) {
    Window w;
    w.open(w.cut);
    const Bytes analysed = readFile(w.cut);
    const fs::path target = w.folder / "taken.avi";
    writeFile(target, Bytes(10, 0xEE));

    w.repair(target, false);
    EXPECT_EQ(w.port.questions,
              std::vector<std::string>{std::string(shell::kQuestionReplaceSample)});
    EXPECT_TRUE(w.port.messages.empty());
    EXPECT_EQ(readFile(target), Bytes(10, 0xEE));

    w.repair(target, true);
    EXPECT_EQ(w.port.questions.size(), 1u);
    EXPECT_GT(readFile(target).size(), 10u);

    std::vector<fs::path> selves{w.cut};
    std::error_code noLinks;
    fs::create_symlink(w.cut, w.folder / "link.avi", noLinks);
    if (!noLinks) selves.push_back(w.folder / "link.avi");
    for (const fs::path& itself : selves) {
        w.repair(itself, true);
        EXPECT_TRUE(w.port.questions.empty()) << itself;
        ASSERT_EQ(w.port.messages.size(), 1u);
        EXPECT_EQ(w.port.messages[0].rfind(shell::kMessageRepairFailed, 0), 0u);
    }
    EXPECT_EQ(readFile(w.cut), analysed);
}

TEST(RepairedCopy, ALongRepairShowsItsProgressAndACancelLeavesNoFile) {
    Window w;
    const fs::path big = w.folder / "big.avi";
    writeFile(big, withoutIndex(24, 1 << 20));
    w.open(big);
    w.commands.setProgressDelay(std::chrono::milliseconds(0));
    const struct {
        std::size_t stepsBeforeCancel;
        bool written;
    } cases[] = {{SIZE_MAX, true}, {1, false}};
    for (const auto& c : cases) {
        const fs::path target = w.folder / (c.written ? "done.avi" : "cancelled.avi");
        w.port.progressTexts.clear();
        w.port.progressSteps.clear();
        w.port.progressStepsBeforeCancel = c.stepsBeforeCancel;
        w.repair(target);
        EXPECT_EQ(w.port.progressTexts,
                  std::vector<std::string>{std::string(shell::kRepairProgressText)});
        EXPECT_FALSE(w.port.progressOpen);
        ASSERT_FALSE(w.port.progressSteps.empty());
        EXPECT_TRUE(std::is_sorted(w.port.progressSteps.begin(), w.port.progressSteps.end()));
        EXPECT_LE(w.port.progressSteps.back(), 100);
        EXPECT_EQ(fs::exists(target), c.written);
        ASSERT_EQ(w.port.messages.size(), 1u);
        EXPECT_EQ(w.port.messages[0].rfind(
                      c.written ? shell::kMessageRepairWritten : shell::kMessageRepairFailed, 0),
                  0u);
    }
    // Nothing but the test's files and the one copy: no temporary file.
    EXPECT_EQ(std::distance(fs::directory_iterator(w.folder.path()), fs::directory_iterator{}), 4);
}

}  // namespace
}  // namespace strovanik::testing
