#include "container/riff_walk.h"

#include <algorithm>
#include <array>
#include <limits>
#include <set>
#include <span>

#include "container/little_endian.h"
#include "container/odml_index.h"
#include "container/text_encoding.h"

namespace strovanik::container {

namespace {

constexpr std::int64_t kIndexBlock = 16 * 1024;
constexpr std::int64_t kInfoTextLimit = 1024;  // the longest text chunk kept
constexpr std::int64_t kSampledEntries = 16;   // index entries checked against their chunk
// What the walk keeps of lists that may repeat, whatever the file claims: stream numbers have
// two digits, and a writer starts a new RIFF every gigabyte or so. Past the RIFFs' or the
// movie lists' bound the walk stops at its limit, so that no movie data goes unseen unsaid.
constexpr std::size_t kMaxStreams = 100;
constexpr std::size_t kMaxInfoTexts = 64;
constexpr std::size_t kMaxRiffParts = 65'536;
constexpr std::size_t kMaxMovieLists = 65'536;
// The standard indexes the walk remembers having read, so that one named twice is read once: a
// writer puts one in each RIFF for each stream. A super index may name millions of places, and
// its entries are read as the indexes are counted rather than kept; past this many places the
// walk stops at its limit, holding about 3 MiB for them.
constexpr std::size_t kMaxIndexPlaces = 65'536;

FourCc codeAt(std::span<const std::uint8_t> bytes) {
    return {bytes[0], bytes[1], bytes[2], bytes[3]};
}

std::int64_t uint32At(std::span<const std::uint8_t> bytes, std::size_t at) {
    return static_cast<std::uint32_t>(readInt32(bytes.subspan(at).first<4>()));
}

// The structure of the file first, then the chunks of every stream counted from an index or
// from the movie lists.
class Walker {
public:
    explicit Walker(ChunkReader& reader) : reader_(reader) { walk_.fileSize = reader.fileSize(); }

    void walkStructure() {
        walkTopLevel();
        noteLimit();
    }

    // The present chunks come from the index when the file is whole and an index covers all
    // of it, and from walking the movie lists otherwise.
    void countChunks() {
        if (walk_.streams.empty() || reader_.exhausted()) return;
        // Super indexes whose entries are all unused slots leave the counting to idx1.
        if (!superIndexes_.empty()) {
            walk_.index = IndexKind::OpenDml;
            if (!countFromOdmlIndex()) walk_.index = IndexKind::None;
        }
        if (walk_.index == IndexKind::None && walk_.idx1Found && !reader_.exhausted()) {
            walk_.index = IndexKind::Idx1;
            countFromIdx1();
        }
        // A walk stopped part way through an index keeps the partial counts it has.
        if (noteLimit()) return;
        // idx1 covers the first RIFF only: the movie lists of later ones are walked.
        const bool covered = walk_.index != IndexKind::None && walk_.indexEntriesPastEnd == 0 &&
                             walk_.indexEntriesMismatched == 0 && walk_.unreadIndexes.count == 0 &&
                             (walk_.index == IndexKind::OpenDml || walk_.parts.size() == 1);
        if (covered && !isCut()) return;
        countFromMovieLists();
    }

    RiffWalk finish() {
        walk_.endsInsideChunk = reader_.endsInsideChunk();
        walk_.unknownChunks = reader_.unknownChunks();
        walk_.steps = reader_.steps();
        walk_.bytesRead = reader_.bytesRead();
        return std::move(walk_);
    }

private:
    // Where a stream's super index keeps its entries.
    struct SuperIndexPlace {
        std::int64_t entriesAt = 0;
        std::int64_t count = 0;
        std::int64_t entrySize = 0;
        std::size_t stream = 0;
    };

    bool isCut() {
        walk_.endsInsideChunk = reader_.endsInsideChunk();
        return walk_.isCut();
    }

