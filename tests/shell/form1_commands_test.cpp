#include "shell/form1_commands.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "container/container_kind.h"
#include "container/text_encoding.h"
#include "report/analysis.h"
#include "shell/header_sample.h"
#include "shell/saved_text_encoding.h"
#include "support/avi_writer.h"
#include "tests/shell/recording_port.h"

namespace strovanik::testing {
namespace {

// A saved report as this system writes it: UTF-8 under a UTF-8 locale, the ANSI code page
// (or CP949) on Windows.
std::string savedForm(const std::string& utf8) {
    return shell::encodeSavedText(utf8, shell::systemSavedTextEncoding());
}

namespace fs = std::filesystem;
using container::ContainerKind;
using container::refusalMessage;
using report::ReportLayout;
using shell::CheckBox;
using shell::ControlId;

std::string asString(const Bytes& bytes) { return std::string(bytes.begin(), bytes.end()); }

// A folder's path with the separator it ends in when it is a dialog folder.
std::string withSeparator(const fs::path& folder) { return (folder / "").string(); }

// The bytes that start an ASF file: its header object's GUID.
Bytes asfBytes() {
    return {0x30, 0x26, 0xB2, 0x75, 0x8E, 0x66, 0xCF, 0x11, 0xA6, 0xD9,
            0x00, 0xAA, 0x00, 0x62, 0xCE, 0x6C, 0,    0,    0,    0};
}

// A window of commands over a recording port, with a fresh folder for its files.
struct Bench {
    // An AVI file in the test's folder, and what the analysis says of it in `layout`.
    std::string writeAvi(const fs::path& name, const AviPlan& plan = {}) {
        const fs::path path = folder.path() / name;
        writeFile(path, buildAvi(plan));
        return path.string();
    }
    std::string writeAsf(std::string_view utf8Name) {
        const fs::path path = folder.path() / container::pathFromUtf8(utf8Name);
        writeFile(path, asfBytes());
        return container::pathToUtf8(path);
    }
    static std::string reportOf(const std::string& path, ReportLayout layout,
                                std::optional<std::int64_t> fileSize = std::nullopt) {
        return report::analyseFile(path, report::bareFileName(path), layout, fileSize).report;
    }
    void open(const std::string& path) {
        port.openAnswers.push_back(path);
        commands.click(ControlId::Command1);
    }
    void clickCheck(CheckBox box) {
        port.toggle(box);
        commands.click(box == CheckBox::Check1 ? ControlId::Check1 : ControlId::Check2);
    }
    std::vector<fs::path> folderContents() const {
        std::vector<fs::path> names;
        for (const auto& entry : fs::directory_iterator(folder.path()))
            names.push_back(entry.path());
        std::sort(names.begin(), names.end());
        return names;
    }

    void makeSample() {
        port.messages.clear();
        commands.click(ControlId::Command5);
    }

