#include "cli/progress.h"

#include <cmath>
#include <cstdio>
#include <string_view>

#ifdef _WIN32
#include <io.h>
#else
#include <unistd.h>
#endif

#include "cli/file_analysis.h"

namespace strovanik::cli {

namespace {

constexpr auto kFirstDrawAfter = std::chrono::milliseconds(200);
constexpr auto kRedrawEvery = std::chrono::milliseconds(100);

}  // namespace

bool stderrIsTerminal() {
#ifdef _WIN32
    return _isatty(_fileno(stderr)) != 0;
#else
    return isatty(STDERR_FILENO) == 1;
#endif
}

bool progressWanted() {
#ifdef _WIN32
    const bool stdoutIsTerminal = _isatty(_fileno(stdout)) != 0;
#else
    const bool stdoutIsTerminal = isatty(STDOUT_FILENO) == 1;
#endif
    return stderrIsTerminal() && !stdoutIsTerminal;
}

ProgressLine::ProgressLine(std::ostream& terminal, std::optional<std::size_t> total, bool enabled)
    : terminal_(terminal), total_(total), enabled_(enabled), started_(Clock::now()) {}

std::string ProgressLine::text(std::size_t done, std::optional<std::size_t> total, double seconds) {
    const double rate = seconds > 0 ? static_cast<double>(done) / seconds : 0.0;
    const std::string of = total ? "/" + std::to_string(*total) : std::string();
    return std::string(kProgramName) + ": " + std::to_string(done) + of + " files, " +
           std::to_string(std::llround(rate)) + " files/s";
}

void ProgressLine::filesDone(std::size_t done, Clock::time_point now) {
    draw([&](double seconds) { return text(done, total_, seconds); }, now);
}

void ProgressLine::bytesDone(std::int64_t done, std::int64_t total, Clock::time_point now) {
    draw(
        [&](double seconds) {
            const auto megabytes = [](double bytes) { return std::llround(bytes / 1e6); };
            const double rate = seconds > 0 ? static_cast<double>(done) / seconds : 0.0;
            const long long percent = total > 0 ? done * 100 / total : 100;
            return std::string(kProgramName) + ": " + std::to_string(percent) + "% of " +
                   std::to_string(megabytes(static_cast<double>(total))) + " MB, " +
                   std::to_string(megabytes(rate)) + " MB/s";
        },
        now);
}

template <typename Text>
void ProgressLine::draw(Text makeText, Clock::time_point now) {
    if (!enabled_ || now - started_ < kFirstDrawAfter) return;
    if (now - lastDrawn_ < kRedrawEvery) return;
    const std::string line = makeText(std::chrono::duration<double>(now - started_).count());
    terminal_ << '\r' << line;
    // A shorter line than the one before leaves no characters of it behind.
    if (line.size() < shownWidth_) {
        terminal_ << std::string(shownWidth_ - line.size(), ' ') << '\r' << line;
    }
    terminal_.flush();
    shownWidth_ = line.size();
    lastDrawn_ = now;
}

void ProgressLine::clear() {
    if (shownWidth_ == 0) return;
    terminal_ << '\r' << std::string(shownWidth_, ' ') << '\r';
    terminal_.flush();
    shownWidth_ = 0;
}

}  // namespace strovanik::cli
