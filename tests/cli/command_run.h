#pragma once

#include <sstream>
#include <string>
#include <vector>

#include "cli/report_command.h"

namespace strovanik::testing {

// What one run of strovanik-report left behind.
struct CommandRun {
    int status = -1;
    std::string out;
    std::string err;
};

inline CommandRun runInProcess(const std::vector<std::string>& args) {
    std::ostringstream out;
    std::ostringstream err;
    CommandRun run;
    run.status = cli::runReportCommand(args, out, err);
    run.out = out.str();
    run.err = err.str();
    return run;
}

inline std::size_t countOf(const std::string& text, std::string_view what) {
    std::size_t count = 0;
    for (std::size_t at = text.find(what); at != std::string::npos;
         at = text.find(what, at + what.size())) {
        ++count;
    }
    return count;
}

// The text with CR LF line ends, as the window shows and copies what the command prints.
inline std::string withCrLf(const std::string& text) {
    std::string lines;
    for (const char c : text) {
        if (c == '\n') lines += '\r';
        lines += c;
    }
    return lines;
}

// Every line feed comes after a carriage return.
inline bool onlyCrLfLineEnds(const std::string& text) {
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\n' && (i == 0 || text[i - 1] != '\r')) return false;
    }
    return true;
}

}  // namespace strovanik::testing
