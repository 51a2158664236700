#pragma once

#include <cstdint>
#include <stdexcept>
#include <string>
#include <string_view>

#include "container/avi_header_set.h"
#include "report/named_value.h"

namespace strovanik::report {

// A figure that cannot be computed: a division by zero, an invalid operation or an
// overflow. The report ends before the row that needs it.
class FigureError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

enum class ReportLayout { English, KoreanDetailed, KoreanBrief };

// The layout from the two check boxes: Korean ("한글") and brief ("간단히"); the brief box
// counts only while the Korean one is checked.
ReportLayout chooseLayout(bool koreanChecked, bool briefChecked);

// The layouts' names on the command line, in the order the help lists them, the default first.
inline constexpr NamedValue<ReportLayout> kLayoutNames[] = {
    {"korean", ReportLayout::KoreanDetailed},
    {"brief", ReportLayout::KoreanBrief},
    {"english", ReportLayout::English},
};

std::string_view reportLayoutName(ReportLayout layout);

struct RunTime {
    std::int32_t runSeconds = 0;
    std::int32_t runHours = 0;
    std::int32_t runMinutes = 0;
    std::int32_t runRestSeconds = 0;
};

// Frame time × frame count, rounded half to even. Throws FigureError when the running time
// does not fit a signed 32-bit number.
RunTime computeRunTime(const container::AviMainHeader& mainHeader);

enum class QualityGrade { High, Normal };
enum class ChannelClass { Mono, Stereo, Surround };

// The figures of one analysis, each computed when asked for; those that can fail throw
// FigureError.
class DerivedMeasures {
public:
    DerivedMeasures(const container::AviHeaderSet& headers, std::int64_t fileSize,
                    std::int32_t riffSize, const RunTime& runTime)
        : headers_(headers), fileSize_(fileSize), riffSize_(riffSize), runTime_(runTime) {}

    const RunTime& runTime() const { return runTime_; }
    double sizeMegabytes() const;
    std::string sizeMegabytesText() const;
    double totalRate() const;  // kilobytes (1024) per second, whole
    double framesPerSecond() const;
    double pictureRatio() const;
    double videoBitrate() const;  // kilobits (1024) per second
    QualityGrade qualityGrade() const;
    bool hasAudio() const;
    bool hasSecondAudio() const;

    static ChannelClass channelClass(const container::AviStreamRecord& audio);
    static double audioBitrate(const container::AviStreamRecord& audio);  // kilobits (1000)
    static std::string_view vbrMark(const container::AviStreamRecord& audio);

private:
    const container::AviHeaderSet& headers_;
    std::int64_t fileSize_;
    std::int32_t riffSize_;
    RunTime runTime_;
};

}  // namespace strovanik::report
