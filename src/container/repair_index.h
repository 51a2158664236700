#pragma once

#include <cstdint>
#include <optional>
#include <vector>

#include "container/chunk_reader.h"
#include "container/riff_walk.h"

// What the index of a file being repaired says of its video chunks: which are key frames. The
// repaired copy takes a chunk's flag from there where the index lists the chunk.
namespace strovanik::container {

class OldKeyFrames {
public:
    // The flag of the chunk of `stream` whose data starts at `dataAt`, where the index lists it.
    std::optional<bool> keyFrame(std::size_t stream, std::int64_t dataAt) const;

    void add(std::size_t stream, std::int64_t dataAt, bool key);
    // Puts each stream's entries in order, once all are added.
    void sort();
    std::int64_t entries() const { return entries_; }

private:
    std::vector<std::vector<std::uint64_t>> byStream_;  // dataAt << 1 | key
    std::int64_t entries_ = 0;
};

// Where a stream list's super index ("indx") lies in the file: its data and their size.
struct SuperIndexPlace {
    std::int64_t dataAt = 0;
    std::int64_t size = 0;
};

// Reads the key-frame flags of the chunks of the streams marked in `wanted` from the file's
// OpenDML indexes where it has them, and from its idx1 otherwise, keeping at most `maxEntries`
// entries (8 bytes each). Every entry read is one entry of the reader's budget.
OldKeyFrames readOldKeyFrames(ChunkReader& reader, const RiffWalk& walk,
                              const std::vector<std::optional<SuperIndexPlace>>& superIndexes,
                              const std::vector<bool>& wanted, std::int64_t maxEntries);

}  // namespace strovanik::container
