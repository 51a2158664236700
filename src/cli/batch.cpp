#include "cli/batch.h"

#include <algorithm>
#include <cstdint>
#include <optional>
#include <thread>

#include "cli/check_output.h"
#include "cli/collection.h"
#include "cli/csv_output.h"
#include "cli/fault_note.h"
#include "cli/file_analysis.h"
#include "cli/json_output.h"
#include "cli/ordered_pool.h"
#include "cli/progress.h"
#include "cli/report_command.h"
#include "container/text_encoding.h"
#include "report/check_text.h"

namespace strovanik::cli {

namespace {

// A batch this small is over before a progress line would help.
constexpr std::size_t kProgressAboveFiles = 4;
// Results that may wait for their turn, per worker: enough to keep the workers busy
// while the output of a slow file is written, few enough to keep memory flat.
constexpr std::size_t kWindowPerWorker = 16;

// What one file adds to the output, made on a worker and written on the calling thread.
struct FileOutput {
    std::string text;       // written to `out` before the messages
    std::string messages;   // written to `err`, each line with its line end
    std::string textAfter;  // written to `out` after them
    int status = kExitReported;
};

std::string inEncoding(const std::string& text, TextEncoding encoding) {
    return encoding == TextEncoding::Cp949 ? container::encodeCp949(text) : text;
}

struct Expansion {
    std::vector<std::string> files;
    bool folderNamed = false;
    int status = kExitReported;
};

Expansion expand(const std::vector<std::string>& paths, bool recursive, std::ostream& err) {
    Expansion expansion;
    for (const std::string& path : paths) {
        if (!isFolder(path)) {
            expansion.files.push_back(path);
            continue;
        }
        expansion.folderNamed = true;
        FolderFiles found = aviFilesInFolder(path, recursive);
        for (const std::string& problem : found.problems) {
            err << kProgramName << ": " << problem << "\n";
        }
        if (!found.problems.empty()) expansion.status = kExitNotReported;
        if (found.files.empty() && found.problems.empty()) {
            err << kProgramName << ": " << path << ": no AVI files found\n";
            expansion.status = kExitNotReported;
        }
        expansion.files.insert(expansion.files.end(), std::make_move_iterator(found.files.begin()),
                               std::make_move_iterator(found.files.end()));
    }
    return expansion;
}

// A file's report as --format text prints it, headed by its name when there are several.
FileOutput textOutput(const std::string& path, bool headed, const BatchSettings& settings) {
    const report::Outcome outcome = analysePath(path, settings.layout, false).result.outcome;
    FileOutput output;
    output.status = exitStatusOf(outcome);
    // Headings and the blank line after each file use the reports' own line end.
    if (headed) output.text = "==> " + path + " <==\r\n";
    if (outcome.status == report::Outcome::Status::Reported) {
        output.text += inEncoding(outcome.report, settings.encoding);
    }
    if (const auto line = messageLine(path, outcome)) output.messages = *line + "\n";
    if (headed) output.textAfter = "\r\n";
    return output;
}

// With several files, every line a file adds to standard error says which file it was about;
// most lines do already, the refusal messages of the kinds do not.
std::string namingTheFile(const std::string& path, const std::string& messages) {
    const std::string prefix = fileMessageLine(path, "");
    std::string named;
    std::size_t start = 0;
    while (start < messages.size()) {
        std::size_t end = messages.find('\n', start);
        end = end == std::string::npos ? messages.size() : end + 1;
        const std::string_view line(messages.data() + start, end - start);
        if (!line.starts_with(prefix)) named += prefix;
        named += line;
        start = end;
    }
    return named;
}

// A file's output in every format but the text reports: one analysis, serialised.
FileOutput recordOutput(const std::string& path, const BatchSettings& settings) {
    const FileAnalysis analysis = analysePath(path, settings.layout, true);
    const report::Outcome& outcome = analysis.result.outcome;
    FileOutput output;
    output.status = settings.check ? checkStatusOf(analysis.result) : exitStatusOf(outcome);
    switch (settings.format) {
        case OutputFormat::Text:
            output.text = inEncoding(report::checkText(path, analysis.result, settings.layout),
                                     settings.encoding);
            break;
        case OutputFormat::Csv:
            output.text = csvRow(fileRecord(analysis, settings.layout, RecordShape::Row));
            break;
        case OutputFormat::Json:
        case OutputFormat::JsonLines:
            output.text =
                compactJson(fileRecord(analysis, settings.layout,
                                       settings.check ? RecordShape::Check : RecordShape::Full));
            break;
    }
    const auto line =
        settings.check ? checkMessageLine(path, analysis.result) : messageLine(path, outcome);
    if (line) output.messages = *line + "\n";
    return output;
}

}  // namespace

unsigned defaultJobs() {
    // Reading small files is mostly waiting on the system, so two files at once pay off
    // even on one processor; beyond four the output thread is the limit.
    return std::clamp(std::thread::hardware_concurrency(), 2u, 4u);
}

namespace {

// Gathers the files' output in order and hands it on in pieces, their messages in between,
// with the progress line below.
class BatchWriter {
public:
    BatchWriter(const BatchSettings& settings, std::optional<std::size_t> count, std::ostream& out,
                std::ostream& err)
        : settings_(settings),
          out_(out),
          err_(err),
          progress_(err, count,
                    settings.progress && count.value_or(SIZE_MAX) > kProgressAboveFiles) {}

