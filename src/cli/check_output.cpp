#include "cli/check_output.h"

#include "cli/file_analysis.h"
#include "cli/report_command.h"

namespace strovanik::cli {

int checkStatusOf(const report::FileResult& result) {
    if (!result.inspection) return kExitNotReported;
    return result.inspection->verdict == report::Verdict::Complete ? kExitReported : kExitDamaged;
}

std::optional<std::string> checkMessageLine(std::string_view path,
                                            const report::FileResult& result) {
    if (result.inspection) return std::nullopt;
    // A file reported from its headers whose walk failed could not be read for the check.
    if (result.outcome.status == report::Outcome::Status::Reported) {
        return fileMessageLine(path, cannotBeRead(result.outcome.problem));
    }
    return messageLine(path, result.outcome);
}

}  // namespace strovanik::cli
