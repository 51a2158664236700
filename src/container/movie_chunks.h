#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <vector>

#include "container/chunk_reader.h"
#include "container/four_cc.h"

// The chunks of an AVI file's movie lists, one at a time, in file order.
namespace strovanik::container {

// One movie list ("LIST movi") of one RIFF, as the walk of the file's structure found it.
struct MovieList {
    std::int64_t dataStart = 0;  // the byte after the list type "movi"
    std::int64_t declaredEnd = 0;
    std::size_t part = 0;  // the RIFF it belongs to, counted from 0
};

// A chunk of a movie list: a stream's frame or sound ("00dc", "01wb"), a standard index
// ("ix00"), JUNK, ... Lists nested in the movie list are not handed over themselves: `rec `
// lists are looked into, as if their chunks stood in the movie list, and other lists are
// passed over.
struct MovieChunk {
    FourCc id{};
    std::optional<int> stream;     // the stream number of a stream's chunk ("01wb": 1)
    std::int64_t dataAt = 0;       // where the chunk's data starts
    std::int64_t size = 0;         // as its header says, never beyond the list around it
    std::int64_t presentSize = 0;  // what of the data lies inside the file
};

// A reader that mends files finds its own way on where a movie list cannot be followed: it
// says which chunks may stand in a movie list, and where the list goes on past bytes that are
// no chunk.
class ChunkResync {
public:
    virtual ~ChunkResync() = default;
    // Whether `chunk`, met in a movie list whose data ends at `end`, is one to hand over; when
    // not, the bytes from its header on are damage.
    virtual bool accepts(const ChunkHeader& chunk, std::int64_t end) = 0;
    // Where the list that ends at `end` goes on past damage that begins at `at`: the next good
    // chunk header, or nothing to give the rest of the list up.
    virtual std::optional<std::int64_t> resumeAfter(std::int64_t at, std::int64_t end) = 0;
};

// Hands out the chunks of `lists` in order, reading through `reader`, whose steps and limits
// they share with the rest of the walk:
//
//     ChunkReader reader(source, limits);
//     const RiffWalk walk = walkStructure(reader);
//     MovieChunks chunks(reader, walk.movieLists);
//     while (const auto chunk = chunks.next()) {
//         if (chunks.trouble() != WalkTrouble::None) break;  // to stop where the walk lost its way
//         ...  // and stop early, whenever enough has been seen
//     }
//
// The nesting of `rec ` lists is kept on the heap, to a depth of the limits' maxListDepth, so
// no file can make the walk deeper on the stack. Where a list cannot be followed (no chunk
// where one should start, a size beyond the list, a limit reached), the rest of that movie
// list is passed over and the next one begins; the first such trouble is kept.
class MovieChunks {
public:
    MovieChunks(ChunkReader& reader, std::span<const MovieList> lists);

    std::optional<MovieChunk> next();

    // From now on damage in a movie list is passed over where `resync` finds a way on, instead
    // of ending the list (nested `rec ` lists are then left). Trouble is still kept as above.
    void resyncWith(ChunkResync* resync) { resync_ = resync; }

    WalkTrouble trouble() const { return trouble_; }
    std::int64_t troubleAt() const { return troubleAt_; }

private:
    // A list being walked: where its data ends, and where the list around it goes on.
    struct Level {
        std::int64_t end = 0;
        std::int64_t after = 0;
    };

    void leaveList(WalkTrouble trouble, std::int64_t at);
    // Goes on past damage at `at` where the resync finds a chunk; false where it does not.
    bool resume(WalkTrouble trouble, std::int64_t at);

    ChunkReader& reader_;
    std::span<const MovieList> lists_;
    std::size_t nextList_ = 0;
    std::vector<Level> levels_;  // empty between movie lists
    std::int64_t at_ = 0;
    WalkTrouble trouble_ = WalkTrouble::None;
    std::int64_t troubleAt_ = 0;
    ChunkResync* resync_ = nullptr;
};

}  // namespace strovanik::container
