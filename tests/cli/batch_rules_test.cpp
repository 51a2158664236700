#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "cli/batch_fixture.h"
#include "cli/collection.h"

// Which files a folder stands for, in which order, and what the batch makes of files that
// fail.
namespace strovanik::testing {
namespace {

namespace fs = std::filesystem;

TEST(AviExtension, AnyLetterCaseOfTheLastFourCharacters) {
    const struct {
        std::string_view name;
        bool avi;
    } cases[] = {
        {"film.avi", true},   {"FILM.AVI", true},   {"film.Avi", true},      {"film.aVI", true},
        {".avi", true},       {"a.b.avi", true},    {"film.avi.txt", false}, {"film.avix", false},
        {"filmavi", false},   {"film.av", false},   {"avi", false},          {"", false},
        {"film. avi", false}, {"film.avi ", false},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(cli::hasAviExtension(c.name), c.avi) << "'" << c.name << "'";
    }
}

TEST(BatchFolders, AFolderStandsForItsAviFilesInByteOrder) {
    Collection c;
    // Written out of order; upper-case letters come before lower-case ones in byte order.
    c.avi("b.avi");
    c.avi("Z.AVI");
    c.avi("a.Avi");
    c.avi("a-1.avi");
    c.write("notes.txt", text("not a film"));
    c.write("a.avi.bak", buildAvi({}));
    c.avi("sub/inner.avi");  // below the folder: only with -r
    const std::string root = c.folder();

    const CommandRun run = runInProcess({root});
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.err, "");
    const std::vector<std::string> expected = {
        (fs::path(root) / "Z.AVI").string(), (fs::path(root) / "a-1.avi").string(),
        (fs::path(root) / "a.Avi").string(), (fs::path(root) / "b.avi").string()};
    EXPECT_EQ(headingsOf(run.out), expected);
}

TEST(BatchFolders, RecursiveOrderIsTheByteOrderOfTheWholePath) {
    Collection c;
    c.avi("b.avi");
    c.avi("b-x.avi");
    c.avi("b/c.avi");
    c.avi("b/deeper/d.avi");
    c.avi("a/z.avi");
    c.folder("empty");
    const std::string root = c.folder();
    const auto at = [&](std::string_view relative) { return (fs::path(root) / relative).string(); };

    const CommandRun flat = runInProcess({root});
    EXPECT_EQ(headingsOf(flat.out), (std::vector<std::string>{at("b-x.avi"), at("b.avi")}));

    for (const std::string_view flag : {"-r", "--recursive"}) {
        const CommandRun deep = runInProcess({std::string(flag), root});
        EXPECT_EQ(deep.status, 0) << deep.err;
        // '-' (0x2D) < '.' (0x2E) < '/' (0x2F): a folder's files come after same-named files.
        EXPECT_EQ(headingsOf(deep.out),
                  (std::vector<std::string>{at("a/z.avi"), at("b-x.avi"), at("b.avi"),
                                            at("b/c.avi"), at("b/deeper/d.avi")}))
            << flag;
    }
}

TEST(BatchFolders, PathsStartAsTheUserTypedThem) {
    Collection c;
    c.avi("films/one.avi");
    const fs::path saved = fs::current_path();
    fs::current_path(c.root());
    const CommandRun plain = runInProcess({"films"});
    const CommandRun slash = runInProcess({"films/"});
    const CommandRun dot = runInProcess({"-r", "."});
    fs::current_path(saved);
    EXPECT_EQ(headingsOf(plain.out), std::vector<std::string>{"films/one.avi"});
    EXPECT_EQ(headingsOf(slash.out), std::vector<std::string>{"films/one.avi"});
    EXPECT_EQ(headingsOf(dot.out), std::vector<std::string>{"./films/one.avi"});
}

TEST(BatchFolders, NamedFilesKeepTheCommandLineOrderAndAnyName) {
    Collection c;
    const std::string z = c.avi("z.avi");
    const std::string a = c.avi("a.avi");
    const std::string other = c.avi("film.mov");  // named, so taken whatever its name
    const std::string folder = c.folder("more");
    const std::string inFolder = c.avi("more/m.avi");

    const CommandRun run = runInProcess({z, folder, a, other, z});
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(headingsOf(run.out), (std::vector<std::string>{z, inFolder, a, other, z}));
}

TEST(BatchFolders, AFolderOfOneFileStillGetsTheHeadingAndBlankLine) {
    Collection c;
    const std::string file = c.avi("only.avi");
    const CommandRun folderRun = runInProcess({c.folder()});
    const CommandRun fileRun = runInProcess({file});
    EXPECT_EQ(folderRun.out, "==> " + file + " <==\r\n" + fileRun.out + "\r\n");
}

TEST(BatchFolders, AFolderWithoutAviFilesSaysSoAndCountsAsNotReported) {
    Collection c;
    c.write("readme.txt", text("x"));
    c.avi("sub/deep.avi");
    const std::string root = c.folder();
    const CommandRun run = runInProcess({root});
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.out, "");
    EXPECT_EQ(run.err, "strovanik-report: " + root + ": no AVI files found\n");

