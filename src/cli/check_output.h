#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "report/analysis.h"

// --check: one verdict line per file and its findings below it (report::checkText), and its
// exit status and messages.
namespace strovanik::cli {

// The file's exit status under --check: 0 complete, 4 truncated or damaged, 1 not inspected.
int checkStatusOf(const report::FileResult& result);

// The line --check writes on stderr for the file, or nothing.
std::optional<std::string> checkMessageLine(std::string_view path,
                                            const report::FileResult& result);

}  // namespace strovanik::cli