    TempFolder folder;
    shell::ViewerState state;
    RecordingPort port;
    shell::Form1Commands commands{state, port};
};

class CommandsTest : public ::testing::Test, public Bench {};

TEST_F(CommandsTest, StartWithoutAPathShowsTheEmptyWindow) {
    commands.startUp("");
    EXPECT_EQ(port.caption, "Strovanik v1.75^^");
    EXPECT_EQ(state.windowCaption, "Strovanik v1.75^^");
    EXPECT_FALSE(state.fileLoaded());
    EXPECT_EQ(state.dialogFolder, "");
    EXPECT_EQ(port.reportWrites, 0);
    EXPECT_TRUE(port.messages.empty());
}

TEST_F(CommandsTest, StartWithAnAviShowsItsKoreanDetailedReport) {
    AviPlan plan;
    plan.main.totalFrames = 750;  // 30 seconds at 25 frames a second
    const std::string path = writeAvi("first film.avi", plan);
    commands.startUp(path);

    EXPECT_EQ(port.report, reportOf(path, ReportLayout::KoreanDetailed));
    EXPECT_NE(port.report.find("first film.avi"), std::string::npos);
    EXPECT_EQ(state.filePath, path);
    EXPECT_EQ(state.fileName, "first film.avi");
    EXPECT_EQ(state.dialogFolder, withSeparator(folder.path()));
    EXPECT_EQ(state.fileSize, static_cast<std::int64_t>(fs::file_size(path)));
    EXPECT_EQ(state.riffSize, static_cast<std::int32_t>(fs::file_size(path) - 8));
    EXPECT_EQ(state.runSeconds, 30);
    EXPECT_DOUBLE_EQ(state.sizeMegabytes, static_cast<double>(fs::file_size(path)) / 1024 / 1024);
    EXPECT_TRUE(port.messages.empty());
}

TEST_F(CommandsTest, StartWithTheLoadsRefusalsAndFailures) {
    struct Case {
        const char* what;
        std::function<std::string(Bench&)> makePath;
        std::vector<std::string> messages;
        std::int64_t fileSize;
    };
    const std::vector<Case> cases = {
        {"an ASF file",
         [](Bench& t) { return t.writeAsf("clip.asf"); },
         {std::string(refusalMessage(ContainerKind::Asf))},
         static_cast<std::int64_t>(asfBytes().size())},
        {"a missing file",
         [](Bench& t) { return (t.folder / "missing.avi").string(); },
         {std::string(refusalMessage(ContainerKind::Unknown))},
         0},
#ifndef _WIN32
        // The shell removed the quotes it saw; these were part of the name itself.
        {"a path in quotes",
         [](Bench& t) { return "\"" + t.writeAvi("a.avi") + "\""; },
         {std::string(refusalMessage(ContainerKind::Unknown))},
         0},
#endif
        {"a folder",
         [](Bench& t) {
             fs::create_directory(t.folder / "sub");
             return (t.folder / "sub").string();
         },
         {},
         0},  // cannot be opened: the size of no earlier file
    };
    for (const Case& c : cases) {
        Bench t;
        const std::string path = c.makePath(t);
        const auto before = t.folderContents();
        t.commands.startUp(path);
        EXPECT_EQ(t.port.messages, c.messages) << c.what;
        EXPECT_EQ(t.port.reportWrites, 0) << c.what;
        EXPECT_EQ(t.state.filePath, path) << c.what;
        EXPECT_EQ(t.state.fileSize, c.fileSize) << c.what;
        EXPECT_EQ(t.folderContents(), before) << c.what << ": nothing is created";
    }
}

TEST_F(CommandsTest, CancelAtTheFirstOpenChangesNothingAndSwitchesStayIdle) {
    commands.startUp("");
    commands.click(ControlId::Command1);
    ASSERT_EQ(port.openRequests.size(), 1u);
    const shell::FileDialogRequest& request = port.openRequests[0];
    EXPECT_EQ(request.title, "동영상 파일 선택");
    EXPECT_EQ(request.filter, "AVI 파일(*.avi)|*.avi|모든 파일(*.*)|*.*");
    EXPECT_EQ(request.initialFolder, "");
    EXPECT_EQ(request.proposedName, "");
    EXPECT_FALSE(state.fileLoaded());
    EXPECT_EQ(state.dialogFileName, "");

    clickCheck(CheckBox::Check1);
    EXPECT_FALSE(port.check2Enabled);
    clickCheck(CheckBox::Check1);
    EXPECT_TRUE(port.check2Enabled);
    clickCheck(CheckBox::Check2);
    EXPECT_EQ(port.reportWrites, 0);
    EXPECT_TRUE(port.messages.empty());
}

TEST_F(CommandsTest, EachOpenStartsInTheFolderOfTheFileBefore) {
    fs::create_directory(folder / "one");
    fs::create_directory(folder / "two");
    const std::string first = writeAvi(fs::path("one") / "a.avi");
    const std::string second = writeAvi(fs::path("two") / "b.avi");
    open(first);
    EXPECT_EQ(state.dialogFileName, first);
    EXPECT_EQ(state.dialogFolder, withSeparator(folder / "one"));
    open(second);
    EXPECT_EQ(port.openRequests[1].initialFolder, withSeparator(folder / "one"));
    EXPECT_EQ(state.dialogFolder, withSeparator(folder / "two"));
    EXPECT_EQ(state.fileName, "b.avi");
    EXPECT_EQ(port.report, reportOf(second, ReportLayout::KoreanDetailed));
    // A cancel leaves the folder to the last file.
    commands.click(ControlId::Command1);
    EXPECT_EQ(port.openRequests[2].initialFolder, withSeparator(folder / "two"));
    EXPECT_EQ(state.fileName, "b.avi");
}

TEST_F(CommandsTest, AsfAfterAnAviKeepsTheReportWhileTheStateNamesTheAsf) {
    const std::string avi = writeAvi("a.avi");
    open(avi);
    const std::string aviReport = port.report;
    const std::int64_t aviSize = state.fileSize;
    const std::string asf = writeAsf("b.asf");
    open(asf);
    EXPECT_EQ(port.messages,
              std::vector<std::string>{std::string(refusalMessage(ContainerKind::Asf))});
    EXPECT_EQ(state.lastMessageResult, shell::kMessageBoxOk);
    EXPECT_EQ(port.report, aviReport);
    EXPECT_EQ(state.fileName, "b.asf");
    EXPECT_EQ(state.filePath, asf);
    EXPECT_EQ(state.fileSize, static_cast<std::int64_t>(asfBytes().size()));
    EXPECT_NE(state.fileSize, aviSize);

    // Save proposes a name from the new file and writes the old report.
    const std::string saved = (folder / "saved.txt").string();
    port.saveAnswers.push_back(saved);
    commands.click(ControlId::Command2);
    EXPECT_EQ(port.saveRequests.back().proposedName, "b.asfnfo.txt");
    EXPECT_EQ(asString(readFile(saved)), savedForm(aviReport + "\r\n"));
}

TEST_F(CommandsTest, AFileThatCannotBeOpenedKeepsTheEarlierSizeAndReport) {
    const std::string avi = writeAvi("a.avi");
    open(avi);
    const std::string aviReport = port.report;
    const std::int64_t aviSize = state.fileSize;
    fs::create_directory(folder / "sub");
    const std::string unreadable = (folder / "sub").string();
    open(unreadable);
    EXPECT_TRUE(port.messages.empty());
    EXPECT_EQ(port.report, aviReport);
    EXPECT_EQ(state.fileSize, aviSize);
    EXPECT_EQ(state.fileName, "sub");
    EXPECT_EQ(state.dialogFolder, withSeparator(folder.path()));
}

TEST_F(CommandsTest, AChosenNameThatNamesNoFileCreatesNothing) {
    open(writeAvi("a.avi"));
    const auto before = folderContents();
    const std::string typed = (folder / "typed.avi").string();
    open(typed);
    EXPECT_EQ(port.messages,
              std::vector<std::string>{std::string(refusalMessage(ContainerKind::Unknown))});
    EXPECT_EQ(state.fileSize, 0);
    EXPECT_EQ(state.riffSize, 0);
    EXPECT_EQ(state.fileName, "typed.avi");
    EXPECT_EQ(folderContents(), before);
}

TEST_F(CommandsTest, AReportThatFailsPartWayIsShownAsFarAsItGotAndTheWindowGoesOn) {
    AviPlan plan;
    plan.main.microSecPerFrame = 0;  // a running time of zero seconds
    const std::string path = writeAvi("zero.avi", plan);
    open(path);
    const report::Outcome outcome =
        report::analyseFile(path, "zero.avi", ReportLayout::KoreanDetailed);
    ASSERT_FALSE(outcome.complete);
    EXPECT_EQ(port.report, outcome.report);
    EXPECT_TRUE(port.messages.empty());
    EXPECT_EQ(state.dialogFolder, withSeparator(folder.path()));
    // The window stays usable: the next file opens normally.
    const std::string good = writeAvi("good.avi");
    open(good);
    EXPECT_EQ(port.report, reportOf(good, ReportLayout::KoreanDetailed));
}

TEST_F(CommandsTest, SwitchesRerunTheAnalysisInTheChosenLayout) {
    const std::string path = writeAvi("a.avi");
    open(path);
    struct Step {
        CheckBox clicked;
        ReportLayout layout;
        bool check2Enabled;
    };
    const std::vector<Step> steps = {
        {CheckBox::Check1, ReportLayout::English, false},        // Korean off
        {CheckBox::Check1, ReportLayout::KoreanDetailed, true},  // Korean on again
        {CheckBox::Check2, ReportLayout::KoreanBrief, true},     // brief on
        {CheckBox::Check1, ReportLayout::English, false},        // brief stays checked, unread
        {CheckBox::Check1, ReportLayout::KoreanBrief, true},     // and counts again at once
        {CheckBox::Check2, ReportLayout::KoreanDetailed, true},  // brief off
    };
    int writes = port.reportWrites;
    for (std::size_t i = 0; i < steps.size(); ++i) {
        clickCheck(steps[i].clicked);
        EXPECT_EQ(port.reportWrites, ++writes) << "step " << i;
        EXPECT_EQ(port.report, reportOf(path, steps[i].layout)) << "step " << i;
        EXPECT_EQ(port.check2Enabled, steps[i].check2Enabled) << "step " << i;
    }
    EXPECT_TRUE(port.messages.empty());
}

TEST_F(CommandsTest, SwitchesUseTheSizeMeasuredAtLoad) {
    const std::string path = writeAvi("a.avi");
    open(path);
    const std::int64_t loadedSize = state.fileSize;
    // The file grows after it was loaded.
    Bytes grown = readFile(path);
    grown.resize(grown.size() + 5'000'000, 0);
    writeFile(path, grown);
    clickCheck(CheckBox::Check1);
    EXPECT_EQ(state.fileSize, loadedSize);
    EXPECT_EQ(port.report, reportOf(path, ReportLayout::English, loadedSize));
    EXPECT_NE(port.report, reportOf(path, ReportLayout::English));
}

TEST_F(CommandsTest, SwitchesWithANonAviFileShowItsMessageAgain) {
    open(writeAvi("a.avi"));
    const std::string aviReport = port.report;
    open(writeAsf("b.asf"));
    clickCheck(CheckBox::Check1);
    clickCheck(CheckBox::Check1);
    clickCheck(CheckBox::Check2);
    EXPECT_EQ(port.messages.size(), 4u);
    for (const std::string& message : port.messages) {
        EXPECT_EQ(message, refusalMessage(ContainerKind::Asf));
    }
    EXPECT_EQ(port.report, aviReport);
}

TEST_F(CommandsTest, APathEndingInASeparatorLoadsNothingTheSwitchesCanRerun) {
    fs::create_directory(folder / "sub");
    open(withSeparator(folder / "sub"));
    EXPECT_FALSE(state.fileLoaded());
    EXPECT_EQ(state.dialogFolder, withSeparator(folder / "sub"));
    const int writes = port.reportWrites;
    clickCheck(CheckBox::Check1);
    EXPECT_EQ(port.reportWrites, writes);
}

TEST_F(CommandsTest, SaveWritesTheReportPlusCrLfUnderTheProposedName) {
    const std::string path = writeAvi("a.avi");
    open(path);
    const std::string saved = (folder / "a.avinfo.txt").string();
    port.saveAnswers.push_back(saved);
    commands.click(ControlId::Command2);
    ASSERT_EQ(port.saveRequests.size(), 1u);
    const shell::FileDialogRequest& request = port.saveRequests[0];
    EXPECT_EQ(request.title, "정보내용을 저장할 TXT파일 지정");
    EXPECT_EQ(request.filter, "문서 파일(*.TXT)|*.txt|모든 파일(*.*)|*.*");
    EXPECT_EQ(request.initialFolder, withSeparator(folder.path()));
    EXPECT_EQ(request.proposedName, "a.avinfo.txt");
    const std::string written = asString(readFile(saved));
    EXPECT_EQ(written, savedForm(port.report + "\r\n"));
    EXPECT_EQ(written.substr(written.size() - 4), "\r\n\r\n");  // the report's own end, then ours
    EXPECT_EQ(state.dialogFileName, saved);
    EXPECT_EQ(state.dialogFolder, withSeparator(folder.path()));
    EXPECT_TRUE(port.messages.empty());
}

TEST_F(CommandsTest, SaveEdgeCases) {
    // No file loaded: "nfo.txt" is proposed and an empty report box gives CR LF alone.
    const std::string empty = (folder / "empty.txt").string();
    port.saveAnswers.push_back(empty);
    commands.click(ControlId::Command2);
    EXPECT_EQ(port.saveRequests.back().proposedName, "nfo.txt");
    EXPECT_EQ(asString(readFile(empty)), "\r\n");

    // A cancel writes nothing.
    const auto before = folderContents();
    commands.click(ControlId::Command2);
    EXPECT_EQ(folderContents(), before);

    // A longer file is replaced whole, and no temporary file stays behind.
    port.report = "short\r\n";
    const std::string longer = (folder / "longer.txt").string();
    writeFile(longer, Bytes(10'000, 'x'));
    port.saveAnswers.push_back(longer);
    commands.click(ControlId::Command2);
    EXPECT_EQ(asString(readFile(longer)), "short\r\n\r\n");
    EXPECT_EQ(folderContents().size(), 2u);
    EXPECT_TRUE(port.messages.empty());
}

TEST_F(CommandsTest, AReportThatCannotBeWrittenSaysSoAndLeavesNothingHalfWritten) {
    port.report = "report\r\n";
    // A name taken by a folder, and a folder that does not exist.
    fs::create_directory(folder / "taken.txt");
    fs::create_directory(folder / "taken.txt" / "inside");
    const std::vector<std::string> targets = {(folder / "taken.txt").string(),
                                              (folder / "no such folder" / "r.txt").string()};
    for (const std::string& target : targets) {
        port.messages.clear();
        port.saveAnswers.push_back(target);
        commands.click(ControlId::Command2);
        EXPECT_EQ(port.messages,
                  std::vector<std::string>{std::string(shell::kMessageReportUnsaved)})
            << target;
    }
    EXPECT_EQ(folderContents(), std::vector<fs::path>{folder / "taken.txt"});
    EXPECT_TRUE(fs::is_directory(folder / "taken.txt" / "inside"));
}

TEST_F(CommandsTest, CopyPutsTheReportBoxTextOnTheClipboard) {
    commands.click(ControlId::Command4);
    open(writeAvi("a.avi"));
    commands.click(ControlId::Command4);
    ASSERT_EQ(port.clipboard.size(), 2u);
    EXPECT_EQ(port.clipboard[0], "");
    EXPECT_EQ(port.clipboard[1], port.report);
}

TEST_F(CommandsTest, ExitAndLinks) {
    commands.click(ControlId::Command3);
    EXPECT_EQ(port.quits, 1);
    for (const ControlId link :
         {ControlId::Label3, ControlId::Label6, ControlId::Label8, ControlId::Label10}) {
        commands.click(link);
        EXPECT_EQ(port.addresses.back(),
                  "https://" + std::string(shell::controlDesign(link).caption));
    }
    EXPECT_EQ(port.addresses.size(), 4u);
    // The other labels and the picture have no command.
    for (const ControlId other : {ControlId::Label1, ControlId::Label4, ControlId::Image1,
                                  ControlId::Text1, ControlId::ShockwaveFlash1}) {
        commands.click(other);
    }
    EXPECT_EQ(port.addresses.size(), 4u);
    EXPECT_EQ(port.quits, 1);
    EXPECT_TRUE(port.messages.empty());
}

using HeaderSampleTest = CommandsTest;

Bytes pattern(std::size_t size) {
    Bytes bytes(size);
    for (std::size_t i = 0; i < size; ++i) bytes[i] = static_cast<std::uint8_t>(i * 7 + i / 251);
    return bytes;
}

TEST_F(HeaderSampleTest, SampleIsAlwaysExactlyTheFirst3200004Bytes) {
    struct Case {
        const char* what;
        std::size_t sourceSize;
        std::optional<std::size_t> existingSample;
    };
    const std::vector<Case> cases = {
        {"a short source", 100, std::nullopt},
        {"a source of exactly the sample's size", 3'200'004, std::nullopt},
        {"a longer source", 3'300'001, std::nullopt},
        {"over a longer sample", 3'300'001, 4'000'000},
        {"a short source over a longer sample", 100, 4'000'000},
        {"over a shorter sample", 100, 10},
    };
    for (const Case& c : cases) {
        Bench t;
        const Bytes source = pattern(c.sourceSize);
        const fs::path sourcePath = t.folder / "a.avi";
        writeFile(sourcePath, source);
        if (c.existingSample) writeFile(t.folder / "aHDR.avi", Bytes(*c.existingSample, 0xEE));
        t.commands.startUp(sourcePath.string());
        t.makeSample();
        EXPECT_EQ(t.port.messages, std::vector<std::string>{"샘플작성이 완료되었습니다"}) << c.what;
        EXPECT_EQ(t.state.samplePath, (t.folder / "aHDR.avi").string()) << c.what;
        const Bytes sample = readFile(t.folder / "aHDR.avi");
        ASSERT_EQ(sample.size(), 3'200'004u) << c.what;
        const std::size_t copied = std::min<std::size_t>(source.size(), sample.size());
        EXPECT_TRUE(std::equal(source.begin(), source.begin() + static_cast<std::ptrdiff_t>(copied),
                               sample.begin()))
            << c.what;
        EXPECT_TRUE(std::all_of(sample.begin() + static_cast<std::ptrdiff_t>(copied), sample.end(),
                                [](std::uint8_t b) { return b == 0; }))
            << c.what;
        EXPECT_EQ(t.folderContents().size(), 2u) << c.what << ": no temporary file stays";
        EXPECT_EQ(readFile(sourcePath), source) << c.what << ": the source is untouched";
    }
}

TEST_F(HeaderSampleTest, SampleOfANonAviFileAndOfAKoreanName) {
    const std::string asf = writeAsf("클립.asf");
    open(asf);
    makeSample();
    EXPECT_EQ(port.messages, std::vector<std::string>{"샘플작성이 완료되었습니다"});
    const fs::path sample = folder.path() / container::pathFromUtf8("클립HDR.avi");
    EXPECT_EQ(state.samplePath, container::pathToUtf8(sample));
    EXPECT_EQ(fs::file_size(sample), 3'200'004u);
    EXPECT_EQ(state.sampleWord[0], asfBytes()[0]);
}

TEST_F(HeaderSampleTest, FailuresShowTheirOwnMessageAndWriteNothing) {
    // No file loaded.
    makeSample();
    EXPECT_EQ(port.messages, std::vector<std::string>{"동영상 파일을 열고 만드세요"});
    EXPECT_EQ(state.lastMessageResult, shell::kMessageBoxOk);
    EXPECT_EQ(state.samplePath, "");

    // The source is gone since it was loaded: it is not created again.
    const std::string path = writeAvi("gone.avi");
    open(path);
    fs::remove(path);
    makeSample();
    EXPECT_EQ(port.messages,
              std::vector<std::string>{std::string(shell::kMessageSourceUnreadable)});
    EXPECT_TRUE(folderContents().empty());

    // A path too short to cut four characters from.
    commands.startUp("abc");
    makeSample();
    EXPECT_EQ(port.messages, std::vector<std::string>{std::string(shell::kMessagePathTooShort)});

    // The sample's name is taken by a folder that holds something.
    const std::string source = writeAvi("b.avi");
    fs::create_directories(folder / "bHDR.avi" / "inside");
    open(source);
    makeSample();
    EXPECT_EQ(port.messages,
              std::vector<std::string>{std::string(shell::kMessageSampleUnwritable)});
    EXPECT_TRUE(fs::is_directory(folder / "bHDR.avi" / "inside"));
    EXPECT_EQ(folderContents().size(), 2u) << "no temporary file stays";
}

}  // namespace
}  // namespace strovanik::testing
