#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <nlohmann/json.hpp>
#include <sstream>
#include <string>
#include <vector>

#include "batch_fixture.h"
#include "cli/collection.h"
#include "container/container_kind.h"

#ifndef _WIN32
#include <sys/wait.h>
#endif

// Batches fed from a list of files (--files-from), the messages of a batch, and the option
// values as people type them.
namespace strovanik::testing {
namespace {

namespace fs = std::filesystem;

CommandRun runWithInput(const std::vector<std::string>& args, const std::string& input) {
    std::istringstream in(input);
    std::ostringstream out;
    std::ostringstream err;
    CommandRun run;
    run.status = cli::runReportCommand(args, out, err, false, &in);
    run.out = out.str();
    run.err = err.str();
    return run;
}

// The paths of a JSON Lines output, in order.
std::vector<std::string> pathsOf(const std::string& jsonLines) {
    std::vector<std::string> paths;
    for (const std::string& line : linesOf(jsonLines)) {
        paths.push_back(nlohmann::json::parse(line).at("path").get<std::string>());
    }
    return paths;
}

TEST(PathFeed, HandsOutTheFilesThenTheListsEntriesOneByOne) {
    struct Case {
        const char* name;
        std::vector<std::string> files;
        std::string list;
        char separator;
        std::vector<std::string> expected;
    };
    const std::vector<Case> cases = {
        {"lines", {}, "a.avi\nb c.avi\n", '\n', {"a.avi", "b c.avi"}},
        {"no last line end", {}, "a.avi\nb.avi", '\n', {"a.avi", "b.avi"}},
        {"CR LF line ends, empty lines", {}, "a.avi\r\n\r\n\nb.avi\r\n", '\n', {"a.avi", "b.avi"}},
        {"a CR inside a line stays", {}, "a\r.avi\n", '\n', {"a\r.avi"}},
        {"NUL-separated, a line feed in a name",
         {},
         std::string("a\n.avi\0b.avi\0\0", 14),
         '\0',
         {"a\n.avi", "b.avi"}},
        {"files first", {"x.avi", "y.avi"}, "a.avi\n", '\n', {"x.avi", "y.avi", "a.avi"}},
        {"empty list", {"x.avi"}, "", '\n', {"x.avi"}},
    };
    for (const Case& c : cases) {
        std::istringstream list(c.list);
        cli::PathFeed feed(c.files, &list, c.separator);
        std::vector<std::string> got;
        while (auto path = feed.next()) got.push_back(*path);
        EXPECT_EQ(got, c.expected) << c.name;
        EXPECT_FALSE(feed.next().has_value()) << c.name;
        EXPECT_FALSE(feed.listFailed()) << c.name;
    }
}

TEST(FilesFrom, ReportsTheListedFilesInTheirOrderFromAFileOrStandardInput) {
    Collection c;
    const std::string a = c.avi("b/a.avi");
    const std::string folder = c.folder("b");
    const std::string spaced = c.avi("with space.avi");
    const std::string missing = (c.root() / "missing.avi").string();
    const std::string list = a + "\n" + missing + "\n" + spaced + "\n";
    const std::string listFile = c.write("list.txt", Bytes(list.begin(), list.end()));

    const CommandRun fromFile = runInProcess({"--files-from", listFile, "--format", "jsonl"});
    EXPECT_EQ(pathsOf(fromFile.out), (std::vector<std::string>{a, missing, spaced}));
    EXPECT_EQ(fromFile.status, 1);
    EXPECT_EQ(fromFile.err, "strovanik-report: " + missing + ": no such file\n");

    const CommandRun fromInput = runWithInput({"--files-from", "-", "--format", "jsonl"}, list);
    EXPECT_EQ(fromInput.out, fromFile.out);
    EXPECT_EQ(fromInput.status, fromFile.status);

    // Files named on the command line come first; a listed folder is not walked.
    std::string nulList = folder + '\0' + a + '\0';
    const CommandRun mixed = runWithInput(
        {spaced, "--files-from", "-", "--null", "--format", "jsonl", "-j", "3"}, nulList);
    EXPECT_EQ(pathsOf(mixed.out), (std::vector<std::string>{spaced, folder, a}));
    EXPECT_EQ(mixed.status, 1);

    // Text from a list is headed even for one file, as for a folder.
    const CommandRun text = runWithInput({"--files-from", "-"}, a + "\n");
    EXPECT_EQ(headingsOf(text.out), std::vector<std::string>{a});
    const CommandRun json = runWithInput({"--files-from", "-", "--format", "json"}, "");
    EXPECT_EQ(json.out, "[\n]\n");
    EXPECT_EQ(json.status, 0);

    const CommandRun unopened = runInProcess({"--files-from", missing});
    EXPECT_EQ(unopened.status, 2);
    EXPECT_EQ(unopened.out, "");
    EXPECT_EQ(unopened.err,
              "strovanik-report: " + missing + ": the list of files cannot be opened\n");
}

TEST(BatchMessages, WithSeveralFilesEveryLineNamesItsFile) {
    Collection c;
    const std::string ogg = c.write("film.ogg", oggBytes());
    const std::string partial = c.avi("partial.avi", partialPlan());
    const std::string good = c.avi("good.avi");
    const std::string refusal(container::refusalMessage(container::ContainerKind::Ogg));

    // Alone, the refusal is the window's message itself.
    EXPECT_EQ(runInProcess({ogg}).err, refusal + "\n");
    for (const std::string format : {"text", "jsonl", "csv"}) {
        const CommandRun run = runInProcess({"--format", format, ogg, partial, good});
        EXPECT_EQ(run.err, "strovanik-report: " + ogg + ": " + refusal +
                               "\nstrovanik-report: " + partial +
                               ": the report is incomplete: the picture height is 0, so the "
                               "picture ratio cannot be worked out\n")
            << format;
        EXPECT_EQ(run.status, 3) << format;
    }
    EXPECT_EQ(runWithInput({"--files-from", "-"}, ogg + "\n").err,
              "strovanik-report: " + ogg + ": " + refusal + "\n");
}

TEST(OptionValues, AreTakenInAnyLetterCase) {
    Collection c;
    const std::string file = c.avi("a.avi");
    const std::vector<std::pair<std::vector<std::string>, std::vector<std::string>>> cases = {
        {{"--layout", "ENGLISH"}, {"--layout", "english"}},
        {{"--layout", "Brief"}, {"--layout", "brief"}},
        {{"--encoding", "CP949"}, {"--encoding", "cp949"}},
        {{"--encoding", "UTF-8"}, {"--encoding", "utf-8"}},
        {{"--format", "JSONL"}, {"--format", "jsonl"}},
        {{"--format", "Csv", "--layout", "KOREAN"}, {"--format", "csv"}},
    };
    for (auto [typed, lower] : cases) {
        typed.push_back(file);
        lower.push_back(file);
        const CommandRun got = runInProcess(typed);
        const CommandRun expected = runInProcess(lower);
        EXPECT_EQ(got.status, 0) << typed.front() << " " << typed[1];
        EXPECT_EQ(got.out, expected.out) << typed.front() << " " << typed[1];
    }
    EXPECT_EQ(runInProcess({"--layout", "englisch", file}).status, 2);
}

TEST(Help, ShowsTheValuesAsTheyAreTypedWithoutTheParsersNotation) {
    const CommandRun help = runInProcess({"--help"});
    EXPECT_EQ(help.status, 0);
    for (const std::string_view notation :
         {"TEXT", "UINT", "INT in", ":{", "[1 - 16]", "REQUIRED"}) {
        EXPECT_EQ(help.out.find(notation), std::string::npos) << notation;
    }
    for (const std::string_view shown :
         {"--layout korean|brief|english", "--encoding utf-8|cp949", "--format text|json|jsonl|csv",
          "-j,--jobs N", "--files-from FILE|-", "--null"}) {
        EXPECT_NE(help.out.find(shown), std::string::npos) << shown;
    }
}

// GNU parallel spreads a list of files over several runs (and, with -S, machines), each fed
// its part on standard input; with --keep-order the parts come back in the list's order, so
// the whole is what one run over the list writes.
TEST(FilesFrom, TheGnuParallelRecipeGivesWhatOneRunGives) {
#ifdef _WIN32
    GTEST_SKIP() << "runs GNU parallel through a POSIX shell";
#else
    if (std::system("parallel --version >/dev/null 2>&1") != 0) {
        GTEST_SKIP() << "GNU parallel is not installed";
    }
    std::error_code error;
    const fs::path self = fs::read_symlink("/proc/self/exe", error);
    const fs::path program = self.parent_path().parent_path() / "src" / "cli" / "strovanik-report";
    if (error || !fs::exists(program)) GTEST_SKIP() << "no program at " << program;

    Collection c;
    std::string lines;
    std::string nuls;
    for (int i = 0; i < 23; ++i) {
        std::string name = "film " + std::to_string(i) + ".avi";
        if (i == 7) name = "film\nwith a line feed.avi";
        const std::string path = i == 11   ? c.write("film.ogg", oggBytes())
                                 : i == 13 ? c.avi("partial.avi", partialPlan())
                                           : c.avi(name);
        if (path.find('\n') == std::string::npos) lines += path + "\n";
        nuls += path + '\0';
    }
    const std::string lineList = c.write("lines.txt", Bytes(lines.begin(), lines.end()));
    const std::string nulList = c.write("nuls.txt", Bytes(nuls.begin(), nuls.end()));
    const fs::path outFile = c.root() / "out.jsonl";

    struct Case {
        std::string list;
        std::string parallelRecords;
        std::vector<std::string> options;
    };
    for (const Case& run : {Case{lineList, "", {}}, Case{nulList, "--recend '\\0' ", {"--null"}}}) {
        std::string command = "parallel --pipe " + run.parallelRecords +
                              "-N 4 -j 3 --keep-order '" + program.string() +
                              "' --files-from - --format jsonl";
        std::vector<std::string> args = {"--files-from", run.list, "--format", "jsonl"};
        for (const std::string& option : run.options) {
            command += " " + option;
            args.push_back(option);
        }
        command += " <'" + run.list + "' >'" + outFile.string() + "' 2>/dev/null";
        const int raw = std::system(command.c_str());
        ASSERT_TRUE(WIFEXITED(raw)) << command;
        // GNU parallel's status counts the runs that failed: the part with the Ogg file and
        // the part with the incomplete report.
        EXPECT_EQ(WEXITSTATUS(raw), 2) << command;

        const CommandRun one = runInProcess(args);
        const Bytes spread = readFile(outFile);
        EXPECT_EQ(std::string(spread.begin(), spread.end()), one.out) << command;
        EXPECT_EQ(pathsOf(one.out).size(), run.options.empty() ? 22u : 23u);
    }
#endif
}

}  // namespace
}  // namespace strovanik::testing