    void trouble(WalkTrouble kind, std::int64_t at) {
        if (walk_.trouble != WalkTrouble::None) return;  // the first one tells where it began
        walk_.trouble = kind;
        walk_.troubleAt = at;
    }

    // Once the reader's budget is spent, the walk says so where it stopped.
    bool noteLimit() {
        if (reader_.exhausted()) trouble(WalkTrouble::StepLimit, reader_.exhaustedAt());
        return reader_.exhausted();
    }

    // Calls `visit(chunk)` for each chunk from `begin` to `end`, the end its list declares.
    // Stops where the file ends inside a chunk or the sizes stop making sense.
    template <typename Visit>
    void forEachChunk(std::int64_t begin, std::int64_t end, Visit visit) {
        for (std::int64_t at = begin;;) {
            const NextChunk next = reader_.nextChunk(at, end);
            if (!next.chunk) {
                if (next.trouble == WalkTrouble::StepLimit) {
                    noteLimit();
                } else if (next.trouble != WalkTrouble::None) {
                    trouble(next.trouble, next.at);
                }
                return;
            }
            visit(*next.chunk);
            at = next.chunk->after();
        }
    }

    void walkTopLevel() {
        std::int64_t at = 0;
        while (walk_.fileSize - at >= 12) {
            if (!reader_.step(at)) return;
            std::array<std::uint8_t, 12> header{};
            reader_.read(at, header);
            if (upperCased(codeAt(header)) != fourCc("RIFF")) {
                // Zero bytes after the last RIFF are padding; anything else is not followed.
                const bool zeros = std::all_of(header.begin(), header.end(),
                                               [](std::uint8_t b) { return b == 0; });
                if (walk_.parts.empty() || !zeros) trouble(WalkTrouble::NoChunkHere, at);
                return;
            }
            if (walk_.parts.size() == kMaxRiffParts) {
                trouble(WalkTrouble::StepLimit, at);
                return;
            }
            RiffPart part;
            part.offset = at;
            const std::int64_t size = uint32At(header, 4);
            part.declaredEnd = at + 8 + size;
            part.formType = upperCased(codeAt(std::span(header).subspan(8)));
            walk_.parts.push_back(part);
            forEachChunk(at + 12, part.declaredEnd,
                         [&](const ChunkHeader& chunk) { visitRiffChild(chunk); });
            if (part.declaredEnd > walk_.fileSize) return;
            at = part.declaredEnd + (size & 1);
        }
    }

    void visitRiffChild(const ChunkHeader& chunk) {
        const std::int64_t end = chunk.dataAt() + chunk.size;
        if (const auto type = reader_.listType(chunk)) {
            if (*type == fourCc("HDRL")) {
                forEachChunk(chunk.dataAt() + 4, end,
                             [&](const ChunkHeader& child) { visitHeaderChild(child); });
            } else if (*type == fourCc("MOVI")) {
                if (walk_.movieLists.size() == kMaxMovieLists) {
                    trouble(WalkTrouble::StepLimit, chunk.at);
                    return;
                }
                walk_.movieLists.push_back({chunk.dataAt() + 4, end, walk_.parts.size() - 1});
            } else if (*type == fourCc("INFO")) {
                forEachChunk(chunk.dataAt() + 4, end,
                             [&](const ChunkHeader& child) { readInfoText(child); });
            }
            return;
        }
        const FourCc upper = upperCased(chunk.id);
        if (upper == fourCc("JUNK")) {
            ++walk_.junkChunks;
        } else if (upper == fourCc("IDX1") && !walk_.idx1Found) {
            walk_.idx1Found = true;
            idx1At_ = chunk.dataAt();
            idx1Size_ = std::min(chunk.size, walk_.fileSize - chunk.dataAt());
            idx1Part_ = walk_.parts.size() - 1;
        }
    }