    const CommandRun recursive = runInProcess({"-r", root});
    EXPECT_EQ(recursive.status, 0) << recursive.err;
}

TEST(BatchFolders, LinksBackUpTheTreeDoNotMakeTheWalkEndless) {
    Collection c;
    const std::string file = c.avi("tree/a.avi");
    std::error_code error;
    fs::create_directory_symlink(c.root() / "tree", c.root() / "tree" / "loop", error);
    if (error) GTEST_SKIP() << "no symbolic links here: " << error.message();
    const CommandRun run = runInProcess({"-r", c.folder("tree")});
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(headingsOf(run.out), std::vector<std::string>{file});
}

TEST(BatchFolders, AnAviNameThatCannotBeReadIsReportedNotSkipped) {
    Collection c;
    const std::string good = c.avi("good.avi");
    std::error_code error;
    fs::create_symlink(c.root() / "gone", c.root() / "broken.avi", error);
    if (error) GTEST_SKIP() << "no symbolic links here: " << error.message();
    const std::string broken = (c.root() / "broken.avi").string();
    const CommandRun run = runInProcess({c.folder()});
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(headingsOf(run.out), (std::vector<std::string>{broken, good}));
    EXPECT_EQ(run.err, "strovanik-report: " + broken + ": no such file\n");
}

TEST(BatchFolders, AFolderThatCannotBeListedIsOneLineAndTheRestGoesOn) {
    Collection c;
    const std::string good = c.avi("open/good.avi");
    const std::string closed = c.folder("closed");
    c.avi("closed/hidden.avi");
    fs::permissions(closed, fs::perms::none);
    std::error_code probe;
    const bool listable = fs::directory_iterator(closed, probe) != fs::directory_iterator();
    if (!probe && listable) {
        fs::permissions(closed, fs::perms::owner_all);
        GTEST_SKIP() << "permissions do not keep this user out";
    }
    const CommandRun run = runInProcess({"-r", c.folder()});
    fs::permissions(closed, fs::perms::owner_all);
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(headingsOf(run.out), std::vector<std::string>{good});
    EXPECT_TRUE(run.err.starts_with("strovanik-report: " + closed + ": cannot be listed: "))
        << run.err;
}

