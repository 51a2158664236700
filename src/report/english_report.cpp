#include "container/avi_header_set.h"
#include "report/number_text.h"
#include "report/report_layouts.h"

namespace strovanik::report {

namespace {

std::string channelText(const container::AviStreamRecord& audio) {
    const std::string count = spacedForm(std::int64_t{audio.nChannels()});
    switch (DerivedMeasures::channelClass(audio)) {
        case ChannelClass::Mono:
            return count + "  (Mono)";
        case ChannelClass::Stereo:
            return count + " ch  (Stereo)";
        case ChannelClass::Surround:
            return count + ".1 ch  (Surround)";
    }
    return count;
}

void writeAudioSection(std::string& report, std::string_view heading, std::string_view codecText,
                       const container::AviStreamRecord& audio, const std::string& channels) {
    AppendToReport(report, {kCrLf, heading, kCrLf});
    AppendToReport(report, {"    Compression   : ", insertedText(codecText), kCrLf});
    AppendToReport(report, {"    Channels      : ", channels, kCrLf});
    AppendToReport(
        report, {"    Samples Rate  :  ",
                 patternForm(std::int64_t{audio.nSamplesPerSec()}, "###,###,###"), " Hz", kCrLf});
    AppendToReport(report,
                   {"    Audio bitrate :  ", patternForm(DerivedMeasures::audioBitrate(audio), "0"),
                    " Kbps  ", DerivedMeasures::vbrMark(audio), kCrLf});
}

}  // namespace

void WriteEnglishReport(const ReportInput& in, std::string& report) {
    const auto& h = in.headers;
    const auto& main = h.mainHeader;
    const DerivedMeasures m(h, in.fileSize, in.riffSize, in.runTime);
    const std::string makeInfo = shownMakeInfo(h, ReportLayout::English);
    const RunTime& t = in.runTime;

    ReplaceReport(report, {"    Filename  : ", insertedText(in.fileName), kCrLf});
    AppendToReport(report, {"    Filesize  : ", patternForm(in.fileSize, "##,###,###,###"),
                            " Byte   ", "(", m.sizeMegabytesText(), "MB)", kCrLf});
    AppendToReport(report,
                   {"    Total Rate  :  ", patternForm(m.totalRate(), "0"), " KByte/sec", kCrLf});
    AppendToReport(report, {"    Make info.  :  ", insertedText(makeInfo)});
    AppendToReport(report, {kCrLf});
    AppendToReport(report, {kCrLf, "  Video Stream", kCrLf});
    AppendToReport(report, {"    Compression   : ", insertedText(in.codecs.videoCodecText), kCrLf});
    AppendToReport(report, {"    Size (Ratio)  : ", spacedForm(std::int64_t{main.dwWidth}), " x",
                            spacedForm(std::int64_t{main.dwHeight}), "   ( ",
                            patternForm(m.pictureRatio(), "0.00"), " : 1 )", kCrLf});
    AppendToReport(report, {"    Total Frames  :  ", plainForm(main.dwTotalFrames), kCrLf});
    AppendToReport(report, {"    Running Time  : ", spacedForm(std::int64_t{t.runHours}), ":",
                            spacedForm(std::int64_t{t.runMinutes}), ":",
                            spacedForm(std::int64_t{t.runRestSeconds}), kCrLf});
    AppendToReport(
        report, {"    Color Depth   :  ", plainForm(h.videoStream.biBitCount()), " bits", kCrLf});
    AppendToReport(report, {"    Frame/Secend  :  ", patternForm(m.framesPerSecond(), "0.000"),
                            " fps", kCrLf});
    AppendToReport(
        report, {"    Microsec/Frame: ", spacedForm(std::int64_t{main.dwMicroSecPerFrame}), kCrLf});
    AppendToReport(
        report, {"    Video Bitrate :  ", patternForm(m.videoBitrate(), "##,##0"), " Kbps", kCrLf});
    AppendToReport(report,
                   {"    Video Quality : ", spacedForm(std::int64_t{h.videoStream.dwQuality()}),
                    m.qualityGrade() == QualityGrade::High ? "  (High)" : "  (Normal)", kCrLf});

    if (!m.hasAudio()) {
        AppendToReport(report, {kCrLf, "  Audio stream - No sound ", kCrLf});
        return;
    }
    const std::string channels1 = channelText(h.audioStream1);
    const std::string channels2 = m.hasSecondAudio() ? channelText(h.audioStream2) : std::string();
    writeAudioSection(report, "  Audio stream", in.codecs.audioCodecText1, h.audioStream1,
                      channels1);
    if (m.hasSecondAudio()) {
        writeAudioSection(report, "  2nd Audio stream", in.codecs.audioCodecText2, h.audioStream2,
                          channels2);
    }
}

}  // namespace strovanik::report
