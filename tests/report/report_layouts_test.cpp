#include "report/report_layouts.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "report/report_fixtures.h"

namespace strovanik::report {
namespace {

using namespace std::string_literals;
using testing::AudioPlan;
using testing::AviPlan;
using testing::cinepakFile;
using testing::crlfLines;
using testing::kCinepakEnglish;
using testing::kCinepakSize;
using testing::kXvidBrief;
using testing::kXvidKorean;
using testing::kXvidSize;
using testing::linesOf;
using testing::xvidFile;

std::vector<std::string> firstLines(const std::vector<std::string>& lines, std::size_t count) {
    return {lines.begin(), lines.begin() + static_cast<std::ptrdiff_t>(count)};
}

TEST(ReportLayouts, WorkedExamplesByteForByte) {
    struct Case {
        const char* name;
        AviPlan plan;
        std::int64_t fileSize;
        ReportLayout layout;
        std::vector<std::string> lines;
    };
    const std::vector<Case> cases = {
        {"english", cinepakFile(), kCinepakSize, ReportLayout::English, kCinepakEnglish},
        {"korean_detailed", xvidFile(), kXvidSize, ReportLayout::KoreanDetailed, kXvidKorean},
        {"korean_brief", xvidFile(), kXvidSize, ReportLayout::KoreanBrief, kXvidBrief},
    };
    for (const Case& c : cases) {
        const Outcome outcome = testing::analysePlan(c.plan, c.layout, c.fileSize);
        ASSERT_EQ(outcome.status, Outcome::Status::Reported) << c.name;
        EXPECT_TRUE(outcome.complete) << c.name << ": " << outcome.problem;
        EXPECT_EQ(outcome.report, crlfLines(c.lines)) << c.name;
    }
}

TEST(ReportLayouts, WrittenFromAHeaderSetMadeByHand) {
    container::AviHeaderSet headers;
    headers.mainHeader = testing::mainHeader(
        {.microSecPerFrame = 66'666, .totalFrames = 4'500, .width = 320, .height = 240});
    headers.videoStream =
        testing::videoRecord({.handler = "cvid", .quality = 8'500, .bitCount = 24});
    headers.audioStream1 = testing::audioRecord({.formatTag = 0x11,
                                                 .channels = 1,
                                                 .samplesPerSec = 22'050,
                                                 .avgBytesPerSec = 11'100,
                                                 .blockAlign = 512});
    headers.audioState = 3;
    const CodecTexts codecs{" Supermac - Cinepak", " IMA ADPCM", ""};
    const ReportInput input{
        headers, "sample.avi", kCinepakSize, 47'710'200, computeRunTime(headers.mainHeader),
        codecs};
    std::string report = "the previous file's report";
    WriteEnglishReport(input, report);
    EXPECT_EQ(report, crlfLines(kCinepakEnglish));
    writeReport(ReportLayout::English, input, report);  // the first row replaces the text
    EXPECT_EQ(report, crlfLines(kCinepakEnglish));
}

TEST(ReportLayouts, AppendAndReplace) {
    std::string report = "old";
    ReplaceReport(report, {"a", "b", kCrLf});
    EXPECT_EQ(report, "ab\r\n");
    AppendToReport(report, {"c", "", "d"});
    EXPECT_EQ(report, "ab\r\ncd");
    EXPECT_EQ(insertedText("DIB\0 Unknown "s), "DIB");
    EXPECT_EQ(insertedText("\0abc"s), "");
    EXPECT_EQ(insertedText(" XviD"), " XviD");
}

// ---------------------------------------------------------------------------------------
// Single lines that depend on one field.

struct LineCase {
    const char* name;
    ReportLayout layout;
    std::function<void(AviPlan&)> change;
    std::size_t line;  // 1-based
    std::string text;
};

class ReportLines : public ::testing::TestWithParam<LineCase> {};

TEST_P(ReportLines, ShowTheFieldAsLaidOut) {
    const LineCase& c = GetParam();
    AviPlan plan = c.layout == ReportLayout::English ? cinepakFile() : xvidFile();
    c.change(plan);
    const Outcome outcome = testing::analysePlan(
        plan, c.layout, c.layout == ReportLayout::English ? kCinepakSize : kXvidSize);
    EXPECT_TRUE(outcome.complete) << outcome.problem;
    ASSERT_GE(outcome.report.size(), 2u);
    EXPECT_EQ(outcome.report.find('\0'), std::string::npos);
    EXPECT_EQ(outcome.report.substr(outcome.report.size() - 2), "\r\n");
    const auto lines = linesOf(outcome.report);
    ASSERT_GE(lines.size(), c.line);
    EXPECT_EQ(lines[c.line - 1], c.text);
}

void runTime(AviPlan& s, std::int32_t seconds) {
    s.main.microSecPerFrame = 1'000'000;
    s.main.totalFrames = seconds;
}

// A make-info field of exactly these bytes (NULs after the text included).
void makeInfo(AviPlan& s, std::string bytes) {
    bytes.resize(40, '\0');
    s.makeInfo = bytes;
}

constexpr auto kEnglish = ReportLayout::English;
constexpr auto kKorean = ReportLayout::KoreanDetailed;
constexpr auto kBrief = ReportLayout::KoreanBrief;

INSTANTIATE_TEST_SUITE_P(
    English, ReportLines,
    ::testing::Values(
        LineCase{"running_time_3725", kEnglish, [](AviPlan& s) { runTime(s, 3'725); }, 10,
                 "    Running Time  :  1: 2: 5"},
        LineCase{"running_time_negative", kEnglish,
                 [](AviPlan& s) { s.main.microSecPerFrame = -1'000'000; }, 10,
                 "    Running Time  : -1:-15: 0"},
        LineCase{"quality_high", kEnglish, [](AviPlan& s) { s.video->quality = 10'000; }, 15,
                 "    Video Quality :  10000  (High)"},
        LineCase{"quality_minus_one", kEnglish, [](AviPlan& s) { s.video->quality = -1; }, 15,
                 "    Video Quality : -1  (Normal)"},
        LineCase{"quality_above", kEnglish, [](AviPlan& s) { s.video->quality = 10'001; }, 15,
                 "    Video Quality :  10001  (Normal)"},
        LineCase{"make_info_spaces", kEnglish,
                 [](AviPlan& s) { makeInfo(s, std::string(35, ' ')); }, 4,
                 "    Make info.  :  editing" + std::string(28, ' ')},
        LineCase{"make_info_text_then_nuls", kEnglish,
                 [](AviPlan& s) { makeInfo(s, "VirtualWriter 1.4"); }, 4,
                 "    Make info.  :  VirtualWriter 1.4"},
        LineCase{"make_info_nul_first_but_not_five", kEnglish,
                 [](AviPlan& s) { makeInfo(s, "\0\0\0\0Xtext"s); }, 4, "    Make info.  :  "},
        LineCase{"make_info_five_nuls", kEnglish,
                 [](AviPlan& s) { makeInfo(s, "\0\0\0\0\0text"s); }, 4,
                 "    Make info.  :  unknown" + std::string(28, ' ')},
        LineCase{"make_info_cp949", kEnglish,
                 [](AviPlan& s) { makeInfo(s, "\xC7\xD1\xB1\xDB \xC0\xCE\xC4\xDA\xB4\xF5"); }, 4,
                 "    Make info.  :  한글 인코더"},
        LineCase{"make_info_full", kEnglish,
                 [](AviPlan& s) { makeInfo(s, std::string(35, 'x') + "yyyyy"); }, 4,
                 "    Make info.  :  " + std::string(35, 'x')},
        LineCase{"unknown_code_with_nul", kEnglish, [](AviPlan& s) { s.video->handler = "DIB"; }, 7,
                 "    Compression   : DIB"},
        LineCase{"unknown_code", kEnglish, [](AviPlan& s) { s.video->handler = "Abc1"; }, 7,
                 "    Compression   : Abc1 Unknown "},
        LineCase{"no_video_stream", kEnglish, [](AviPlan& s) { s.video.reset(); }, 7,
                 "    Compression   :  Uncompressed"},
        LineCase{"no_video_stream_depth", kEnglish, [](AviPlan& s) { s.video.reset(); }, 11,
                 "    Color Depth   :  0 bits"},
        LineCase{"divx5", kEnglish,
                 [](AviPlan& s) {
                     s.video->handler = "divx";
                     s.video->compression = "DX50";
                 },
                 7, "    Compression   :  DivX Codec V5.xx"},
        LineCase{"negative_video_bitrate", kEnglish,
                 [](AviPlan& s) { s.audio[0].avgBytesPerSec = 200'000; }, 14,
                 "    Video Bitrate :  -320 Kbps"},
        LineCase{"ratio_half_away", kEnglish,
                 [](AviPlan& s) {
                     s.main.width = 1070;
                     s.main.height = 400;
                 },
                 8, "    Size (Ratio)  :  1070 x 400   ( 2.68 : 1 )"},
        LineCase{"ratio_1125", kEnglish,
                 [](AviPlan& s) {
                     s.main.width = 720;
                     s.main.height = 640;
                 },
                 8, "    Size (Ratio)  :  720 x 640   ( 1.13 : 1 )"},
        LineCase{"negative_size", kEnglish, [](AviPlan& s) { s.main.width = -640; }, 8,
                 "    Size (Ratio)  : -640 x 240   ( -2.67 : 1 )"},
        LineCase{"frame_rate", kEnglish, [](AviPlan& s) { s.main.microSecPerFrame = 41'708; }, 12,
                 "    Frame/Secend  :  23.976 fps"},
        LineCase{"channels_zero", kEnglish, [](AviPlan& s) { s.audio[0].channels = 0; }, 19,
                 "    Channels      :  0  (Mono)"},
        LineCase{"channels_two", kEnglish, [](AviPlan& s) { s.audio[0].channels = 2; }, 19,
                 "    Channels      :  2 ch  (Stereo)"},
        LineCase{"channels_four", kEnglish, [](AviPlan& s) { s.audio[0].channels = 4; }, 19,
                 "    Channels      :  4 ch  (Stereo)"},
        LineCase{"channels_five", kEnglish, [](AviPlan& s) { s.audio[0].channels = 5; }, 19,
                 "    Channels      :  5.1 ch  (Surround)"},
        LineCase{"channels_six", kEnglish, [](AviPlan& s) { s.audio[0].channels = 6; }, 19,
                 "    Channels      :  6.1 ch  (Surround)"},
        LineCase{"channels_negative", kEnglish, [](AviPlan& s) { s.audio[0].channels = -2; }, 19,
                 "    Channels      : -2  (Mono)"},
        LineCase{"sample_rate_zero", kEnglish, [](AviPlan& s) { s.audio[0].samplesPerSec = 0; }, 20,
                 "    Samples Rate  :   Hz"},
        LineCase{"vbr", kEnglish, [](AviPlan& s) { s.audio[0].blockAlign = 1152; }, 21,
                 "    Audio bitrate :  88 Kbps  (VBR)"},
        LineCase{"audio_unknown_tag", kEnglish, [](AviPlan& s) { s.audio[0].formatTag = 3; }, 18,
                 "    Compression   : 3 Unknown"},
        LineCase{"audio_tag_above_0x8000", kEnglish,
                 [](AviPlan& s) { s.audio[0].formatTag = static_cast<std::int16_t>(0xFFFE); }, 18,
                 "    Compression   : 65534 Unknown"},
        LineCase{"audio_fujitsu", kEnglish, [](AviPlan& s) { s.audio[0].formatTag = 768; }, 18,
                 "    Compression   : Fujitsu Corp. FM Towns Sound "},
        LineCase{"negative_riff_size", kEnglish, [](AviPlan& s) { s.riffSize = -1; }, 3,
                 "    Total Rate  :  -1 KByte/sec"}),
    [](const auto& info) { return std::string(info.param.name); });

INSTANTIATE_TEST_SUITE_P(
    KoreanDetailed, ReportLines,
    ::testing::Values(
        LineCase{"running_time_330", kKorean, [](AviPlan& s) { runTime(s, 330); }, 10,
                 "    재  생  시  간   :  5분  30초"},
        LineCase{"running_time_3725", kKorean, [](AviPlan& s) { runTime(s, 3'725); }, 10,
                 "    재  생  시  간   :  1시간  2분  5초"},
        LineCase{"running_time_zero_hours", kKorean, [](AviPlan& s) { runTime(s, 3'599); }, 10,
                 "    재  생  시  간   :  59분  59초"},
        LineCase{"quality_normal", kKorean, [](AviPlan& s) { s.video->quality = 9'999; }, 14,
                 "    화          질   :  9999  (보통)"},
        LineCase{"quality_minus_one", kKorean, [](AviPlan& s) { s.video->quality = -1; }, 14,
                 "    화          질   : -1  (보통)"},
        LineCase{"channels_one", kKorean, [](AviPlan& s) { s.audio[0].channels = 1; }, 18,
                 "    채    널    수   :  1  (모노)"},
        LineCase{"channels_zero", kKorean, [](AviPlan& s) { s.audio[0].channels = 0; }, 18,
                 "    채    널    수   :  0  (모노)"},
        LineCase{"channels_four", kKorean, [](AviPlan& s) { s.audio[0].channels = 4; }, 18,
                 "    채    널    수   :  4 채널  (스테레오)"},
        LineCase{"channels_five", kKorean, [](AviPlan& s) { s.audio[0].channels = 5; }, 18,
                 "    채    널    수   :  5.1 채널  (다채널 서라운드)"},
        LineCase{"channels_six", kKorean, [](AviPlan& s) { s.audio[0].channels = 6; }, 18,
                 "    채    널    수   :  6.1 채널  (다채널 서라운드)"},
        LineCase{"sample_rate_zero", kKorean, [](AviPlan& s) { s.audio[0].samplesPerSec = 0; }, 19,
                 "    예  제  속  도   :   헤르츠"},
        LineCase{"no_vbr", kKorean, [](AviPlan& s) { s.audio[0].blockAlign = 4; }, 20,
                 "    비 트 레 이 트   :  128 킬로비트/초  "},
        LineCase{"audio_bitrate_cut", kKorean,
                 [](AviPlan& s) { s.audio[0].avgBytesPerSec = 20'050; }, 20,
                 "    비 트 레 이 트   :  160 킬로비트/초  (VBR)"},
        LineCase{"make_info_spaces", kKorean, [](AviPlan& s) { makeInfo(s, std::string(35, ' ')); },
                 4, "    제  작  정  보   :  편집됨" + std::string(32, ' ')},
        LineCase{"make_info_text", kKorean, [](AviPlan& s) { makeInfo(s, "Encoder 2"); }, 4,
                 "    제  작  정  보   :  Encoder 2"},
        LineCase{"unknown_code_with_nul", kKorean, [](AviPlan& s) { s.video->handler = "DIB"; }, 7,
                 "    압  축  코  덱   : DIB"},
        LineCase{"cp949_code", kKorean, [](AviPlan& s) { s.video->handler = "\xB0\xA1\xC7\xD1"; },
                 7, "    압  축  코  덱   : 가한 Unknown "}),
    [](const auto& info) { return std::string(info.param.name); });

INSTANTIATE_TEST_SUITE_P(
    KoreanBrief, ReportLines,
    ::testing::Values(
        LineCase{"running_time_330", kBrief, [](AviPlan& s) { runTime(s, 330); }, 9,
                 "    색상 (재생시간)  :  24 비트   ( 5분 30초 )"},
        LineCase{"running_time_3725", kBrief, [](AviPlan& s) { runTime(s, 3'725); }, 9,
                 "    색상 (재생시간)  :  24 비트   ( 1시간 2분 5초 )"},
        LineCase{"running_time_zero", kBrief, [](AviPlan& s) { s.main.totalFrames = 0; }, 9,
                 "    색상 (재생시간)  :  24 비트   ( 0분 0초 )"},
        LineCase{"frame_rate_25", kBrief, [](AviPlan& s) { s.main.microSecPerFrame = 40'000; }, 8,
                 "    프레임 (초당량)  :  143856 프레임   ( 25.000 프레임/초 )"},
        LineCase{"channels_one", kBrief, [](AviPlan& s) { s.audio[0].channels = 1; }, 13,
                 "    채 널 (진동수)   :  1 채널   ( 48,000 헤르츠(VBR))"},
        LineCase{"channels_zero", kBrief, [](AviPlan& s) { s.audio[0].channels = 0; }, 13,
                 "    채 널 (진동수)   :  0 채널   ( 48,000 헤르츠(VBR))"},
        LineCase{"channels_four", kBrief, [](AviPlan& s) { s.audio[0].channels = 4; }, 13,
                 "    채 널 (진동수)   :  4 채널   ( 48,000 헤르츠(VBR))"},
        LineCase{"channels_five", kBrief, [](AviPlan& s) { s.audio[0].channels = 5; }, 13,
                 "    채 널 (진동수)   :  5.1 채널   ( 48,000 헤르츠(VBR))"},
        LineCase{"channels_six", kBrief, [](AviPlan& s) { s.audio[0].channels = 6; }, 13,
                 "    채 널 (진동수)   :  6.1 채널   ( 48,000 헤르츠(VBR))"},
        LineCase{"no_vbr", kBrief, [](AviPlan& s) { s.audio[0].blockAlign = 1; }, 13,
                 "    채 널 (진동수)   :  2 채널   ( 48,000 헤르츠)"},
        LineCase{"sample_rate_zero", kBrief, [](AviPlan& s) { s.audio[0].samplesPerSec = 0; }, 13,
                 "    채 널 (진동수)   :  2 채널   (  헤르츠(VBR))"},
        LineCase{"make_info_spaces", kBrief, [](AviPlan& s) { makeInfo(s, std::string(35, ' ')); },
                 3, "    제  작  정  보   :  편집됨" + std::string(32, ' ')},
        LineCase{"make_info_nul_first", kBrief, [](AviPlan& s) { makeInfo(s, "\0\0\0\0Xtext"s); },
                 3, "    제  작  정  보   :  "}),
    [](const auto& info) { return std::string(info.param.name); });

// ---------------------------------------------------------------------------------------
// Whole reports with no sound and with two or three sound streams.

TEST(ReportLayouts, NoSound) {
    struct Case {
        ReportLayout layout;
        std::vector<std::string> lines;  // the example's lines kept
        std::size_t kept;
        std::string last;
    };
    const std::vector<Case> cases = {
        {kEnglish, kCinepakEnglish, 15, "  Audio stream - No sound "},
        {kKorean, kXvidKorean, 14, "  사운드(소리) 정보 - 없음 "},
        {kBrief, kXvidBrief, 9, "  사운드(소리) 정보 - 없음 "},
    };
    for (const Case& c : cases) {
        AviPlan plan = c.layout == kEnglish ? cinepakFile() : xvidFile();
        plan.audio.clear();
        const Outcome outcome =
            testing::analysePlan(plan, c.layout, c.layout == kEnglish ? kCinepakSize : kXvidSize);
        auto expected = firstLines(c.lines, c.kept);
        // Without audio nothing is taken off the video bit rate.
        if (c.layout == kEnglish) expected[13] = "    Video Bitrate :  1,242 Kbps";
        if (c.layout == kKorean) expected[12] = "    비 트 레 이 트   :  956 킬로비트/초";
        expected.push_back("");
        expected.push_back(c.last);
        EXPECT_TRUE(outcome.complete);
        EXPECT_EQ(outcome.report, crlfLines(expected));
        EXPECT_EQ(expected.size(), c.layout == kEnglish ? 17u : c.layout == kKorean ? 16u : 11u);
    }
}

// A second sound stream: AC-3 in 6 channels, 48,000 Hz, 56,000 bytes a second, VBR mark.
AudioPlan surroundStream() {
    return {.formatTag = 0x2000,
            .channels = 6,
            .samplesPerSec = 48'000,
            .avgBytesPerSec = 56'000,
            .blockAlign = 1152};
}

TEST(ReportLayouts, TwoSoundStreams) {
    AviPlan english = cinepakFile();
    english.audio.push_back(surroundStream());
    std::vector<std::string> expected = kCinepakEnglish;
    expected[13] = "    Video Bitrate :  718 Kbps";  // both byte rates taken off
    for (const std::string& line :
         {""s, "  2nd Audio stream"s, "    Compression   :  AC3 Prologic (DD)"s,
          "    Channels      :  6.1 ch  (Surround)"s, "    Samples Rate  :  48,000 Hz"s,
          "    Audio bitrate :  448 Kbps  (VBR)"s}) {
        expected.push_back(line);
    }
    Outcome outcome = testing::analysePlan(english, kEnglish, kCinepakSize);
    EXPECT_EQ(outcome.report, crlfLines(expected));
    EXPECT_EQ(expected.size(), 27u);

    AviPlan korean = xvidFile();
    korean.audio.push_back(surroundStream());
    expected = kXvidKorean;
    expected[12] = "    비 트 레 이 트   :  393 킬로비트/초";
    for (const std::string& line :
         {""s, "  2번째 사운드(소리) 정보"s, "    압  축  코  덱   :  AC3 Prologic (DD)"s,
          "    채    널    수   :  6.1 채널  (다채널 서라운드)"s,
          "    예  제  속  도   :  48,000 헤르츠"s,
          "    비 트 레 이 트   :  448 킬로비트/초  (VBR)"s}) {
        expected.push_back(line);
    }
    outcome = testing::analysePlan(korean, kKorean, kXvidSize);
    EXPECT_EQ(outcome.report, crlfLines(expected));
    EXPECT_EQ(expected.size(), 26u);

    expected = kXvidBrief;
    for (const std::string& line :
         {""s, "  2번째 사운드 정보"s, "    압  축  코  덱   :  AC3 Prologic (DD)"s,
          "    채 널 (진동수)   :  6.1 채널   ( 48,000 헤르츠(VBR))"s}) {
        expected.push_back(line);
    }
    outcome = testing::analysePlan(korean, kBrief, kXvidSize);
    EXPECT_EQ(outcome.report, crlfLines(expected));
    EXPECT_EQ(expected.size(), 17u);
}

TEST(ReportLayouts, ThreeSoundStreamsShowTheThirdAsTheSecond) {
    AviPlan plan = xvidFile();
    plan.audio.push_back({.formatTag = 0x01, .channels = 1, .avgBytesPerSec = 1'000});
    plan.audio.push_back(surroundStream());
    const auto lines = linesOf(testing::analysePlan(plan, kBrief, kXvidSize).report);
    ASSERT_EQ(lines.size(), 17u);
    EXPECT_EQ(lines[15], "    압  축  코  덱   :  AC3 Prologic (DD)");
    EXPECT_EQ(lines[16], "    채 널 (진동수)   :  6.1 채널   ( 48,000 헤르츠(VBR))");
}

// ---------------------------------------------------------------------------------------
// Where each layout ends when a figure fails.

TEST(ReportLayouts, FailurePoints) {
    struct Case {
        const char* name;
        ReportLayout layout;
        std::function<void(AviPlan&)> change;
        std::string report;
    };
    const auto english = [](std::size_t n) { return crlfLines(firstLines(kCinepakEnglish, n)); };
    const auto korean = [](std::size_t n) { return crlfLines(firstLines(kXvidKorean, n)); };
    const auto brief = [](std::size_t n) { return crlfLines(firstLines(kXvidBrief, n)); };
    const std::vector<Case> cases = {
        // A running time of 0 fails the total rate: rows 1 and 2 only.
        {"english_no_frames", kEnglish, [](AviPlan& s) { s.main.totalFrames = 0; }, english(2)},
        {"english_no_frame_time", kEnglish, [](AviPlan& s) { s.main.microSecPerFrame = 0; },
         english(2)},
        {"english_half_second", kEnglish,
         [](AviPlan& s) {
             s.main.microSecPerFrame = 500'000;
             s.main.totalFrames = 1;
         },
         english(2)},
        {"english_no_frames_no_height", kEnglish,
         [](AviPlan& s) {
             s.main.totalFrames = 0;
             s.main.height = 0;
         },
         english(2)},
        // A height of 0 fails the picture ratio: the report ends after the compression line.
        {"english_no_height", kEnglish, [](AviPlan& s) { s.main.height = 0; }, english(7)},
        {"english_no_size", kEnglish,
         [](AviPlan& s) {
             s.main.width = 0;
             s.main.height = 0;
         },
         english(7)},
        {"korean_no_frames", kKorean, [](AviPlan& s) { s.main.totalFrames = 0; }, korean(2)},
        {"korean_no_frame_time", kKorean, [](AviPlan& s) { s.main.microSecPerFrame = 0; },
         korean(2)},
        {"korean_no_height", kKorean, [](AviPlan& s) { s.main.height = 0; }, korean(7)},
        // The brief layout needs neither rate: a height of 0 ends it after row 6, a frame time
        // of 0 in the middle of the frame line.
        {"brief_no_height", kBrief, [](AviPlan& s) { s.main.height = 0; }, brief(6)},
        {"brief_no_height_no_frame_time", kBrief,
         [](AviPlan& s) {
             s.main.height = 0;
             s.main.microSecPerFrame = 0;
         },
         brief(6)},
        {"brief_no_frame_time", kBrief, [](AviPlan& s) { s.main.microSecPerFrame = 0; },
         brief(7) + "    프레임 (초당량)  :  143856 프레임"},
    };
    for (const Case& c : cases) {
        AviPlan plan = xvidFile();
        if (c.layout == kEnglish) plan = cinepakFile();
        c.change(plan);
        const Outcome outcome =
            testing::analysePlan(plan, c.layout, c.layout == kEnglish ? kCinepakSize : kXvidSize);
        EXPECT_EQ(outcome.status, Outcome::Status::Reported) << c.name;
        EXPECT_FALSE(outcome.complete) << c.name;
        EXPECT_FALSE(outcome.problem.empty()) << c.name;
        EXPECT_EQ(outcome.report, c.report) << c.name;
    }
}

TEST(ReportLayouts, RunningTimeOverflowLeavesTheReportEmpty) {
    for (const ReportLayout layout : {kEnglish, kKorean, kBrief}) {
        AviPlan plan = xvidFile();
        plan.main.microSecPerFrame = 2'000'000;
        plan.main.totalFrames = 1'073'741'824;  // 2^31 seconds
        const Outcome outcome = testing::analysePlan(plan, layout, kXvidSize);
        EXPECT_EQ(outcome.status, Outcome::Status::Reported);
        EXPECT_FALSE(outcome.complete);
        EXPECT_EQ(outcome.report, "");
        EXPECT_FALSE(outcome.runTime.has_value());

        plan.main.totalFrames = 1'073'741'823;  // one frame less fits
        EXPECT_TRUE(testing::analysePlan(plan, layout, kXvidSize).complete);
    }
}

TEST(ReportLayouts, CompleteReportsEndWithALineBreakAndHoldNoNul) {
    // A file name and codec texts with NULs, in every layout and sound setup.
    for (const ReportLayout layout : {kEnglish, kKorean, kBrief}) {
        for (std::size_t streams = 0; streams <= 2; ++streams) {
            AviPlan plan = xvidFile();
            plan.video->handler = "RLE";
            makeInfo(plan, "abc");
            plan.audio.resize(streams, AudioPlan{});
            const Outcome outcome = testing::analysePlan(plan, layout, 10, "a\0b.avi"s);
            ASSERT_TRUE(outcome.complete);
            EXPECT_EQ(outcome.report.find('\0'), std::string::npos);
            EXPECT_EQ(outcome.report.substr(outcome.report.size() - 2), "\r\n");
            const auto lines = linesOf(outcome.report);
            EXPECT_TRUE(lines[0].ends_with(": a") || lines[0].ends_with(":  a")) << lines[0];
            const std::size_t expected[3][3] = {{17, 21, 27}, {16, 20, 26}, {11, 13, 17}};
            EXPECT_EQ(lines.size(), expected[static_cast<int>(layout)][streams]);
        }
    }
}

}  // namespace
}  // namespace strovanik::report
