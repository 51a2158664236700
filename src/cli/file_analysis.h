#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "report/analysis.h"

// One file of a batch analysed for the machine-readable outputs, which need the file's
// length beside the outcome, and the wording of what went wrong with it.
namespace strovanik::cli {

// The program's name, as its messages, its help and its version begin.
inline constexpr std::string_view kProgramName = "strovanik-report";

struct FileAnalysis {
    std::string path;  // as given on the command line or found in a folder
    report::FileResult result;
};

// Opens `path` read-only once and analyses it in `layout`, with `inspect` walking the whole
// file too.
FileAnalysis analysePath(const std::string& path, report::ReportLayout layout, bool inspect);

// The file's exit status: 0 reported in full, 1 not reported, 3 the report ended early.
int exitStatusOf(const report::Outcome& outcome);

// Why the file was not reported in full, in the words of the command's messages; nothing
// for a complete report. A refused file gets its kind's own message.
std::optional<std::string> problemText(const report::Outcome& outcome);

// The line the command writes on stderr for the file (without its line end), or nothing.
std::optional<std::string> messageLine(std::string_view path, const report::Outcome& outcome);

// "strovanik-report: PATH: PROBLEM", the shape of every message about one file.
std::string fileMessageLine(std::string_view path, std::string_view problem);

// The problem of a file that could not be read, for the reason given.
std::string cannotBeRead(std::string_view reason);

}  // namespace strovanik::cli
