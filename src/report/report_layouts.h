#pragma once

#include <cstdint>
#include <initializer_list>
#include <string>
#include <string_view>

#include "container/avi_header_set.h"
#include "report/derived_measures.h"

namespace strovanik::report {

// Line end of every report line.
inline constexpr std::string_view kCrLf = "\r\n";

struct CodecTexts {
    std::string videoCodecText;
    std::string audioCodecText1;
    std::string audioCodecText2;  // empty unless a second audio stream was found
};

// What a layout reports on.
struct ReportInput {
    const container::AviHeaderSet& headers;
    std::string_view fileName;
    std::int64_t fileSize;
    std::int32_t riffSize;
    RunTime runTime;
    const CodecTexts& codecs;
};

// The first row of a report replaces the text; every later row is appended to it.
void ReplaceReport(std::string& report, std::initializer_list<std::string_view> pieces);
void AppendToReport(std::string& report, std::initializer_list<std::string_view> pieces);

// A text inserted into a row as it is ends at its first NUL character: no report holds one.
std::string_view insertedText(std::string_view text);

// A text of the report as a value: up to its first NUL, without the spaces that line it up
// in the report (the codec texts' leading space, the make-info padding, the size text's
// trailing space).
std::string valueText(std::string_view text);

// The make-info text as the layout's report shows it, in its words for unknown and edited
// make-info, padded as the report pads it (see normalizedMakeInfo).
std::string shownMakeInfo(const container::AviHeaderSet& headers, ReportLayout layout);

// The three layouts. Each writes its rows into `report` in order and computes a figure when
// its row is written; a figure that fails throws FigureError and leaves the rows before it.
void WriteEnglishReport(const ReportInput& input, std::string& report);
void WriteKoreanDetailedReport(const ReportInput& input, std::string& report);
void WriteKoreanBriefReport(const ReportInput& input, std::string& report);

void writeReport(ReportLayout layout, const ReportInput& input, std::string& report);

}  // namespace strovanik::report
