#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "container/avi_header_set.h"
#include "report/derived_measures.h"

// Every figure of one analysis, worked out once: the report shows them as text, the
// machine-readable outputs carry them as values.
namespace strovanik::report {

// A figure's value, or why it could not be worked out.
template <typename T>
struct Figure {
    std::optional<T> value;
    std::string failure;  // set when there is no value
};

struct SoundFigures {
    ChannelClass channelClass = ChannelClass::Mono;
    double audioBitrate = 0;
    bool vbr = false;  // the report's "(VBR)" mark
};

struct Figures {
    Figure<RunTime> runTime;
    Figure<double> sizeMegabytes;
    Figure<std::string> sizeMegabytesText;  // without the report's trailing space
    Figure<double> totalRate;
    Figure<double> framesPerSecond;
    Figure<double> pictureRatio;
    Figure<double> videoBitrate;
    QualityGrade qualityGrade = QualityGrade::Normal;
    bool hasVideo = false;  // a stream list of type vids was found
    bool hasAudio = false;
    bool hasSecondAudio = false;
    std::optional<SoundFigures> sound1;  // set for each sound stream the file has
    std::optional<SoundFigures> sound2;
};

// Works out every figure; those that need the running time fail with it.
Figures computeFigures(const container::AviHeaderSet& headers, std::int64_t fileSize,
                       std::int32_t riffSize, const Figure<RunTime>& runTime);

}  // namespace strovanik::report
