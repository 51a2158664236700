#include "report/inspection.h"

#include <algorithm>
#include <cstdlib>

#include "container/avi_header_set.h"
#include "report/derived_measures.h"
#include "report/number_text.h"

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

bool isVideo(const AviStreamRecord& r) { return upperCased(r.fccType()) == fourCc("VIDS"); }
bool isAudio(const AviStreamRecord& r) { return upperCased(r.fccType()) == fourCc("AUDS"); }

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

StreamFacts streamFacts(const WalkedStream& s) {
    const AviStreamRecord& r = s.record;
    StreamFacts f;
    f.type = codeText(r.fccType());
    f.handler = codeText(r.fccHandler());
    if (isAudio(r)) f.formatTag = static_cast<std::uint16_t>(r.wFormatTag());
    f.headerLength = static_cast<std::uint32_t>(r.dwLength());
    f.durationSeconds = static_cast<double>(f.headerLength) * framePeriod(r);
    f.indexedChunks = s.indexedChunks;
    f.presentChunks = s.presentChunks;
    f.bytes = s.presentBytes;
    const double covered = coveredSeconds(s);
    if (covered > 0) f.bitrateKbps = static_cast<double>(s.presentBytes) * 8 / 1000 / covered;
    f.vbr = isAudio(r) && container::chunkSizesVary(s);
    return f;
}

const WalkedStream* firstStream(const RiffWalk& walk, bool (*is)(const AviStreamRecord&)) {
    for (const WalkedStream& s : walk.streams) {
        if (is(s.record)) return &s;
    }
    return nullptr;
}

double playableSeconds(const RiffWalk& walk) {
    if (const WalkedStream* video = firstStream(walk, isVideo)) {
        return static_cast<double>(video->presentChunks) * framePeriod(video->record);
    }
    if (const WalkedStream* audio = firstStream(walk, isAudio)) {
        const auto byteRate = static_cast<std::uint32_t>(audio->record.nAvgBytesPerSec());
        return byteRate == 0 ? 0 : static_cast<double>(audio->presentBytes) / byteRate;
    }
    return 0;
}

class Findings {
public:
    void add(FindingCode code, std::string english, std::string korean) {
        list.push_back({code, std::move(english), std::move(korean)});
    }
    std::vector<Finding> list;
};

void findTruncation(const RiffWalk& walk, const Inspection& in, Findings& out) {
    const std::string plays = seconds(in.playableSeconds);
    const std::string of = seconds(in.durationSeconds);
    const std::int64_t missing = walk.declaredEnd() - walk.fileSize;
    if (missing > 0) {
        const std::string bytes = count(missing);
        const std::string share = patternForm(
            static_cast<double>(missing) * 100 / static_cast<double>(walk.declaredEnd()), "0");
        out.add(FindingCode::Truncated,
                "the file ends " + bytes + " bytes (" + share +
                    "%) before its declared end; it plays " + plays + " s of " + of + " s",
                "파일이 선언된 끝보다 " + bytes + "바이트(" + share + "%) 앞에서 끝납니다. " + of +
                    "초 중 " + plays + "초가 재생됩니다");
    } else {
        out.add(FindingCode::Truncated,
                "the file ends inside a chunk; it plays " + plays + " s of " + of + " s",
                "파일이 청크 중간에서 끝납니다. " + of + "초 중 " + plays + "초가 재생됩니다");
    }
}

