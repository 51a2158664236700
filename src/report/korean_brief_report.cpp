#include "container/avi_header_set.h"
#include "report/korean_words.h"
#include "report/number_text.h"
#include "report/report_layouts.h"

namespace strovanik::report {

namespace {

void writeAudioSection(std::string& report, std::string_view heading, std::string_view codecText,
                       const container::AviStreamRecord& audio, const std::string& channels) {
    AppendToReport(report, {kCrLf, heading, kCrLf});
    AppendToReport(report, {"    ", "압  축  코  덱   : ", insertedText(codecText), kCrLf});
    AppendToReport(report, {"    채 널 (진동수)   : ", channels});
    AppendToReport(report,
                   {"   ( ", patternForm(std::int64_t{audio.nSamplesPerSec()}, "###,###,###"),
                    " 헤르츠", DerivedMeasures::vbrMark(audio), ")", kCrLf});
}

}  // namespace

void WriteKoreanBriefReport(const ReportInput& in, std::string& report) {
    const auto& h = in.headers;
    const auto& main = h.mainHeader;
    const DerivedMeasures m(h, in.fileSize, in.riffSize, in.runTime);
    const std::string makeInfo = shownMakeInfo(h, ReportLayout::KoreanBrief);
    const RunTime& t = in.runTime;

    ReplaceReport(report, {"    파    일    명   :  ", insertedText(in.fileName), kCrLf});
    AppendToReport(report, {"    파  일  크  기   :  ", patternForm(in.fileSize, "##,###,###,###"),
                            " 바이트 ", "(", m.sizeMegabytesText(), "메가)", kCrLf});
    AppendToReport(report, {"    제  작  정  보   :  ", insertedText(makeInfo)});
    AppendToReport(report, {kCrLf});
    AppendToReport(report, {kCrLf, "  비디오 정보", kCrLf});
    AppendToReport(report,
                   {"    압  축  코  덱   : ", insertedText(in.codecs.videoCodecText), kCrLf});
    AppendToReport(report, {"    화면크기 (비율)  : ", spacedForm(std::int64_t{main.dwWidth}), " x",
                            spacedForm(std::int64_t{main.dwHeight}), "   ( ",
                            patternForm(m.pictureRatio(), "0.00"), " : 1 )", kCrLf});
    AppendToReport(report, {"    프레임 (초당량)  :  ", plainForm(main.dwTotalFrames), " 프레임"});
    AppendToReport(report,
                   {"   ( ", patternForm(m.framesPerSecond(), "0.000"), " 프레임/초", " )", kCrLf});
    AppendToReport(report,
                   {"    색상 (재생시간)  :  ", plainForm(h.videoStream.biBitCount()), " 비트"});
    if (t.runHours == 0) {
        AppendToReport(report, {"   (", spacedForm(std::int64_t{t.runMinutes}), "분",
                                spacedForm(std::int64_t{t.runRestSeconds}), "초", " )", kCrLf});
    } else {
        AppendToReport(report, {"   (", spacedForm(std::int64_t{t.runHours}), "시간",
                                spacedForm(std::int64_t{t.runMinutes}), "분",
                                spacedForm(std::int64_t{t.runRestSeconds}), "초", " )", kCrLf});
    }

    if (!m.hasAudio()) {
        AppendToReport(report, {kCrLf, kNoSoundHeading, kCrLf});
        return;
    }
    // The channel texts carry no class word in this layout.
    const std::string channels1 = koreanChannelCount(h.audioStream1) + " 채널";
    const std::string channels2 =
        m.hasSecondAudio() ? koreanChannelCount(h.audioStream2) + " 채널" : std::string();
    writeAudioSection(report, "  사운드 정보", in.codecs.audioCodecText1, h.audioStream1,
                      channels1);
    if (m.hasSecondAudio()) {
        writeAudioSection(report, "  2번째 사운드 정보", in.codecs.audioCodecText2, h.audioStream2,
                          channels2);
    }
}

}  // namespace strovanik::report
