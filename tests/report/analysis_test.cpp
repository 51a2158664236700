#include "report/analysis.h"

#include <gtest/gtest.h>

#ifndef _WIN32
#include <sys/stat.h>
#include <unistd.h>
#endif

#include <filesystem>
#include <string>
#include <vector>

#include "report/report_fixtures.h"

namespace strovanik::report {
namespace {

namespace fs = std::filesystem;
using namespace std::string_literals;
using container::ContainerKind;
using testing::AviPlan;
using testing::Bytes;
using testing::concat;
using testing::le32;
using testing::TempFolder;
using testing::text;
using testing::xvidFile;

// ---------------------------------------------------------------------------------------
// From a file on disk.

TEST(AnalyseFile, SparseFileOfTheKoreanExampleInEveryLayout) {
    TempFolder folder;
    const fs::path path = folder / "sample.avi";
    testing::writeFile(path, testing::buildAvi(xvidFile()), testing::kXvidSize);

    const Outcome korean = analyseFile(path.string(), "sample.avi", ReportLayout::KoreanDetailed);
    ASSERT_EQ(korean.status, Outcome::Status::Reported) << korean.problem;
    EXPECT_TRUE(korean.complete);
    EXPECT_EQ(korean.riffSize, 734'003'192);
    EXPECT_EQ(korean.report, testing::crlfLines(testing::kXvidKorean));

    const Outcome brief = analyseFile(path.string(), "sample.avi", ReportLayout::KoreanBrief);
    EXPECT_TRUE(brief.complete);
    EXPECT_EQ(brief.report, testing::crlfLines(testing::kXvidBrief));

    const Outcome english = analyseFile(path.string(), "sample.avi", ReportLayout::English);
    EXPECT_TRUE(english.complete);
    const auto lines = testing::linesOf(english.report);
    ASSERT_EQ(lines.size(), 21u);
    EXPECT_EQ(lines[1], "    Filesize  : 734,003,200 Byte   (700 MB)");
    EXPECT_EQ(lines[2], "    Total Rate  :  119 KByte/sec");
    EXPECT_EQ(lines[9], "    Running Time  :  1: 40: 0");
    EXPECT_EQ(lines[13], "    Video Bitrate :  831 Kbps");
    EXPECT_EQ(lines[20], "    Audio bitrate :  128 Kbps  (VBR)");
}

TEST(AnalyseFile, SparseFileOfTheEnglishExample) {
    TempFolder folder;
    const fs::path path = folder / "sample.avi";
    testing::writeFile(path, testing::buildAvi(testing::cinepakFile()), testing::kCinepakSize);
    const Outcome outcome =
        analyseFile(path.string(), bareFileName(path.string()), ReportLayout::English);
    EXPECT_TRUE(outcome.complete);
    EXPECT_EQ(outcome.report, testing::crlfLines(testing::kCinepakEnglish));
}

TEST(AnalyseFile, FileSizeIsTheRealLengthBeyondTwoGigabytes) {
    TempFolder folder;
    const fs::path path = folder / "big.avi";
    AviPlan plan = xvidFile();
    plan.riffSize = -1'073'741'832;  // the RIFF field of a 3 GiB file, read signed
    testing::writeFile(path, testing::buildAvi(plan), 3'221'225'472ULL);
    const Outcome outcome = analyseFile(path.string(), "big.avi", ReportLayout::English);
    EXPECT_TRUE(outcome.complete);
    EXPECT_EQ(outcome.riffSize, -1'073'741'832);
    ASSERT_TRUE(outcome.sizeMegabytes.has_value());
    EXPECT_EQ(*outcome.sizeMegabytes, 3072.0);
    const auto lines = testing::linesOf(outcome.report);
    ASSERT_GE(lines.size(), 3u);
    EXPECT_EQ(lines[1], "    Filesize  : 3,221,225,472 Byte   (3072 MB)");
    EXPECT_EQ(lines[2], "    Total Rate  :  -175 KByte/sec");  // from the signed RIFF size
}

TEST(AnalyseFile, GivenFileSizeIsShown) {
    TempFolder folder;
    const fs::path path = folder / "a.avi";
    testing::writeFile(path, testing::buildAvi(xvidFile()));
    const Outcome outcome =
        analyseFile(path.string(), "a.avi", ReportLayout::KoreanBrief, 10'485'760);
    EXPECT_EQ(testing::linesOf(outcome.report)[1],
              "    파  일  크  기   :  10,485,760 바이트 (10.0 메가)");
}

TEST(AnalyseFile, MissingFileIsMissingAndNothingIsCreated) {
    TempFolder folder;
    const fs::path path = folder / "없는 파일.avi";
    const Outcome outcome =
        analyseFile(path.string(), "없는 파일.avi", ReportLayout::KoreanDetailed);
    EXPECT_EQ(outcome.status, Outcome::Status::Missing);
    EXPECT_EQ(outcome.report, "");
    EXPECT_FALSE(fs::exists(path));
    EXPECT_TRUE(fs::is_empty(folder.path()));
}

TEST(AnalyseFile, ThingsThatAreNotRegularFilesAreUnreadable) {
    TempFolder folder;
    std::vector<fs::path> paths = {folder / "folder.avi"};
    fs::create_directory(paths.front());
#ifndef _WIN32  // FIFOs are POSIX things
    const fs::path fifo = folder / "pipe.avi";
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    paths.push_back(fifo);
#endif
    for (const fs::path& path : paths) {
        const Outcome outcome = analyseFile(path.string(), "x.avi", ReportLayout::English);
        EXPECT_EQ(outcome.status, Outcome::Status::Unreadable) << path;
        EXPECT_FALSE(outcome.problem.empty());
        EXPECT_EQ(outcome.report, "");
    }
}

#ifndef _WIN32  // permission bits as POSIX systems have them
TEST(AnalyseFile, FileWithoutReadPermissionIsUnreadable) {
    if (geteuid() == 0) GTEST_SKIP() << "root reads every file";
    TempFolder folder;
    const fs::path path = folder / "locked.avi";
    testing::writeFile(path, testing::buildAvi(xvidFile()));
    fs::permissions(path, fs::perms::none);
    EXPECT_EQ(analyseFile(path.string(), "locked.avi", ReportLayout::English).status,
              Outcome::Status::Unreadable);
}
#endif  // _WIN32

TEST(AnalyseFile, NeverChangesTheFile) {
    TempFolder folder;
    const fs::path path = folder / "a.avi";
    const Bytes bytes = testing::buildAvi(xvidFile());
    testing::writeFile(path, bytes);
    fs::permissions(path, fs::perms::owner_read);
    const auto before = fs::last_write_time(path);
    EXPECT_TRUE(analyseFile(path.string(), "a.avi", ReportLayout::English).complete);
    EXPECT_EQ(testing::readFile(path), bytes);
    EXPECT_EQ(fs::last_write_time(path), before);
}

TEST(AnalyseFile, RefusedKindsOnDisk) {
    struct Case {
        const char* name;
        Bytes bytes;
        ContainerKind kind;
        std::int32_t riffSize;
    };
    const std::vector<Case> cases = {
        {"empty", {}, ContainerKind::Unknown, 0},
        {"wave", concat({text("RIFF"), le32(36), text("WAVEfmt ")}), ContainerKind::Unknown, 36},
        {"cdxa", concat({text("RIFF"), le32(5000), text("CDXAfmt ")}), ContainerKind::VcdDat, 5000},
        {"ogg", concat({text("OggS"), Bytes(30, 0)}), ContainerKind::Ogg, 0},
        {"asf", Bytes{0x30, 0x26, 0xB2, 0x75, 0x8E, 0x66, 0xCF, 0x11}, ContainerKind::Asf,
         0x11CF668E},
        {"mpeg", Bytes{0, 0, 1, 0xBA, 0x44}, ContainerKind::MpegProgram, 0x44},
        {"short_riff", text("RIFF\x08\0\0\0AV"s), ContainerKind::Unknown, 8},
    };
    TempFolder folder;
    for (const Case& c : cases) {
        const fs::path path = folder / (std::string(c.name) + ".avi");
        testing::writeFile(path, c.bytes);
        const Outcome outcome = analyseFile(path.string(), c.name, ReportLayout::KoreanDetailed);
        EXPECT_EQ(outcome.status, Outcome::Status::Refused) << c.name;
        EXPECT_EQ(outcome.kind, c.kind) << c.name;
        EXPECT_EQ(outcome.riffSize, c.riffSize) << c.name;
        EXPECT_EQ(outcome.report, "") << c.name;
        EXPECT_FALSE(outcome.headers.has_value()) << c.name;
    }
}

// ---------------------------------------------------------------------------------------
// From a byte source.

TEST(Analyse, ReportsWhatItFound) {
    AviPlan plan = xvidFile();
    plan.audio.push_back({.formatTag = 0x2000, .channels = 6});
    container::MemorySource source(testing::buildAvi(plan));
    const Outcome outcome = analyse(source, {"x.avi", 734'003'200, ReportLayout::English});
    EXPECT_EQ(outcome.status, Outcome::Status::Reported);
    EXPECT_EQ(outcome.kind, ContainerKind::Avi);
    EXPECT_TRUE(outcome.complete);
    EXPECT_TRUE(outcome.problem.empty());
    ASSERT_TRUE(outcome.headers.has_value());
    EXPECT_EQ(outcome.headers->audioState, 2);
    EXPECT_EQ(outcome.codecs.videoCodecText, " XviD MPEG-4 Video Codec");
    EXPECT_EQ(outcome.codecs.audioCodecText1, " DivX MPEG Layer-3 (MP3)");
    EXPECT_EQ(outcome.codecs.audioCodecText2, " AC3 Prologic (DD)");
    ASSERT_TRUE(outcome.runTime.has_value());
    EXPECT_EQ(outcome.runTime->runSeconds, 6'000);
    EXPECT_EQ(outcome.sizeMegabytes, 700.0);
}

TEST(Analyse, CodecTextsWithoutSound) {
    AviPlan plan = xvidFile();
    plan.audio.clear();
    plan.video.reset();
    container::MemorySource source(testing::buildAvi(plan));
    const Outcome outcome = analyse(source, {"x.avi", 100, ReportLayout::English});
    EXPECT_EQ(outcome.codecs.videoCodecText, " Uncompressed");
    EXPECT_EQ(outcome.codecs.audioCodecText1, "0 Unknown");
    EXPECT_EQ(outcome.codecs.audioCodecText2, "");
}

TEST(Analyse, OneSoundStreamLeavesTheSecondTextEmpty) {
    container::MemorySource source(testing::buildAvi(xvidFile()));
    EXPECT_EQ(analyse(source, {"x.avi", 100, ReportLayout::English}).codecs.audioCodecText2, "");
}

TEST(Analyse, AbandonedScanLeavesAnEmptyIncompleteReport) {
    struct Case {
        const char* name;
        std::int32_t odmlSize;
    };
    for (const Case& c : std::vector<Case>{
             {"negative", -100}, {"overflowing", 0x7FFFFFFF}, {"position_below_one", -21}}) {
        for (const ReportLayout layout :
             {ReportLayout::English, ReportLayout::KoreanDetailed, ReportLayout::KoreanBrief}) {
            AviPlan plan = xvidFile();
            Bytes file = testing::buildAvi(plan);
            // An odml list right after the RIFF header, before everything else.
            const Bytes odml = concat({text("LIST"), le32(c.odmlSize), text("odml")});
            file.insert(file.begin() + 12, odml.begin(), odml.end());
            container::MemorySource source(file);
            const Outcome outcome = analyse(source, {"x.avi", 1'000'000, layout});
            EXPECT_EQ(outcome.status, Outcome::Status::Reported) << c.name;
            EXPECT_FALSE(outcome.complete) << c.name;
            EXPECT_EQ(outcome.report, "") << c.name;
            EXPECT_FALSE(outcome.headers.has_value()) << c.name;
            EXPECT_FALSE(outcome.problem.empty()) << c.name;
        }
    }
}

TEST(Analyse, AnIncompleteReportSaysInPlainWordsWhatStoppedIt) {
    // The first figure that fails names the field that made it fail; the brief layout has no
    // rates, so a running time of 0 seconds leaves it complete.
    struct Case {
        const char* name;
        std::int32_t microSecPerFrame;
        std::int32_t totalFrames;
        std::int32_t height;
        std::string_view problem;       // English and Korean in full
        std::string_view briefProblem;  // empty: the brief report is complete
    };
    const std::string_view zeroSeconds =
        "the running time in seconds is 0, so the total rate cannot be worked out";
    const std::string_view noHeight =
        "the picture height is 0, so the picture ratio cannot be worked out";
    const std::string_view tooLong =
        "the frame time times the number of frames is too long a running time to be counted "
        "in seconds";
    for (const Case& c : std::vector<Case>{
             {"picture height 0", 40'000, 250, 0, noHeight, noHeight},
             {"no frames", 40'000, 0, 240, zeroSeconds, ""},
             {"under half a second", 40'000, 12, 240, zeroSeconds, ""},
             {"frame time 0", 0, 250, 240, zeroSeconds,
              "the frame time in microseconds is 0, so the frame rate cannot be worked out"},
             {"running time beyond 68 years", 2'000'000'000, 2'000'000'000, 240, tooLong, tooLong},
         }) {
        for (const ReportLayout layout :
             {ReportLayout::English, ReportLayout::KoreanDetailed, ReportLayout::KoreanBrief}) {
            AviPlan plan = xvidFile();
            plan.main.microSecPerFrame = c.microSecPerFrame;
            plan.main.totalFrames = c.totalFrames;
            plan.main.height = c.height;
            container::MemorySource source(testing::buildAvi(plan));
            const Outcome outcome = analyse(source, {"x.avi", 1'000'000, layout});
            const std::string_view expected =
                layout == ReportLayout::KoreanBrief ? c.briefProblem : c.problem;
            EXPECT_EQ(outcome.complete, expected.empty()) << c.name;
            EXPECT_EQ(outcome.problem, expected) << c.name << ", " << reportLayoutName(layout);
        }
    }
}

// Fails every read that reaches `failFrom` or beyond.
class FailingSource final : public container::ByteSource {
public:
    FailingSource(Bytes bytes, std::int64_t failFrom)
        : inner_(std::move(bytes)), failFrom_(failFrom) {}
    std::int64_t size() const override { return inner_.size(); }
    std::size_t readAt(std::int64_t offset, std::span<std::uint8_t> out) override {
        if (offset + static_cast<std::int64_t>(out.size()) > failFrom_) {
            throw container::ReadError("bad sector");
        }
        return inner_.readAt(offset, out);
    }

private:
    container::MemorySource inner_;
    std::int64_t failFrom_;
};

TEST(Analyse, ReadErrorDuringTheScanLeavesAnEmptyIncompleteReport) {
    // No movie list in the first block, so the scan reads on into the failing part.
    AviPlan plan = xvidFile();
    Bytes file = testing::buildAvi(plan);
    Bytes padded = concat({Bytes(file.begin(), file.begin() + 12), Bytes(100'000, 0),
                           Bytes(file.begin() + 12, file.end())});
    FailingSource source(padded, 80'000);
    const Outcome outcome = analyse(source, {"x.avi", 200'000, ReportLayout::KoreanDetailed});
    EXPECT_EQ(outcome.status, Outcome::Status::Reported);
    EXPECT_EQ(outcome.kind, ContainerKind::Avi);
    EXPECT_FALSE(outcome.complete);
    EXPECT_EQ(outcome.report, "");
    EXPECT_EQ(outcome.problem, "bad sector");
}

TEST(Analyse, ReadErrorOnTheFirstBytesIsUnreadable) {
    FailingSource source(testing::buildAvi(xvidFile()), 4);
    const Outcome outcome = analyse(source, {"x.avi", 100, ReportLayout::English});
    EXPECT_EQ(outcome.status, Outcome::Status::Unreadable);
    EXPECT_EQ(outcome.report, "");
}

TEST(BareFileName, TextAfterTheLastSlash) {
    EXPECT_EQ(bareFileName("/home/user/films/a.avi"), "a.avi");
    EXPECT_EQ(bareFileName("a.avi"), "a.avi");
    EXPECT_EQ(bareFileName("films/"), "");
    EXPECT_EQ(bareFileName(""), "");
    EXPECT_EQ(bareFileName("/영화/샘플.avi"), "샘플.avi");
}

}  // namespace
}  // namespace strovanik::report
