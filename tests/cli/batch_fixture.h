#pragma once

#include <filesystem>
#include <sstream>
#include <string>
#include <string_view>
#include <vector>

#include "cli/command_run.h"
#include "support/avi_writer.h"

// Collections on disk for the batch, JSON and CSV tests, and strovanik-report run on them
// in-process (runInProcess).
namespace strovanik::testing {

// The lines of a text, without their line ends ("\n" or "\r\n").
inline std::vector<std::string> linesOf(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        lines.push_back(line);
    }
    return lines;
}

// The headings "==> FILE <==" of a text report, in order: the files as reported.
inline std::vector<std::string> headingsOf(const std::string& text) {
    std::vector<std::string> files;
    for (const std::string& line : linesOf(text)) {
        if (line.starts_with("==> ") && line.ends_with(" <==")) {
            files.push_back(line.substr(4, line.size() - 8));
        }
    }
    return files;
}

class Collection {
public:
    // Writes an AVI file at `relative` (folders made as needed) and returns its path.
    std::string avi(std::string_view relative, const AviPlan& plan = {}) {
        return write(relative, buildAvi(plan));
    }

    std::string write(std::string_view relative, const Bytes& bytes) {
        const std::filesystem::path path = folder_ / relative;
        std::filesystem::create_directories(path.parent_path());
        writeFile(path, bytes);
        return path.string();
    }

    std::string folder(std::string_view relative = "") const {
        const std::filesystem::path path = relative.empty() ? folder_.path() : folder_ / relative;
        std::filesystem::create_directories(path);
        return path.string();
    }

    std::filesystem::path root() const { return folder_.path(); }

private:
    TempFolder folder_;
};

// An Ogg file, which the command refuses with its kind's message.
inline Bytes oggBytes() { return concat({text("OggS"), Bytes(60, 0)}); }

// An AVI file whose report ends early: its picture height is zero, so the picture ratio
// fails in every layout.
inline AviPlan partialPlan() {
    AviPlan plan;
    plan.main.height = 0;
    return plan;
}

}  // namespace strovanik::testing
