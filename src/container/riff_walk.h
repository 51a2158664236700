#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "container/avi_header_set.h"
#include "container/byte_source.h"
#include "container/chunk_reader.h"
#include "container/four_cc.h"
#include "container/movie_chunks.h"

// The walk of a whole AVI file's chunk tree: every RIFF of it (the AVI one and each AVIX of an
// OpenDML file), the header lists, the text chunks, and the indexes. It reads chunk headers and
// indexes, never the media data, and it keeps going on cut and damaged files, saying where it
// lost its way. It is independent of the header scan, which searches the file's start for the
// letters LIST: the walk follows the sizes.
namespace strovanik::container {

enum class IndexKind { None, Idx1, OpenDml };

// One stream list (strl) of the header list, and what the index and the movie data say of it.
struct WalkedStream {
    // The stream header, the stream format chunk's header and the first bytes of the format,
    // read as the header scan reads them.
    AviStreamRecord record;
    // The stream format chunk's data, up to kMaxFormatBytes of it: the record above keeps its
    // first bytes only, while a sound format's extension (WAVE_FORMAT_EXTENSIBLE's channel mask,
    // AAC's configuration) lies beyond them.
    std::vector<std::uint8_t> format;
    std::optional<std::int64_t> indexedChunks;  // set when an index covers the stream
    std::int64_t indexedBytes = 0;
    std::int64_t presentChunks = 0;  // chunks whose data lies wholly inside the file
    std::int64_t presentBytes = 0;
    std::int64_t firstRiffChunks = 0;  // present chunks of the first RIFF
    std::int64_t smallestChunk = 0;    // sizes of the present chunks but the last and empty ones
    std::int64_t largestChunk = 0;
    std::int64_t sizedChunks = 0;  // chunks the two sizes above were taken from
    std::int64_t lastChunk = -1;   // the size of the latest chunk, not yet in the two above
};

// One top-level RIFF: where it starts, where its size says it ends, its form type.
struct RiffPart {
    std::int64_t offset = 0;
    std::int64_t declaredEnd = 0;
    FourCc formType{};
};

struct RiffWalk {
    std::int64_t fileSize = 0;
    std::vector<RiffPart> parts;
    std::optional<AviMainHeader> mainHeader;
    std::optional<std::int32_t> odmlTotalFrames;            // the dmlh chunk's total frames
    std::vector<WalkedStream> streams;                      // in the order of their stream lists
    std::vector<std::pair<FourCc, std::string>> infoTexts;  // INFO chunks (ISFT, INAM, ...), UTF-8
    std::vector<MovieList> movieLists;                      // in file order
    std::int64_t junkChunks = 0;
    std::int64_t unknownChunks = 0;  // chunks whose id is no text, walked past by their sizes

    bool endsInsideChunk = false;  // the file ends inside a chunk's header or data
    WalkTrouble trouble = WalkTrouble::None;
    std::int64_t troubleAt = 0;

    IndexKind index = IndexKind::None;  // the index the counts come from
    bool idx1Found = false;
    bool odmlIndexFound = false;
    std::int64_t indexEntriesPastEnd = 0;     // entries whose chunk does not lie inside the file
    std::int64_t indexEntriesMismatched = 0;  // sampled entries that name another chunk
    // OpenDML indexes not read, their entries being of a size their type does not have.
    struct UnreadIndexes {
        std::int64_t count = 0;
        std::int64_t firstAt = 0;         // the first one's chunk header
        std::uint16_t longsPerEntry = 0;  // what the first one declares
    } unreadIndexes;
    bool movieWalked = false;  // the present chunks were counted by walking the movie lists

    std::int64_t steps = 0;
    std::int64_t bytesRead = 0;

    // Where the last RIFF says the file ends.
    std::int64_t declaredEnd() const { return parts.empty() ? 0 : parts.back().declaredEnd; }
    // Whether data is missing at the end: the file ends before its RIFF sizes say, or inside a
    // chunk. The one rule for a cut file, for the counts, the verdict and the fuzzers alike.
    bool isCut() const { return declaredEnd() > fileSize || endsInsideChunk; }
};

// The most of a stream format chunk a walk keeps: WAVE_FORMAT_EXTENSIBLE takes 40 bytes, and a
// sound configuration that long is already one no writer makes.
inline constexpr std::int64_t kMaxFormatBytes = 1024;

// Walks the file and counts every stream's chunks, from its index when an index covers the
// whole file and from its movie lists otherwise. Throws ReadError when the source fails.
RiffWalk walkRiff(ByteSource& source, const WalkLimits& limits = {});
// The same through a reader the caller keeps, to read on where the walk stopped.
RiffWalk walkRiff(ChunkReader& reader);

// Walks the file's structure only: the RIFFs, the header list, the texts, where the movie
// lists lie; no index is read and nothing is counted. The movie lists' chunks can then be
// taken with MovieChunks over the same reader. Throws ReadError when the source fails.
RiffWalk walkStructure(ChunkReader& reader);

// Whether the sizes of a stream's present chunks vary as those of variable-rate audio do: the
// largest more than an eighth above the smallest, the last chunk (often short) left out.
bool chunkSizesVary(const WalkedStream& stream);

}  // namespace strovanik::container
