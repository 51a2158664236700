#include "container/avi_header_set.h"
#include "report/korean_words.h"
#include "report/number_text.h"
#include "report/report_layouts.h"

namespace strovanik::report {

namespace {

std::string channelText(const container::AviStreamRecord& audio) {
    switch (DerivedMeasures::channelClass(audio)) {
        case ChannelClass::Mono:
            return koreanChannelCount(audio) + "  (모노)";
        case ChannelClass::Stereo:
            return koreanChannelCount(audio) + " 채널  (스테레오)";
        case ChannelClass::Surround:
            return koreanChannelCount(audio) + " 채널  (다채널 서라운드)";
    }
    return koreanChannelCount(audio);
}

void writeAudioSection(std::string& report, std::string_view heading, std::string_view codecText,
                       const container::AviStreamRecord& audio, const std::string& channels) {
    AppendToReport(report, {kCrLf, heading, kCrLf});
    AppendToReport(report, {"    ", "압  축  코  덱   : ", insertedText(codecText), kCrLf});
    AppendToReport(report, {"    채    널    수   : ", channels, kCrLf});
    AppendToReport(report, {"    예  제  속  도   :  ",
                            patternForm(std::int64_t{audio.nSamplesPerSec()}, "###,###,###"),
                            " 헤르츠", kCrLf});
    AppendToReport(
        report, {"    비 트 레 이 트   :  ", patternForm(DerivedMeasures::audioBitrate(audio), "0"),
                 " 킬로비트/초  ", DerivedMeasures::vbrMark(audio), kCrLf});
}

}  // namespace

void WriteKoreanDetailedReport(const ReportInput& in, std::string& report) {
    const auto& h = in.headers;
    const auto& main = h.mainHeader;
    const DerivedMeasures m(h, in.fileSize, in.riffSize, in.runTime);
    const std::string makeInfo = shownMakeInfo(h, ReportLayout::KoreanDetailed);
    const RunTime& t = in.runTime;

    ReplaceReport(report, {"    파    일    명   :  ", insertedText(in.fileName), kCrLf});
    AppendToReport(report, {"    파  일  크  기   :  ", patternForm(in.fileSize, "##,###,###,###"),
                            " 바이트 ", "(", m.sizeMegabytesText(), "메가)", kCrLf});
    AppendToReport(report, {"    재 생 전 송 량   :  ", patternForm(m.totalRate(), "0"),
                            " 킬로바이트/초", kCrLf});
    AppendToReport(report, {"    제  작  정  보   :  ", insertedText(makeInfo)});
    AppendToReport(report, {kCrLf});
    AppendToReport(report, {kCrLf, "  비디오(화면) 정보", kCrLf});
    AppendToReport(report,
                   {"    압  축  코  덱   : ", insertedText(in.codecs.videoCodecText), kCrLf});
    AppendToReport(report, {"    화면크기 (비율)  : ", spacedForm(std::int64_t{main.dwWidth}), " x",
                            spacedForm(std::int64_t{main.dwHeight}), "   ( ",
                            patternForm(m.pictureRatio(), "0.00"), " : 1 )", kCrLf});
    AppendToReport(report,
                   {"    프  레  임  수   :  ", plainForm(main.dwTotalFrames), " 프레임", kCrLf});
    if (t.runHours == 0) {
        AppendToReport(report, {"    재  생  시  간   : ", spacedForm(std::int64_t{t.runMinutes}),
                                "분 ", spacedForm(std::int64_t{t.runRestSeconds}), "초", kCrLf});
    } else {
        AppendToReport(report, {"    재  생  시  간   : ", spacedForm(std::int64_t{t.runHours}),
                                "시간 ", spacedForm(std::int64_t{t.runMinutes}), "분 ",
                                spacedForm(std::int64_t{t.runRestSeconds}), "초", kCrLf});
    }
    AppendToReport(report, {"    색          상   :  ", plainForm(h.videoStream.biBitCount()),
                            " 비트", kCrLf});
    AppendToReport(report, {"    초 당 프 레 임   :  ", patternForm(m.framesPerSecond(), "0.000"),
                            " 프레임/초", kCrLf});
    AppendToReport(report, {"    비 트 레 이 트   :  ", patternForm(m.videoBitrate(), "##,##0"),
                            " 킬로비트/초", kCrLf});
    AppendToReport(report,
                   {"    화          질   : ", spacedForm(std::int64_t{h.videoStream.dwQuality()}),
                    m.qualityGrade() == QualityGrade::High ? "  (높음)" : "  (보통)", kCrLf});

    if (!m.hasAudio()) {
        AppendToReport(report, {kCrLf, kNoSoundHeading, kCrLf});
        return;
    }
    const std::string channels1 = channelText(h.audioStream1);
    const std::string channels2 = m.hasSecondAudio() ? channelText(h.audioStream2) : std::string();
    writeAudioSection(report, "  사운드(소리) 정보", in.codecs.audioCodecText1, h.audioStream1,
                      channels1);
    if (m.hasSecondAudio()) {
        writeAudioSection(report, "  2번째 사운드(소리) 정보", in.codecs.audioCodecText2,
                          h.audioStream2, channels2);
    }
}

}  // namespace strovanik::report
