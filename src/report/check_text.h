#pragma once

#include <string>
#include <string_view>

#include "report/analysis.h"

// What a whole-file check says of one file, in Korean or in English: what the command line's
// --check prints for it, and what a window can show.
namespace strovanik::report {

// The file's lines: "NAME: verdict, duration, playable duration, codecs, picture size", then
// each finding indented, each line ending in "\n". Nothing for a file that was not inspected.
std::string checkText(std::string_view name, const FileResult& result, ReportLayout layout);

}  // namespace strovanik::report
