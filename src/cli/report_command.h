#pragma once

#include <istream>
#include <ostream>
#include <string>
#include <vector>

namespace strovanik::cli {

// Exit statuses of strovanik-report; with several files the highest one wins.
enum ExitStatus : int {
    kExitReported = 0,
    kExitNotReported = 1,  // not an AVI file, or a file that is missing or cannot be read
    kExitUsage = 2,
    kExitIncomplete = 3,  // the report ended early
    kExitDamaged = 4,     // --check: a file is truncated or damaged
};

// Runs strovanik-report with its arguments (without the program name) and returns the exit
// status. Reports go to `out` byte for byte; messages go to `err`, one line each. With
// `showProgress`, a batch of files draws a progress line on `err`, which must be a terminal.
// `--files-from -` reads `in`, standard input when it is null.
int runReportCommand(const std::vector<std::string>& args, std::ostream& out, std::ostream& err,
                     bool showProgress = false, std::istream* in = nullptr);

}  // namespace strovanik::cli
