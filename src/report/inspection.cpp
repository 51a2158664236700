#include "report/inspection.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

#include "catalogue/audio_format_catalogue.h"
#include "catalogue/bitstream_formats.h"
#include "catalogue/video_codec_catalogue.h"
#include "container/avi_header_set.h"
#include "report/derived_measures.h"
#include "report/number_text.h"
#include "report/stream_names.h"

namespace strovanik::report {

namespace {

using container::AviStreamRecord;
using container::fourCc;
using container::RiffWalk;
using container::upperCased;
using container::WalkedStream;

std::string count(std::int64_t value) { return patternForm(value, "#,##0"); }
std::string seconds(double value) { return patternForm(value, "0.00"); }

// A code's text up to its first NUL: an audio stream's handler is often four NUL bytes.
std::string codeText(container::FourCc code) {
    std::string text = container::fourCcText(code);
    return text.substr(0, text.find('\0'));
}

using container::isSoundStream;
using container::isVideoStream;

double framePeriod(const AviStreamRecord& r) {
    const auto scale = static_cast<std::uint32_t>(r.dwScale());
    const auto rate = static_cast<std::uint32_t>(r.dwRate());
    return rate == 0 ? 0 : static_cast<double>(scale) / rate;
}

// The time a stream's present chunks cover: each chunk one unit of the stream's time base, or
// for streams of fixed-size samples, their bytes in samples.
double coveredSeconds(const WalkedStream& s) {
    const auto sampleSize = static_cast<std::uint32_t>(s.record.dwSampleSize());
    const double units = sampleSize > 0 ? static_cast<double>(s.presentBytes) / sampleSize
                                        : static_cast<double>(s.presentChunks);
    return units * framePeriod(s.record);
}

// What the first frames are: video by their start codes, sound by their sync words or, for
// the formats without them, by the format record.
std::optional<bitstream::StreamIdentity> identify(const WalkedStream& s,
                                                  const bitstream::StreamPrefix& prefix) {
    if (isVideoStream(s.record)) return bitstream::identifyVideo(prefix);
    if (isSoundStream(s.record)) return bitstream::identifyAudio(prefix, s.format);
    return std::nullopt;
}

StreamFacts streamFacts(const WalkedStream& s) {
    const AviStreamRecord& r = s.record;
    StreamFacts f;
    f.type = codeText(r.fccType());
    f.handler = codeText(r.fccHandler());
    f.video = isVideoStream(r);
    if (isSoundStream(r)) f.formatTag = static_cast<std::uint16_t>(r.wFormatTag());
    f.headerLength = static_cast<std::uint32_t>(r.dwLength());
    f.durationSeconds = static_cast<double>(f.headerLength) * framePeriod(r);
    f.indexedChunks = s.indexedChunks;
    f.presentChunks = s.presentChunks;
    f.bytes = s.presentBytes;
    const double covered = coveredSeconds(s);
    if (covered > 0) f.bitrateKbps = static_cast<double>(s.presentBytes) * 8 / 1000 / covered;
    f.vbr = isSoundStream(r) && container::chunkSizesVary(s);
    return f;
}

const WalkedStream* firstStream(const RiffWalk& walk, bool (*is)(const AviStreamRecord&)) {
    for (const WalkedStream& s : walk.streams) {
        if (is(s.record)) return &s;
    }
    return nullptr;
}

double playableSeconds(const RiffWalk& walk) {
    if (const WalkedStream* video = firstStream(walk, isVideoStream)) {
        return static_cast<double>(video->presentChunks) * framePeriod(video->record);
    }
    if (const WalkedStream* audio = firstStream(walk, isSoundStream)) {
        const auto byteRate = static_cast<std::uint32_t>(audio->record.nAvgBytesPerSec());
        return byteRate == 0 ? 0 : static_cast<double>(audio->presentBytes) / byteRate;
    }
    return 0;
}

class Findings {
public:
    void add(FindingCode code, SlotValues values = {}) {
        const FindingKind& kind = findingKind(code);
        list.push_back(
            {code, filledSentence(kind.english, values), filledSentence(kind.korean, values)});
    }
    std::vector<Finding> list;
};

void findTruncation(const RiffWalk& walk, const Inspection& in, Findings& out) {
    const std::string plays = seconds(in.playableSeconds);
    const std::string of = seconds(in.durationSeconds);
    const std::int64_t missing = walk.declaredEnd() - walk.fileSize;
    if (missing > 0) {
        const std::string share = patternForm(
            static_cast<double>(missing) * 100 / static_cast<double>(walk.declaredEnd()), "0");
        out.add(FindingCode::Truncated,
                {{"bytes", count(missing)}, {"share", share}, {"plays", plays}, {"of", of}});
    } else {
        out.add(FindingCode::TruncatedInsideChunk, {{"plays", plays}, {"of", of}});
    }
}

void findStructureTrouble(const RiffWalk& walk, Findings& out) {
    const std::string at = count(walk.troubleAt);
    switch (walk.trouble) {
        case container::WalkTrouble::None:
            break;
        case container::WalkTrouble::NoChunkHere:
            out.add(FindingCode::StructureLost, {{"at", at}});
            break;
        case container::WalkTrouble::SizeConflict:
            out.add(FindingCode::SizeConflict, {{"at", at}});
            break;
        case container::WalkTrouble::StepLimit:
            out.add(FindingCode::WalkLimit, {{"at", at}});
            break;
    }
}

void findIndexTrouble(const RiffWalk& walk, bool partial, Findings& out) {
    if (walk.index == container::IndexKind::None && !partial) {
        out.add(FindingCode::NoIndex);
    }
    if (walk.indexEntriesPastEnd > 0) {
        out.add(FindingCode::IndexPastEnd, {{"n", count(walk.indexEntriesPastEnd)}});
    }
    if (walk.indexEntriesMismatched > 0) {
        out.add(FindingCode::IndexWrongChunk, {{"n", count(walk.indexEntriesMismatched)}});
    }
    if (walk.unreadIndexes.count > 0) {
        out.add(FindingCode::IndexEntrySize,
                {{"n", count(walk.unreadIndexes.count)},
                 {"at", count(walk.unreadIndexes.firstAt)},
                 {"longs", std::to_string(walk.unreadIndexes.longsPerEntry)}});
    }
}

void findFrameCounts(const RiffWalk& walk, bool cut, Findings& out) {
    const WalkedStream* video = firstStream(walk, isVideoStream);
    if (!walk.mainHeader || video == nullptr) return;
    const std::int64_t headerFrames = static_cast<std::uint32_t>(walk.mainHeader->dwTotalFrames);
    const std::int64_t fileFrames = video->presentChunks;
    const double frameSeconds = walk.mainHeader->dwMicroSecPerFrame / 1e6;
    if (walk.parts.size() > 1 && headerFrames < fileFrames &&
        headerFrames == video->firstRiffChunks) {
        out.add(FindingCode::FirstRiffOnly,
                {{"header", count(headerFrames)},
                 {"headerSeconds", seconds(static_cast<double>(headerFrames) * frameSeconds)},
                 {"file", count(fileFrames)},
                 {"fileSeconds",
                  seconds(static_cast<double>(fileFrames) * framePeriod(video->record))}});
        return;
    }
    if (cut || !video->indexedChunks) return;
    const std::int64_t expected = walk.parts.size() > 1 && walk.odmlTotalFrames
                                      ? static_cast<std::uint32_t>(*walk.odmlTotalFrames)
                                      : headerFrames;
    if (expected == *video->indexedChunks) return;
    out.add(FindingCode::FrameCountMismatch,
            {{"header", count(expected)}, {"index", count(*video->indexedChunks)}});
}

// A bit rate in kb/s: whole where it is whole, else to a tenth.
std::string kbpsText(double kbps) {
    return patternForm(kbps, std::abs(kbps - std::round(kbps)) < 0.05 ? "0" : "0.0");
}

// Whether the report's "(VBR)" mark holds: frame headers decide where the format has them,
// chunk sizes only where it has none (or the frames are none known here) and its frames are of
// one length at a constant rate.
void findBitrateMode(const WalkedStream& s, const std::optional<bitstream::StreamIdentity>& id,
                     int soundNumber, Findings& out) {
    const bool marked = !DerivedMeasures::vbrMark(s.record).empty();
    const std::string sound = std::to_string(soundNumber);
    // PCM's constant rate comes from its format record: it has no frame headers.
    if (id && id->bitrateMode && id->format != "pcm") {
        const bool varies = *id->bitrateMode == bitstream::BitrateMode::Variable;
        if (marked == varies) return;
        if (marked) {
            out.add(FindingCode::VbrMarkedFramesConstant,
                    {{"sound", sound}, {"kbps", kbpsText(id->bitrateKbps.value_or(0))}});
        } else {
            out.add(FindingCode::CbrMarkedFramesVary, {{"sound", sound}});
        }
        return;
    }
    // AAC's frames differ in length at any rate control, its bit reservoir evening them out,
    // and they carry no rate of their own: neither its chunks nor its frames tell the mode.
    if (id && id->format == "aac") return;
    if (s.sizedChunks < 2) return;
    const bool varies = container::chunkSizesVary(s);
    if (marked == varies) return;
    out.add(marked ? FindingCode::VbrMarkedChunksConstant : FindingCode::CbrMarkedChunksVary,
            {{"sound", sound}});
}

// The format record's channel count and byte rate against the frames'. The byte rate is held
// against constant-rate frames only, whose rate is exact: a variable stream's first frames
// are not its mean. Apart is more than 1 kb/s and more than 1% of the frames' rate, so that a
// record's rounding to whole bytes a second never counts.
void findSoundFigures(const AviStreamRecord& r, const bitstream::StreamIdentity& id,
                      int soundNumber, Findings& out) {
    const std::string sound = std::to_string(soundNumber);
    const auto channels = static_cast<std::uint16_t>(r.nChannels());
    if (id.channels && *id.channels != channels) {
        out.add(FindingCode::ChannelsMismatch, {{"sound", sound},
                                                {"header", std::to_string(channels)},
                                                {"frames", std::to_string(*id.channels)}});
    }
    if (id.bitrateMode != bitstream::BitrateMode::Constant || !id.bitrateKbps) return;
    const double header = static_cast<std::uint32_t>(r.nAvgBytesPerSec()) * 8.0 / 1000;
    const double apart = std::abs(header - *id.bitrateKbps);
    if (apart > 1 && apart > *id.bitrateKbps / 100) {
        out.add(FindingCode::SoundRateMismatch, {{"sound", sound},
                                                 {"header", kbpsText(header)},
                                                 {"frames", kbpsText(*id.bitrateKbps)}});
    }
}

void findStreamNotes(const RiffWalk& walk, const std::vector<StreamFacts>& facts, bool cut,
                     Findings& out) {
    int soundNumber = 0;
    for (std::size_t i = 0; i < walk.streams.size(); ++i) {
        const WalkedStream& s = walk.streams[i];
        const AviStreamRecord& r = s.record;
        // The present chunks of a whole file are what its index holds, or what the walk found
        // where no index covers the file.
        if (!cut) {
            const auto sampleSize = static_cast<std::uint32_t>(r.dwSampleSize());
            const std::int64_t units =
                sampleSize > 0 ? s.presentBytes / sampleSize : s.presentChunks;
            const std::int64_t length = static_cast<std::uint32_t>(r.dwLength());
            if (std::llabs(units - length) > 1) {
                out.add(FindingCode::StreamLengthMismatch, {{"stream", std::to_string(i)},
                                                            {"type", codeText(r.fccType())},
                                                            {"length", count(length)},
                                                            {"units", count(units)}});
            }
        }
        // The report shows the first two sound streams, each with its "(VBR)" mark or not.
        if (!isSoundStream(r) || ++soundNumber > 2) continue;
        findBitrateMode(s, facts[i].bitstream, soundNumber, out);
    }
}

// A catalogue's text as a sentence quotes it: up to a NUL, without the spaces around it.
std::string quotedName(std::string text) {
    text = text.substr(0, text.find('\0'));
    const auto first = text.find_first_not_of(' ');
    if (first == std::string::npos) return {};
    return text.substr(first, text.find_last_not_of(' ') - first + 1);
}

std::string formatsText(std::span<const std::string_view> formats) {
    std::string text;
    for (const std::string_view f : formats) {
        text += (text.empty() ? "" : " / ") + std::string(formatDisplayName(f));
    }
    return text;
}

// The report's name of the stream (from its handler or format tag) against what its frames
// are, and the figures of the format record against the frames'.
void findBitstreamNotes(const RiffWalk& walk, const std::vector<StreamFacts>& facts,
                        const container::FirstFrames& frames, Findings& out) {
    int soundNumber = 0;
    for (std::size_t i = 0; i < walk.streams.size(); ++i) {
        const AviStreamRecord& r = walk.streams[i].record;
        const bool sound = isSoundStream(r);
        if (!sound && !isVideoStream(r)) continue;
        if (sound) ++soundNumber;
        const auto& id = facts[i].bitstream;
        const std::string stream = std::to_string(i);
        const std::string code = sound ? std::to_string(static_cast<std::uint16_t>(r.wFormatTag()))
                                       : codeText(r.fccHandler());
        const auto declared =
            sound ? catalogue::audioFormatFormats(static_cast<std::uint16_t>(r.wFormatTag()))
                  : catalogue::videoCodecFormats(r.fccHandler());
        const auto& chunks = frames.prefix(i).chunks;
        if (!id) {
            // Chunks that no parser reads as any format are no other format: zeros are what a
            // disk fault or a cut download leaves, noise what damage does.
            if (!declared.empty() && !chunks.empty()) {
                const auto zeros = std::count_if(chunks.begin(), chunks.end(), [](auto chunk) {
                    return std::all_of(chunk.begin(), chunk.end(),
                                       [](std::uint8_t b) { return b == 0; });
                });
                out.add(FindingCode::UnreadableFrames, {{"stream", stream},
                                                        {"code", code},
                                                        {"declared", formatsText(declared)},
                                                        {"chunks", std::to_string(chunks.size())},
                                                        {"zeros", std::to_string(zeros)}});
            }
            continue;
        }
        const bool asDeclared =
            std::find(declared.begin(), declared.end(), id->format) != declared.end();
        if (!asDeclared && !declared.empty()) {
            out.add(FindingCode::NotAsDeclared,
                    {{"stream", stream},
                     {"code", code},
                     {"declared", formatsText(declared)},
                     {"chunks", std::to_string(chunks.size())},
                     {"actual", std::string(formatDisplayName(id->format))}});
        } else if (!asDeclared) {
            const std::string named =
                sound ? catalogue::describeAudioFormat(static_cast<std::uint16_t>(r.wFormatTag()))
                      : catalogue::describeVideoCodec(r.fccHandler(), r.biCompression());
            out.add(FindingCode::CodecNameMismatch,
                    {{"stream", stream},
                     {"code", code},
                     {"named", quotedName(named)},
                     {"actual", std::string(formatDisplayName(id->format))}});
        }
        if (id->packedBitstream.value_or(false)) {
            out.add(FindingCode::PackedBitstream, {{"stream", stream}});
        }
        if (sound) findSoundFigures(r, *id, soundNumber, out);
    }
}

}  // namespace

std::string_view verdictName(Verdict verdict) {
    switch (verdict) {
        case Verdict::Complete:
            return "complete";
        case Verdict::Truncated:
            return "truncated";
        case Verdict::Damaged:
            return "damaged";
    }
    return "damaged";
}

std::string_view koreanVerdictName(Verdict verdict) {
    switch (verdict) {
        case Verdict::Complete:
            return "정상";
        case Verdict::Truncated:
            return "잘림";
        case Verdict::Damaged:
            return "손상";
    }
    return "손상";
}

std::string_view indexKindName(container::IndexKind index) {
    switch (index) {
        case container::IndexKind::None:
            return "none";
        case container::IndexKind::Idx1:
            return "idx1";
        case container::IndexKind::OpenDml:
            return "odml";
    }
    return "none";
}

Inspection inspectWalk(const RiffWalk& walk, const container::FirstFrames& frames) {
    Inspection in;
    for (std::size_t i = 0; i < walk.streams.size(); ++i) {
        in.streams.push_back(streamFacts(walk.streams[i]));
        in.streams.back().bitstream = identify(walk.streams[i], frames.prefix(i));
    }
    for (const StreamFacts& f : in.streams) {
        in.durationSeconds = std::max(in.durationSeconds, f.durationSeconds);
    }
    in.playableSeconds = playableSeconds(walk);
    const std::int64_t declared = walk.declaredEnd();
    if (declared > 0) {
        in.presentPercent = static_cast<double>(std::min(walk.fileSize, declared)) * 100 /
                            static_cast<double>(declared);
    }
    in.index = walk.index;
    in.unknownChunks = walk.unknownChunks;
    for (const auto& [id, text] : walk.infoTexts) {
        if (upperCased(id) == fourCc("ISFT")) {
            in.writer = text;
            break;
        }
    }

    const bool cut = walk.isCut();
    // Where the walk lost its way, what lies past that point is unknown: counts that disagree,
    // or an index not found, say nothing more.
    const bool partial = cut || walk.trouble != container::WalkTrouble::None;
    Findings found;
    if (cut) findTruncation(walk, in, found);
    findStructureTrouble(walk, found);
    if (!walk.mainHeader || walk.streams.empty()) {
        found.add(FindingCode::NoHeaderList);
    }
    if (!cut) findIndexTrouble(walk, partial, found);
    findFrameCounts(walk, partial, found);
    findStreamNotes(walk, in.streams, partial, found);
    findBitstreamNotes(walk, in.streams, frames, found);
    in.findings = std::move(found.list);

    if (cut) {
        in.verdict = Verdict::Truncated;
    } else if (std::any_of(in.findings.begin(), in.findings.end(),
                           [](const Finding& f) { return !isNote(f.code); })) {
        in.verdict = Verdict::Damaged;
    }
    return in;
}

Inspection inspect(container::ByteSource& source, const container::WalkLimits& limits) {
    container::ChunkReader reader(source, limits);
    const RiffWalk walk = container::walkRiff(reader);
    return inspectWalk(walk, container::readFirstFrames(reader, walk));
}

}  // namespace strovanik::report
