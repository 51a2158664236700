#include "cli/repair_command.h"

#include <filesystem>
#include <nlohmann/json.hpp>
#include <system_error>

#include "cli/fault_note.h"
#include "cli/file_analysis.h"
#include "cli/progress.h"
#include "cli/report_command.h"
#include "container/file_replacement.h"
#include "container/text_encoding.h"
#include "report/repair_run.h"

namespace strovanik::cli {

namespace {

namespace fs = std::filesystem;

nlohmann::ordered_json repairJson(const std::string& outPath, const std::string& filePath,
                                  const report::RepairRun& run) {
    const container::RepairResult& r = run.repair;
    nlohmann::ordered_json object;
    object["file"] = filePath;
    object["copy"] = outPath;
    object["form"] = r.openDml ? "odml" : "avi";
    object["riffs"] = r.riffs;
    object["bytes"] = r.length;
    object["durationSeconds"] = r.seconds;
    auto streams = nlohmann::ordered_json::array();
    for (std::size_t i = 0; i < r.streams.size(); ++i) {
        const container::RepairedStream& s = r.streams[i];
        streams.push_back({{"stream", i},
                           {"type", container::fourCcText(s.type)},
                           {"chunks", s.chunks},
                           {"bytes", s.bytes},
                           {"keyFrames", s.keyFrames},
                           {"length", s.length}});
    }
    object["streams"] = std::move(streams);
    auto skipped = nlohmann::ordered_json::array();
    for (const container::SkippedSpan& span : r.skipped) {
        skipped.push_back({{"offset", span.offset},
                           {"bytes", span.bytes},
                           {"reason", span.cutShort ? "cut-short" : "damage"}});
    }
    object["leftOut"] = std::move(skipped);
    object["verdict"] =
        run.copyVerdict ? nlohmann::ordered_json(std::string(report::verdictName(*run.copyVerdict)))
                        : nlohmann::ordered_json();
    return object;
}

}  // namespace

int writeRepairedCopy(const std::string& outPath, const std::string& filePath,
                      const RepairSettings& settings, std::ostream& out, std::ostream& err) {
    std::error_code error;
    const bool exists = fs::exists(fs::symlink_status(container::pathFromUtf8(outPath), error));
    const bool toItself = exists && container::sameFile(outPath, filePath);
    if (exists && !settings.force && !toItself) {
        err << fileMessageLine(outPath, "exists already; --force replaces it") << "\n";
        return kExitNotReported;
    }
    ProgressLine line(err, std::nullopt, settings.progress);
    const container::RepairProgress progress = [&](std::int64_t done, std::int64_t total) {
        line.bytesDone(done, total);
        return true;
    };
    const FileInHand inHand(filePath);
    const report::RepairRun run =
        report::repairFile(filePath, outPath, settings.evenIfComplete, {}, progress);
    line.clear();
    using Status = report::RepairRun::Status;
    if (run.status == Status::NeedsNoRepair) {
        err << fileMessageLine(filePath,
                               *report::repairProblemText(run, report::ReportLayout::English) +
                                   "; --even-if-complete writes one anyway")
            << "\n";
        return kExitReported;
    }
    if (run.status != Status::Written) {
        const bool aboutCopy = run.status == Status::Unwritable || run.status == Status::SameFile;
        err << fileMessageLine(aboutCopy ? outPath : filePath,
                               *report::repairProblemText(run, report::ReportLayout::English))
            << "\n";
        return kExitNotReported;
    }
    if (settings.json) {
        out << repairJson(outPath, filePath, run).dump(2) << "\n";
    } else {
        out << report::repairText(outPath, run, settings.layout);
    }
    return run.copyVerdict == report::Verdict::Complete ? kExitReported : kExitDamaged;
}

}  // namespace strovanik::cli