    void visitHeaderChild(const ChunkHeader& chunk) {
        if (const auto type = reader_.listType(chunk)) {
            const std::int64_t end = chunk.dataAt() + chunk.size;
            if (*type == fourCc("STRL") && walk_.streams.size() < kMaxStreams) {
                walkStreamList(chunk.dataAt() + 4, end);
            } else if (*type == fourCc("ODML")) {
                forEachChunk(chunk.dataAt() + 4, end, [&](const ChunkHeader& child) {
                    if (upperCased(child.id) != fourCc("DMLH") || child.size < 4) return;
                    std::array<std::uint8_t, 4> frames{};
                    reader_.read(child.dataAt(), frames);
                    walk_.odmlTotalFrames = readInt32(frames);
                });
            }
            return;
        }
        if (upperCased(chunk.id) == fourCc("AVIH") && !walk_.mainHeader &&
            reader_.wholeInFile(chunk)) {
            std::array<std::uint8_t, AviMainHeader::kSize> bytes{};
            reader_.read(chunk.dataAt(),
                         std::span(bytes).first(static_cast<std::size_t>(
                             std::min<std::int64_t>(chunk.size, AviMainHeader::kSize))));
            walk_.mainHeader = AviMainHeader::fromBytes(bytes);
        }
    }

    // The stream record is put together as the header scan reads it from a stream list laid
    // out as usual: 56 bytes of stream header, then the format chunk's header and its first
    // bytes.
    void walkStreamList(std::int64_t begin, std::int64_t end) {
        std::array<std::uint8_t, AviStreamRecord::kSize> bytes{};
        constexpr std::size_t kStrhSize = AviStreamRecord::kStreamHeaderSize;
        const std::size_t stream = walk_.streams.size();
        bool headerRead = false;  // a stream list cut before its stream header ends is no stream
        std::vector<std::uint8_t> format;
        forEachChunk(begin, end, [&](const ChunkHeader& chunk) {
            const FourCc upper = upperCased(chunk.id);
            if (upper == fourCc("STRH")) {
                headerRead = reader_.wholeInFile(chunk);
                const auto n =
                    static_cast<std::size_t>(std::min<std::int64_t>(chunk.size, kStrhSize));
                reader_.read(chunk.dataAt(), std::span(bytes).first(n));
            } else if (upper == fourCc("STRF")) {
                // The chunk header as it stands in the file, then the format's first bytes.
                reader_.read(chunk.at, std::span(bytes).subspan(kStrhSize, 8));
                const std::size_t room = AviStreamRecord::kSize - kStrhSize - 8;
                const auto n = static_cast<std::size_t>(std::min<std::int64_t>(chunk.size, room));
                reader_.read(chunk.dataAt(), std::span(bytes).subspan(kStrhSize + 8, n));
                format.resize(static_cast<std::size_t>(std::clamp<std::int64_t>(
                    std::min(chunk.size, walk_.fileSize - chunk.dataAt()), 0, kMaxFormatBytes)));
                reader_.read(chunk.dataAt(), format);
            } else if (upper == fourCc("INDX")) {
                readSuperIndex(chunk, stream);
            }
        });
        if (!headerRead) {
            // Its super index, if one was read, belongs to no stream.
            if (!superIndexes_.empty() && superIndexes_.back().stream == stream) {
                superIndexes_.pop_back();
            }
            return;
        }
        WalkedStream walked;
        walked.record = AviStreamRecord(bytes);
        walked.format = std::move(format);
        walk_.streams.push_back(walked);
    }

    void readInfoText(const ChunkHeader& chunk) {
        if (walk_.infoTexts.size() >= kMaxInfoTexts) return;
        std::vector<std::uint8_t> bytes(static_cast<std::size_t>(
            std::min({chunk.size, kInfoTextLimit,
                      std::max<std::int64_t>(walk_.fileSize - chunk.dataAt(), 0)})));
        reader_.read(chunk.dataAt(), bytes);
        const auto end = std::find(bytes.begin(), bytes.end(), std::uint8_t{0});
        walk_.infoTexts.emplace_back(chunk.id, decodeCp949(std::span(bytes.begin(), end)));
    }

