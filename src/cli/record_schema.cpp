#include "cli/record_schema.h"

#include <iterator>
#include <string>
#include <vector>

#include "container/avi_header_set.h"
#include "container/container_kind.h"
#include "report/report_layouts.h"
#include "report/stream_names.h"

namespace strovanik::cli {

namespace {

using container::AviStreamRecord;
using report::Figures;
using report::Outcome;

constexpr unsigned kFull = 1u << static_cast<unsigned>(RecordShape::Full);
constexpr unsigned kRow = 1u << static_cast<unsigned>(RecordShape::Row);
constexpr unsigned kCheck = 1u << static_cast<unsigned>(RecordShape::Check);

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
    ObjectBuilder r;
    r.add("dwMicroSecPerFrame", h.dwMicroSecPerFrame);
    r.add("dwMaxBytesPerSec", h.dwMaxBytesPerSec);
    r.add("dwPaddingGranularity", h.dwPaddingGranularity);
    r.add("dwFlags", h.dwFlags);
    r.add("dwTotalFrames", h.dwTotalFrames);
    r.add("dwInitialFrames", h.dwInitialFrames);
    r.add("dwStreams", h.dwStreams);
    r.add("dwSuggestedBufferSize", h.dwSuggestedBufferSize);
    r.add("dwWidth", h.dwWidth);
    r.add("dwHeight", h.dwHeight);
    r.add("dwReserved", h.dwReserved);
    return r.take();
}

// The stream header and the stream format chunk's header, the same in both views.
void addStreamHeader(ObjectBuilder& r, const AviStreamRecord& s) {
    r.add("fccType", container::fourCcText(s.fccType()));
    r.add("fccHandler", container::fourCcText(s.fccHandler()));
    r.add("dwFlags", s.dwFlags());
    r.add("dwPriorityLanguage", s.dwPriorityLanguage());
    r.add("dwInitialFrames", s.dwInitialFrames());
    r.add("dwScale", s.dwScale());
    r.add("dwRate", s.dwRate());
    r.add("dwStart", s.dwStart());
    r.add("dwLength", s.dwLength());
    r.add("dwSuggestedBufferSize", s.dwSuggestedBufferSize());
    r.add("dwQuality", s.dwQuality());
    r.add("dwSampleSize", s.dwSampleSize());
    r.add("rcFrameLeftTop", s.rcFrameLeftTop());
    r.add("rcFrameRightBottom", s.rcFrameRightBottom());
    r.add("strfId", container::fourCcText(s.strfId()));
    r.add("strfSize", s.strfSize());
}

Record videoStreamRecord(const AviStreamRecord& s) {
    ObjectBuilder r;
    addStreamHeader(r, s);
    r.add("biSizeLow", s.biSizeLow());
    r.add("biSizeHigh", s.biSizeHigh());
    r.add("biWidth", s.biWidth());
    r.add("biHeight", s.biHeight());
    r.add("biPlanes", s.biPlanes());
    r.add("biBitCount", s.biBitCount());
    r.add("biCompression", container::fourCcText(s.biCompression()));
    return r.take();
}

Record audioStreamRecord(const AviStreamRecord& s) {
    ObjectBuilder r;
    addStreamHeader(r, s);
    r.add("wFormatTag", s.wFormatTag());
    r.add("nChannels", s.nChannels());
    r.add("nSamplesPerSec", s.nSamplesPerSec());
    r.add("nAvgBytesPerSec", s.nAvgBytesPerSec());
    r.add("nBlockAlign", s.nBlockAlign());
    r.add("wBitsPerSample", s.wBitsPerSample());
    r.add("cbSizeAndExtra", container::fourCcText(s.cbSizeAndExtra()));
    return r.take();
}

Record valueOrNull(const auto& value) { return value ? Record(*value) : Record(nullptr); }

// A figure's value, or null when it could not be worked out.
template <typename T>
Record figure(const report::Figure<T>& f) {
    return valueOrNull(f.value);
}

const Outcome& outcomeOf(const RecordContext& c) { return c.analysis.result.outcome; }

bool reported(const RecordContext& c) { return outcomeOf(c).status == Outcome::Status::Reported; }

// The figures, once the header scan finished; nothing before.
const Figures* figuresOf(const RecordContext& c) {
    if (!reported(c) || !outcomeOf(c).headers || !c.analysis.result.figures) return nullptr;
    return &*c.analysis.result.figures;
}

// A field that a reported file has when the header scan finished and `has` says so.
template <typename Get>
RecordField headerField(std::string_view key, bool column, unsigned shapes,
                        bool (*has)(const Figures&), Get get) {
    return {key, column, shapes, [has, get](const RecordContext& c) -> FieldValue {
                const Figures* f = figuresOf(c);
                if (f == nullptr || !has(*f)) return std::nullopt;
                return Record(get(c, *f));
            }};
}

bool always(const Figures&) { return true; }
bool hasVideo(const Figures& f) { return f.hasVideo; }
bool hasAudio(const Figures& f) { return f.hasAudio; }
bool hasSecondAudio(const Figures& f) { return f.hasSecondAudio; }
bool hasSound1(const Figures& f) { return f.sound1.has_value(); }
bool hasSound2(const Figures& f) { return f.sound2.has_value(); }

// A figure every reported file has: null for all of them when the header scan gave up, since
// nothing past it was computed.
template <typename Get>
RecordField commonFigure(std::string_view key, Get get) {
    return {key, true, kFull | kRow, [get](const RecordContext& c) -> FieldValue {
                if (!reported(c)) return std::nullopt;
                const Figures* f = figuresOf(c);
                return f == nullptr ? Record(nullptr) : Record(get(*f));
            }};
}

template <typename Get>
RecordField runTimeFigure(std::string_view key, Get get) {
    return commonFigure(key, [get](const Figures& f) {
        return f.runTime.value ? Record(get(*f.runTime.value)) : Record(nullptr);
    });
}

const container::AviHeaderSet& headersOf(const RecordContext& c) { return *outcomeOf(c).headers; }
const report::CodecTexts& codecsOf(const RecordContext& c) { return outcomeOf(c).codecs; }

// Every field but the inspection's file figures in a row, which come from its own table.
const RecordField kFileFields[] = {
    {"path", true, kFull | kRow | kCheck,
     [](const RecordContext& c) -> FieldValue { return Record(c.analysis.path); }},
    {"kind", true, kFull | kRow | kCheck,
     [](const RecordContext& c) -> FieldValue {
         const Outcome& o = outcomeOf(c);
         const bool recognised =
             o.status == Outcome::Status::Refused || o.status == Outcome::Status::Reported;
         return recognised ? Record(container::containerKindName(o.kind)) : Record(nullptr);
     }},
    {"complete", true, kFull | kRow,
     [](const RecordContext& c) -> FieldValue {
         return Record(reported(c) && outcomeOf(c).complete);
     }},
    {"error", true, kFull | kRow,
     [](const RecordContext& c) -> FieldValue {
         auto problem = problemText(outcomeOf(c));
         return problem ? FieldValue(Record(*problem)) : std::nullopt;
     }},
    {"report", false, kFull,
     [](const RecordContext& c) -> FieldValue {
         return reported(c) ? FieldValue(Record(outcomeOf(c).report)) : std::nullopt;
     }},
    headerField("mainHeader", false, kFull, always,
                [](const RecordContext& c, const Figures&) {
                    return mainHeaderRecord(headersOf(c).mainHeader);
                }),
    headerField("videoStream", false, kFull, hasVideo,
                [](const RecordContext& c, const Figures&) {
                    return videoStreamRecord(headersOf(c).videoStream);
                }),
    headerField("audioStream1", false, kFull, hasAudio,
                [](const RecordContext& c, const Figures&) {
                    return audioStreamRecord(headersOf(c).audioStream1);
                }),
    headerField("audioStream2", false, kFull, hasSecondAudio,
                [](const RecordContext& c, const Figures&) {
                    return audioStreamRecord(headersOf(c).audioStream2);
                }),
    headerField("makeInfo", true, kFull | kRow, always,
                [](const RecordContext& c, const Figures&) {
                    return report::valueText(report::shownMakeInfo(headersOf(c), c.layout));
                }),
    headerField("videoCodecText", true, kFull | kRow, always,
                [](const RecordContext& c, const Figures&) {
                    return report::valueText(codecsOf(c).videoCodecText);
                }),
    headerField("audioCodecText1", true, kFull | kRow, hasAudio,
                [](const RecordContext& c, const Figures&) {
                    return report::valueText(codecsOf(c).audioCodecText1);
                }),
    headerField("audioCodecText2", true, kFull | kRow, hasSecondAudio,
                [](const RecordContext& c, const Figures&) {
                    return report::valueText(codecsOf(c).audioCodecText2);
                }),
    runTimeFigure("runSeconds", [](const report::RunTime& t) { return t.runSeconds; }),
    runTimeFigure("runHours", [](const report::RunTime& t) { return t.runHours; }),
    runTimeFigure("runMinutes", [](const report::RunTime& t) { return t.runMinutes; }),
    runTimeFigure("runRestSeconds", [](const report::RunTime& t) { return t.runRestSeconds; }),
    commonFigure("sizeMegabytes", [](const Figures& f) { return figure(f.sizeMegabytes); }),
    commonFigure("sizeMegabytesText", [](const Figures& f) { return figure(f.sizeMegabytesText); }),
    commonFigure("totalRate", [](const Figures& f) { return figure(f.totalRate); }),
    commonFigure("framesPerSecond", [](const Figures& f) { return figure(f.framesPerSecond); }),
    commonFigure("pictureRatio", [](const Figures& f) { return figure(f.pictureRatio); }),
    commonFigure("videoBitrate", [](const Figures& f) { return figure(f.videoBitrate); }),
    commonFigure("qualityGrade", [](const Figures& f) { return qualityGradeName(f.qualityGrade); }),
    commonFigure("hasAudio", [](const Figures& f) { return f.hasAudio; }),
    commonFigure("hasSecondAudio", [](const Figures& f) { return f.hasSecondAudio; }),
    headerField("channelClass1", true, kFull | kRow, hasSound1,
                [](const RecordContext&, const Figures& f) {
                    return channelClassName(f.sound1->channelClass);
                }),
    headerField("audioBitrate1", true, kFull | kRow, hasSound1,
                [](const RecordContext&, const Figures& f) { return f.sound1->audioBitrate; }),
    headerField("vbr1", true, kFull | kRow, hasSound1,
                [](const RecordContext&, const Figures& f) { return f.sound1->vbr; }),
    headerField("channelClass2", true, kFull | kRow, hasSound2,
                [](const RecordContext&, const Figures& f) {
                    return channelClassName(f.sound2->channelClass);
                }),
    headerField("audioBitrate2", true, kFull | kRow, hasSound2,
                [](const RecordContext&, const Figures& f) { return f.sound2->audioBitrate; }),
    headerField("vbr2", true, kFull | kRow, hasSound2,
                [](const RecordContext&, const Figures& f) { return f.sound2->vbr; }),
    // The whole inspection for JSON; null for a file that could not be read for it.
    {"inspection", false, kFull | kCheck,
     [](const RecordContext& c) -> FieldValue {
         if (c.shape == RecordShape::Full && !reported(c)) return std::nullopt;
         const auto& inspection = c.analysis.result.inspection;
         return inspection ? inspectionRecord(*inspection) : Record(nullptr);
     }},
};

using report::StreamFacts;

// The first stream of a kind, as the report picks its first video and sound streams.
const StreamFacts* firstStream(const report::Inspection& in, bool video) {
    for (const StreamFacts& s : in.streams) {
        if (video ? s.video : s.formatTag.has_value()) return &s;
    }
    return nullptr;
}

std::string encoderText(const bitstream::EncoderName& e) {
    return e.version.empty() ? e.name : e.name + " " + e.version;
}

std::string_view bitrateModeName(bitstream::BitrateMode mode) {
    return mode == bitstream::BitrateMode::Constant ? "cbr" : "vbr";
}

// A column of the table from the bitstream of the file's first video or sound stream: empty
// where that stream is missing or was not identified.
struct BitstreamColumn {
    std::string_view key;
    bool video;
    Record (*value)(const bitstream::StreamIdentity&);
};

constexpr BitstreamColumn kBitstreamColumns[] = {
    {"videoFormat", true, [](const bitstream::StreamIdentity& b) { return Record(b.format); }},
    {"videoProfile", true,
     [](const bitstream::StreamIdentity& b) { return valueOrNull(b.profile); }},
    {"videoEncoder", true,
     [](const bitstream::StreamIdentity& b) {
         return b.encoder ? Record(encoderText(*b.encoder)) : Record(nullptr);
     }},
    {"audioFormat", false, [](const bitstream::StreamIdentity& b) { return Record(b.format); }},
    {"audioBitrateMode", false,
     [](const bitstream::StreamIdentity& b) {
         return b.bitrateMode ? Record(bitrateModeName(*b.bitrateMode)) : Record(nullptr);
     }},
    {"audioChannelLayout", false,
     [](const bitstream::StreamIdentity& b) { return valueOrNull(b.channelLayout); }},
};

std::vector<RecordField> makeRecordFields() {
    std::vector<RecordField> fields(std::begin(kFileFields), std::end(kFileFields));
    // A row carries the inspection's file figures in columns of their own.
    for (const InspectionField& field : inspectionFields()) {
        if (!field.column) continue;
        fields.push_back(
            {field.key, true, kRow, [get = field.value](const RecordContext& c) -> FieldValue {
                 const auto& inspection = c.analysis.result.inspection;
                 if (!reported(c) || !inspection) return std::nullopt;
                 return get(*inspection);
             }});
    }
    for (const BitstreamColumn& column : kBitstreamColumns) {
        fields.push_back({column.key, true, kRow, [column](const RecordContext& c) -> FieldValue {
                              const auto& inspection = c.analysis.result.inspection;
                              if (!reported(c) || !inspection) return std::nullopt;
                              const StreamFacts* s = firstStream(*inspection, column.video);
                              if (s == nullptr || !s->bitstream) return Record(nullptr);
                              return column.value(*s->bitstream);
                          }});
    }
    return fields;
}

Record findingsRecord(const report::Inspection& in) {
    Record list = Record::array();
    for (const report::Finding& f : in.findings) {
        list.push_back({{"code", report::findingCodeName(f.code)},
                        {"english", f.english},
                        {"korean", f.korean}});
    }
    return list;
}

Record streamsRecord(const report::Inspection& in) {
    Record list = Record::array();
    for (const report::StreamFacts& s : in.streams) {
        ObjectBuilder r;
        for (const StreamField& field : streamFields()) r.add(field.key, field.value(s));
        list.push_back(r.take());
    }
    return list;
}

using report::Inspection;

Record encoderRecord(const std::optional<bitstream::EncoderName>& e) {
    if (!e) return Record(nullptr);
    return {{"name", e->name}, {"version", e->version}, {"text", e->text}};
}

// What the stream's first frames are, with the keys of its kind: null where nothing was
// identified, each figure null where the frames do not say.
Record bitstreamRecord(const StreamFacts& s) {
    if (!s.bitstream) return Record(nullptr);
    const bitstream::StreamIdentity& b = *s.bitstream;
    ObjectBuilder r;
    r.add("format", b.format);
    r.add("profile", valueOrNull(b.profile));
    if (report::isVideoFormat(b.format)) {
        r.add("encoder", encoderRecord(b.encoder));
        r.add("settings", valueOrNull(b.settings));
        r.add("bFrames", valueOrNull(b.bFrames));
        r.add("packedBitstream", valueOrNull(b.packedBitstream));
        r.add("quarterPel", valueOrNull(b.quarterPel));
        r.add("gmcWarpPoints", valueOrNull(b.gmcWarpPoints));
        r.add("interlaced", valueOrNull(b.interlaced));
        r.add("refFrames", valueOrNull(b.refFrames));
        r.add("cabac", valueOrNull(b.cabac));
        r.add("width", valueOrNull(b.width));
        r.add("height", valueOrNull(b.height));
    } else {
        r.add("bitrateMode",
              b.bitrateMode ? Record(bitrateModeName(*b.bitrateMode)) : Record(nullptr));
        r.add("bitrateKbps", valueOrNull(b.bitrateKbps));
        r.add("channels", valueOrNull(b.channels));
        r.add("channelLayout", valueOrNull(b.channelLayout));
        r.add("sampleRate", valueOrNull(b.sampleRate));
        r.add("encoder", encoderRecord(b.encoder));
    }
    r.add("framesRead", b.framesRead);
    return r.take();
}

constexpr InspectionField kInspectionFields[] = {
    {"verdict", true, [](const Inspection& in) { return Record(report::verdictName(in.verdict)); }},
    {"durationSeconds", true, [](const Inspection& in) { return Record(in.durationSeconds); }},
    {"playableSeconds", true, [](const Inspection& in) { return Record(in.playableSeconds); }},
    {"presentPercent", true, [](const Inspection& in) { return Record(in.presentPercent); }},
    {"index", true, [](const Inspection& in) { return Record(report::indexKindName(in.index)); }},
    {"writer", true, [](const Inspection& in) { return valueOrNull(in.writer); }},
    {"unknownChunks", false, [](const Inspection& in) { return Record(in.unknownChunks); }},
    {"streams", false, streamsRecord},
    {"findings", false, findingsRecord},
};

constexpr StreamField kStreamFields[] = {
    {"type", [](const StreamFacts& s) { return Record(s.type); }},
    {"handler", [](const StreamFacts& s) { return Record(s.handler); }},
    {"formatTag", [](const StreamFacts& s) { return valueOrNull(s.formatTag); }},
    {"headerLength", [](const StreamFacts& s) { return Record(s.headerLength); }},
    {"durationSeconds", [](const StreamFacts& s) { return Record(s.durationSeconds); }},
    {"indexedChunks", [](const StreamFacts& s) { return valueOrNull(s.indexedChunks); }},
    {"presentChunks", [](const StreamFacts& s) { return Record(s.presentChunks); }},
    {"bytes", [](const StreamFacts& s) { return Record(s.bytes); }},
    {"bitrateKbps", [](const StreamFacts& s) { return valueOrNull(s.bitrateKbps); }},
    {"vbr", [](const StreamFacts& s) { return Record(s.vbr); }},
    {"bitstream", bitstreamRecord},
};

}  // namespace

std::span<const RecordField> recordFields() {
    static const std::vector<RecordField> fields = makeRecordFields();
    return fields;
}

std::span<const InspectionField> inspectionFields() { return kInspectionFields; }

std::span<const StreamField> streamFields() { return kStreamFields; }

Record inspectionRecord(const report::Inspection& inspection) {
    ObjectBuilder r;
    for (const InspectionField& field : kInspectionFields) r.add(field.key, field.value(inspection));
    return r.take();
}

}  // namespace strovanik::cli
