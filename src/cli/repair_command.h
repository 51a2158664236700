#pragma once

#include <ostream>
#include <string>

#include "report/derived_measures.h"

namespace strovanik::cli {

struct RepairSettings {
    report::ReportLayout layout = report::ReportLayout::KoreanDetailed;
    bool json = false;            // --format json: one object instead of the text
    bool force = false;           // replace an existing OUT
    bool evenIfComplete = false;  // write a copy of a file that needs no repair
    bool progress = false;        // draw a progress line on `err` for a long repair
};

// strovanik-report --repair OUT FILE: writes a repaired copy of the AVI file FILE to OUT
// (every header as it is, every whole chunk, a new index, the counts made true), through a
// temporary file beside OUT that is renamed into place when it is complete. An existing OUT is
// refused unless `force`, and OUT is never FILE itself. FILE is only read. What was done goes
// to `out` in the layout's language, or as JSON; messages go to `err`. Returns the exit status:
// 0 written and the copy's check says complete, or FILE needs no repair (no copy then);
// 1 not written (FILE missing, unreadable or not an AVI file, OUT refused or not writable,
// nothing in FILE that could be kept); 4 written, but the copy's check does not say complete.
int writeRepairedCopy(const std::string& outPath, const std::string& filePath,
                      const RepairSettings& settings, std::ostream& out, std::ostream& err);

}  // namespace strovanik::cli
