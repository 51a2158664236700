#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "cli/file_analysis.h"

// --check: one verdict line per file and its findings below it, in Korean or in English.
namespace strovanik::cli {

// The file's lines: "NAME: verdict, duration, playable duration, codecs, picture size", then
// each finding indented. Nothing for a file that is not an AVI file or could not be read.
std::string checkText(const FileAnalysis& analysis, report::ReportLayout layout);

// The file's exit status under --check: 0 complete, 4 truncated or damaged, 1 not inspected.
int checkStatusOf(const report::FileResult& result);

// The line --check writes on stderr for the file, or nothing.
std::optional<std::string> checkMessageLine(std::string_view path,
                                            const report::FileResult& result);

}  // namespace strovanik::cli
