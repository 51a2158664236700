#include "cli/file_analysis.h"

#include "cli/report_command.h"

namespace strovanik::cli {

using report::Outcome;

FileAnalysis analysePath(const std::string& path, report::ReportLayout layout, bool inspect) {
    report::AnalysisRequest request{report::bareFileName(path), 0, layout, inspect};
    return {path, report::examineFile(path, request)};
}

int exitStatusOf(const Outcome& outcome) {
    switch (outcome.status) {
        case Outcome::Status::Missing:
        case Outcome::Status::Unreadable:
        case Outcome::Status::Refused:
            return kExitNotReported;
        case Outcome::Status::Reported:
            break;
    }
    return outcome.complete ? kExitReported : kExitIncomplete;
}

std::optional<std::string> problemText(const Outcome& outcome) {
    switch (outcome.status) {
        case Outcome::Status::Missing:
            return "no such file";
        case Outcome::Status::Unreadable:
            return cannotBeRead(outcome.problem);
        case Outcome::Status::Refused:
            return std::string(container::refusalMessage(outcome.kind));
        case Outcome::Status::Reported:
            break;
    }
    if (outcome.complete) return std::nullopt;
    return "the report is incomplete: " + outcome.problem;
}

std::optional<std::string> messageLine(std::string_view path, const Outcome& outcome) {
    auto problem = problemText(outcome);
    if (!problem) return std::nullopt;
    // The refusal messages stand alone, as the window shows them.
    if (outcome.status == Outcome::Status::Refused) return problem;
    return fileMessageLine(path, *problem);
}

std::string fileMessageLine(std::string_view path, std::string_view problem) {
    return std::string(kProgramName) + ": " + std::string(path) + ": " + std::string(problem);
}

std::string cannotBeRead(std::string_view reason) {
    return "cannot be read: " + std::string(reason);
}

}  // namespace strovanik::cli
