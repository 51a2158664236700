#pragma once

#include <string>
#include <string_view>

#include "report/analysis.h"

// The per-file lines of --check, which the window's file check shows too: both must say the
// same of a file, word for word.
namespace strovanik::report {

// "PATH: verdict, duration, playable duration, codecs, picture size", then each finding
// indented, every line ending in "\n". Nothing when the file was not inspected (not an AVI
// file, or one that could not be read).
std::string checkText(std::string_view path, const FileResult& result, bool english);

}  // namespace strovanik::report
