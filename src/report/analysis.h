#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "container/avi_header_set.h"
#include "container/byte_source.h"
#include "container/container_kind.h"
#include "report/derived_measures.h"
#include "report/figures.h"
#include "report/inspection.h"
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
    bool inspect = false;  // walk the whole file too
};

// Everything one analysis yields, made once; each output only chooses what to show of it.
struct FileResult {
    Outcome outcome;                       // the report (the window's text), possibly partial
    std::int64_t fileSize = 0;             // the length the figures were worked out from
    std::optional<Figures> figures;        // set when the header scan finished
    std::optional<Inspection> inspection;  // an AVI file's, when asked for and readable
};

// Recognises the container from the first twelve bytes and, for an AVI file, scans its
// headers, names its codecs, works out the figures and writes the report in the requested
// layout; with `inspect`, walks the whole file too.
FileResult examine(container::ByteSource& source, const AnalysisRequest& request);

// Opens `utf8Path` read-only and examines it. When `request.fileSize` is not given, the
// file's own length is used.
FileResult examineFile(std::string_view utf8Path, AnalysisRequest request,
                       std::optional<std::int64_t> fileSize = std::nullopt);

// The report alone, as the window shows it.
Outcome analyse(container::ByteSource& source, const AnalysisRequest& request);
Outcome analyseFile(std::string_view utf8Path, std::string_view fileName, ReportLayout layout,
                    std::optional<std::int64_t> fileSize = std::nullopt);

}  // namespace strovanik::report

namespace strovanik::report {

// The characters that separate a path's folders: "/", and on Windows "\" too.
#ifdef _WIN32
inline constexpr std::string_view kPathSeparators = "\\/";
#else
inline constexpr std::string_view kPathSeparators = "/";
#endif

// The bare file name: the text after the last path separator.
std::string_view bareFileName(std::string_view path);

}  // namespace strovanik::report