void findStructureTrouble(const RiffWalk& walk, Findings& out) {
    const std::string at = count(walk.troubleAt);
    switch (walk.trouble) {
        case container::WalkTrouble::None:
            break;
        case container::WalkTrouble::NoChunkHere:
            out.add(FindingCode::StructureLost,
                    "no chunk starts at byte " + at + ": the structure cannot be followed past it",
                    at + "바이트 위치에 청크가 없어서 그 뒤의 구조를 따라갈 수 없습니다");
            break;
        case container::WalkTrouble::SizeConflict:
            out.add(FindingCode::SizeConflict,
                    "the chunk at byte " + at + " claims more bytes than the list around it holds",
                    at + "바이트 위치의 청크가 그것을 담은 목록보다 큰 크기를 적고 있습니다");
            break;
        case container::WalkTrouble::StepLimit:
            out.add(
                FindingCode::WalkLimit,
                "the inspection stopped at its limit near byte " + at + ": the counts are partial",
                "검사가 한도에 이르러 " + at + "바이트 근처에서 멈췄습니다. 개수는 일부입니다");
            break;
    }
}

void findIndexTrouble(const RiffWalk& walk, bool partial, Findings& out) {
    if (walk.index == container::IndexKind::None && !partial) {
        out.add(
            FindingCode::NoIndex,
            "the file has no index (neither idx1 nor an OpenDML index): players cannot seek in it",
            "파일에 색인(idx1, OpenDML 색인)이 없어서 재생기가 원하는 위치로 갈 수 없습니다");
    }
    if (walk.indexEntriesPastEnd > 0) {
        const std::string n = count(walk.indexEntriesPastEnd);
        out.add(FindingCode::IndexPastEnd, n + " index entries point past the end of the file",
                "색인 항목 " + n + "개가 파일 끝 너머를 가리킵니다");
    }
    if (walk.indexEntriesMismatched > 0) {
        const std::string n = count(walk.indexEntriesMismatched);
        out.add(FindingCode::IndexWrongChunk,
                n + " index entries checked point at other chunks than they name",
                "확인한 색인 항목 " + n + "개가 적힌 것과 다른 청크를 가리킵니다");
    }
}

void findFrameCounts(const RiffWalk& walk, bool cut, Findings& out) {
    const WalkedStream* video = firstStream(walk, isVideo);
    if (!walk.mainHeader || video == nullptr) return;
    const std::int64_t headerFrames = static_cast<std::uint32_t>(walk.mainHeader->dwTotalFrames);
    const std::int64_t fileFrames = video->presentChunks;
    const double frameSeconds = walk.mainHeader->dwMicroSecPerFrame / 1e6;
    if (walk.parts.size() > 1 && headerFrames < fileFrames &&
        headerFrames == video->firstRiffChunks) {
        const std::string a = count(headerFrames);
        const std::string as = seconds(static_cast<double>(headerFrames) * frameSeconds);
        const std::string b = count(fileFrames);
        const std::string bs =
            seconds(static_cast<double>(fileFrames) * framePeriod(video->record));
        out.add(FindingCode::FirstRiffOnly,
                "the main header counts the " + a + " frames (" + as +
                    " s) of the first RIFF only, so the report's running time is short; the file "
                    "holds " +
                    b + " frames (" + bs + " s)",
                "주 헤더는 첫 RIFF의 " + a + "프레임(" + as +
                    "초)만 세므로 보고서의 재생 시간이 짧습니다. 파일 전체는 " + b + "프레임(" +
                    bs + "초)입니다");
        return;
    }
    if (cut || !video->indexedChunks) return;
    const std::int64_t expected = walk.parts.size() > 1 && walk.odmlTotalFrames
                                      ? static_cast<std::uint32_t>(*walk.odmlTotalFrames)
                                      : headerFrames;
    if (expected == *video->indexedChunks) return;
    const std::string a = count(expected);
    const std::string b = count(*video->indexedChunks);
    out.add(FindingCode::FrameCountMismatch, "the header counts " + a + " frames, the index " + b,
            "헤더의 프레임 수는 " + a + ", 색인의 프레임 수는 " + b + "입니다");
}

