#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <vector>

#include "bitstream/stream_identity.h"
#include "support/avi_writer.h"

// The first chunks of an AVI stream as the bitstream tests keep them: records of a 4-byte
// little-endian length and that many bytes, so that the chunk boundaries, which packed
// bitstream is made of, survive. A sound stream's file holds its format record first.
namespace strovanik::testing {

// The records of a file; a record that runs past the end of the file is cut there.
std::vector<Bytes> readChunkFile(const std::filesystem::path& path);
void writeChunkFile(const std::filesystem::path& path, const std::vector<Bytes>& chunks);

// The first chunks of the first video stream ("NNdc", "NNdb") of an AVI file, in file order:
// at most `maxChunks` of them and `maxBytes` in all, the last one cut to fit.
std::vector<Bytes> firstVideoChunks(const std::filesystem::path& avi, std::size_t maxChunks,
                                    std::size_t maxBytes);

// A prefix that views `chunks`, which must outlive it.
bitstream::StreamPrefix prefixOf(const std::vector<Bytes>& chunks);

// A sound stream as stored: its format record, then its chunks.
struct StoredStream {
    Bytes formatBlock;
    std::vector<Bytes> chunks;

    // Views of the chunks, valid while this lives.
    bitstream::StreamPrefix prefix() const { return prefixOf(chunks); }
};

StoredStream readStoredStream(const std::filesystem::path& file);

// The same bytes cut into chunks of `size` bytes each (the last one shorter), as a writer that
// ignores the frames' edges would store them.
StoredStream recut(const StoredStream& stream, std::size_t size);

}  // namespace strovanik::testing
