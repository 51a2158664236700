#include "container/repair_index.h"

#include <algorithm>
#include <array>
#include <span>

#include "container/little_endian.h"
#include "container/odml_index.h"

namespace strovanik::container {

namespace {

constexpr std::int64_t kEntryBlock = 16 * 1024;

class KeyFrameReader {
public:
    KeyFrameReader(ChunkReader& reader, const std::vector<bool>& wanted, std::int64_t maxEntries)
        : reader_(reader), wanted_(wanted), maxEntries_(maxEntries) {}

    OldKeyFrames take() {
        keys_.sort();
        return std::move(keys_);
    }

    bool full() const { return keys_.entries() >= maxEntries_ || reader_.exhausted(); }

    void add(std::size_t stream, std::int64_t dataAt, bool key) {
        if (stream < wanted_.size() && wanted_[stream] && !full()) keys_.add(stream, dataAt, key);
    }

    // Calls visit(bytes) for each of `count` entries `stride` bytes apart from `at`, read in
    // blocks; `width` bytes of each are handed over.
    template <typename Visit>
    void forEachEntry(std::int64_t at, std::int64_t count, std::int64_t stride, Visit visit) {
        count = std::min(count, std::max<std::int64_t>(reader_.fileSize() - at, 0) / stride);
        if (count <= 0 || !reader_.spendIndexEntries(count)) return;
        const std::int64_t perBlock = std::max<std::int64_t>(1, kEntryBlock / stride);
        std::vector<std::uint8_t> block;
        for (std::int64_t first = 0; first < count && !full(); first += perBlock) {
            const std::int64_t n = std::min(perBlock, count - first);
            block.resize(static_cast<std::size_t>(n * stride));
            reader_.read(at + first * stride, block);
            for (std::int64_t i = 0; i < n; ++i) {
                visit(std::span<const std::uint8_t>(block).subspan(
                    static_cast<std::size_t>(i * stride)));
            }
        }
    }

    void readSuperIndex(std::size_t stream, const SuperIndexPlace& place) {
        if (place.size < SuperIndexHeader::kSize) return;
        std::array<std::uint8_t, SuperIndexHeader::kSize> headerBytes{};
        reader_.read(place.dataAt, headerBytes);
        const SuperIndexHeader header = SuperIndexHeader::read(headerBytes);
        const std::int64_t stride = std::max<std::int64_t>(4, header.longsPerEntry) * 4;
        if (header.indexType != kIndexOfIndexes) return;
        const std::int64_t count = std::min<std::int64_t>(
            header.entriesInUse, (place.size - SuperIndexHeader::kSize) / stride);
        std::vector<std::int64_t> standard;
        forEachEntry(place.dataAt + SuperIndexHeader::kSize, count, stride,
                     [&](std::span<const std::uint8_t> bytes) {
                         const auto entry =
                             SuperIndexEntry::read(bytes.first<SuperIndexEntry::kSize>());
                         if (entry.offset > 0 &&
                             entry.offset < static_cast<std::uint64_t>(reader_.fileSize()))
                             standard.push_back(static_cast<std::int64_t>(entry.offset));
                     });
        for (const std::int64_t at : standard) readStandardIndex(stream, at);
    }

    void readStandardIndex(std::size_t stream, std::int64_t at) {
        std::array<std::uint8_t, 8 + StandardIndexHeader::kSize> bytes{};
        if (!reader_.step(at) || !reader_.read(at, bytes)) return;
        const std::int64_t size =
            static_cast<std::uint32_t>(readInt32(std::span(bytes).subspan<4, 4>()));
        const auto header = StandardIndexHeader::read(std::span(bytes).subspan<8>());
        if (header.indexType != kIndexOfChunks || header.indexSubType != 0) return;
        const std::int64_t stride = std::max<std::int64_t>(2, header.longsPerEntry) * 4;
        const std::int64_t count = std::min<std::int64_t>(
            header.entriesInUse, (size - StandardIndexHeader::kSize) / stride);
        const auto base = static_cast<std::int64_t>(
            std::min<std::uint64_t>(header.baseOffset, std::uint64_t{1} << 62));
        forEachEntry(at + 8 + StandardIndexHeader::kSize, count, stride,
                     [&](std::span<const std::uint8_t> entryBytes) {
                         const auto entry = StandardIndexEntry::read(
                             entryBytes.first<StandardIndexEntry::kSize>());
                         add(stream, base + entry.offset, entry.keyFrame);
                     });
    }

