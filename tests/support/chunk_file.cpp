#include "support/chunk_file.h"

#include <algorithm>
#include <fstream>
#include <iterator>

namespace strovanik::testing {

bitstream::StreamPrefix StoredStream::prefix() const {
    bitstream::StreamPrefix prefix;
    for (const auto& chunk : chunks) prefix.chunks.emplace_back(chunk);
    return prefix;
}

StoredStream readStoredStream(const std::filesystem::path& file) {
    std::ifstream in(file, std::ios::binary);
    const std::vector<std::uint8_t> bytes{std::istreambuf_iterator<char>(in), {}};
    StoredStream stream;
    bool first = true;
    for (std::size_t at = 0; at + 4 <= bytes.size();) {
        const std::size_t length = bytes[at] | bytes[at + 1] << 8 | bytes[at + 2] << 16 |
                                   static_cast<std::size_t>(bytes[at + 3]) << 24;
        at += 4;
        const std::size_t end = at + std::min(length, bytes.size() - at);
        std::vector<std::uint8_t> record(bytes.begin() + static_cast<std::ptrdiff_t>(at),
                                         bytes.begin() + static_cast<std::ptrdiff_t>(end));
        if (first) {
            stream.formatBlock = std::move(record);
            first = false;
        } else {
            stream.chunks.push_back(std::move(record));
        }
        at = end;
    }
    return stream;
}

StoredStream recut(const StoredStream& stream, std::size_t size) {
    StoredStream out;
    out.formatBlock = stream.formatBlock;
    std::vector<std::uint8_t> all;
    for (const auto& chunk : stream.chunks) all.insert(all.end(), chunk.begin(), chunk.end());
    for (std::size_t at = 0; at < all.size(); at += size) {
        const std::size_t end = std::min(all.size(), at + size);
        out.chunks.emplace_back(all.begin() + static_cast<std::ptrdiff_t>(at),
                                all.begin() + static_cast<std::ptrdiff_t>(end));
    }
    return out;
}

}  // namespace strovanik::testing
