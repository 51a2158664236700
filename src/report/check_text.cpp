#include "report/check_text.h"

#include <vector>

#include "report/number_text.h"
#include "report/report_layouts.h"
#include "report/stream_names.h"

namespace strovanik::report {

namespace {

// A stream by what its first frames are, or by the catalogue's name where they said nothing.
std::string streamName(const StreamFacts* stream, std::string_view catalogueName, bool english) {
    if (stream != nullptr && stream->bitstream) return identityText(*stream->bitstream, english);
    return valueText(catalogueName);
}

// The streams the report names: the first video stream, the first sound stream and, as the
// header scan keeps it, the last of the others.
std::string codecsAndSize(const FileResult& result, bool english) {
    const Outcome& outcome = result.outcome;
    if (!outcome.headers || !result.figures) return {};
    const StreamFacts* video = nullptr;
    std::vector<const StreamFacts*> sounds;
    for (const StreamFacts& s : result.inspection->streams) {
        if (s.video && video == nullptr) video = &s;
        if (s.formatTag) sounds.push_back(&s);
    }
    std::string text = streamName(video, outcome.codecs.videoCodecText, english);
    if (result.figures->hasAudio) {
        text += " + " + streamName(sounds.empty() ? nullptr : sounds.front(),
                                   outcome.codecs.audioCodecText1, english);
    }
    if (result.figures->hasSecondAudio) {
        text += " + " + streamName(sounds.size() < 2 ? nullptr : sounds.back(),
                                   outcome.codecs.audioCodecText2, english);
    }
    const auto& main = outcome.headers->mainHeader;
    return ", " + text + ", " + plainForm(std::int64_t{main.dwWidth}) + " x " +
           plainForm(std::int64_t{main.dwHeight});
}

}  // namespace

std::string checkText(std::string_view name, const FileResult& result, ReportLayout layout) {
    const auto& inspection = result.inspection;
    if (!inspection) return {};
    const bool english = layout == ReportLayout::English;
    const std::string duration = patternForm(inspection->durationSeconds, "0.00");
    const std::string playable = patternForm(inspection->playableSeconds, "0.00");
    std::string text = std::string(name) + ": ";
    if (english) {
        text += std::string(verdictName(inspection->verdict)) + ", " + duration + " s, plays " +
                playable + " s";
    } else {
        text += std::string(koreanVerdictName(inspection->verdict)) + ", 길이 " + duration +
                "초, 재생 " + playable + "초";
    }
    text += codecsAndSize(result, english) + "\n";
    for (const Finding& f : inspection->findings) {
        text += "    " + std::string(findingCodeName(f.code)) + ": " +
                (english ? f.english : f.korean) + "\n";
    }
    return text;
}

}  // namespace strovanik::report
