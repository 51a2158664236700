#include "report/findings.h"

#include <array>

namespace strovanik::report {

namespace {

using enum FindingCode;

constexpr std::array<FindingKind, 23> kFindingKinds = {{
    {Truncated, "truncated", false,
     "the file ends {bytes} bytes ({share}%) before its declared end; it plays {plays} s of "
     "{of} s",
     "파일이 선언된 끝보다 {bytes}바이트({share}%) 앞에서 끝납니다. {of}초 중 {plays}초가 "
     "재생됩니다"},
    {TruncatedInsideChunk, "truncated", false,
     "the file ends inside a chunk; it plays {plays} s of {of} s",
     "파일이 청크 중간에서 끝납니다. {of}초 중 {plays}초가 재생됩니다"},
    {NoIndex, "no-index", false,
     "the file has no index (neither idx1 nor an OpenDML index): players cannot seek in it",
     "파일에 색인(idx1, OpenDML 색인)이 없어서 재생기가 원하는 위치로 갈 수 없습니다"},
    {IndexPastEnd, "index-past-end", false, "{n} index entries point past the end of the file",
     "색인 항목 {n}개가 파일 끝 너머를 가리킵니다"},
    {IndexWrongChunk, "index-wrong-chunk", false,
     "{n} index entries checked point at other chunks than they name",
     "확인한 색인 항목 {n}개가 적힌 것과 다른 청크를 가리킵니다"},
    {FrameCountMismatch, "frame-count-mismatch", false,
     "the header counts {header} frames, the index {index}",
     "헤더의 프레임 수는 {header}, 색인의 프레임 수는 {index}입니다"},
    {SizeConflict, "size-conflict", false,
     "the chunk at byte {at} claims more bytes than the list around it holds",
     "{at}바이트 위치의 청크가 그것을 담은 목록보다 큰 크기를 적고 있습니다"},
    {StructureLost, "structure-lost", false,
     "no chunk starts at byte {at}: the structure cannot be followed past it",
     "{at}바이트 위치에 청크가 없어서 그 뒤의 구조를 따라갈 수 없습니다"},
    {NoHeaderList, "no-header-list", false, "the file has no main header or no stream list",
     "파일에 주 헤더나 스트림 목록이 없습니다"},
    {WalkLimit, "walk-limit", true,
     "the inspection stopped at its limit near byte {at}: the counts are partial",
     "검사가 한도에 이르러 {at}바이트 근처에서 멈췄습니다. 개수는 일부입니다"},
    {FirstRiffOnly, "first-riff-only", true,
     "the main header counts the {header} frames ({headerSeconds} s) of the first RIFF only, so "
     "the report's running time is short; the file holds {file} frames ({fileSeconds} s)",
     "주 헤더는 첫 RIFF의 {header}프레임({headerSeconds}초)만 세므로 보고서의 재생 시간이 "
     "짧습니다. 파일 전체는 {file}프레임({fileSeconds}초)입니다"},
    {VbrMarkedChunksConstant, "bitrate-mode-mismatch", true,
     "sound stream {sound}: the header marks variable-rate sound (the report's \"(VBR)\"), but "
     "its chunk sizes are constant",
     "사운드 {sound}: 헤더는 가변 비트레이트(보고서의 \"(VBR)\")로 적혀 있지만 청크 크기는 "
     "일정합니다"},
    {CbrMarkedChunksVary, "bitrate-mode-mismatch", true,
     "sound stream {sound}: the header marks constant-rate sound (no \"(VBR)\" in the report), "
     "but its chunk sizes vary",
     "사운드 {sound}: 헤더는 고정 비트레이트(보고서에 \"(VBR)\" 없음)로 적혀 있지만 청크 "
     "크기가 달라집니다"},
    {VbrMarkedFramesConstant, "bitrate-mode-mismatch", true,
     "sound stream {sound}: the header marks variable-rate sound (the report's \"(VBR)\"), but "
     "its frame headers give one bit rate, {kbps} kb/s",
     "사운드 {sound}: 헤더는 가변 비트레이트(보고서의 \"(VBR)\")로 적혀 있지만 프레임 헤더의 "
     "비트레이트는 {kbps} kb/s 하나입니다"},
    {CbrMarkedFramesVary, "bitrate-mode-mismatch", true,
     "sound stream {sound}: the header marks constant-rate sound (no \"(VBR)\" in the report), "
     "but its frames' bit rate varies",
     "사운드 {sound}: 헤더는 고정 비트레이트(보고서에 \"(VBR)\" 없음)로 적혀 있지만 프레임의 "
     "비트레이트가 달라집니다"},
    {StreamLengthMismatch, "stream-length-mismatch", true,
     "stream {stream} ({type}): its header's length is {length}, its chunks hold {units}",
     "스트림 {stream} ({type}): 헤더의 길이는 {length}, 청크에 든 길이는 {units}입니다"},
    {PackedBitstream, "packed-bitstream", true,
     "stream {stream}: the MPEG-4 video is a packed bitstream (a B-frame stored with the frame "
     "before it, then an empty placeholder chunk): players and editors that take one chunk for "
     "one frame show frames late or out of order; ffmpeg's mpeg4_unpack_bframes bitstream "
     "filter unpacks it without re-encoding",
     "스트림 {stream}: MPEG-4 영상이 패킹된 비트스트림입니다(B 프레임을 앞 프레임과 한 청크에 "
     "담고 빈 자리 청크를 둠). 청크 하나를 프레임 하나로 읽는 재생기와 편집기는 프레임을 늦게 "
     "또는 뒤바뀐 순서로 보여 줍니다. ffmpeg의 mpeg4_unpack_bframes 비트스트림 필터로 다시 "
     "인코딩하지 않고 풀 수 있습니다"},
    {CodecNameMismatch, "codec-name-mismatch", true,
     "stream {stream}: the report names {code} \"{named}\", but the stream is {actual}",
     "스트림 {stream}: 보고서는 {code}를 \"{named}\"(으)로 적지만 실제 스트림은 {actual}입니다"},
    {ChannelsMismatch, "channels-mismatch", true,
     "sound stream {sound}: the format header says {header} channels, its frames hold {frames}",
     "사운드 {sound}: 형식 헤더의 채널 수는 {header}, 프레임의 채널 수는 {frames}입니다"},
    {SoundRateMismatch, "sound-rate-mismatch", true,
     "sound stream {sound}: the format header's byte rate gives {header} kb/s (the report's sound "
     "bit rate), its frames {frames} kb/s",
     "사운드 {sound}: 형식 헤더의 바이트 전송률로는 {header} kb/s(보고서의 사운드 비트레이트), "
     "프레임으로는 {frames} kb/s입니다"},
    {NotAsDeclared, "not-as-declared", true,
     "stream {stream}: {code} declares {declared}, but its first {chunks} chunks are {actual}",
     "스트림 {stream}: {code}는 {declared}(으)로 적혀 있지만 첫 청크 {chunks}개는 {actual}입니다"},
    {IndexEntrySize, "index-entry-size", false,
     "{n} OpenDML indexes give their entries a size their type does not have (the first, at byte "
     "{at}, {longs} longs an entry) and were not read",
     "OpenDML 색인 {n}개가 그 형식에 없는 항목 크기를 적고 있어서 읽지 않았습니다(첫 색인: "
     "{at}바이트 위치, 항목당 {longs}롱)"},
    {UnreadableFrames, "unreadable-frames", true,
     "stream {stream}: {code} declares {declared}, but its first {chunks} chunks hold no frame "
     "of any format known here ({zeros} of them hold only zeros): they may be damaged or blank, "
     "not another format",
     "스트림 {stream}: {code}는 {declared}(으)로 적혀 있지만 첫 청크 {chunks}개에 알려진 "
     "형식의 프레임이 없습니다(그중 {zeros}개는 0으로만 채워져 있습니다). 다른 형식이 아니라 "
     "손상되었거나 비어 있는 것일 수 있습니다"},
}};

constexpr bool inCodeOrder() {
    for (std::size_t i = 0; i < kFindingKinds.size(); ++i) {
        if (static_cast<std::size_t>(kFindingKinds[i].code) != i) return false;
    }
    return true;
}
static_assert(inCodeOrder(), "findingKind looks a row up by its code");

}  // namespace

std::span<const FindingKind> findingKinds() { return kFindingKinds; }

const FindingKind& findingKind(FindingCode code) {
    return kFindingKinds.at(static_cast<std::size_t>(code));
}

std::string_view findingCodeName(FindingCode code) { return findingKind(code).name; }

bool isNote(FindingCode code) { return findingKind(code).note; }

std::string filledSentence(std::string_view sentence, SlotValues values) {
    std::string text;
    text.reserve(sentence.size() + 32);
    std::size_t at = 0;
    while (at < sentence.size()) {
        const std::size_t open = sentence.find('{', at);
        const std::size_t close = open == std::string_view::npos ? open : sentence.find('}', open);
        if (close == std::string_view::npos) break;
        text += sentence.substr(at, open - at);
        const std::string_view slot = sentence.substr(open + 1, close - open - 1);
        const auto* value = values.begin();
        while (value != values.end() && value->first != slot) ++value;
        text += value != values.end() ? std::string_view(value->second)
                                      : sentence.substr(open, close - open + 1);
        at = close + 1;
    }
    text += sentence.substr(at);
    return text;
}

}  // namespace strovanik::report
