#include <iostream>
#include <string>
#include <vector>

#include "cli/progress.h"
#include "cli/report_command.h"

int main(int argc, char** argv) {
    std::ios::sync_with_stdio(false);
    const std::vector<std::string> args(argv + 1, argv + argc);
    return strovanik::cli::runReportCommand(args, std::cout, std::cerr,
                                            strovanik::cli::progressWanted());
}
