#include "cli/json_output.h"

#include <utility>

#include "container/avi_header_set.h"
#include "container/container_kind.h"
#include "report/report_layouts.h"

namespace strovanik::cli {

namespace {

using container::AviHeaderSet;
using container::AviStreamRecord;
using report::DerivedMeasures;
using report::FigureError;
using report::Outcome;

// A figure, or null when computing it fails.
template <typename Compute>
Record figure(Compute compute) {
    try {
        return Record(compute());
    } catch (const FigureError&) {
        return Record(nullptr);
    }
}

std::string_view qualityGradeName(report::QualityGrade grade) {
    return grade == report::QualityGrade::High ? "High" : "Normal";
}

std::string_view channelClassName(report::ChannelClass channelClass) {
    switch (channelClass) {
        case report::ChannelClass::Mono:
            return "Mono";
        case report::ChannelClass::Stereo:
            return "Stereo";
        case report::ChannelClass::Surround:
            return "Surround";
    }
    return "Mono";
}

Record mainHeaderRecord(const container::AviMainHeader& h) {
    Record r;
    r["dwMicroSecPerFrame"] = h.dwMicroSecPerFrame;
    r["dwMaxBytesPerSec"] = h.dwMaxBytesPerSec;
    r["dwPaddingGranularity"] = h.dwPaddingGranularity;
    r["dwFlags"] = h.dwFlags;
    r["dwTotalFrames"] = h.dwTotalFrames;
    r["dwInitialFrames"] = h.dwInitialFrames;
    r["dwStreams"] = h.dwStreams;
    r["dwSuggestedBufferSize"] = h.dwSuggestedBufferSize;
    r["dwWidth"] = h.dwWidth;
    r["dwHeight"] = h.dwHeight;
    r["dwReserved"] = h.dwReserved;
    return r;
}

// The stream header and the stream format chunk's header, the same in both views.
Record streamHeaderRecord(const AviStreamRecord& s) {
    Record r;
    r["fccType"] = container::fourCcText(s.fccType());
    r["fccHandler"] = container::fourCcText(s.fccHandler());
    r["dwFlags"] = s.dwFlags();
    r["dwPriorityLanguage"] = s.dwPriorityLanguage();
    r["dwInitialFrames"] = s.dwInitialFrames();
    r["dwScale"] = s.dwScale();
    r["dwRate"] = s.dwRate();
    r["dwStart"] = s.dwStart();
    r["dwLength"] = s.dwLength();
    r["dwSuggestedBufferSize"] = s.dwSuggestedBufferSize();
    r["dwQuality"] = s.dwQuality();
    r["dwSampleSize"] = s.dwSampleSize();
    r["rcFrameLeftTop"] = s.rcFrameLeftTop();
    r["rcFrameRightBottom"] = s.rcFrameRightBottom();
    r["strfId"] = container::fourCcText(s.strfId());
    r["strfSize"] = s.strfSize();
    return r;
}

Record videoStreamRecord(const AviStreamRecord& s) {
    Record r = streamHeaderRecord(s);
    r["biSizeLow"] = s.biSizeLow();
    r["biSizeHigh"] = s.biSizeHigh();
    r["biWidth"] = s.biWidth();
    r["biHeight"] = s.biHeight();
    r["biPlanes"] = s.biPlanes();
    r["biBitCount"] = s.biBitCount();
    r["biCompression"] = container::fourCcText(s.biCompression());
    return r;
}

Record audioStreamRecord(const AviStreamRecord& s) {
    Record r = streamHeaderRecord(s);
    r["wFormatTag"] = s.wFormatTag();
    r["nChannels"] = s.nChannels();
    r["nSamplesPerSec"] = s.nSamplesPerSec();
    r["nAvgBytesPerSec"] = s.nAvgBytesPerSec();
    r["nBlockAlign"] = s.nBlockAlign();
    r["wBitsPerSample"] = s.wBitsPerSample();
    r["cbSizeAndExtra"] = container::fourCcText(s.cbSizeAndExtra());
    return r;
}

// The scan reads a stream list into the video record only when its stream type is vids,
// and the record starts with that same type, so the type tells whether one was found.
bool hasVideoStream(const AviHeaderSet& headers) {
    return container::upperCased(headers.videoStream.fccType()) == container::fourCc("VIDS");
}

std::string shownMakeInfo(const AviHeaderSet& headers, report::ReportLayout layout) {
    const bool english = layout == report::ReportLayout::English;
    const std::string normalized = container::normalizedMakeInfo(
        headers, english ? "unknown" : "알수없음", english ? "editing" : "편집됨");
    return std::string(report::insertedText(normalized));
}

void addAudioFigures(Record& r, const AviStreamRecord& audio, std::string_view suffix) {
    r["channelClass" + std::string(suffix)] =
        channelClassName(DerivedMeasures::channelClass(audio));
    r["audioBitrate" + std::string(suffix)] = DerivedMeasures::audioBitrate(audio);
    r["vbr" + std::string(suffix)] = !DerivedMeasures::vbrMark(audio).empty();
}

void addHeadersAndFigures(Record& r, const FileAnalysis& analysis, report::ReportLayout layout,
                          bool figuresOnly) {
    const Outcome& outcome = analysis.outcome;
    const AviHeaderSet& h = *outcome.headers;
    const DerivedMeasures m(h, analysis.fileSize, outcome.riffSize,
                            outcome.runTime.value_or(report::RunTime{}));
    const bool hasAudio = m.hasAudio();
    const bool hasSecondAudio = m.hasSecondAudio();

    if (!figuresOnly) {
        r["mainHeader"] = mainHeaderRecord(h.mainHeader);
        if (hasVideoStream(h)) r["videoStream"] = videoStreamRecord(h.videoStream);
        if (hasAudio) r["audioStream1"] = audioStreamRecord(h.audioStream1);
        if (hasSecondAudio) r["audioStream2"] = audioStreamRecord(h.audioStream2);
    }
    r["makeInfo"] = shownMakeInfo(h, layout);
    r["videoCodecText"] = outcome.codecs.videoCodecText;
    if (hasAudio) r["audioCodecText1"] = outcome.codecs.audioCodecText1;
    if (hasSecondAudio) r["audioCodecText2"] = outcome.codecs.audioCodecText2;

    // The running time failed when the analysis could not compute it; so do the rates
    // that divide by it.
    const bool timed = outcome.runTime.has_value();
    const auto timedFigure = [&](auto compute) {
        return timed ? figure(compute) : Record(nullptr);
    };
    const report::RunTime t = outcome.runTime.value_or(report::RunTime{});
    r["runSeconds"] = timedFigure([&] { return t.runSeconds; });
    r["runHours"] = timedFigure([&] { return t.runHours; });
    r["runMinutes"] = timedFigure([&] { return t.runMinutes; });
    r["runRestSeconds"] = timedFigure([&] { return t.runRestSeconds; });
    r["sizeMegabytes"] = figure([&] { return m.sizeMegabytes(); });
    r["sizeMegabytesText"] = figure([&] { return m.sizeMegabytesText(); });
    r["totalRate"] = timedFigure([&] { return m.totalRate(); });
    r["framesPerSecond"] = figure([&] { return m.framesPerSecond(); });
    r["pictureRatio"] = figure([&] { return m.pictureRatio(); });
    r["videoBitrate"] = timedFigure([&] { return m.videoBitrate(); });
    r["qualityGrade"] = qualityGradeName(m.qualityGrade());
    r["hasAudio"] = hasAudio;
    r["hasSecondAudio"] = hasSecondAudio;
    if (hasAudio) addAudioFigures(r, h.audioStream1, "1");
    if (hasSecondAudio) addAudioFigures(r, h.audioStream2, "2");
}

// The figures that a record holds when the analysis stopped before the headers were read.
constexpr std::string_view kCommonFigures[] = {
    "runSeconds",        "runHours",  "runMinutes",      "runRestSeconds", "sizeMegabytes",
    "sizeMegabytesText", "totalRate", "framesPerSecond", "pictureRatio",   "videoBitrate",
    "qualityGrade",      "hasAudio",  "hasSecondAudio",
};

}  // namespace

Record fileRecord(const FileAnalysis& analysis, report::ReportLayout layout, bool figuresOnly) {
    const Outcome& outcome = analysis.outcome;
    Record r;
    r["path"] = analysis.path;
    const bool recognised =
        outcome.status == Outcome::Status::Refused || outcome.status == Outcome::Status::Reported;
    r["kind"] = recognised ? Record(container::containerKindName(outcome.kind)) : Record(nullptr);
    r["complete"] = outcome.status == Outcome::Status::Reported && outcome.complete;
    if (auto problem = problemText(outcome)) r["error"] = *problem;
    if (outcome.status != Outcome::Status::Reported) return r;

    if (!figuresOnly) r["report"] = outcome.report;
    if (outcome.headers) {
        addHeadersAndFigures(r, analysis, layout, figuresOnly);
    } else {
        // The scan gave up: nothing past it was computed.
        for (std::string_view name : kCommonFigures) r[std::string(name)] = nullptr;
    }
    return r;
}

std::string compactJson(const Record& record) {
    return record.dump(-1, ' ', false, Record::error_handler_t::replace);
}

}  // namespace strovanik::cli
