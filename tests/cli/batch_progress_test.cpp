#include <gtest/gtest.h>

#include <chrono>
#include <sstream>
#include <string>

#include "cli/batch_fixture.h"
#include "cli/progress.h"

// The progress line of a batch on a terminal: drawn in place, late enough that a quick
// batch never shows it, not too often, and gone without a trace when cleared.
namespace strovanik::testing {
namespace {

using cli::ProgressLine;
using std::chrono::milliseconds;

TEST(ProgressLine, TextCountsFilesAndRate) {
    const struct {
        std::size_t done;
        std::size_t total;
        double seconds;
        std::string_view text;
    } cases[] = {
        {0, 10, 0.0, "strovanik-report: 0/10 files, 0 files/s"},
        {5, 10, 0.0, "strovanik-report: 5/10 files, 0 files/s"},
        {5, 10, 2.0, "strovanik-report: 5/10 files, 3 files/s"},  // 2.5 rounds away from 0
        {3000, 10000, 0.75, "strovanik-report: 3000/10000 files, 4000 files/s"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(ProgressLine::text(c.done, c.total, c.seconds), c.text);
    }
}

TEST(ProgressLine, DrawsInPlaceOnlyAfterAMomentAndAtMostTenTimesASecond) {
    std::ostringstream terminal;
    const auto start = ProgressLine::Clock::now();
    ProgressLine line(terminal, 100, true);
    line.filesDone(1, start + milliseconds(50));
    EXPECT_EQ(terminal.str(), "") << "a quick batch shows nothing";

    line.filesDone(40, start + milliseconds(1000));
    const std::string first = terminal.str();
    ASSERT_TRUE(first.starts_with("\rstrovanik-report: 40/100 files, ")) << first;
    EXPECT_EQ(first.find('\n'), std::string::npos);

    line.filesDone(41, start + milliseconds(1050));
    EXPECT_EQ(terminal.str(), first) << "redrawn too soon";

    line.filesDone(100, start + milliseconds(2000));
    EXPECT_TRUE(terminal.str().substr(first.size()).starts_with("\rstrovanik-report: 100/100"));
}

TEST(ProgressLine, AShorterLineAndClearingLeaveNothingBehind) {
    std::ostringstream terminal;
    const auto start = ProgressLine::Clock::now();
    ProgressLine line(terminal, 100, true);
    line.filesDone(99, start + milliseconds(300));  // "99/100 files, 330 files/s"
    const std::size_t longWidth = terminal.str().size() - 1;
    line.filesDone(100, start + milliseconds(100'000));  // "100/100 files, 1 files/s"
    const std::string redraw = terminal.str().substr(longWidth + 1);
    const std::string shortLine = ProgressLine::text(100, 100, 100.0);
    ASSERT_LT(shortLine.size(), longWidth);
    EXPECT_EQ(redraw,
              "\r" + shortLine + std::string(longWidth - shortLine.size(), ' ') + "\r" + shortLine);

    terminal.str("");
    line.clear();
    EXPECT_EQ(terminal.str(), "\r" + std::string(shortLine.size(), ' ') + "\r");
    terminal.str("");
    line.clear();
    EXPECT_EQ(terminal.str(), "") << "nothing shown, nothing to clear";
}

TEST(ProgressLine, ADisabledLineNeverWrites) {
    std::ostringstream terminal;
    const auto start = ProgressLine::Clock::now();
    ProgressLine line(terminal, 100, false);
    for (int i = 1; i <= 100; ++i) line.filesDone(i, start + milliseconds(1000 * i));
    line.clear();
    EXPECT_EQ(terminal.str(), "");
}

// Asking for --format text, or for nothing, prints the same bytes, whatever the files.
TEST(BatchText, FormatTextIsTheDefaultUnchanged) {
    Collection c;
    const std::vector<std::string> files = {c.avi("good.avi"), c.avi("partial.avi", partialPlan()),
                                            c.write("ogg.avi", oggBytes()),
                                            (c.root() / "missing.avi").string()};
    for (const std::vector<std::string>& options :
         {std::vector<std::string>{}, {"--layout", "english"}, {"--encoding", "cp949"}}) {
        for (std::size_t n = 1; n <= files.size(); ++n) {
            std::vector<std::string> args = options;
            args.insert(args.end(), files.begin(), files.begin() + static_cast<long>(n));
            const CommandRun plain = runInProcess(args);
            args.insert(args.begin(), {"--format", "text"});
            const CommandRun text = runInProcess(args);
            EXPECT_EQ(text.out, plain.out);
            EXPECT_EQ(text.err, plain.err);
            EXPECT_EQ(text.status, plain.status);
        }
    }
}

}  // namespace
}  // namespace strovanik::testing
