#include "support/chunk_file.h"

#include <algorithm>
#include <fstream>
#include <optional>
#include <string>

#include "support/plain_walk.h"

namespace strovanik::testing {

namespace fs = std::filesystem;

std::vector<Bytes> readChunkFile(const fs::path& path) {
    const Bytes bytes = readFile(path);
    std::vector<Bytes> chunks;
    std::size_t at = 0;
    while (bytes.size() - at >= 4) {
        const std::size_t length = std::size_t{bytes[at]} | std::size_t{bytes[at + 1]} << 8 |
                                   std::size_t{bytes[at + 2]} << 16 |
                                   std::size_t{bytes[at + 3]} << 24;
        at += 4;
        const std::size_t end = at + std::min(length, bytes.size() - at);
        chunks.emplace_back(bytes.begin() + static_cast<std::ptrdiff_t>(at),
                            bytes.begin() + static_cast<std::ptrdiff_t>(end));
        at = end;
    }
    return chunks;
}

void writeChunkFile(const fs::path& path, const std::vector<Bytes>& chunks) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    for (const Bytes& chunk : chunks) {
        const Bytes length = le32(static_cast<std::int32_t>(chunk.size()));
        out.write(reinterpret_cast<const char*>(length.data()), 4);
        out.write(reinterpret_cast<const char*>(chunk.data()),
                  static_cast<std::streamsize>(chunk.size()));
    }
}

std::vector<Bytes> firstVideoChunks(const fs::path& avi, std::size_t maxChunks,
                                    std::size_t maxBytes) {
    std::vector<Bytes> chunks;
    std::optional<std::string> stream;  // the two digits of the first video stream
    std::size_t total = 0;
    std::ifstream in(avi, std::ios::binary);
    walkMovieChunks(avi, [&](std::string_view id, std::int64_t dataAt, std::int64_t size) {
        if (chunks.size() >= maxChunks || total >= maxBytes) return;
        const std::string_view kind = id.substr(2);
        if (kind != "dc" && kind != "db") return;
        if (!stream) stream = std::string(id.substr(0, 2));
        if (id.substr(0, 2) != *stream) return;
        const auto length = static_cast<std::size_t>(
            std::min<std::int64_t>(size, static_cast<std::int64_t>(maxBytes - total)));
        Bytes chunk(length);
        in.clear();
        in.seekg(dataAt);
        in.read(reinterpret_cast<char*>(chunk.data()), static_cast<std::streamsize>(length));
        chunk.resize(static_cast<std::size_t>(in.gcount()));
        total += chunk.size();
        chunks.push_back(std::move(chunk));
    });
    return chunks;
}

bitstream::StreamPrefix prefixOf(const std::vector<Bytes>& chunks) {
    bitstream::StreamPrefix prefix;
    for (const Bytes& chunk : chunks) prefix.chunks.emplace_back(chunk);
    return prefix;
}

StoredStream readStoredStream(const fs::path& file) {
    std::vector<Bytes> records = readChunkFile(file);
    StoredStream stream;
    if (records.empty()) return stream;
    stream.formatBlock = std::move(records.front());
    stream.chunks.assign(std::make_move_iterator(records.begin() + 1),
                         std::make_move_iterator(records.end()));
    return stream;
}

StoredStream recut(const StoredStream& stream, std::size_t size) {
    StoredStream out;
    out.formatBlock = stream.formatBlock;
    Bytes all;
    for (const auto& chunk : stream.chunks) all.insert(all.end(), chunk.begin(), chunk.end());
    for (std::size_t at = 0; at < all.size(); at += size) {
        const std::size_t end = std::min(all.size(), at + size);
        out.chunks.emplace_back(all.begin() + static_cast<std::ptrdiff_t>(at),
                                all.begin() + static_cast<std::ptrdiff_t>(end));
    }
    return out;
}

}  // namespace strovanik::testing
