#pragma once

#include <string>

#include "cli/file_analysis.h"
#include "cli/record_schema.h"
#include "report/derived_measures.h"

// The machine-readable record of one file: what the report says, and the headers and
// figures behind it, as numbers, texts and flags.
namespace strovanik::cli {

// The record of one analysed file. Every file has "path", "kind" (null when the file could
// not be read), "complete" and, unless it was reported in full, "error". A reported file
// adds "report" (the text as --format text prints it, in UTF-8), and, when its headers were
// read, the raw records, the codec texts, the shown make-info and every figure under its
// own name; a figure that could not be computed is null; and "inspection". The records and figures
// of a stream that is not there are left out, so null always means "failed". Every record
// serialises the file's one result; none works a figure out again. The texts are values: the
// padding and leading spaces that line them up in the report are left out. The fields and
// their order are those of recordFields().
Record fileRecord(const FileAnalysis& analysis, report::ReportLayout layout,
                  RecordShape shape = RecordShape::Full);

// The record as one line of compact JSON (no line end). Text that is not valid UTF-8 (a
// file name in another encoding) shows U+FFFD in place of the bad bytes.
std::string compactJson(const Record& record);

}  // namespace strovanik::cli
