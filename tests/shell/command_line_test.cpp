#include "shell/command_line.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace strovanik::shell {
namespace {

TEST(CommandLine, ArgumentsJoinedBySingleSpacesAreThePath) {
    struct Case {
        std::vector<std::string> arguments;
        std::string path;
    };
    const std::vector<Case> cases = {
        {{}, ""},
        {{"/films/a.avi"}, "/films/a.avi"},
        {{"/films/my", "film.avi"}, "/films/my film.avi"},  // typed without quotes
        {{"/films/my film.avi"}, "/films/my film.avi"},     // "Open with": one argument
        {{"/films/a  b.avi"}, "/films/a  b.avi"},           // spaces inside one argument stay
        {{"\"/films/a.avi\""}, "\"/films/a.avi\""},         // quotes that reached us are the name's
        {{"", "a"}, " a"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(pathFromArguments(c.arguments), c.path) << c.path;
    }
}

TEST(CommandLine, WindowsArgumentTextLosesOnePairOfEnclosingQuotes) {
    struct Case {
        std::string text;
        std::string path;
    };
    const std::vector<Case> cases = {
        {"\"C:\\my films\\a.avi\"", "C:\\my films\\a.avi"},
        {"C:\\films\\a.avi", "C:\\films\\a.avi"},
        {"\"C:\\films\\a.avi", "\"C:\\films\\a.avi"},  // no closing quote: left as it is
        {"C:\\films\\a.avi\"", "C:\\films\\a.avi\""},
        {"\"", "\""},
        {"\"\"", ""},
        {"\"\"a\"\"", "\"a\""},  // only one pair goes
        {"", ""},
        {" C:\\a.avi ", " C:\\a.avi "},  // nothing is trimmed
    };
    for (const Case& c : cases) {
        EXPECT_EQ(pathFromArgumentText(c.text), c.path) << c.text;
    }
}

TEST(CommandLine, WindowsArgumentTextFollowsTheProgramName) {
    struct Case {
        std::string commandLine;
        std::string argumentText;
    };
    const std::vector<Case> cases = {
        {"\"C:\\Program Files\\s\\strovanik.exe\" \"C:\\my films\\a.avi\"",
         "\"C:\\my films\\a.avi\""},
        {"strovanik.exe  C:\\films\\a.avi", "C:\\films\\a.avi"},
        {"strovanik.exe\tC:\\a.avi", "C:\\a.avi"},
        {"strovanik.exe", ""},
        {"\"C:\\s\\strovanik.exe\"", ""},
        {"\"C:\\s\\strovanik.exe\"C:\\a.avi", "C:\\a.avi"},
        {"\"C:\\never closed", ""},
        {"", ""},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(argumentTextOf(c.commandLine), c.argumentText) << c.commandLine;
    }
}

}  // namespace
}  // namespace strovanik::shell
