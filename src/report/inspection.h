#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "bitstream/stream_identity.h"
#include "container/byte_source.h"
#include "container/first_frames.h"
#include "container/riff_walk.h"
#include "report/findings.h"

// What the whole file holds and whether it is whole: the figures, the verdict and the findings
// drawn from the walk of its chunk tree. Independent of the report, which answers from the
// first RIFF's headers alone.
namespace strovanik::report {

enum class Verdict { Complete, Truncated, Damaged };

std::string_view verdictName(Verdict verdict);               // "complete", "truncated", "damaged"
std::string_view koreanVerdictName(Verdict verdict);         // "정상", "잘림", "손상"
std::string_view indexKindName(container::IndexKind index);  // "idx1", "odml", "none"

struct Finding {
    FindingCode code = FindingCode::Truncated;
    std::string english;
    std::string korean;
};

struct StreamFacts {
    std::string type;     // the stream type as read ("vids", "auds", "txts", ...)
    std::string handler;  // the stream header's handler code
    bool video = false;   // a video stream ("vids")
    std::optional<std::uint16_t> formatTag;  // sound streams only
    std::int64_t headerLength = 0;           // dwLength
    double durationSeconds = 0;              // dwLength × dwScale ÷ dwRate
    std::optional<std::int64_t> indexedChunks;
    std::int64_t presentChunks = 0;
    std::int64_t bytes = 0;             // of the present chunks
    std::optional<double> bitrateKbps;  // from the bytes and the time they cover
    bool vbr = false;                   // sound: chunk sizes vary
    // What the stream's first frames are, whatever its handler or format tag says; nothing
    // where they are none of the formats known, or none lies inside the file.
    std::optional<bitstream::StreamIdentity> bitstream;
};

struct Inspection {
    Verdict verdict = Verdict::Complete;
    double durationSeconds = 0;  // the longest stream's
    double playableSeconds = 0;  // what the present chunks cover
    double presentPercent = 0;   // the share of the declared size the file holds
    container::IndexKind index = container::IndexKind::None;
    std::optional<std::string> writer;  // the INFO ISFT text
    std::int64_t unknownChunks = 0;     // chunks of ids that are no text, which the walk passed
    std::vector<StreamFacts> streams;
    std::vector<Finding> findings;
};

// The inspection of a walk already made, with the first frames of its streams.
Inspection inspectWalk(const container::RiffWalk& walk, const container::FirstFrames& frames);

// Walks the file, reads its streams' first frames on through the same reader, and inspects
// it. Throws ReadError when the source fails.
Inspection inspect(container::ByteSource& source, const container::WalkLimits& limits = {});

}  // namespace strovanik::report
