#pragma once

#include <cstdint>
#include <filesystem>
#include <span>
#include <vector>

#include "bitstream/stream_identity.h"

// The first chunks of one stream as tests/bitstream/first_chunks.py stores them: records of a
// 4-byte little-endian length and that many bytes, the stream's format record first, then its
// chunks in file order.
namespace strovanik::testing {

struct StoredStream {
    std::vector<std::uint8_t> formatBlock;
    std::vector<std::vector<std::uint8_t>> chunks;

    // Views of the chunks, valid while this lives.
    bitstream::StreamPrefix prefix() const;
};

// Reads a stored stream; a record that runs past the end of the file is cut there.
StoredStream readStoredStream(const std::filesystem::path& file);

// The same bytes cut into chunks of `size` bytes each (the last one shorter), as a writer that
// ignores the frames' edges would store them.
StoredStream recut(const StoredStream& stream, std::size_t size);

}  // namespace strovanik::testing
