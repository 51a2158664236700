#pragma once

#include <cstddef>
#include <filesystem>
#include <vector>

#include "bitstream/stream_identity.h"
#include "support/avi_writer.h"

// The first chunks of an AVI stream as the bitstream tests keep them: each chunk as its length
// (four bytes, little-endian) and then its bytes, so that the chunk boundaries, which packed
// bitstream is made of, survive.
namespace strovanik::testing {

std::vector<Bytes> readChunkFile(const std::filesystem::path& path);
void writeChunkFile(const std::filesystem::path& path, const std::vector<Bytes>& chunks);

// The first chunks of the first video stream ("NNdc", "NNdb") of an AVI file, in file order:
// at most `maxChunks` of them and `maxBytes` in all, the last one cut to fit.
std::vector<Bytes> firstVideoChunks(const std::filesystem::path& avi, std::size_t maxChunks,
                                    std::size_t maxBytes);

// A prefix that views `chunks`, which must outlive it.
bitstream::StreamPrefix prefixOf(const std::vector<Bytes>& chunks);

}  // namespace strovanik::testing
