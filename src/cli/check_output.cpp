#include "cli/check_output.h"

#include "cli/report_command.h"
#include "report/check_text.h"

namespace strovanik::cli {

using report::Outcome;

std::string checkText(const FileAnalysis& analysis, report::ReportLayout layout) {
    return report::checkText(analysis.path, analysis.result,
                             layout == report::ReportLayout::English);
}

int checkStatusOf(const report::FileResult& result) {
    if (!result.inspection) return kExitNotReported;
    return result.inspection->verdict == report::Verdict::Complete ? kExitReported : kExitDamaged;
}

std::optional<std::string> checkMessageLine(std::string_view path,
                                            const report::FileResult& result) {
    if (result.inspection) return std::nullopt;
    if (result.outcome.status == Outcome::Status::Reported) {
        return std::string(kProgramName) + ": " + std::string(path) +
               ": cannot be read: " + result.outcome.problem;
    }
    return messageLine(path, result.outcome);
}

}  // namespace strovanik::cli
