#include "cli/report_command.h"

#include <CLI/CLI.hpp>
#include <algorithm>
#include <fstream>
#include <iostream>
#include <map>

#include "cli/batch.h"
#include "cli/file_analysis.h"
#include "cli/structure_sample_command.h"
#include "container/text_encoding.h"
#include "report/analysis.h"

namespace strovanik::cli {

namespace {

using report::Outcome;
using report::ReportLayout;

constexpr std::string_view kProgram = "strovanik-report";

struct Options {
    std::string layout = "korean";
    std::string encoding = "utf-8";
    std::string format = "text";
    bool recursive = false;
    bool check = false;
    unsigned jobs = 0;
    std::vector<std::string> files;
    std::string filesFrom;  // a list of files, "-" for standard input
    bool nullSeparated = false;
    std::string structureSample;  // --structure-sample OUT
    bool force = false;
};

ReportLayout layoutNamed(const std::string& name) {
    if (name == "english") return ReportLayout::English;
    if (name == "brief") return ReportLayout::KoreanBrief;
    return ReportLayout::KoreanDetailed;
}

// Analyses one file and writes its report and messages; returns its exit status.
int reportOne(const std::string& path, const Options& options, std::ostream& out,
              std::ostream& err) {
    const Outcome outcome = analysePath(path, layoutNamed(options.layout), false).result.outcome;
    switch (outcome.status) {
        case Outcome::Status::Missing:
            err << kProgram << ": " << path << ": no such file\n";
            return kExitNotReported;
        case Outcome::Status::Unreadable:
            err << kProgram << ": " << path << ": cannot be read: " << outcome.problem << "\n";
            return kExitNotReported;
        case Outcome::Status::Refused:
            err << container::refusalMessage(outcome.kind) << "\n";
            return kExitNotReported;
        case Outcome::Status::Reported:
            break;
    }
    if (options.encoding == "cp949") {
        out << container::encodeCp949(outcome.report);
    } else {
        out << outcome.report;
    }
    if (!outcome.complete) {
        err << kProgram << ": " << path << ": the report is incomplete: " << outcome.problem
            << "\n";
        return kExitIncomplete;
    }
    return kExitReported;
}

}  // namespace

int runReportCommand(const std::vector<std::string>& args, std::ostream& out, std::ostream& err,
                     bool showProgress, std::istream* in) {
    Options options;
    CLI::App app{
        "Writes the report of AVI files: what their headers say, in the layout of the "
        "viewer's report box (CR LF line ends).",
        std::string(kProgram)};
    // Options are spelled with dashes everywhere; "/x" is a path, also on Windows.
    app.allow_windows_style_options(false);
    app.set_version_flag("--version", std::string(kProgram) + " " + STROVANIK_VERSION);
    // Each option's values are shown as the user types them, in any letter case; the values
    // are taken in their lower-case spelling.
    app.add_option("--layout", options.layout,
                   "Report layout: korean (in full, the default), brief or english")
        ->transform(CLI::IsMember({"english", "korean", "brief"}, CLI::ignore_case))
        ->option_text("korean|brief|english");
    app.add_option("--encoding", options.encoding,
                   "Text encoding of the reports: utf-8 (the default) or cp949")
        ->transform(CLI::IsMember({"utf-8", "cp949"}, CLI::ignore_case))
        ->option_text("utf-8|cp949");
    app.add_option("--format", options.format,
                   "Output: text (the reports, the default), json (one array of objects, even "
                   "for one file), jsonl (one object per line) or csv (a header row, one row "
                   "per file)")
        ->transform(CLI::IsMember({"text", "json", "jsonl", "csv"}, CLI::ignore_case))
        ->option_text("text|json|jsonl|csv");
    app.add_flag("--check", options.check,
                 "Say whether each file is whole (complete, truncated or damaged) and what it "
                 "really holds, from a walk of its whole structure, instead of its report");
    app.add_flag("-r,--recursive", options.recursive,
                 "In folders, take the AVI files of the folders below them too");
    app.add_option("-j,--jobs", options.jobs, "Files analysed at once, 1 to 16 (default: 2 to 4)")
        ->check(CLI::Range(1, 16))
        ->option_text("N");
    app.add_option("--files-from", options.filesFrom,
                   "Also report the files listed in FILE, one path a line (- reads standard "
                   "input); the list is read as the files are reported, so it may be of any "
                   "length")
        ->option_text("FILE|-");
    app.add_flag("--null", options.nullSeparated,
                 "The list of --files-from ends each path with a NUL character instead "
                 "(find -print0)");
    app.add_option("--structure-sample", options.structureSample,
                   "Instead of a report, write to OUT a file of FILE's length that keeps every "
                   "byte of its structure (headers, indexes, INFO texts, chunk headers) and none "
                   "of its pictures and sound; OUT must not exist yet")
        ->option_text("OUT");
    app.add_flag("--force", options.force, "With --structure-sample: replace an existing OUT");
    app.add_option("FILE", options.files,
                   "AVI files, or folders whose files ending in .avi (any case) are reported "
                   "in the byte order of their paths")
        ->type_name("");
    app.footer(
        "--encoding applies to text output; json, jsonl and csv are always UTF-8.\n"
        "Exit status: 0 all reported, 1 a file not reported (missing, unreadable, not an "
        "AVI file) or a folder without AVI files, 2 usage error, 3 a report ended early, 4 "
        "(--check) a file is truncated or damaged; with several files the highest.");

    std::vector<std::string> reversed(args.rbegin(), args.rend());
    std::ifstream listFile;
    try {
        app.parse(reversed);
        if (options.files.empty() && options.filesFrom.empty()) throw CLI::RequiredError("FILE");
        if (!options.structureSample.empty() &&
            (options.files.size() != 1 || !options.filesFrom.empty() || options.check)) {
            throw CLI::ValidationError("--structure-sample", "takes exactly one FILE");
        }
    } catch (const CLI::CallForHelp& e) {
        return app.exit(e, out, err);
    } catch (const CLI::CallForVersion& e) {
        return app.exit(e, out, err);
    } catch (const CLI::ParseError& e) {
        app.exit(e, out, err);
        return kExitUsage;
    }

    if (!options.structureSample.empty()) {
        return writeStructureSample(options.structureSample, options.files.front(), options.force,
                                    err);
    }

    BatchSettings batch;
    batch.format = outputFormatNamed(options.format);
    batch.layout = layoutNamed(options.layout);
    batch.recursive = options.recursive;
    batch.jobs = options.jobs;
    batch.progress = showProgress;
    if (!options.filesFrom.empty()) {
        batch.listName = options.filesFrom;
        batch.listSeparator = options.nullSeparated ? '\0' : '\n';
        if (options.filesFrom == "-") {
            batch.list = in != nullptr ? in : &std::cin;
        } else {
            listFile.open(container::pathFromUtf8(options.filesFrom), std::ios::binary);
            if (!listFile) {
                err << kProgram << ": " << options.filesFrom
                    << ": the list of files cannot be opened\n";
                return kExitUsage;
            }
            batch.list = &listFile;
        }
    }
    batch.check = options.check;
    batch.cp949 = options.encoding == "cp949";
    return runBatch(
        options.files, batch,
        [&options](const std::string& path, std::ostream& fileOut, std::ostream& fileErr) {
            return reportOne(path, options, fileOut, fileErr);
        },
        out, err);
}

}  // namespace strovanik::cli