    // An OpenDML super index: where the standard indexes of the stream lie. Its entries are
    // read when the chunks are counted, one at a time, never kept; a stream's first super
    // index is the one read.
    void readSuperIndex(const ChunkHeader& chunk, std::size_t stream) {
        if (chunk.size < SuperIndexHeader::kSize) return;
        if (!superIndexes_.empty() && superIndexes_.back().stream == stream) return;
        std::array<std::uint8_t, SuperIndexHeader::kSize> headerBytes{};
        reader_.read(chunk.dataAt(), headerBytes);
        const SuperIndexHeader header = SuperIndexHeader::read(headerBytes);
        if (header.indexType != kIndexOfIndexes) return;
        walk_.odmlIndexFound = true;
        const std::optional<std::int64_t> entrySize = indexEntrySize(header);
        if (!entrySize) {
            unreadIndex(chunk.at, header.longsPerEntry);
            return;
        }
        const std::int64_t room =
            std::min(chunk.size, walk_.fileSize - chunk.dataAt()) - SuperIndexHeader::kSize;
        const std::int64_t count = std::min<std::int64_t>(header.entriesInUse, room / *entrySize);
        superIndexes_.push_back(
            {chunk.dataAt() + SuperIndexHeader::kSize, count, *entrySize, stream});
    }

    // An index whose entries are of a size its type does not have is not read: what its
    // entries say cannot be known.
    void unreadIndex(std::int64_t at, std::uint16_t longsPerEntry) {
        if (walk_.unreadIndexes.count++ > 0) return;
        walk_.unreadIndexes.firstAt = at;
        walk_.unreadIndexes.longsPerEntry = longsPerEntry;
    }

    // Counts one chunk of `stream` whose data starts at `dataAt`, from an index or the walk.
    void countChunk(std::size_t stream, std::int64_t dataAt, std::int64_t size) {
        WalkedStream& s = walk_.streams[stream];
        if (dataAt < 0 || size > walk_.fileSize - dataAt) {
            if (!walk_.movieWalked) ++walk_.indexEntriesPastEnd;
            return;
        }
        ++s.presentChunks;
        s.presentBytes += size;
        if (!walk_.parts.empty() && dataAt < walk_.parts.front().declaredEnd) ++s.firstRiffChunks;
        if (size == 0) return;  // an empty chunk (a dropped frame) says nothing of the rate
        if (s.lastChunk >= 0) {
            s.smallestChunk =
                s.sizedChunks == 0 ? s.lastChunk : std::min(s.smallestChunk, s.lastChunk);
            s.largestChunk = std::max(s.largestChunk, s.lastChunk);
            ++s.sizedChunks;
        }
        s.lastChunk = size;
    }

    // Looks at the chunk header before `dataAt`: does it carry the stream number of `id`?
    void sample(std::int64_t dataAt, FourCc id) {
        std::array<std::uint8_t, 4> found{};
        if (!reader_.read(dataAt - 8, found)) return;  // past the end: counted as such already
        if (found[0] != id[0] || found[1] != id[1]) ++walk_.indexEntriesMismatched;
    }

    // Calls `visit(i, entry)` for each of `count` index entries of `entrySize` bytes at `at`,
    // each read as an Entry from its first bytes, in large blocks; every entry is one step.
    template <typename Entry, typename Visit>
    void forEachEntry(std::int64_t at, std::int64_t count, std::int64_t entrySize, Visit visit) {
        std::vector<std::uint8_t> block;
        const std::int64_t perBlock = kIndexBlock / entrySize;
        for (std::int64_t first = 0; first < count; first += perBlock) {
            const std::int64_t n = std::min(perBlock, count - first);
            block.resize(static_cast<std::size_t>(n * entrySize));
            reader_.read(at + first * entrySize, block);
            for (std::int64_t i = 0; i < n; ++i) {
                if (!reader_.step(at + (first + i) * entrySize)) return;
                const auto bytes =
                    std::span(block).subspan(static_cast<std::size_t>(i * entrySize));
                visit(first + i, Entry::read(bytes.template first<Entry::kSize>()));
            }
        }
    }

