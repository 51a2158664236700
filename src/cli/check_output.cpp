#include "cli/check_output.h"

#include "cli/report_command.h"
#include "report/number_text.h"
#include "report/report_layouts.h"

namespace strovanik::cli {

namespace {

using report::Outcome;

std::string codecsAndSize(const report::FileResult& result) {
    const Outcome& outcome = result.outcome;
    if (!outcome.headers || !result.figures) return {};
    std::string text = report::valueText(outcome.codecs.videoCodecText);
    if (result.figures->hasAudio) text += " + " + report::valueText(outcome.codecs.audioCodecText1);
    if (result.figures->hasSecondAudio)
        text += " + " + report::valueText(outcome.codecs.audioCodecText2);
    const auto& main = outcome.headers->mainHeader;
    return ", " + text + ", " + report::plainForm(std::int64_t{main.dwWidth}) + " x " +
           report::plainForm(std::int64_t{main.dwHeight});
}

}  // namespace

std::string checkText(const FileAnalysis& analysis, report::ReportLayout layout) {
    const auto& inspection = analysis.result.inspection;
    if (!inspection) return {};
    const bool english = layout == report::ReportLayout::English;
    const std::string duration = report::patternForm(inspection->durationSeconds, "0.00");
    const std::string playable = report::patternForm(inspection->playableSeconds, "0.00");
    std::string text = analysis.path + ": ";
    if (english) {
        text += std::string(report::verdictName(inspection->verdict)) + ", " + duration +
                " s, plays " + playable + " s";
    } else {
        text += std::string(report::koreanVerdictName(inspection->verdict)) + ", 길이 " + duration +
                "초, 재생 " + playable + "초";
    }
    text += codecsAndSize(analysis.result) + "\n";
    for (const report::Finding& f : inspection->findings) {
        text += "    " + std::string(report::findingCodeName(f.code)) + ": " +
                (english ? f.english : f.korean) + "\n";
    }
    return text;
}

int checkStatusOf(const report::FileResult& result) {
    if (!result.inspection) return kExitNotReported;
    return result.inspection->verdict == report::Verdict::Complete ? kExitReported : kExitDamaged;
}

std::optional<std::string> checkMessageLine(std::string_view path,
                                            const report::FileResult& result) {
    if (result.inspection) return std::nullopt;
    if (result.outcome.status == Outcome::Status::Reported) {
        return std::string(kProgramName) + ": " + std::string(path) +
               ": cannot be read: " + result.outcome.problem;
    }
    return messageLine(path, result.outcome);
}

}  // namespace strovanik::cli
