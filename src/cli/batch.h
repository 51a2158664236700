#pragma once

#include <istream>
#include <ostream>
#include <string>
#include <string_view>
#include <vector>

#include "report/derived_measures.h"
#include "report/named_value.h"

// Reporting on many files at once: the command-line paths expanded into files, the files
// analysed a few at a time, and their output written in order.
namespace strovanik::cli {

enum class OutputFormat { Text, Json, JsonLines, Csv };

inline constexpr report::NamedValue<OutputFormat> kFormatNames[] = {
    {"text", OutputFormat::Text},
    {"json", OutputFormat::Json},
    {"jsonl", OutputFormat::JsonLines},
    {"csv", OutputFormat::Csv},
};

// The encoding of text output; JSON and CSV are always UTF-8.
enum class TextEncoding { Utf8, Cp949 };

inline constexpr report::NamedValue<TextEncoding> kEncodingNames[] = {
    {"utf-8", TextEncoding::Utf8},
    {"cp949", TextEncoding::Cp949},
};

struct BatchSettings {
    OutputFormat format = OutputFormat::Text;
    report::ReportLayout layout = report::ReportLayout::KoreanDetailed;
    bool recursive = false;  // folders: take the files of every folder below them too
    unsigned jobs = 0;       // files analysed at once; 0 lets the processors decide
    bool progress = false;   // `err` is a terminal that may show a progress line
    // A list of further files, read as the batch goes (see PathFeed); `listName` names it in
    // messages.
    std::istream* list = nullptr;
    std::string listName;
    char listSeparator = '\n';
    bool check = false;                          // --check: verdicts instead of reports
    TextEncoding encoding = TextEncoding::Utf8;  // of text output
};

// Reports on every file that `paths` stand for: a file for itself, a folder for the files
// in it whose names end in ".avi" (any letter case), sorted by the byte order of their
// UTF-8 paths, and with `recursive` those of the folders below it too; then every file of
// the settings' list. Files keep the order of the command line and of the list; a failing
// file does not stop the others. With several files, a folder or a list, the text of each file
// is headed by "==> FILE <==" and followed by an empty line, and every message line names
// its file; one file named alone goes the same way, unheaded. Returns the highest exit status
// of the files, and 1 for a folder that cannot be listed or holds no AVI file, or a list that
// could not be read to its end.
int runBatch(const std::vector<std::string>& paths, const BatchSettings& settings,
             std::ostream& out, std::ostream& err);

// The number of files analysed at once when the user does not say.
unsigned defaultJobs();

}  // namespace strovanik::cli
