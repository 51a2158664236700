#include "cli/report_command.h"

#include <CLI/CLI.hpp>
#include <algorithm>
#include <map>

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
    std::vector<std::string> files;
};

ReportLayout layoutNamed(const std::string& name) {
    if (name == "english") return ReportLayout::English;
    if (name == "brief") return ReportLayout::KoreanBrief;
    return ReportLayout::KoreanDetailed;
}

// Analyses one file and writes its report and messages; returns its exit status.
int reportOne(const std::string& path, const Options& options, std::ostream& out,
              std::ostream& err) {
    const Outcome outcome = report::analyseFile(path, report::bareFileName(path),
                                                layoutNamed(options.layout));
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

int runReportCommand(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
    Options options;
    CLI::App app{"Writes the report of AVI files: what their headers say, in the layout of the "
                 "viewer's report box (CR LF line ends).",
                 std::string(kProgram)};
    app.set_version_flag("--version", std::string(kProgram) + " " + STROVANIK_VERSION);
    app.add_option("--layout", options.layout, "Report layout: english, korean (full) or brief")
        ->check(CLI::IsMember({"english", "korean", "brief"}))
        ->capture_default_str();
    app.add_option("--encoding", options.encoding, "Text encoding of the reports")
        ->check(CLI::IsMember({"utf-8", "cp949"}))
        ->capture_default_str();
    app.add_option("FILE", options.files, "AVI files to report on")->required();

    std::vector<std::string> reversed(args.rbegin(), args.rend());
    try {
        app.parse(reversed);
    } catch (const CLI::CallForHelp& e) {
        return app.exit(e, out, err);
    } catch (const CLI::CallForVersion& e) {
        return app.exit(e, out, err);
    } catch (const CLI::ParseError& e) {
        app.exit(e, out, err);
        return kExitUsage;
    }

    const bool several = options.files.size() > 1;
    int status = kExitReported;
    for (const std::string& path : options.files) {
        // Headings and the blank line after each file use the reports' own line end.
        if (several) out << "==> " << path << " <==\r\n";
        status = std::max(status, reportOne(path, options, out, err));
        if (several) out << "\r\n";
        out.flush();
    }
    return status;
}

}  // namespace strovanik::cli