    template <typename Entry, typename Visit>
    void forEachEntry(std::int64_t at, std::int64_t count, Visit visit) {
        forEachEntry<Entry>(at, count, Entry::kSize, visit);
    }

    // Counts the chunks from the super indexes, in the order of their streams and entries.
    // False when no entry names a standard index.
    bool countFromOdmlIndex() {
        std::set<std::int64_t> visited;  // a standard index named twice is read once
        bool named = false;
        for (const SuperIndexPlace& place : superIndexes_) {
            forEachEntry<SuperIndexEntry>(
                place.entriesAt, place.count, place.entrySize,
                [&](std::int64_t i, const SuperIndexEntry& entry) {
                    if (entry.offset == 0) return;  // an unused slot
                    if (entry.offset >
                        static_cast<std::uint64_t>(std::numeric_limits<std::int64_t>::max())) {
                        ++walk_.indexEntriesPastEnd;
                        return;
                    }
                    named = true;
                    const auto offset = static_cast<std::int64_t>(entry.offset);
                    if (visited.size() == kMaxIndexPlaces && !visited.contains(offset)) {
                        reader_.stop(place.entriesAt + i * place.entrySize);
                        return;
                    }
                    WalkedStream& s = walk_.streams[place.stream];
                    s.indexedChunks = s.indexedChunks.value_or(0);
                    if (!visited.insert(offset).second) {
                        ++walk_.indexEntriesMismatched;
                        return;
                    }
                    countFromStandardIndex(offset, place.stream);
                });
            if (reader_.exhausted()) break;
        }
        return named;
    }

    void countFromStandardIndex(std::int64_t at, std::size_t stream) {
        std::array<std::uint8_t, 8 + StandardIndexHeader::kSize> bytes{};
        if (!reader_.read(at, bytes)) {
            ++walk_.indexEntriesPastEnd;
            return;
        }
        const FourCc chunkId = codeAt(bytes);
        const std::int64_t chunkSize = uint32At(bytes, 4);
        const StandardIndexHeader header = StandardIndexHeader::read(std::span(bytes).subspan<8>());
        if (header.indexType != kIndexOfChunks || upperAscii(chunkId[0]) != 'I') {
            ++walk_.indexEntriesMismatched;  // not a standard index
            return;
        }
        const std::optional<std::int64_t> entrySize = indexEntrySize(header);
        if (!entrySize) {
            unreadIndex(at, header.longsPerEntry);
            return;
        }
        WalkedStream& s = walk_.streams[stream];
        const auto base = static_cast<std::int64_t>(std::min<std::uint64_t>(
            header.baseOffset, std::numeric_limits<std::int64_t>::max() / 2));
        const std::int64_t entriesAt = at + 8 + StandardIndexHeader::kSize;
        const std::int64_t room =
            std::min(chunkSize - StandardIndexHeader::kSize, walk_.fileSize - entriesAt);
        const std::int64_t count = std::min<std::int64_t>(
            header.entriesInUse, std::max<std::int64_t>(room, 0) / *entrySize);
        if (!reader_.spendIndexEntries(count)) return;
        *s.indexedChunks += count;
        const std::int64_t stride = std::max<std::int64_t>(1, count / kSampledEntries);
        // An entry of a field index is one chunk too, a frame whose two fields it locates.
        forEachEntry<StandardIndexEntry>(entriesAt, count, *entrySize,
                                         [&](std::int64_t i, const StandardIndexEntry& e) {
                                             const std::int64_t dataAt = base + e.offset;
                                             s.indexedBytes += e.size;
                                             countChunk(stream, dataAt, e.size);
                                             if (i % stride == 0 || i + 1 == count)
                                                 sample(dataAt, header.chunkId);
                                         });
    }

