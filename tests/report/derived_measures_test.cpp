#include "report/derived_measures.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>
#include <vector>

#include "report/report_fixtures.h"

namespace strovanik::report {
namespace {

using testing::AudioPlan;
using testing::MainHeaderPlan;
using testing::VideoPlan;

constexpr std::int32_t kMax = std::numeric_limits<std::int32_t>::max();
constexpr std::int32_t kMin = std::numeric_limits<std::int32_t>::min();

TEST(ComputeRunTime, RoundsHalvesToEvenAndSplits) {
    struct Case {
        std::int32_t microSecPerFrame;
        std::int32_t totalFrames;
        std::int32_t seconds, hours, minutes, rest;
    };
    const std::vector<Case> cases = {
        {40'000, 2'250, 90, 0, 1, 30},
        {500'000, 1, 0, 0, 0, 0},  // 0.5 s
        {500'000, 3, 2, 0, 0, 2},  // 1.5 s
        {500'000, 5, 2, 0, 0, 2},  // 2.5 s
        {500'000, 7, 4, 0, 0, 4},  // 3.5 s
        {499'999, 1, 0, 0, 0, 0},
        {500'001, 1, 1, 0, 0, 1},
        {1'000'000, 3'725, 3'725, 1, 2, 5},
        {41'708, 143'856, 6'000, 1, 40, 0},
        {66'666, 4'500, 300, 0, 5, 0},
        {1'000'000, 330, 330, 0, 5, 30},
        {1'000'000, 360'000, 360'000, 100, 0, 0},
        {0, 1'000, 0, 0, 0, 0},
        {40'000, 0, 0, 0, 0, 0},
        // Negative fields: truncation toward zero, remainders with the dividend's sign.
        {-40'000, 2'250, -90, 0, -1, -30},
        {1'000'000, -3'725, -3'725, -1, -2, -5},
        {-500'000, 5, -2, 0, 0, -2},
        // The edges of the signed 32-bit range.
        {1'000'000, kMax, kMax, 596'523, 14, 7},
        {2'000'000, -1'073'741'824, kMin, -596'523, -14, -8},
    };
    for (const Case& c : cases) {
        const RunTime t = computeRunTime(testing::mainHeader(
            {.microSecPerFrame = c.microSecPerFrame, .totalFrames = c.totalFrames}));
        SCOPED_TRACE(::testing::Message() << c.microSecPerFrame << " x " << c.totalFrames);
        EXPECT_EQ(t.runSeconds, c.seconds);
        EXPECT_EQ(t.runHours, c.hours);
        EXPECT_EQ(t.runMinutes, c.minutes);
        EXPECT_EQ(t.runRestSeconds, c.rest);
    }
}

TEST(ComputeRunTime, OverflowFails) {
    struct Case {
        std::int32_t microSecPerFrame;
        std::int32_t totalFrames;
    };
    for (const Case& c : std::vector<Case>{{2'000'000, 1'073'741'824},
                                           {2'000'000, -1'073'741'825},
                                           {kMax, kMax},
                                           {kMin, kMax},
                                           {-1'000'000, kMin}}) {
        EXPECT_THROW(computeRunTime(testing::mainHeader(
                         {.microSecPerFrame = c.microSecPerFrame, .totalFrames = c.totalFrames})),
                     FigureError)
            << c.microSecPerFrame << " x " << c.totalFrames;
    }
}

TEST(ChooseLayout, FromTheTwoBoxes) {
    EXPECT_EQ(chooseLayout(false, false), ReportLayout::English);
    EXPECT_EQ(chooseLayout(false, true), ReportLayout::English);
    EXPECT_EQ(chooseLayout(true, false), ReportLayout::KoreanDetailed);
    EXPECT_EQ(chooseLayout(true, true), ReportLayout::KoreanBrief);
}

// Figures of a header set; the run time is given as the layouts receive it.
struct Figures {
    container::AviHeaderSet headers;
    std::int64_t fileSize = 0;
    std::int32_t riffSize = 0;
    std::int32_t runSeconds = 0;

    DerivedMeasures measures() const {
        RunTime t;
        t.runSeconds = runSeconds;
        return DerivedMeasures(headers, fileSize, riffSize, t);
    }
};

TEST(DerivedMeasures, SizeBands) {
    struct Case {
        std::int64_t fileSize;
        std::string text;
    };
    const std::vector<Case> cases = {
        {0, "0.00 "},
        {1'048'576, "1.00 "},
        {5'373'952, "5.12 "},
        {10'485'000, "9.99 "},  // 9.9993 MB is cut, never rounded up to 10.00
        {10'485'759, "9.99 "},
        {10'485'760, "10.0 "},  // exactly 10 MB
        {47'710'208, "45.5 "},
        {47'500'000, "45.2 "},
        {104'857'599, "99.9 "},
        {104'857'600, "100 "},  // exactly 100 MB
        {734'003'200, "700 "},
        {735'000'000, "700 "},
        {2'147'483'647, "2047 "},
        {3'221'225'472, "3072 "},  // 3 GiB, measured as the file's real length
        {5'000'000'000, "4768 "},
    };
    for (const Case& c : cases) {
        Figures f;
        f.fileSize = c.fileSize;
        EXPECT_EQ(f.measures().sizeMegabytesText(), c.text) << c.fileSize;
        EXPECT_DOUBLE_EQ(f.measures().sizeMegabytes(), static_cast<double>(c.fileSize) / 1048576);
    }
}

TEST(DerivedMeasures, TotalRateIsCutDown) {
    struct Case {
        std::int32_t riffSize;
        std::int32_t runSeconds;
        double rate;
    };
    const std::vector<Case> cases = {
        {1'048'576, 10, 102},  // 102.4
        {734'003'192, 6'000, 119}, {47'710'200, 300, 155}, {1023, 1, 0}, {0, 5, 0},
        {-1'048'576, 10, -103},  // a negative RIFF size, read signed
        {1'048'576, -10, -103},    {kMax, 1, 2'097'151},
    };
    for (const Case& c : cases) {
        Figures f;
        f.riffSize = c.riffSize;
        f.runSeconds = c.runSeconds;
        EXPECT_EQ(f.measures().totalRate(), c.rate) << c.riffSize << " / " << c.runSeconds;
    }
    Figures zero;
    zero.riffSize = 1'000;
    EXPECT_THROW(zero.measures().totalRate(), FigureError);  // division by zero
    zero.riffSize = 0;
    EXPECT_THROW(zero.measures().totalRate(), FigureError);  // zero by zero
}

TEST(DerivedMeasures, FrameRateAndPictureRatio) {
    Figures f;
    f.headers.mainHeader = testing::mainHeader(
        {.microSecPerFrame = 41'708, .totalFrames = 1, .width = 640, .height = 272});
    EXPECT_DOUBLE_EQ(f.measures().framesPerSecond(), 1'000'000.0 / 41'708);
    EXPECT_DOUBLE_EQ(f.measures().pictureRatio(), 640.0 / 272);

    f.headers.mainHeader =
        testing::mainHeader({.microSecPerFrame = -40'000, .width = -640, .height = 480});
    EXPECT_DOUBLE_EQ(f.measures().framesPerSecond(), -25);
    EXPECT_DOUBLE_EQ(f.measures().pictureRatio(), -640.0 / 480);

    f.headers.mainHeader = testing::mainHeader({.microSecPerFrame = 0, .width = 640, .height = 0});
    EXPECT_THROW(f.measures().framesPerSecond(), FigureError);
    EXPECT_THROW(f.measures().pictureRatio(), FigureError);
    f.headers.mainHeader = testing::mainHeader({.width = 0, .height = 0});
    EXPECT_THROW(f.measures().pictureRatio(), FigureError);
    f.headers.mainHeader = testing::mainHeader({.width = 0, .height = 480});
    EXPECT_EQ(f.measures().pictureRatio(), 0);
}

TEST(DerivedMeasures, VideoBitrate) {
    struct Case {
        const char* name;
        std::int32_t riffSize;
        std::int32_t runSeconds;
        std::vector<std::int32_t> audioByteRates;
        double bitrate;
    };
    const std::vector<Case> cases = {
        {"one_audio", 47'710'200, 300, {11'100}, (47'710'200.0 / 300 - 11'100) / 1024 * 8},
        {"no_audio", 1'024'000, 10, {}, 800},
        {"two_audio", 10'240'000, 10, {16'000, 56'000}, (1'024'000.0 - 16'000 - 56'000) / 1024 * 8},
        // The third stream is the one kept as the second.
        {"three_audio",
         10'240'000,
         10,
         {16'000, 8'000, 56'000},
         (1'024'000.0 - 16'000 - 56'000) / 1024 * 8},
        {"audio_above_total", 1'000'000, 100, {20'000}, -78.125},
    };
    for (const Case& c : cases) {
        Figures f;
        f.riffSize = c.riffSize;
        f.runSeconds = c.runSeconds;
        for (std::size_t i = 0; i < c.audioByteRates.size(); ++i) {
            const auto record = testing::audioRecord({.avgBytesPerSec = c.audioByteRates[i]});
            if (i == 0) {
                f.headers.audioStream1 = record;
                f.headers.audioState = 3;
            } else {
                f.headers.audioStream2 = record;
                f.headers.audioState = 2;
            }
        }
        EXPECT_DOUBLE_EQ(f.measures().videoBitrate(), c.bitrate) << c.name;
    }
    // The second stream's rate counts only when there are two streams.
    Figures f;
    f.riffSize = 1'024'000;
    f.runSeconds = 10;
    f.headers.audioStream2 = testing::audioRecord({.avgBytesPerSec = 50'000});
    f.headers.audioState = 3;
    EXPECT_DOUBLE_EQ(f.measures().videoBitrate(), 800);
    f.runSeconds = 0;
    EXPECT_THROW(f.measures().videoBitrate(), FigureError);
}

TEST(DerivedMeasures, QualityGrade) {
    for (const auto& [quality, grade] :
         std::vector<std::pair<std::int32_t, QualityGrade>>{{10'000, QualityGrade::High},
                                                            {9'999, QualityGrade::Normal},
                                                            {10'001, QualityGrade::Normal},
                                                            {-1, QualityGrade::Normal},
                                                            {0, QualityGrade::Normal}}) {
        Figures f;
        f.headers.videoStream = testing::videoRecord({.quality = quality});
        EXPECT_EQ(f.measures().qualityGrade(), grade) << quality;
    }
}

TEST(DerivedMeasures, AudioPresence) {
    struct Case {
        std::string fccType;
        std::int16_t audioState;
        bool hasAudio;
        bool hasSecondAudio;
    };
    const std::vector<Case> cases = {
        {"auds", 3, true, false}, {"AUDS", 2, true, true},   {"AuDs", 3, true, false},
        {"", 1, false, false},    {"vids", 3, false, false}, {"aud", 3, false, false},
    };
    for (const Case& c : cases) {
        Figures f;
        testing::Bytes bytes(84, 0);
        for (std::size_t i = 0; i < c.fccType.size(); ++i)
            bytes[i] = static_cast<std::uint8_t>(c.fccType[i]);
        f.headers.audioStream1 =
            container::AviStreamRecord(std::span<const std::uint8_t, 84>(bytes.data(), 84));
        f.headers.audioState = c.audioState;
        EXPECT_EQ(f.measures().hasAudio(), c.hasAudio) << c.fccType;
        EXPECT_EQ(f.measures().hasSecondAudio(), c.hasSecondAudio) << c.fccType;
    }
}

TEST(DerivedMeasures, PerStreamFigures) {
    struct Case {
        std::int16_t channels;
        ChannelClass channelClass;
    };
    for (const Case& c : std::vector<Case>{{-1, ChannelClass::Mono},
                                           {0, ChannelClass::Mono},
                                           {1, ChannelClass::Mono},
                                           {2, ChannelClass::Stereo},
                                           {4, ChannelClass::Stereo},
                                           {5, ChannelClass::Surround},
                                           {6, ChannelClass::Surround},
                                           {8, ChannelClass::Surround}}) {
        EXPECT_EQ(DerivedMeasures::channelClass(testing::audioRecord({.channels = c.channels})),
                  c.channelClass)
            << c.channels;
    }
    for (const auto& [bytesPerSec, kilobits] :
         std::vector<std::pair<std::int32_t, double>>{{16'000, 128},
                                                      {20'050, 160},
                                                      {11'100, 88},
                                                      {56'000, 448},
                                                      {124, 0},
                                                      {0, 0},
                                                      {-1'000, -8},
                                                      {-1'001, -9}}) {
        EXPECT_EQ(
            DerivedMeasures::audioBitrate(testing::audioRecord({.avgBytesPerSec = bytesPerSec})),
            kilobits)
            << bytesPerSec;
    }
    for (const auto& [blockAlign, mark] : std::vector<std::pair<std::int16_t, std::string>>{
             {1152, "(VBR)"}, {1, ""}, {4, ""}, {0, ""}, {-1152, ""}, {1153, ""}}) {
        EXPECT_EQ(DerivedMeasures::vbrMark(testing::audioRecord({.blockAlign = blockAlign})), mark)
            << blockAlign;
    }
}

}  // namespace
}  // namespace strovanik::report
