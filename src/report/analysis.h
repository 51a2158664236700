#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "container/avi_header_set.h"
#include "container/byte_source.h"
#include "container/container_kind.h"
#include "report/derived_measures.h"
#include "report/report_layouts.h"

// The whole analysis of one file, from its bytes to its report: what every face calls.
namespace strovanik::report {

struct Outcome {
    enum class Status {
        Missing,     // the path names no file
        Unreadable,  // the file exists but cannot be opened or read
        Refused,     // not an AVI file: `kind` says which message to show
        Reported,    // an AVI file: `report` holds its (possibly partial) report
    };
    Status status = Status::Unreadable;
    container::ContainerKind kind = container::ContainerKind::Unknown;
    std::int32_t riffSize = 0;  // bytes 5 to 8, once the first bytes were read
    std::string report;         // UTF-8, CR LF line ends
    bool complete = false;      // Reported: false when a figure failed or the scan gave up
    std::string problem;        // why the file is unreadable or the report incomplete

    // What the analysis found, for the faces that show more than the report.
    std::optional<container::AviHeaderSet> headers;  // set when the scan finished
    CodecTexts codecs;
    std::optional<RunTime> runTime;           // set when the running time was computed
    std::optional<double> sizeMegabytes;      // set when the size row was written
};

struct AnalysisRequest {
    std::string_view fileName;  // the bare name the report shows
    std::int64_t fileSize = 0;  // the length measured when the file was loaded
    ReportLayout layout = ReportLayout::KoreanDetailed;
};

// Recognises the container from the first twelve bytes and, for an AVI file, scans its
// headers, names its codecs and writes the report in the requested layout.
Outcome analyse(container::ByteSource& source, const AnalysisRequest& request);

// Opens `utf8Path` read-only and analyses it. When `fileSize` is not given, the file's own
// length is used.
Outcome analyseFile(std::string_view utf8Path, std::string_view fileName, ReportLayout layout,
                    std::optional<std::int64_t> fileSize = std::nullopt);

}  // namespace strovanik::report

namespace strovanik::report {

// The bare file name: the text after the last path separator ("/", and on Windows "\" too).
std::string_view bareFileName(std::string_view path);

}  // namespace strovanik::report
