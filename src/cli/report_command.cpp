#include "cli/report_command.h"

#include <CLI/CLI.hpp>
#include <fstream>
#include <iostream>
#include <span>

#include "cli/batch.h"
#include "cli/file_analysis.h"
#include "cli/repair_command.h"
#include "cli/structure_sample_command.h"
#include "container/text_encoding.h"
#include "report/named_value.h"

namespace strovanik::cli {

namespace {

using report::ReportLayout;

// What the options set, as typed; the names are taken in their lower-case spelling.
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
    std::string repair;           // --repair OUT
    bool evenIfComplete = false;
    bool force = false;
};

// The names of an enumeration for an option: "a|b|c" for the help in the table's order; for
// the check, in the order of the values, as its message has always listed them.
template <typename T>
std::string optionText(std::span<const report::NamedValue<T>> table) {
    std::string text;
    for (const auto& row : table) text += (text.empty() ? "" : "|") + std::string(row.name);
    return text;
}

template <typename T>
CLI::IsMember isOneOf(std::span<const report::NamedValue<T>> table) {
    std::vector<report::NamedValue<T>> rows(table.begin(), table.end());
    std::sort(rows.begin(), rows.end(),
              [](const auto& a, const auto& b) { return a.value < b.value; });
    std::vector<std::string> names;
    for (const auto& row : rows) names.emplace_back(row.name);
    return CLI::IsMember(names, CLI::ignore_case);
}

template <typename T>
CLI::Option* addNamedOption(CLI::App& app, const std::string& name, std::string& value,
                            std::span<const report::NamedValue<T>> table,
                            const std::string& description) {
    return app.add_option(name, value, description)
        ->transform(isOneOf(table))
        ->option_text(optionText(table));
}

template <typename T>
T valueOf(std::span<const report::NamedValue<T>> table, const std::string& name) {
    return report::valueNamed(table, name).value_or(table.front().value);
}

// The options of the report, the batch and the structure sample, and what the help says of
// them. Each option's values are shown as the user types them, in any letter case.
void declareOptions(CLI::App& app, Options& options) {
    // Options are spelled with dashes everywhere; "/x" is a path, also on Windows.
    app.allow_windows_style_options(false);
    app.set_version_flag("--version", std::string(kProgramName) + " " + STROVANIK_VERSION);
    addNamedOption<ReportLayout>(app, "--layout", options.layout, report::kLayoutNames,
                                 "Report layout: korean (in full, the default), brief or english");
    addNamedOption<TextEncoding>(app, "--encoding", options.encoding, kEncodingNames,
                                 "Text encoding of the reports: utf-8 (the default) or cp949");
    addNamedOption<OutputFormat>(
        app, "--format", options.format, kFormatNames,
        "Output: text (the reports, the default), json (one array of objects, even for one "
        "file), jsonl (one object per line) or csv (a header row, one row per file)");
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
    app.add_option("--repair", options.repair,
                   "Instead of a report, write to OUT a repaired copy of a cut or damaged FILE: "
                   "its headers as they are, every whole chunk, a new index, the counts made "
                   "true (OpenDML above 1 GiB); prints what it kept and left out, and the "
                   "copy's verdict; OUT must not exist yet")
        ->option_text("OUT");
    app.add_flag("--even-if-complete", options.evenIfComplete,
                 "With --repair: write the copy even when FILE needs no repair");
    app.add_flag("--force", options.force,
                 "With --structure-sample or --repair: replace an existing OUT");
    app.add_option("FILE", options.files,
                   "AVI files, or folders whose files ending in .avi (any case) are reported "
                   "in the byte order of their paths")
        ->type_name("");
    app.footer(
        "--encoding applies to text output; json, jsonl and csv are always UTF-8.\n"
        "Exit status: 0 all reported, 1 a file not reported (missing, unreadable, not an "
        "AVI file) or a folder without AVI files, 2 usage error, 3 a report ended early, 4 "
        "(--check) a file is truncated or damaged; with several files the highest. --repair: 0 "
        "the copy is written and complete, or FILE needs no repair, 1 no copy written, 4 the "
        "copy is written but its check does not say complete.");
}

// The combinations the parser cannot check by itself.
void checkTogether(const Options& options) {
    if (options.files.empty() && options.filesFrom.empty()) throw CLI::RequiredError("FILE");
    if (!options.structureSample.empty() &&
        (options.files.size() != 1 || !options.filesFrom.empty() || options.check)) {
        throw CLI::ValidationError("--structure-sample", "takes exactly one FILE");
    }
    if (!options.repair.empty() &&
        (options.files.size() != 1 || !options.filesFrom.empty() || options.check ||
         !options.structureSample.empty())) {
        throw CLI::ValidationError("--repair", "takes exactly one FILE");
    }
}

BatchSettings batchSettings(const Options& options, bool showProgress) {
    BatchSettings batch;
    batch.format = valueOf<OutputFormat>(kFormatNames, options.format);
    batch.layout = valueOf<ReportLayout>(report::kLayoutNames, options.layout);
    batch.encoding = valueOf<TextEncoding>(kEncodingNames, options.encoding);
    batch.recursive = options.recursive;
    batch.jobs = options.jobs;
    batch.progress = showProgress;
    batch.check = options.check;
    return batch;
}

// Points the batch at the list of --files-from; false when the list cannot be opened.
bool openList(const Options& options, BatchSettings& batch, std::istream* in,
              std::ifstream& listFile, std::ostream& err) {
    if (options.filesFrom.empty()) return true;
    batch.listName = options.filesFrom;
    batch.listSeparator = options.nullSeparated ? '\0' : '\n';
    if (options.filesFrom == "-") {
        batch.list = in != nullptr ? in : &std::cin;
        return true;
    }
    listFile.open(container::pathFromUtf8(options.filesFrom), std::ios::binary);
    if (!listFile) {
        err << kProgramName << ": " << options.filesFrom
            << ": the list of files cannot be opened\n";
        return false;
    }
    batch.list = &listFile;
    return true;
}

}  // namespace

int runReportCommand(const std::vector<std::string>& args, std::ostream& out, std::ostream& err,
                     bool showProgress, std::istream* in) {
    Options options;
    CLI::App app{
        "Writes the report of AVI files: what their headers say, in the layout of the "
        "viewer's report box (CR LF line ends).",
        std::string(kProgramName)};
    declareOptions(app, options);
    std::vector<std::string> reversed(args.rbegin(), args.rend());
    try {
        app.parse(reversed);
        checkTogether(options);
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
    if (!options.repair.empty()) {
        RepairSettings repair;
        repair.layout = valueOf<ReportLayout>(report::kLayoutNames, options.layout);
        repair.json = valueOf<OutputFormat>(kFormatNames, options.format) != OutputFormat::Text;
        repair.force = options.force;
        repair.evenIfComplete = options.evenIfComplete;
        repair.progress = showProgress;
        return writeRepairedCopy(options.repair, options.files.front(), repair, out, err);
    }
    BatchSettings batch = batchSettings(options, showProgress);
    std::ifstream listFile;
    if (!openList(options, batch, in, listFile, err)) return kExitUsage;
    return runBatch(options.files, batch, out, err);
}

}  // namespace strovanik::cli
