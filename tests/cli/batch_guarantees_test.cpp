#include <gtest/gtest.h>

#include <algorithm>
#include <csignal>
#include <ostream>
#include <set>
#include <streambuf>
#include <string>
#include <vector>

#include "cli/batch_fixture.h"
#include "cli/fault_note.h"
#include "support/small_stack.h"

// What a batch guarantees whatever one file does: each file's output reaches the system whole
// as soon as its turn comes, and a fault, should one ever stop the program, names the file.
namespace strovanik::testing {
namespace {

// Keeps a copy of the output at every flush.
class FlushRecorder final : public std::stringbuf {
public:
    std::vector<std::string> flushed;

protected:
    int sync() override {
        flushed.push_back(str());
        return 0;
    }
};

// How many of the files `names` the text names.
std::size_t filesNamed(const std::string& text, const std::vector<std::string>& names) {
    return static_cast<std::size_t>(std::count_if(
        names.begin(), names.end(),
        [&](const std::string& name) { return text.find(name) != std::string::npos; }));
}

TEST(BatchGuarantees, EveryFileIsFlushedWholeWhenItsTurnComes) {
    Collection collection;
    constexpr std::size_t kFiles = 6;
    std::vector<std::string> names;
    for (std::size_t i = 0; i < kFiles; ++i) {
        names.push_back("clip-" + std::to_string(i) + ".avi");
        collection.avi(names.back());
    }
    const std::string folder = collection.folder();
    const struct {
        std::vector<std::string> options;
        const char* recordEnd;  // how the output ends after a whole record
    } cases[] = {
        {{"--format", "jsonl"}, "\n"},           {{"--format", "json"}, "}"},
        {{"--format", "csv"}, "\r\n"},           {{"--format", "text"}, "\r\n"},
        {{"--check", "--format", "text"}, "\n"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.options[c.options.size() - 1]);
        FlushRecorder recorder;
        std::ostream out(&recorder);
        std::ostringstream err;
        std::vector<std::string> args = c.options;
        args.insert(args.end(), {"-j", "2", folder});
        const int status = cli::runReportCommand(args, out, err);
        EXPECT_TRUE(status == 0 || (c.options[0] == "--check" && status == 4)) << err.str();
        // The flushes must show the records one by one, each ending where a record ends.
        std::set<std::size_t> recordsSeen;
        for (const std::string& text : recorder.flushed) {
            const std::size_t records = filesNamed(text, names);
            if (records == 0 || records == kFiles) continue;
            recordsSeen.insert(records);
            EXPECT_TRUE(text.ends_with(c.recordEnd)) << "a record cut at a flush";
        }
        EXPECT_EQ(recordsSeen.size(), kFiles - 1);
    }
}

#if !defined(_WIN32)
bool underSanitizer() {
#if defined(__SANITIZE_ADDRESS__)
    return true;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer) || __has_feature(undefined_behavior_sanitizer)
    return true;
#endif
#endif
    return false;
}

volatile bool gDeeper = true;
volatile char gSink = 0;

// Recursion without end, which no optimiser may turn into a loop: each frame's bytes are read
// after the call.
[[gnu::noinline]] void overflowTheStack() {
    volatile char frame[1024];
    frame[0] = gSink;
    if (gDeeper) overflowTheStack();
    gSink = frame[0];
}

TEST(BatchGuaranteesDeathTest, AFaultNamesTheFileInHand) {
    // The sanitizers keep their own handlers for the faults they report.
    if (underSanitizer()) GTEST_SKIP() << "the sanitizers report faults themselves";
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    const std::string path = "films/가족 여행.avi";
    const std::string said =
        "strovanik-report: films/가족 여행.avi: the program stopped on a fault";
    const struct {
        int signal;
        void (*fault)();
    } cases[] = {
        {SIGSEGV, [] { std::raise(SIGSEGV); }},
        {SIGABRT, [] { std::raise(SIGABRT); }},
        {SIGSEGV, overflowTheStack},
    };
    for (const auto& c : cases) {
        EXPECT_EXIT(
            {
                cli::installFaultNote();
                const auto inHand = [&] {
                    const cli::FileInHand hand(path);
                    c.fault();
                };
                runOnSmallStack(256 * 1024, inHand);
            },
            ::testing::KilledBySignal(c.signal), said);
    }
}
#endif

}  // namespace
}  // namespace strovanik::testing