// A failing file does not stop the batch, and the exit status is the highest of the files'.
TEST(BatchStatus, EveryFileIsReportedAndTheHighestStatusWins) {
    Collection c;
    const std::string good = c.avi("good.avi");
    const std::string partial = c.avi("partial.avi", partialPlan());
    const std::string ogg = c.write("ogg.avi", oggBytes());
    const std::string missing = (c.root() / "missing.avi").string();
    const struct {
        std::vector<std::string> files;
        int status;
    } cases[] = {
        {{good, good}, 0},
        {{good, ogg}, 1},
        {{ogg, good}, 1},
        {{missing, good}, 1},
        {{partial, good}, 3},
        {{good, partial, ogg}, 3},
        {{ogg, missing, partial}, 3},
        {{missing, ogg}, 1},
    };
    for (const auto& test : cases) {
        for (const std::string_view format : {"text", "json", "jsonl", "csv"}) {
            std::vector<std::string> args = {"--format", std::string(format)};
            args.insert(args.end(), test.files.begin(), test.files.end());
            const CommandRun run = runInProcess(args);
            EXPECT_EQ(run.status, test.status) << format << ": " << run.err;
        }
        const CommandRun text = runInProcess(test.files);
        EXPECT_EQ(headingsOf(text.out), test.files);
    }
    // Every good file after a failing one is still reported in full.
    const CommandRun run = runInProcess({ogg, missing, partial, good});
    const CommandRun alone = runInProcess({good});
    EXPECT_NE(run.out.find("==> " + good + " <==\r\n" + alone.out + "\r\n"), std::string::npos);
}

TEST(BatchStatus, AFolderOfFailuresReportsEachInOrder) {
    Collection c;
    const std::string a = c.write("a.avi", oggBytes());
    const std::string b = c.avi("b.avi", partialPlan());
    const std::string d = c.write("d.avi", Bytes{});  // empty: not recognised
    const std::string e = c.avi("e.avi");
    const CommandRun run = runInProcess({c.folder()});
    EXPECT_EQ(run.status, 3);
    EXPECT_EQ(headingsOf(run.out), (std::vector<std::string>{a, b, d, e}));
    EXPECT_EQ(linesOf(run.err).size(), 3u) << run.err;
}

// Many files analysed at once come out exactly as when they are analysed one by one.
TEST(BatchOrder, ConcurrentAnalysisKeepsTheOrderAndTheBytes) {
    Collection c;
    for (int i = 0; i < 150; ++i) {
        AviPlan plan;
        plan.main.totalFrames = 100 + i;
        plan.movieBytes = static_cast<std::size_t>(16 + (i * 37) % 4000);
        if (i % 17 == 0) plan = partialPlan();
        if (i % 23 == 0) {
            c.write("f" + std::to_string(1000 + i) + ".avi", oggBytes());
        } else {
            c.avi("f" + std::to_string(1000 + i) + ".avi", plan);
        }
    }
    const std::string root = c.folder();
    for (const std::string_view format : {"text", "json", "jsonl", "csv"}) {
        const CommandRun one = runInProcess({"--format", std::string(format), "-j", "1", root});
        for (const std::string_view jobs : {"2", "4", "16"}) {
            const CommandRun many =
                runInProcess({"--format", std::string(format), "-j", std::string(jobs), root});
            EXPECT_EQ(many.status, one.status);
            EXPECT_EQ(many.out, one.out) << format << " with " << jobs << " jobs";
            EXPECT_EQ(many.err, one.err) << format << " with " << jobs << " jobs";
        }
    }
    const CommandRun text = runInProcess({root});
    EXPECT_EQ(headingsOf(text.out).size(), 150u);
    EXPECT_EQ(text.status, 3);
}

TEST(BatchOptions, BadValuesAreUsageErrors) {
    Collection c;
    const std::string file = c.avi("a.avi");
    const std::vector<std::vector<std::string>> cases = {
        {"--format", "xml", file}, {"--format"},        {"-j", "0", file},
        {"--jobs", "17", file},    {"-j", "two", file}, {"-r"},
    };
    for (const auto& args : cases) {
        const CommandRun run = runInProcess(args);
        EXPECT_EQ(run.status, 2) << args.front();
        EXPECT_EQ(run.out, "") << args.front();
    }
}

}  // namespace
}  // namespace strovanik::testing