    void begin() {
        if (settings_.format == OutputFormat::Json) out_ << "[\n";
        if (settings_.format == OutputFormat::Csv) out_ << csvHeaderRow();
        out_.flush();
    }

    void add(std::size_t i, FileOutput&& output) {
        if (settings_.format == OutputFormat::Json && i > 0) pending_ += ",\n";
        pending_ += output.text;
        if (settings_.format == OutputFormat::JsonLines) pending_ += '\n';
        if (!output.messages.empty()) {
            // The file's own output comes first, as when files are reported one by one.
            handOn();
            progress_.clear();
            err_ << output.messages;
            err_.flush();
        }
        pending_ += output.textAfter;
        // Each file's output reaches the system as soon as its turn comes: should the program
        // ever end early, every record before the file that ended it is whole in the output.
        handOn();
        status_ = std::max(status_, output.status);
        written_ = i + 1;
        progress_.filesDone(written_);
    }

    // Writes what was gathered; after a failure, what was done before it.
    void handOn() {
        out_.write(pending_.data(), static_cast<std::streamsize>(pending_.size()));
        out_.flush();
        pending_.clear();
    }

    void end() {
        handOn();
        progress_.clear();
        if (settings_.format == OutputFormat::Json) out_ << (written_ > 0 ? "\n]\n" : "]\n");
        out_.flush();
    }

    int status() const { return status_; }

private:
    const BatchSettings& settings_;
    std::ostream& out_;
    std::ostream& err_;
    ProgressLine progress_;
    std::size_t written_ = 0;
    std::string pending_;
    int status_ = kExitReported;
};

}  // namespace

int runBatch(const std::vector<std::string>& paths, const BatchSettings& settings,
             std::ostream& out, std::ostream& err) {
    Expansion expansion = expand(paths, settings.recursive, err);
    const bool listed = settings.list != nullptr;
    const bool several = expansion.files.size() > 1 || expansion.folderNamed || listed;
    // A list's length is known only once it has been read.
    const std::optional<std::size_t> count =
        listed ? std::nullopt : std::optional<std::size_t>(expansion.files.size());
    PathFeed feed(std::move(expansion.files), settings.list, settings.listSeparator);

    BatchWriter writer(settings, count, out, err);
    writer.begin();
    // One file needs no count of the processors, which costs the system a look-up.
    const unsigned jobs = count == 1 ? 1u : settings.jobs != 0 ? settings.jobs : defaultJobs();
    const auto produce = [&](const std::string& path) {
        const FileInHand inHand(path);
        FileOutput output = settings.format == OutputFormat::Text && !settings.check
                                ? textOutput(path, several, settings)
                                : recordOutput(path, settings);
        if (several) output.messages = namingTheFile(path, output.messages);
        return output;
    };
    const auto consume = [&](std::size_t i, FileOutput&& output) {
        writer.add(i, std::move(output));
    };
    try {
        runInOrderFrom<FileOutput>([&feed] { return feed.next(); }, jobs,
                                   kWindowPerWorker * jobs, produce, consume);
    } catch (...) {
        writer.handOn();
        throw;
    }
    writer.end();

    int status = std::max(expansion.status, writer.status());
    if (feed.listFailed()) {
        err << kProgramName << ": " << settings.listName
            << ": the list of files could not be read to its end\n";
        status = std::max<int>(status, kExitNotReported);
    }
    return status;
}

}  // namespace strovanik::cli
