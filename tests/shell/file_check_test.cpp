#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "cli/command_run.h"
#include "container/text_encoding.h"
#include "shell/form1_commands.h"
#include "shell/structure_sample_file.h"
#include "support/avi_writer.h"
#include "tests/shell/recording_port.h"

// The report box's context menu: the file check and the structure sample, driven through the
// recording port and held against what strovanik-report says and writes for the same file.
namespace strovanik::testing {
namespace {

namespace fs = std::filesystem;
using report::Verdict;
using shell::CheckBox;
using shell::ControlId;

const fs::path kSamples = fs::path(STROVANIK_SOURCE_DIR) / "samples";

struct Window {
    Window() {
        const Bytes sample = readFile(kSamples / "mp3_sound.avi");
        writeFile(whole, readFile(kSamples / "silent.avi"));
        writeFile(cut, Bytes(sample.begin(), sample.begin() + 10'000));
        writeFile(damaged, buildAvi({}));  // 250 frames counted over an index of one
        writeFile(asf, {0x30, 0x26, 0xB2, 0x75, 0x8E, 0x66, 0xCF, 0x11, 0xA6, 0xD9, 0x00, 0xAA});
    }
    void open(const fs::path& path) {
        port.openAnswers.push_back(path.string());
        commands.click(ControlId::Command1);
    }
    void switchTo(bool korean, bool brief) {
        if (port.check1 != korean) {
            port.toggle(CheckBox::Check1);
            commands.click(ControlId::Check1);
        }
        if (port.check2 != brief) {
            port.toggle(CheckBox::Check2);
            commands.click(ControlId::Check2);
        }
    }
    // The sample through the save dialog's answer, and the yes/no answer when it is asked.
    void makeSample(const fs::path& target, bool replace = false) {
        port.messages.clear();
        port.questions.clear();
        port.saveAnswers.push_back(container::pathToUtf8(target));
        port.yesNoAnswers.push_back(replace);
        commands.makeStructureSample();
        port.yesNoAnswers.clear();
    }

    TempFolder folder;
    fs::path whole = folder / "whole.avi";
    fs::path cut = folder / "cut.avi";
    fs::path damaged = folder / "damaged.avi";
    fs::path asf = folder / "clip.asf";
    shell::ViewerState state;
    RecordingPort port;
    shell::Form1Commands commands{state, port};
};

TEST(FileCheck, ShowsWhatCheckPrintsInTheWindowsLanguage) {
    Window w;
    const struct {
        const fs::path& file;
        bool korean, brief;
        std::vector<std::string> layout;
        Verdict verdict;
    } cases[] = {
        {w.whole, true, false, {}, Verdict::Complete},
        {w.whole, false, false, {"--layout", "english"}, Verdict::Complete},
        {w.cut, true, true, {"--layout", "brief"}, Verdict::Truncated},
        {w.cut, false, false, {"--layout", "english"}, Verdict::Truncated},
        {w.damaged, true, false, {}, Verdict::Damaged},
        {w.damaged, false, false, {"--layout", "english"}, Verdict::Damaged},
    };
    for (const auto& c : cases) {
        w.switchTo(c.korean, c.brief);
        w.open(c.file);
        w.port.inspections.clear();
        w.commands.checkFile();
        std::vector<std::string> args = {"--check"};
        args.insert(args.end(), c.layout.begin(), c.layout.end());
        args.push_back(c.file.string());
        const CommandRun run = runInProcess(args);
        ASSERT_FALSE(run.out.empty()) << run.err;
        ASSERT_EQ(w.port.inspections.size(), 1u) << c.file;
        const auto& dialog = w.port.inspections[0];
        EXPECT_EQ(dialog.title, "파일 점검 - " + c.file.filename().string());
        EXPECT_EQ(dialog.text, withCrLf(run.out)) << c.file;
        EXPECT_EQ(dialog.verdict, c.verdict) << c.file;
        EXPECT_TRUE(onlyCrLfLineEnds(dialog.text));
        EXPECT_TRUE(w.port.messages.empty()) << w.port.messages[0];
    }
}

TEST(FileCheck, TheWalkIsMadeOnceALoadAndKeptAcrossTheSwitches) {
    Window w;
    w.open(w.whole);
    w.commands.checkFile();
    // The file is cut after the first check: the same load keeps saying what the walk found,
    // in either language, until the file is loaded again.
    const Bytes sample = readFile(w.whole);
    writeFile(w.whole, Bytes(sample.begin(), sample.begin() + 4'000));
    w.switchTo(false, false);
    w.commands.checkFile();
    w.open(w.whole);
    w.commands.checkFile();
    ASSERT_EQ(w.port.inspections.size(), 3u);
    EXPECT_EQ(w.port.inspections[0].verdict, Verdict::Complete);
    EXPECT_EQ(w.port.inspections[1].verdict, Verdict::Complete);
    EXPECT_NE(w.port.inspections[1].text.find(": complete, "), std::string::npos);
    EXPECT_EQ(w.port.inspections[2].verdict, Verdict::Truncated);
}

TEST(FileCheck, AFileGoneBeforeItsFirstCheckSaysSoInAMessage) {
    Window w;
    w.open(w.whole);
    fs::remove(w.whole);
    w.commands.checkFile();
    EXPECT_TRUE(w.port.inspections.empty());
    ASSERT_EQ(w.port.messages.size(), 1u);
    EXPECT_EQ(w.port.messages[0].rfind(shell::kMessageCheckUnreadable, 0), 0u);
}

TEST(FileCommands, EnabledOnlyWhileAnAviFileIsLoaded) {
    const struct {
        const char* what;
        std::function<void(Window&)> load;
        bool enabled;
    } cases[] = {
        {"no file", [](Window& w) { w.commands.startUp(""); }, false},
        {"an AVI file at start", [](Window& w) { w.commands.startUp(w.whole.string()); }, true},
        {"a damaged AVI file", [](Window& w) { w.open(w.damaged); }, true},
        {"an ASF file", [](Window& w) { w.open(w.asf); }, false},
        {"an ASF file after an AVI file",
         [](Window& w) {
             w.open(w.whole);
             w.open(w.asf);
         },
         false},
        {"a missing file after an AVI file",
         [](Window& w) {
             w.open(w.whole);
             w.open(w.folder / "missing.avi");
         },
         false},
        {"a switch after an ASF file",
         [](Window& w) {
             w.open(w.asf);
             w.switchTo(false, false);
         },
         false},
    };
    for (const auto& c : cases) {
        Window w;
        c.load(w);
        EXPECT_EQ(w.port.fileCommandsEnabled, c.enabled) << c.what;
        EXPECT_EQ(w.commands.fileCommandsEnabled(), c.enabled) << c.what;
        if (c.enabled) continue;
        // Ctrl+I and the menu entries then do nothing at all.
        w.port.messages.clear();
        w.commands.checkFile();
        w.commands.makeStructureSample();
        EXPECT_TRUE(w.port.inspections.empty()) << c.what;
        EXPECT_TRUE(w.port.saveRequests.empty()) << c.what;
        EXPECT_TRUE(w.port.messages.empty()) << c.what;
    }
}

TEST(StructureSample, TheProposedName) {
    const struct {
        const char* bare;
        const char* proposed;
    } cases[] = {
        {"film.avi", "film_structure.avi"},   {"FILM.AVI", "FILM_structure.avi"},
        {"영화.Avi", "영화_structure.avi"},   {"clip.mkv", "clip.mkv_structure.avi"},
        {"avi", "avi_structure.avi"},         {".avi", "_structure.avi"},
        {"a.avi.avi", "a.avi_structure.avi"}, {"", "_structure.avi"},
    };
    for (const auto& c : cases) EXPECT_EQ(shell::structureSampleName(c.bare), c.proposed);
}

TEST(StructureSample, WritesWhatTheCommandLineWrites) {
    Window w;
    for (const fs::path* file : {&w.whole, &w.cut, &w.damaged}) {
        w.open(*file);
        const fs::path target = w.folder / ("window_" + file->filename().string());
        const fs::path reference = w.folder / ("cli_" + file->filename().string());
        w.port.saveRequests.clear();
        w.makeSample(target);
        ASSERT_EQ(w.port.saveRequests.size(), 1u);
        const auto& request = w.port.saveRequests[0];
        EXPECT_EQ(request.initialFolder, w.state.dialogFolder);
        EXPECT_EQ(request.proposedName, file->stem().string() + "_structure.avi");
        EXPECT_FALSE(request.confirmReplace) << "the command asks itself";
        EXPECT_TRUE(w.port.questions.empty()) << "a new file needs no question";
        const CommandRun run =
            runInProcess({"--structure-sample", reference.string(), file->string()});
        ASSERT_NE(run.status, 1) << run.err;
        EXPECT_EQ(readFile(target), readFile(reference)) << *file;
        ASSERT_EQ(w.port.messages.size(), 1u);
        EXPECT_EQ(w.port.messages[0].rfind(shell::kMessageStructureSampleWritten, 0), 0u);
        // The command line's note of a structure it could not follow is the message's too.
        EXPECT_EQ(run.status == 3,
                  w.port.messages[0].find(shell::kMessageStructureKeptFromEnd) != std::string::npos)
            << w.port.messages[0];
    }
}

TEST(StructureSample, AnExistingFileOnlyAfterYesAndNeverTheAnalysedFile) {
    Window w;
    w.open(w.damaged);
    const Bytes analysed = readFile(w.damaged);
    const fs::path target = w.folder / "taken.avi";
    writeFile(target, Bytes(10, 0xEE));

    w.makeSample(target, false);
    EXPECT_EQ(w.port.questions,
              std::vector<std::string>{std::string(shell::kQuestionReplaceSample)});
    EXPECT_TRUE(w.port.messages.empty());
    EXPECT_EQ(readFile(target), Bytes(10, 0xEE));

    w.makeSample(target, true);
    EXPECT_EQ(w.port.questions.size(), 1u);
    EXPECT_EQ(readFile(target).size(), analysed.size());

    // The analysed file, by its own name and through a link: refused before any question.
    // (Where the system makes no links, as under Wine, the name alone.)
    std::vector<fs::path> selves{w.damaged};
    std::error_code noLinks;
    fs::create_symlink(w.damaged, w.folder / "link.avi", noLinks);
    if (!noLinks) selves.push_back(w.folder / "link.avi");
    for (const fs::path& itself : selves) {
        w.makeSample(itself, true);
        EXPECT_TRUE(w.port.questions.empty()) << itself;
        ASSERT_EQ(w.port.messages.size(), 1u);
        EXPECT_EQ(w.port.messages[0], std::string(shell::kMessageStructureSampleFailed) + "\n" +
                                          std::string(shell::kReasonSampleIsTheFile));
    }
    EXPECT_EQ(readFile(w.damaged), analysed);
}

TEST(StructureSample, FailuresSayWhyInAMessage) {
    const struct {
        const char* what;
        std::function<fs::path(Window&)> prepare;  // returns the target
        std::string_view reason;
    } cases[] = {
        {"a folder that does not exist", [](Window& w) { return w.folder / "nowhere" / "s.avi"; },
         shell::kReasonSampleUnwritable},
        {"the analysed file gone",
         [](Window& w) {
             fs::remove(w.whole);
             return w.folder / "s.avi";
         },
         shell::kReasonSourceMissing},
        {"the analysed file no longer an AVI file",
         [](Window& w) {
             writeFile(w.whole, readFile(w.asf));
             return w.folder / "s.avi";
         },
         shell::kReasonNotAvi},
    };
    for (const auto& c : cases) {
        Window w;
        w.open(w.whole);
        const fs::path target = c.prepare(w);
        w.makeSample(target);
        ASSERT_EQ(w.port.messages.size(), 1u) << c.what;
        const std::string expectedStart =
            std::string(shell::kMessageStructureSampleFailed) + "\n" + std::string(c.reason);
        EXPECT_EQ(w.port.messages[0].rfind(expectedStart, 0), 0u) << w.port.messages[0];
        EXPECT_FALSE(fs::exists(target)) << c.what;
    }
}

}  // namespace
}  // namespace strovanik::testing