void findStreamNotes(const RiffWalk& walk, bool cut, Findings& out) {
    int soundNumber = 0;
    for (std::size_t i = 0; i < walk.streams.size(); ++i) {
        const WalkedStream& s = walk.streams[i];
        const AviStreamRecord& r = s.record;
        const std::string number = std::to_string(i);
        // The present chunks of a whole file are what its index holds, or what the walk found
        // where no index covers the file.
        if (!cut) {
            const auto sampleSize = static_cast<std::uint32_t>(r.dwSampleSize());
            const std::int64_t units =
                sampleSize > 0 ? s.presentBytes / sampleSize : s.presentChunks;
            const std::int64_t length = static_cast<std::uint32_t>(r.dwLength());
            if (std::llabs(units - length) > 1) {
                const std::string type = codeText(r.fccType());
                out.add(FindingCode::StreamLengthMismatch,
                        "stream " + number + " (" + type + "): its header's length is " +
                            count(length) + ", its chunks hold " + count(units),
                        "스트림 " + number + " (" + type + "): 헤더의 길이는 " + count(length) +
                            ", 청크에 든 길이는 " + count(units) + "입니다");
            }
        }
        // The report shows the first two sound streams, each with its "(VBR)" mark or not.
        if (!isAudio(r) || ++soundNumber > 2 || s.sizedChunks < 2) continue;
        const bool marked = !DerivedMeasures::vbrMark(r).empty();
        const bool varies = container::chunkSizesVary(s);
        if (marked == varies) continue;
        const std::string sound = std::to_string(soundNumber);
        if (marked) {
            out.add(FindingCode::VbrInCbrHeader,
                    "sound stream " + sound +
                        ": the header marks variable-rate sound (the report's \"(VBR)\"), but its "
                        "chunk sizes are constant",
                    "사운드 " + sound +
                        ": 헤더는 가변 비트레이트(보고서의 \"(VBR)\")로 적혀 있지만 청크 크기는 "
                        "일정합니다");
        } else {
            out.add(FindingCode::VbrInCbrHeader,
                    "sound stream " + sound +
                        ": the header marks constant-rate sound (no \"(VBR)\" in the report), but "
                        "its chunk sizes vary",
                    "사운드 " + sound +
                        ": 헤더는 고정 비트레이트(보고서에 \"(VBR)\" 없음)로 적혀 있지만 청크 "
                        "크기가 달라집니다");
        }
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

std::string_view findingCodeName(FindingCode code) {
    switch (code) {
        case FindingCode::Truncated:
            return "truncated";
        case FindingCode::NoIndex:
            return "no-index";
        case FindingCode::IndexPastEnd:
            return "index-past-end";
        case FindingCode::IndexWrongChunk:
            return "index-wrong-chunk";
        case FindingCode::FrameCountMismatch:
            return "frame-count-mismatch";
        case FindingCode::SizeConflict:
            return "size-conflict";
        case FindingCode::StructureLost:
            return "structure-lost";
        case FindingCode::NoHeaderList:
            return "no-header-list";
        case FindingCode::WalkLimit:
            return "walk-limit";
        case FindingCode::FirstRiffOnly:
            return "first-riff-only";
        case FindingCode::VbrInCbrHeader:
            return "vbr-in-cbr-header";
        case FindingCode::StreamLengthMismatch:
            return "stream-length-mismatch";
    }
    return "structure-lost";
}

bool isNote(FindingCode code) {
    return code == FindingCode::FirstRiffOnly || code == FindingCode::VbrInCbrHeader ||
           code == FindingCode::StreamLengthMismatch || code == FindingCode::WalkLimit;
}

Inspection inspectWalk(const RiffWalk& walk) {
    Inspection in;
    for (const WalkedStream& s : walk.streams) in.streams.push_back(streamFacts(s));
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
        found.add(FindingCode::NoHeaderList, "the file has no main header or no stream list",
                  "파일에 주 헤더나 스트림 목록이 없습니다");
    }
    if (!cut) findIndexTrouble(walk, partial, found);
    findFrameCounts(walk, partial, found);
    findStreamNotes(walk, partial, found);
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
    return inspectWalk(container::walkRiff(source, limits));
}

}  // namespace strovanik::report
