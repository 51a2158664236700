#pragma once

#include <ostream>
#include <string>

namespace strovanik::cli {

// strovanik-report --structure-sample OUT FILE: writes the structure sample of the AVI file
// FILE to OUT (the same length, every byte of the structure, none of the pictures and sound),
// through a temporary file beside OUT that is renamed into place when it is complete. An
// existing OUT is refused unless `force`, and OUT is never FILE itself. FILE is only read.
// Messages go to `err`; returns the exit status, as for reports: 0 written, 1 not written
// (FILE missing, unreadable or not an AVI file, OUT refused or not writable), 3 written, but
// the content from some offset on could not be removed (a damaged file; the line says where).
int writeStructureSample(const std::string& outPath, const std::string& filePath, bool force,
                         std::ostream& err);

}  // namespace strovanik::cli
