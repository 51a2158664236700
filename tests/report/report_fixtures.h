#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "container/avi_header_set.h"
#include "container/byte_source.h"
#include "report/analysis.h"
#include "support/avi_writer.h"

// Shared by the report tests: records made with the AVI writer, and reports split in lines.
namespace strovanik::testing {

// The 84-byte record the scan reads from a stream list (it starts 20 bytes into the list);
// the bytes a short format leaves are zero here.
inline container::AviStreamRecord recordOfList(const Bytes& streamList) {
    Bytes bytes(streamList.begin() + 20, streamList.end());
    bytes.resize(84, 0);
    return container::AviStreamRecord(std::span<const std::uint8_t, 84>(bytes.data(), 84));
}

inline container::AviStreamRecord audioRecord(const AudioSpec& spec) {
    return recordOfList(audioStreamList(spec));
}

inline container::AviStreamRecord videoRecord(const VideoSpec& spec) {
    return recordOfList(videoStreamList(spec));
}

inline container::AviMainHeader mainHeader(const MainHeaderSpec& spec) {
    const Bytes bytes = mainHeaderData(spec);
    return container::AviMainHeader::fromBytes(std::span<const std::uint8_t, 56>(bytes.data(), 56));
}

// Lines joined with CR LF after each.
inline std::string crlfLines(const std::vector<std::string>& lines) {
    std::string text;
    for (const std::string& line : lines) text += line + "\r\n";
    return text;
}

// The report's lines without their CR LF; a last line without one is kept as it is.
inline std::vector<std::string> linesOf(std::string_view report) {
    std::vector<std::string> lines;
    while (!report.empty()) {
        const std::size_t end = report.find("\r\n");
        if (end == std::string_view::npos) {
            lines.emplace_back(report);
            break;
        }
        lines.emplace_back(report.substr(0, end));
        report.remove_prefix(end + 2);
    }
    return lines;
}

// The analysis of a file written by buildAvi, as the window would run it.
inline report::Outcome analyseSpec(const AviSpec& spec, report::ReportLayout layout,
                                   std::int64_t fileSize = -1,
                                   std::string_view fileName = "sample.avi") {
    Bytes bytes = buildAvi(spec);
    const std::int64_t size = fileSize >= 0 ? fileSize : static_cast<std::int64_t>(bytes.size());
    container::MemorySource source(std::move(bytes));
    return report::analyse(source, {fileName, size, layout});
}

}  // namespace strovanik::testing
