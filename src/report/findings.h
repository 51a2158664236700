#pragma once

#include <initializer_list>
#include <span>
#include <string>
#include <string_view>
#include <utility>

// Every finding the inspection can make, each said once: its stable name, whether it is a
// note, and its sentence in both languages. A note only explains the report's figures; the
// others make the file damaged, or truncated. The inspection picks a finding and fills its
// slots; the writers print what was filled and never compose a finding themselves.
namespace strovanik::report {

// One per sentence. A finding with two sentences has two values sharing one name.
enum class FindingCode {
    Truncated,
    TruncatedInsideChunk,
    NoIndex,
    IndexPastEnd,
    IndexWrongChunk,
    FrameCountMismatch,
    SizeConflict,
    StructureLost,
    NoHeaderList,
    WalkLimit,
    FirstRiffOnly,
    VbrMarkedChunksConstant,
    CbrMarkedChunksVary,
    VbrMarkedFramesConstant,
    CbrMarkedFramesVary,
    StreamLengthMismatch,
    PackedBitstream,
    CodecNameMismatch,
    ChannelsMismatch,
    SoundRateMismatch,
    NotAsDeclared,
    IndexEntrySize,
    UnreadableFrames,
};

// A sentence's slots are written {name}; the inspection gives each its text.
struct FindingKind {
    FindingCode code;
    std::string_view name;  // as machine-readable output carries it ("frame-count-mismatch")
    bool note;
    std::string_view english;
    std::string_view korean;
};

// The table, in the order of FindingCode.
std::span<const FindingKind> findingKinds();
const FindingKind& findingKind(FindingCode code);

std::string_view findingCodeName(FindingCode code);
bool isNote(FindingCode code);

using SlotValues = std::initializer_list<std::pair<std::string_view, std::string>>;

// `sentence` with each {name} replaced by its value; a slot without a value stays as written.
std::string filledSentence(std::string_view sentence, SlotValues values);

}  // namespace strovanik::report