    // idx1 offsets count from the movie list's type or from the file's start: the first entry
    // of a stream that names the chunk it points at tells which.
    void readIdx1(std::int64_t at, std::int64_t size, std::int64_t movieType) {
        std::optional<std::int64_t> base;
        forEachEntry(at, size / Idx1Entry::kSize, Idx1Entry::kSize,
                     [&](std::span<const std::uint8_t> bytes) {
                         const Idx1Entry e = Idx1Entry::read(bytes.first<Idx1Entry::kSize>());
                         const auto stream = streamNumberOf(e.chunkId);
                         if (!stream) return;
                         if (!base) base = idx1Base(e, movieType);
                         add(static_cast<std::size_t>(*stream), *base + e.offset + 8,
                             (e.flags & 0x10) != 0);
                     });
    }

private:
    std::int64_t idx1Base(const Idx1Entry& e, std::int64_t movieType) {
        std::array<std::uint8_t, 4> found{};
        if (reader_.read(movieType + e.offset, found) && found == e.chunkId) return movieType;
        if (reader_.read(e.offset, found) && found == e.chunkId) return 0;
        return movieType;
    }

    ChunkReader& reader_;
    const std::vector<bool>& wanted_;
    std::int64_t maxEntries_;
    OldKeyFrames keys_;
};

}  // namespace

std::optional<bool> OldKeyFrames::keyFrame(std::size_t stream, std::int64_t dataAt) const {
    if (stream >= byStream_.size()) return std::nullopt;
    const auto& entries = byStream_[stream];
    const auto wanted = static_cast<std::uint64_t>(dataAt) << 1;
    const auto found = std::lower_bound(entries.begin(), entries.end(), wanted);
    if (found == entries.end() || (*found >> 1) != (wanted >> 1)) return std::nullopt;
    return (*found & 1) != 0;
}

void OldKeyFrames::add(std::size_t stream, std::int64_t dataAt, bool key) {
    if (dataAt < 0) return;
    if (byStream_.size() <= stream) byStream_.resize(stream + 1);
    byStream_[stream].push_back(static_cast<std::uint64_t>(dataAt) << 1 | (key ? 1 : 0));
    ++entries_;
}

void OldKeyFrames::sort() {
    for (auto& entries : byStream_) std::sort(entries.begin(), entries.end());
}

OldKeyFrames readOldKeyFrames(ChunkReader& reader, const RiffWalk& walk,
                              const std::vector<std::optional<SuperIndexPlace>>& superIndexes,
                              const std::vector<bool>& wanted, std::int64_t maxEntries) {
    KeyFrameReader keys(reader, wanted, maxEntries);
    bool openDml = false;
    for (std::size_t stream = 0; stream < superIndexes.size(); ++stream) {
        if (!superIndexes[stream] || stream >= wanted.size() || !wanted[stream]) continue;
        openDml = true;
        keys.readSuperIndex(stream, *superIndexes[stream]);
    }
    if (openDml || walk.parts.empty() || walk.movieLists.empty()) return keys.take();
    // idx1 follows the first movie list in the first RIFF.
    const MovieList& movie = walk.movieLists.front();
    const std::int64_t end = walk.parts.front().declaredEnd;
    for (std::int64_t at = movie.declaredEnd + (movie.declaredEnd & 1);;) {
        const NextChunk next = reader.nextChunk(at, end);
        if (!next.chunk) break;
        if (upperCased(next.chunk->id) == fourCc("IDX1")) {
            const std::int64_t size =
                std::min(next.chunk->size, reader.fileSize() - next.chunk->dataAt());
            keys.readIdx1(next.chunk->dataAt(), size, movie.dataStart - 4);
            break;
        }
        at = next.chunk->after();
    }
    return keys.take();
}

}  // namespace strovanik::container
