#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "cli/command_run.h"
#include "support/avi_writer.h"
#include "support/plain_walk.h"

#ifndef _WIN32
#include <sys/wait.h>
#endif

// The built program, run as a shell runs it: its exit status, and the bytes of its standard
// output and error, must be those of the command run in-process.
namespace strovanik::testing {
namespace {

namespace fs = std::filesystem;

// The program lies beside this test program's folder, in the build tree's src/cli. (The
// helpers are unused where the test is skipped.)
[[maybe_unused]] fs::path programPath() {
    std::error_code error;
    const fs::path self = fs::read_symlink("/proc/self/exe", error);
    if (error) return {};
    return self.parent_path().parent_path() / "src" / "cli" / "strovanik-report";
}

[[maybe_unused]] std::string contentsOf(const fs::path& path) {
    const Bytes bytes = readFile(path);
    return std::string(bytes.begin(), bytes.end());
}

TEST(Program, BehavesAsTheCommandRunInProcess) {
#ifdef _WIN32
    GTEST_SKIP() << "runs the program through a POSIX shell";
#else
    const fs::path program = programPath();
    if (program.empty() || !fs::exists(program)) GTEST_SKIP() << "no program at " << program;

    TempFolder folder;
    AviPlan noHeight;
    noHeight.main.height = 0;
    const std::string good = (folder / "good.avi").string();
    const std::string partial = (folder / "partial.avi").string();
    const std::string wave = (folder / "sound.wav").string();
    writeFile(good, buildAvi({}));
    writeFile(partial, buildAvi(noHeight));
    writeFile(wave, concat({text("RIFF"), le32(36), text("WAVE"), Bytes(32, 0)}));
    const std::string missing = (folder / "missing.avi").string();
    const std::string sample =
        (fs::path(STROVANIK_SOURCE_DIR) / "samples" / "two_sounds.avi").string();

    const std::vector<std::vector<std::string> > cases = {
        {good},
        {"--layout", "english", sample},
        {"--layout", "brief", "--encoding", "cp949", good},
        {partial},
        {wave},
        {missing},
        {good, partial, wave},
        {"--version"},
        {"--layout", "french", good},
        {},
    };
    const fs::path outFile = folder / "stdout";
    const fs::path errFile = folder / "stderr";
    for (const auto& args : cases) {
        SCOPED_TRACE(::testing::PrintToString(args));
        std::string command = shellQuoted(program.string());
        for (const std::string& arg : args) {
            command += ' ';
            command += shellQuoted(arg);
        }
        command += " >" + shellQuoted(outFile.string()) + " 2>" + shellQuoted(errFile.string()) +
                   " </dev/null";
        const int raw = std::system(command.c_str());
        ASSERT_TRUE(WIFEXITED(raw)) << raw;

        const CommandRun expected = runInProcess(args);
        EXPECT_EQ(WEXITSTATUS(raw), expected.status);
        EXPECT_EQ(contentsOf(outFile), expected.out);
        EXPECT_EQ(contentsOf(errFile), expected.err);
    }
#endif
}

}  // namespace
}  // namespace strovanik::testing
