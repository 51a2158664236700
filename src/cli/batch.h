#pragma once

#include <functional>
#include <istream>
#include <ostream>
#include <string>
#include <string_view>
#include <vector>

#include "report/derived_measures.h"

// Reporting on many files at once: the command-line paths expanded into files, the files
// analysed a few at a time, and their output written in order.
namespace strovanik::cli {

enum class OutputFormat { Text, Json, JsonLines, Csv };

// "text", "json", "jsonl" or "csv"; Text for anything else.
OutputFormat outputFormatNamed(std::string_view name);

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
    bool check = false;      // --check: verdicts instead of reports
    bool cp949 = false;      // text output in CP949 instead of UTF-8
};

// Writes the report of one file as --format text prints it, and its messages on `err`;
// returns the file's exit status.
using TextReporter =
    std::function<int(const std::string& path, std::ostream& out, std::ostream& err)>;

// Reports on every file that `paths` stand for: a file for itself, a folder for the files
// in it whose names end in ".avi" (any letter case), sorted by the byte order of their
// UTF-8 paths, and with `recursive` those of the folders below it too; then every file of
// the settings' list. Files keep the order of the command line and of the list; a failing
// file does not stop the others. With several files, a folder or a list, the text of each file
// is headed by "==> FILE <==" and followed by an empty line, and every message line names
// its file. Returns the highest exit status of the files, and 1 for a folder that cannot be
// listed or holds no AVI file, or a list that could not be read to its end.
int runBatch(const std::vector<std::string>& paths, const BatchSettings& settings,
             const TextReporter& textReporter, std::ostream& out, std::ostream& err);

// The number of files analysed at once when the user does not say.
unsigned defaultJobs();

}  // namespace strovanik::cli
