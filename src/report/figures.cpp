#include "report/figures.h"

#include "report/report_layouts.h"

namespace strovanik::report {

namespace {

template <typename Compute>
auto figureOf(Compute compute) -> Figure<decltype(compute())> {
    try {
        return {compute(), {}};
    } catch (const FigureError& error) {
        return {std::nullopt, error.what()};
    }
}

template <typename T>
Figure<T> failed(const std::string& reason) {
    return {std::nullopt, reason};
}

SoundFigures soundFigures(const container::AviStreamRecord& audio) {
    return {DerivedMeasures::channelClass(audio), DerivedMeasures::audioBitrate(audio),
            !DerivedMeasures::vbrMark(audio).empty()};
}

}  // namespace

Figures computeFigures(const container::AviHeaderSet& headers, std::int64_t fileSize,
                       std::int32_t riffSize, const Figure<RunTime>& runTime) {
    const DerivedMeasures m(headers, fileSize, riffSize, runTime.value.value_or(RunTime{}));
    Figures f;
    f.runTime = runTime;
    f.sizeMegabytes = figureOf([&] { return m.sizeMegabytes(); });
    f.sizeMegabytesText = figureOf([&] { return valueText(m.sizeMegabytesText()); });
    // The rates divide by the running time: without it they fail for the same reason.
    const auto timed = [&](auto compute) {
        return runTime.value ? figureOf(compute) : failed<double>(runTime.failure);
    };
    f.totalRate = timed([&] { return m.totalRate(); });
    f.framesPerSecond = figureOf([&] { return m.framesPerSecond(); });
    f.pictureRatio = figureOf([&] { return m.pictureRatio(); });
    f.videoBitrate = timed([&] { return m.videoBitrate(); });
    f.qualityGrade = m.qualityGrade();
    // The scan reads a stream list into the video record only when its type is vids, and the
    // record starts with that type.
    f.hasVideo = container::isVideoStream(headers.videoStream);
    f.hasAudio = m.hasAudio();
    f.hasSecondAudio = m.hasSecondAudio();
    if (f.hasAudio) f.sound1 = soundFigures(headers.audioStream1);
    if (f.hasSecondAudio) f.sound2 = soundFigures(headers.audioStream2);
    return f;
}

}  // namespace strovanik::report
