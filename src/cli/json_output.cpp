#include "cli/json_output.h"

#include <utility>

#include "container/avi_header_set.h"
#include "container/container_kind.h"
#include "report/report_layouts.h"

namespace strovanik::cli {

namespace {

using container::AviHeaderSet;
using container::AviStreamRecord;
using report::Outcome;

// A figure's value, or null when it could not be worked out.
template <typename T>
Record figure(const report::Figure<T>& f) {
    return f.value ? Record(*f.value) : Record(nullptr);
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

void addSoundFigures(Record& r, const report::SoundFigures& sound, std::string_view suffix) {
    r["channelClass" + std::string(suffix)] = channelClassName(sound.channelClass);
    r["audioBitrate" + std::string(suffix)] = sound.audioBitrate;
    r["vbr" + std::string(suffix)] = sound.vbr;
}

void addHeadersAndFigures(Record& r, const FileAnalysis& analysis, report::ReportLayout layout,
                          bool figuresOnly) {
    const Outcome& outcome = analysis.result.outcome;
    const AviHeaderSet& h = *outcome.headers;
    const report::Figures& f = *analysis.result.figures;

    if (!figuresOnly) {
        r["mainHeader"] = mainHeaderRecord(h.mainHeader);
        if (f.hasVideo) r["videoStream"] = videoStreamRecord(h.videoStream);
        if (f.hasAudio) r["audioStream1"] = audioStreamRecord(h.audioStream1);
        if (f.hasSecondAudio) r["audioStream2"] = audioStreamRecord(h.audioStream2);
    }
    r["makeInfo"] = report::valueText(report::shownMakeInfo(h, layout));
    r["videoCodecText"] = report::valueText(outcome.codecs.videoCodecText);
    if (f.hasAudio) r["audioCodecText1"] = report::valueText(outcome.codecs.audioCodecText1);
    if (f.hasSecondAudio) r["audioCodecText2"] = report::valueText(outcome.codecs.audioCodecText2);

    const auto& t = f.runTime.value;
    r["runSeconds"] = t ? Record(t->runSeconds) : Record(nullptr);
    r["runHours"] = t ? Record(t->runHours) : Record(nullptr);
    r["runMinutes"] = t ? Record(t->runMinutes) : Record(nullptr);
    r["runRestSeconds"] = t ? Record(t->runRestSeconds) : Record(nullptr);
    r["sizeMegabytes"] = figure(f.sizeMegabytes);
    r["sizeMegabytesText"] = figure(f.sizeMegabytesText);
    r["totalRate"] = figure(f.totalRate);
    r["framesPerSecond"] = figure(f.framesPerSecond);
    r["pictureRatio"] = figure(f.pictureRatio);
    r["videoBitrate"] = figure(f.videoBitrate);
    r["qualityGrade"] = qualityGradeName(f.qualityGrade);
    r["hasAudio"] = f.hasAudio;
    r["hasSecondAudio"] = f.hasSecondAudio;
    if (f.sound1) addSoundFigures(r, *f.sound1, "1");
    if (f.sound2) addSoundFigures(r, *f.sound2, "2");
}

Record optionalNumber(const auto& value) { return value ? Record(*value) : Record(nullptr); }

Record streamFactsRecord(const report::StreamFacts& s) {
    Record r;
    r["type"] = s.type;
    r["handler"] = s.handler;
    r["formatTag"] = optionalNumber(s.formatTag);
    r["headerLength"] = s.headerLength;
    r["durationSeconds"] = s.durationSeconds;
    r["indexedChunks"] = optionalNumber(s.indexedChunks);
    r["presentChunks"] = s.presentChunks;
    r["bytes"] = s.bytes;
    r["bitrateKbps"] = optionalNumber(s.bitrateKbps);
    r["vbr"] = s.vbr;
    return r;
}

// The figures that a record holds when the analysis stopped before the headers were read.
constexpr std::string_view kCommonFigures[] = {
    "runSeconds",        "runHours",  "runMinutes",      "runRestSeconds", "sizeMegabytes",
    "sizeMegabytesText", "totalRate", "framesPerSecond", "pictureRatio",   "videoBitrate",
    "qualityGrade",      "hasAudio",  "hasSecondAudio",
};

bool recognised(const Outcome& outcome) {
    return outcome.status == Outcome::Status::Refused ||
           outcome.status == Outcome::Status::Reported;
}

Record kindOf(const Outcome& outcome) {
    return recognised(outcome) ? Record(container::containerKindName(outcome.kind))
                               : Record(nullptr);
}

}  // namespace

Record inspectionRecord(const report::Inspection& in) {
    Record r;
    r["verdict"] = report::verdictName(in.verdict);
    r["durationSeconds"] = in.durationSeconds;
    r["playableSeconds"] = in.playableSeconds;
    r["presentPercent"] = in.presentPercent;
    r["index"] = report::indexKindName(in.index);
    r["writer"] = optionalNumber(in.writer);
    r["streams"] = Record::array();
    for (const report::StreamFacts& s : in.streams) r["streams"].push_back(streamFactsRecord(s));
    r["findings"] = Record::array();
    for (const report::Finding& f : in.findings) {
        r["findings"].push_back({{"code", report::findingCodeName(f.code)},
                                 {"english", f.english},
                                 {"korean", f.korean}});
    }
    return r;
}

Record fileRecord(const FileAnalysis& analysis, report::ReportLayout layout, RecordShape shape) {
    const Outcome& outcome = analysis.result.outcome;
    const auto& inspection = analysis.result.inspection;
    Record r;
    r["path"] = analysis.path;
    r["kind"] = kindOf(outcome);
    if (shape == RecordShape::Check) {
        r["inspection"] = inspection ? inspectionRecord(*inspection) : Record(nullptr);
        return r;
    }
    r["complete"] = outcome.status == Outcome::Status::Reported && outcome.complete;
    if (auto problem = problemText(outcome)) r["error"] = *problem;
    if (outcome.status != Outcome::Status::Reported) return r;

    const bool figuresOnly = shape == RecordShape::Row;
    if (!figuresOnly) r["report"] = outcome.report;
    if (outcome.headers && analysis.result.figures) {
        addHeadersAndFigures(r, analysis, layout, figuresOnly);
    } else {
        // The scan gave up: nothing past it was computed.
        for (std::string_view name : kCommonFigures) r[std::string(name)] = nullptr;
    }
    if (figuresOnly) {
        // A row carries the inspection's file figures in columns of their own.
        if (inspection) {
            r["verdict"] = report::verdictName(inspection->verdict);
            r["durationSeconds"] = inspection->durationSeconds;
            r["playableSeconds"] = inspection->playableSeconds;
            r["presentPercent"] = inspection->presentPercent;
            r["index"] = report::indexKindName(inspection->index);
            r["writer"] = optionalNumber(inspection->writer);
        }
    } else {
        r["inspection"] = inspection ? inspectionRecord(*inspection) : Record(nullptr);
    }
    return r;
}

std::string compactJson(const Record& record) {
    return record.dump(-1, ' ', false, Record::error_handler_t::replace);
}

}  // namespace strovanik::cli
