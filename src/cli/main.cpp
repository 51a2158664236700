#include <iostream>
#include <string>
#include <vector>

#include "cli/fault_note.h"
#include "cli/progress.h"
#include "cli/report_command.h"

#ifdef _WIN32
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>
// After windows.h, which it needs.
#include <fcntl.h>
#include <io.h>
#include <shellapi.h>

namespace {

// The arguments as the user typed them, in UTF-8 whatever the ANSI code page: a Korean file
// name must reach the analysis intact.
std::vector<std::string> argumentsInUtf8() {
    std::vector<std::string> args;
    int count = 0;
    wchar_t** wide = CommandLineToArgvW(GetCommandLineW(), &count);
    if (wide == nullptr) return args;
    for (int i = 1; i < count; ++i) {
        const int length = WideCharToMultiByte(CP_UTF8, 0, wide[i], -1, nullptr, 0, nullptr, nullptr);
        std::string arg(static_cast<std::size_t>(length > 0 ? length - 1 : 0), '\0');
        if (length > 1) {
            WideCharToMultiByte(CP_UTF8, 0, wide[i], -1, arg.data(), length, nullptr, nullptr);
        }
        args.push_back(std::move(arg));
    }
    LocalFree(wide);
    return args;
}

}  // namespace
#endif

int main([[maybe_unused]] int argc, [[maybe_unused]] char** argv) {
    std::ios::sync_with_stdio(false);
    strovanik::cli::installFaultNote();
#ifdef _WIN32
    // Reports carry their own CR LF: the text mode of the standard streams would make every
    // line end CR CR LF.
    _setmode(_fileno(stdout), _O_BINARY);
    _setmode(_fileno(stderr), _O_BINARY);
    // A list of files on standard input may hold NUL characters and CR LF line ends.
    _setmode(_fileno(stdin), _O_BINARY);
    const std::vector<std::string> args = argumentsInUtf8();
#else
    const std::vector<std::string> args(argv + 1, argv + argc);
#endif
    return strovanik::cli::runReportCommand(args, std::cout, std::cerr,
                                            strovanik::cli::progressWanted());
}
