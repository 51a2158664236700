#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <vector>

#include "container/byte_source.h"
#include "container/four_cc.h"

// The bounded reading under the walk of an AVI file: chunk headers one at a time, each size a
// claim checked against the list around it and the file, every header one step of a budget.
namespace strovanik::container {

// What one walk may spend, whatever the file asks for. Every chunk header and every index
// entry looked at is one step.
struct WalkLimits {
    std::int64_t maxSteps = 50'000'000;
    std::int64_t maxIndexEntries = 20'000'000;
    // How deep `rec ` lists may nest in a movie list. Each level costs 16 bytes of the heap,
    // never a frame of the stack, so the bound holds on any thread: 100,000 levels (a file
    // of 1.2 MB can ask for that many) take 2 MiB at most.
    std::int64_t maxListDepth = 100'000;
};

// The most memory the inspection of one file takes beyond the program's own, whatever the file
// holds: the walk, the streams' first frames and the findings together. What grows with the
// file has a share of it: the RIFFs and the movie lists (65,536 of each, 1.5 MiB each), the
// nesting of `rec ` lists (2 MiB), the standard indexes already read (65,536 places, 3 MiB,
// freed before the first frames are read), the first frames (4 MiB, and a chunk of 1 MiB at a
// time); the streams (100, with 1 KiB of format each) and their findings take little. A walk
// that reaches its share stops there, as at its step limit; the first frames stop being read.
inline constexpr std::int64_t kInspectionMemory = 16 * 1024 * 1024;

// Where and why a walk could not follow the structure any further.
enum class WalkTrouble {
    None,
    NoChunkHere,   // the bytes at the trouble's offset are not a chunk header
    SizeConflict,  // a chunk claims more than the list around it holds
    StepLimit,     // the walk stopped at one of its limits
};

// A chunk's header as the file gives it. `size` is never more than the list around the chunk
// holds, but the data may run past the end of a cut file.
struct ChunkHeader {
    FourCc id{};
    std::int64_t at = 0;  // where the header starts
    std::int64_t size = 0;

    std::int64_t dataAt() const { return at + 8; }
    // Where the next chunk starts: data of odd length is followed by a pad byte.
    std::int64_t after() const { return dataAt() + size + (size & 1); }
};

// What the reader found where a list's next chunk should start.
struct NextChunk {
    WalkTrouble trouble = WalkTrouble::None;  // set when the list cannot be followed
    std::optional<ChunkHeader> chunk;         // empty at the list's end and on trouble
    std::int64_t at = 0;                      // where it looked
};

class ChunkReader {
public:
    ChunkReader(ByteSource& source, const WalkLimits& limits);

    std::int64_t fileSize() const { return fileSize_; }
    const WalkLimits& limits() const { return limits_; }

    // Fills `out` with the bytes at `offset`, zero where they lie outside the file; true when
    // all of them lie inside it.
    bool read(std::int64_t offset, std::span<std::uint8_t> out);

    // The bytes at `offset` where the source holds them in memory and they all lie inside the
    // file, without a copy; nothing otherwise, and `read` is the way.
    std::optional<std::span<const std::uint8_t>> view(std::int64_t offset, std::int64_t length);

    // Counts one step at `at`: false once the budget is spent, and from then on.
    bool step(std::int64_t at);
    // Takes `count` index entries from their budget: false, and the walk is over, once they
    // exceed it.
    bool spendIndexEntries(std::int64_t count);
    // Ends the budget at `at`, as a step past it would: for a bound the walk keeps itself.
    void stop(std::int64_t at);
    bool exhausted() const { return exhausted_; }
    std::int64_t exhaustedAt() const { return lastStepAt_; }

    // The chunk at `at` of a list whose data ends at `end`. The list ends where fewer than
    // eight bytes of it are left; a header cut by the end of the file ends it too, and marks
    // the file as ending inside a chunk. A chunk whose id is no text (four zero bytes, say) is
    // a chunk still, of a kind no reader names, where its size fits the list and the chunks
    // after it close the list or lead to a chunk with a text id; otherwise no chunk is here.
    NextChunk nextChunk(std::int64_t at, std::int64_t end);
    // The list type of a LIST chunk, upper-cased; nothing for any other chunk.
    std::optional<FourCc> listType(const ChunkHeader& chunk);
    bool wholeInFile(const ChunkHeader& chunk) const {
        return chunk.size <= fileSize_ - chunk.dataAt();
    }

    // Reads of chunk headers take `length` bytes with them from now on, and the bytes they hold
    // serve later reads of that length or less: for a pass that wants the chunks' data too, so
    // that each stretch of the file is read once. The walk's own reads take kHeaderBlock.
    void readBlocksOf(std::int64_t length);

    // Whether some chunk met so far runs past the end of the file.
    bool endsInsideChunk() const { return endsInsideChunk_; }
    // Chunks met so far whose id is no text.
    std::int64_t unknownChunks() const { return unknownChunks_; }
    std::int64_t steps() const { return steps_; }
    std::int64_t bytesRead() const { return bytesRead_; }

    // What a read of chunk headers takes with it, unless told otherwise.
    static constexpr std::int64_t kHeaderBlock = 4096;

private:
    bool chainCloses(std::int64_t at, std::int64_t end);
    void readCached(std::int64_t offset, std::span<std::uint8_t> out);

    ByteSource& source_;
    WalkLimits limits_;
    std::int64_t fileSize_ = 0;
    std::int64_t steps_ = 0;
    std::int64_t indexEntries_ = 0;
    std::int64_t lastStepAt_ = 0;
    bool exhausted_ = false;
    bool endsInsideChunk_ = false;
    std::int64_t unknownChunks_ = 0;
    std::int64_t bytesRead_ = 0;
    std::optional<std::span<const std::uint8_t>> held_;  // the source's data, if in memory
    std::int64_t blockSize_ = kHeaderBlock;
    std::vector<std::uint8_t> block_;  // made at the first read that needs it
    std::int64_t blockStart_ = 0;
    std::int64_t blockLength_ = 0;
};

// The stream number of a movie chunk id ("01wb" is 1); nothing for other ids.
std::optional<int> streamNumberOf(FourCc id);

}  // namespace strovanik::container
