#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <ostream>
#include <string>

namespace strovanik::cli {

// Whether the process's standard error is a terminal, where a progress line helps; in a
// file or a pipe it would only be noise.
bool stderrIsTerminal();

// A progress line is drawn when standard error is a terminal and standard output is not:
// when the reports themselves scroll by on the terminal they show the progress already.
bool progressWanted();

// The line "strovanik-report: 120/10000 files, 2400 files/s" redrawn in place on a
// terminal while a batch runs ("120 files" while the number to come is not known). It appears only
// once the batch has run for a moment, so a quick one never shows it, and it is redrawn a few times
// a second at most. Anything else written to the terminal must call clear() first.
class ProgressLine {
public:
    using Clock = std::chrono::steady_clock;

    // A disabled line never writes anything.
    ProgressLine(std::ostream& terminal, std::optional<std::size_t> total, bool enabled);

    void filesDone(std::size_t done, Clock::time_point now = Clock::now());
    // For one long file instead: "strovanik-report: 41% of 1.2 GB, 380 MB/s".
    void bytesDone(std::int64_t done, std::int64_t total, Clock::time_point now = Clock::now());
    // Removes the line, if it is shown.
    void clear();

    static std::string text(std::size_t done, std::optional<std::size_t> total, double seconds);

private:
    // Draws the line `text(seconds since the start)`, unless it is too early for it.
    template <typename Text>
    void draw(Text text, Clock::time_point now);

    std::ostream& terminal_;
    std::optional<std::size_t> total_;
    bool enabled_;
    Clock::time_point started_;
    Clock::time_point lastDrawn_{};  // long ago: the first redraw is never held back
    std::size_t shownWidth_ = 0;
};

}  // namespace strovanik::cli
