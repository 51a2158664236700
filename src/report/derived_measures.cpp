#include "report/derived_measures.h"

#include <cmath>
#include <limits>
#include <string>
#include <string_view>

#include "report/number_text.h"

namespace strovanik::report {

namespace {

// Each failure is told in plain words: which header field made which figure impossible.
double checked(double value, std::string_view figure) {
    if (!std::isfinite(value)) {
        throw FigureError("the header's numbers make " + std::string(figure) +
                          " too large to be worked out");
    }
    return value;
}

// `zeroDivisor` says what the divisor is, for the message when it is 0.
double divided(double dividend, double divisor, std::string_view zeroDivisor,
               std::string_view figure) {
    if (divisor == 0) {
        throw FigureError(std::string(zeroDivisor) + " is 0, so " + std::string(figure) +
                          " cannot be worked out");
    }
    return checked(dividend / divisor, figure);
}

constexpr std::string_view kZeroRunningTime = "the running time in seconds";

}  // namespace

ReportLayout chooseLayout(bool koreanChecked, bool briefChecked) {
    if (!koreanChecked) return ReportLayout::English;
    return briefChecked ? ReportLayout::KoreanBrief : ReportLayout::KoreanDetailed;
}

std::string_view reportLayoutName(ReportLayout layout) {
    return nameOf<ReportLayout>(kLayoutNames, layout);
}

RunTime computeRunTime(const container::AviMainHeader& mainHeader) {
    // The division comes first, as the running time has always been worked out.
    const double seconds = static_cast<double>(mainHeader.dwMicroSecPerFrame) / 1'000'000.0 *
                           static_cast<double>(mainHeader.dwTotalFrames);
    const double rounded = std::nearbyint(seconds);  // halves to the even neighbour
    if (!(rounded >= std::numeric_limits<std::int32_t>::min() &&
          rounded <= std::numeric_limits<std::int32_t>::max())) {
        throw FigureError(
            "the frame time times the number of frames is too long a running time to be "
            "counted in seconds");
    }
    RunTime t;
    t.runSeconds = static_cast<std::int32_t>(rounded);
    t.runHours = t.runSeconds / 3600;
    t.runMinutes = t.runSeconds % 3600 / 60;
    t.runRestSeconds = t.runSeconds % 3600 % 60;
    return t;
}

double DerivedMeasures::sizeMegabytes() const {
    return static_cast<double>(fileSize_) / 1024.0 / 1024.0;
}

std::string DerivedMeasures::sizeMegabytesText() const {
    const double mb = sizeMegabytes();
    if (mb < 10) return patternForm(std::floor(mb * 100) / 100, "0.00 ");
    if (mb < 100) return patternForm(std::floor(mb * 10) / 10, "00.0 ");
    return patternForm(std::floor(mb), "#### ");
}

double DerivedMeasures::totalRate() const {
    constexpr std::string_view kFigure = "the total rate";
    return std::floor(divided(riffSize_, runTime_.runSeconds, kZeroRunningTime, kFigure) / 1024);
}

double DerivedMeasures::framesPerSecond() const {
    return divided(1'000'000.0, headers_.mainHeader.dwMicroSecPerFrame,
                   "the frame time in microseconds", "the frame rate");
}

double DerivedMeasures::pictureRatio() const {
    return divided(headers_.mainHeader.dwWidth, headers_.mainHeader.dwHeight, "the picture height",
                   "the picture ratio");
}

double DerivedMeasures::videoBitrate() const {
    constexpr std::string_view kFigure = "the video bitrate";
    double rate = divided(riffSize_, runTime_.runSeconds, kZeroRunningTime, kFigure);
    rate -= headers_.audioStream1.nAvgBytesPerSec();
    if (hasSecondAudio()) rate -= headers_.audioStream2.nAvgBytesPerSec();
    return checked(rate / 1024 * 8, kFigure);
}

QualityGrade DerivedMeasures::qualityGrade() const {
    return headers_.videoStream.dwQuality() == 10000 ? QualityGrade::High : QualityGrade::Normal;
}

bool DerivedMeasures::hasAudio() const { return container::isSoundStream(headers_.audioStream1); }

bool DerivedMeasures::hasSecondAudio() const { return headers_.hasSecondAudio(); }

ChannelClass DerivedMeasures::channelClass(const container::AviStreamRecord& audio) {
    const std::int16_t channels = audio.nChannels();
    if (channels > 4) return ChannelClass::Surround;
    return channels > 1 ? ChannelClass::Stereo : ChannelClass::Mono;
}

double DerivedMeasures::audioBitrate(const container::AviStreamRecord& audio) {
    return std::floor(static_cast<double>(audio.nAvgBytesPerSec()) / 1000 * 8);
}

std::string_view DerivedMeasures::vbrMark(const container::AviStreamRecord& audio) {
    return audio.nBlockAlign() == 1152 ? "(VBR)" : "";
}

}  // namespace strovanik::report
