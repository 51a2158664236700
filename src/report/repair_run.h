#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "container/repair.h"
#include "report/inspection.h"
#include "report/report_layouts.h"

// A repaired copy made from one file to another, as every face asks for it: the original opened
// read-only and inspected, the copy written beside its name and renamed into place, then
// inspected in turn. Whether an existing copy may be replaced is the face's to ask first.
namespace strovanik::report {

struct RepairRun {
    enum class Status {
        Written,           // the copy is in place; `copyVerdict` says what its check says
        NeedsNoRepair,     // the original is complete: no copy was written
        SourceMissing,     // the original is gone
        SourceUnreadable,  // it cannot be opened or read: `problem` says why
        NotAvi,            // it is no AVI file
        SameFile,          // the copy would replace the original
        Refused,           // the repair found nothing it could make whole: `problem` says why
        Unwritable,        // the copy cannot be written: `problem` says why
        Cancelled,         // stopped on request; nothing was left behind
    };
    Status status = Status::Unwritable;
    std::string problem;  // a few English words
    std::optional<Verdict> originalVerdict;
    std::optional<Verdict> copyVerdict;
    container::RepairResult repair;
};

// Repairs the AVI file at `sourcePath` into `targetPath`, replacing a file of that name whole.
// A complete original gets no copy unless `evenIfComplete`.
RepairRun repairFile(std::string_view sourcePath, std::string_view targetPath, bool evenIfComplete,
                     const container::RepairOptions& options = {},
                     const container::RepairProgress& progress = {});

// What was done, in the layout's language (English, or Korean for both Korean layouts): the
// copy's name and form, the chunks kept per stream, the spans left out, the new running time
// and the copy's verdict; each line ends in "\n". Nothing for a run that wrote no copy.
std::string repairText(std::string_view copyName, const RepairRun& run, ReportLayout layout);

// Why no copy was written, in the layout's language; nothing for a written copy.
std::optional<std::string> repairProblemText(const RepairRun& run, ReportLayout layout);

}  // namespace strovanik::report