    // idx1 offsets count from the movie list's type, or in some files from the file's start:
    // the first entry tells which.
    std::int64_t idx1Base(const MovieList* movie) {
        std::array<std::uint8_t, Idx1Entry::kSize> bytes{};
        reader_.read(idx1At_, bytes);
        const Idx1Entry first = Idx1Entry::read(bytes);
        std::array<std::uint8_t, 4> found{};
        if (movie != nullptr) {
            const std::int64_t relative = movie->dataStart - 4;
            if (reader_.read(relative + first.offset, found) && found == first.chunkId) {
                return relative;
            }
        }
        if (reader_.read(first.offset, found) && found == first.chunkId) return 0;
        return movie != nullptr ? movie->dataStart - 4 : 0;
    }

    void countFromIdx1() {
        const auto movie = std::find_if(walk_.movieLists.begin(), walk_.movieLists.end(),
                                        [&](const MovieList& m) { return m.part == idx1Part_; });
        const std::int64_t count = idx1Size_ / Idx1Entry::kSize;
        if (!reader_.spendIndexEntries(count)) return;
        const std::int64_t base =
            count > 0 ? idx1Base(movie != walk_.movieLists.end() ? &*movie : nullptr) : 0;
        for (WalkedStream& s : walk_.streams) s.indexedChunks = 0;
        const std::int64_t stride = std::max<std::int64_t>(1, count / kSampledEntries);
        forEachEntry<Idx1Entry>(idx1At_, count, [&](std::int64_t i, const Idx1Entry& e) {
            const auto number = streamNumberOf(e.chunkId);
            if (!number) return;  // a list entry ("rec ") or a padding entry
            if (static_cast<std::size_t>(*number) >= walk_.streams.size()) {
                ++walk_.indexEntriesMismatched;
                return;
            }
            WalkedStream& s = walk_.streams[static_cast<std::size_t>(*number)];
            const std::int64_t dataAt = base + e.offset + 8;
            ++*s.indexedChunks;
            s.indexedBytes += e.size;
            countChunk(static_cast<std::size_t>(*number), dataAt, e.size);
            if (i % stride == 0 || i + 1 == count) sample(dataAt, e.chunkId);
        });
    }

    void countFromMovieLists() {
        for (WalkedStream& s : walk_.streams) {
            s.presentChunks = s.presentBytes = s.firstRiffChunks = 0;
            s.smallestChunk = s.largestChunk = s.sizedChunks = 0;
            s.lastChunk = -1;
        }
        walk_.movieWalked = true;
        MovieChunks chunks(reader_, walk_.movieLists);
        while (const auto chunk = chunks.next()) {
            if (chunk->stream && static_cast<std::size_t>(*chunk->stream) < walk_.streams.size()) {
                countChunk(static_cast<std::size_t>(*chunk->stream), chunk->dataAt, chunk->size);
            }
        }
        if (chunks.trouble() != WalkTrouble::None) trouble(chunks.trouble(), chunks.troubleAt());
    }

    ChunkReader& reader_;
    RiffWalk walk_;
    std::vector<SuperIndexPlace> superIndexes_;  // one a stream at most
    std::int64_t idx1At_ = 0;
    std::int64_t idx1Size_ = 0;
    std::size_t idx1Part_ = 0;
};

}  // namespace

RiffWalk walkRiff(ByteSource& source, const WalkLimits& limits) {
    ChunkReader reader(source, limits);
    return walkRiff(reader);
}

RiffWalk walkRiff(ChunkReader& reader) {
    Walker walker(reader);
    walker.walkStructure();
    walker.countChunks();
    return walker.finish();
}

RiffWalk walkStructure(ChunkReader& reader) {
    Walker walker(reader);
    walker.walkStructure();
    return walker.finish();
}

bool chunkSizesVary(const WalkedStream& stream) {
    if (stream.sizedChunks < 2) return false;
    return stream.largestChunk * 8 > stream.smallestChunk * 9;
}

}  // namespace strovanik::container
