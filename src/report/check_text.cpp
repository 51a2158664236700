#include "report/check_text.h"

#include "report/number_text.h"
#include "report/report_layouts.h"

namespace strovanik::report {

namespace {

std::string codecsAndSize(const FileResult& result) {
    const Outcome& outcome = result.outcome;
    if (!outcome.headers || !result.figures) return {};
    std::string text = valueText(outcome.codecs.videoCodecText);
    if (result.figures->hasAudio) text += " + " + valueText(outcome.codecs.audioCodecText1);
    if (result.figures->hasSecondAudio) text += " + " + valueText(outcome.codecs.audioCodecText2);
    const auto& main = outcome.headers->mainHeader;
    return ", " + text + ", " + plainForm(std::int64_t{main.dwWidth}) + " x " +
           plainForm(std::int64_t{main.dwHeight});
}

}  // namespace

std::string checkText(std::string_view path, const FileResult& result, bool english) {
    const auto& inspection = result.inspection;
    if (!inspection) return {};
    const std::string duration = patternForm(inspection->durationSeconds, "0.00");
    const std::string playable = patternForm(inspection->playableSeconds, "0.00");
    std::string text = std::string(path) + ": ";
    if (english) {
        text += std::string(verdictName(inspection->verdict)) + ", " + duration + " s, plays " +
                playable + " s";
    } else {
        text += std::string(koreanVerdictName(inspection->verdict)) + ", 길이 " + duration +
                "초, 재생 " + playable + "초";
    }
    text += codecsAndSize(result) + "\n";
    for (const Finding& f : inspection->findings) {
        text += "    " + std::string(findingCodeName(f.code)) + ": " +
                (english ? f.english : f.korean) + "\n";
    }
    return text;
}

}  // namespace strovanik::report
