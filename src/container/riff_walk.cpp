#include "container/riff_walk.h"

#include <algorithm>
#include <array>
#include <limits>
#include <set>
#include <span>

#include "container/little_endian.h"
#include "container/text_encoding.h"

namespace strovanik::container {

namespace {

// Chunk headers close together share a read of a block; after a jump over a large chunk a
// small read does, since the next header is likely as far away again.
constexpr std::int64_t kHeaderBlock = 4096;
constexpr std::int64_t kHeaderRead = 256;
constexpr std::int64_t kIndexBlock = 64 * 1024;
constexpr std::int64_t kInfoTextLimit = 1024;  // the longest text chunk kept
constexpr std::int64_t kSuperIndexHeader = 24;
constexpr std::int64_t kStandardIndexHeader = 24;
constexpr std::int64_t kSampledEntries = 16;  // index entries checked against their chunk
// What the walk keeps of lists that may repeat, whatever the file claims: stream numbers have
// two digits, and a writer starts a new RIFF every gigabyte or so.
constexpr std::size_t kMaxStreams = 100;
constexpr std::size_t kMaxInfoTexts = 64;
constexpr std::size_t kMaxMovieLists = 65'536;

std::uint32_t u32(const std::uint8_t* p) {
    return static_cast<std::uint32_t>(readInt32(std::span<const std::uint8_t, 4>(p, 4)));
}
std::uint64_t u64(const std::uint8_t* p) {
    return static_cast<std::uint64_t>(u32(p)) | (static_cast<std::uint64_t>(u32(p + 4)) << 32);
}
FourCc codeAt(const std::uint8_t* p) { return {p[0], p[1], p[2], p[3]}; }

bool looksLikeChunkId(FourCc id) {
    return std::all_of(id.begin(), id.end(), [](std::uint8_t b) { return b >= 0x20 && b < 0x7F; });
}

bool isDigit(std::uint8_t b) { return b >= '0' && b <= '9'; }

class StopWalk {};  // the step limit was reached

class Walker {
public:
    Walker(ByteSource& source, const WalkLimits& limits, const MovieChunkVisitor* visit = nullptr)
        : source_(source), limits_(limits), visit_(visit) {
        walk_.fileSize = source.size();
    }

    RiffWalk run() {
        try {
            walkTopLevel();
            if (visit_ == nullptr) countChunks();
        } catch (const StopWalk&) {
            trouble(WalkTrouble::StepLimit, lastStepAt_);
        }
        return std::move(walk_);
    }

private:
    struct MovieList {
        std::int64_t dataStart = 0;  // the byte after the list type "movi"
        std::int64_t declaredEnd = 0;
        std::size_t part = 0;
    };
    struct SuperEntry {
        std::int64_t offset = 0;
        std::size_t stream = 0;
    };

    void step(std::int64_t at) {
        lastStepAt_ = at;
        if (++walk_.steps > limits_.maxSteps) throw StopWalk{};
    }

    void trouble(WalkTrouble kind, std::int64_t at) {
        if (walk_.trouble != WalkTrouble::None) return;  // the first one tells where it began
        walk_.trouble = kind;
        walk_.troubleAt = at;
    }

    // Reads bytes at `offset`, zero past the end; true when they all lie inside the file.
    bool read(std::int64_t offset, std::span<std::uint8_t> out) {
        const auto length = static_cast<std::int64_t>(out.size());
        if (offset < 0 || length > walk_.fileSize || offset > walk_.fileSize - length) {
            std::fill(out.begin(), out.end(), std::uint8_t{0});
            if (offset >= 0 && offset < walk_.fileSize) {
                walk_.bytesRead += walk_.fileSize - offset;
                readPadded(source_, offset, out);
            }
            return false;
        }
        if (length <= kHeaderBlock &&
            (offset < blockStart_ || offset + length > blockStart_ + blockLength_)) {
            const bool jumped = offset - (blockStart_ + blockLength_) > kHeaderBlock;
            const std::int64_t wanted = std::max(length, jumped ? kHeaderRead : kHeaderBlock);
            blockStart_ = offset;
            blockLength_ = std::min(wanted, walk_.fileSize - offset);
            readPadded(
                source_, blockStart_,
                std::span<std::uint8_t>(block_.data(), static_cast<std::size_t>(blockLength_)));
            walk_.bytesRead += blockLength_;
        }
        if (length <= kHeaderBlock) {
            std::copy_n(block_.data() + (offset - blockStart_), out.size(), out.begin());
        } else {
            readPadded(source_, offset, out);
            walk_.bytesRead += length;
        }
        return true;
    }

    // Calls `visit(id, dataAt, size)` for each chunk from `begin` to `end`, the end its list
    // declares. Stops where the file ends inside a chunk or the sizes stop making sense.
    template <typename Visit>
    void forEachChunk(std::int64_t begin, std::int64_t end, Visit visit) {
        std::int64_t at = begin;
        while (at < end && end - at >= 8) {
            step(at);
            std::array<std::uint8_t, 8> header{};
            if (!read(at, header)) {
                walk_.endsInsideChunk = true;
                return;
            }
            const FourCc id = codeAt(header.data());
            const std::int64_t size = u32(header.data() + 4);
            if (!looksLikeChunkId(id)) {
                trouble(WalkTrouble::NoChunkHere, at);
                return;
            }
            const std::int64_t dataAt = at + 8;
            if (size > end - dataAt) {
                trouble(WalkTrouble::SizeConflict, at);
                return;
            }
            if (size > walk_.fileSize - dataAt) walk_.endsInsideChunk = true;
            if (!visit(id, dataAt, size)) return;
            at = dataAt + size + (size & 1);
        }
    }

    bool wholeInFile(std::int64_t dataAt, std::int64_t size) const {
        return size <= walk_.fileSize - dataAt;
    }

    // The list type of a LIST chunk, upper-cased, or nothing for another chunk.
    std::optional<FourCc> listType(FourCc id, std::int64_t dataAt, std::int64_t size) {
        if (upperCased(id) != fourCc("LIST") || size < 4) return std::nullopt;
        std::array<std::uint8_t, 4> type{};
        read(dataAt, type);
        return upperCased(type);
    }

    void walkTopLevel() {
        std::int64_t at = 0;
        while (walk_.fileSize - at >= 12) {
            step(at);
            std::array<std::uint8_t, 12> header{};
            read(at, header);
            const FourCc id = codeAt(header.data());
            if (upperCased(id) != fourCc("RIFF")) {
                // Zero bytes after the last RIFF are padding; anything else is not followed.
                const bool zeros = std::all_of(header.begin(), header.end(),
                                               [](std::uint8_t b) { return b == 0; });
                if (walk_.parts.empty() || !zeros) trouble(WalkTrouble::NoChunkHere, at);
                return;
            }
            RiffPart part;
            part.offset = at;
            const std::int64_t size = u32(header.data() + 4);
            part.declaredEnd = at + 8 + size;
            part.formType = upperCased(codeAt(header.data() + 8));
            walk_.parts.push_back(part);
            forEachChunk(at + 12, part.declaredEnd,
                         [&](FourCc cid, std::int64_t dataAt, std::int64_t size) {
                             visitRiffChild(cid, dataAt, size);
                             return true;
                         });
            if (part.declaredEnd > walk_.fileSize) return;
            at = part.declaredEnd + (size & 1);
        }
    }

    void visitRiffChild(FourCc id, std::int64_t dataAt, std::int64_t size) {
        if (const auto type = listType(id, dataAt, size)) {
            if (*type == fourCc("HDRL")) {
                forEachChunk(dataAt + 4, dataAt + size,
                             [&](FourCc cid, std::int64_t d, std::int64_t s) {
                                 visitHeaderChild(cid, d, s);
                                 return true;
                             });
            } else if (*type == fourCc("MOVI") && visit_ != nullptr) {
                visitMovie(dataAt + 4, dataAt + size);
            } else if (*type == fourCc("MOVI") && movies_.size() < kMaxMovieLists) {
                movies_.push_back({dataAt + 4, dataAt + size, walk_.parts.size() - 1});
            } else if (*type == fourCc("INFO")) {
                forEachChunk(dataAt + 4, dataAt + size,
                             [&](FourCc cid, std::int64_t d, std::int64_t s) {
                                 readInfoText(cid, d, s);
                                 return true;
                             });
            }
            return;
        }
        const FourCc upper = upperCased(id);
        if (upper == fourCc("JUNK")) {
            ++walk_.junkChunks;
        } else if (upper == fourCc("IDX1") && !walk_.idx1Found) {
            walk_.idx1Found = true;
            idx1At_ = dataAt;
            idx1Size_ = std::min(size, walk_.fileSize - dataAt);
            idx1Part_ = walk_.parts.size() - 1;
        }
    }

    void visitHeaderChild(FourCc id, std::int64_t dataAt, std::int64_t size) {
        if (const auto type = listType(id, dataAt, size)) {
            if (*type == fourCc("STRL") && walk_.streams.size() < kMaxStreams) {
                walkStreamList(dataAt + 4, dataAt + size);
            } else if (*type == fourCc("ODML")) {
                forEachChunk(dataAt + 4, dataAt + size,
                             [&](FourCc cid, std::int64_t d, std::int64_t s) {
                                 if (upperCased(cid) == fourCc("DMLH") && s >= 4) {
                                     std::array<std::uint8_t, 4> frames{};
                                     read(d, frames);
                                     walk_.odmlTotalFrames = readInt32(frames);
                                 }
                                 return true;
                             });
            }
            return;
        }
        if (upperCased(id) == fourCc("AVIH") && !walk_.mainHeader && wholeInFile(dataAt, size)) {
            std::array<std::uint8_t, AviMainHeader::kSize> bytes{};
            read(dataAt, std::span(bytes).first(static_cast<std::size_t>(
                             std::min<std::int64_t>(size, AviMainHeader::kSize))));
            walk_.mainHeader = AviMainHeader::fromBytes(bytes);
        }
    }

    // The stream record is put together as the header scan reads it from a stream list laid
    // out as usual: 56 bytes of stream header, then the format chunk's header and its first
    // bytes.
    void walkStreamList(std::int64_t begin, std::int64_t end) {
        std::array<std::uint8_t, AviStreamRecord::kSize> bytes{};
        constexpr std::size_t kStrhSize = 56;
        const std::size_t stream = walk_.streams.size();
        bool headerRead = false;  // a stream list cut before its stream header ends is no stream
        forEachChunk(begin, end, [&](FourCc id, std::int64_t dataAt, std::int64_t size) {
            const FourCc upper = upperCased(id);
            if (upper == fourCc("STRH")) {
                headerRead = wholeInFile(dataAt, size);
                const auto n = static_cast<std::size_t>(std::min<std::int64_t>(size, kStrhSize));
                read(dataAt, std::span(bytes).first(n));
            } else if (upper == fourCc("STRF")) {
                // The chunk header as it stands in the file, then the format's first bytes.
                read(dataAt - 8, std::span(bytes).subspan(kStrhSize, 8));
                const std::size_t room = AviStreamRecord::kSize - kStrhSize - 8;
                const auto n = static_cast<std::size_t>(std::min<std::int64_t>(size, room));
                read(dataAt, std::span(bytes).subspan(kStrhSize + 8, n));
            } else if (upper == fourCc("INDX")) {
                readSuperIndex(dataAt, size, stream);
            }
            return true;
        });
        if (!headerRead) {
            // Its super index, if one was read, belongs to no stream.
            while (!superEntries_.empty() && superEntries_.back().stream == stream) {
                superEntries_.pop_back();
            }
            return;
        }
        WalkedStream walked;
        walked.record = AviStreamRecord(bytes);
        walk_.streams.push_back(walked);
    }

    void readInfoText(FourCc id, std::int64_t dataAt, std::int64_t size) {
        if (walk_.infoTexts.size() >= kMaxInfoTexts) return;
        std::vector<std::uint8_t> bytes(static_cast<std::size_t>(
            std::min({size, kInfoTextLimit, std::max<std::int64_t>(walk_.fileSize - dataAt, 0)})));
        read(dataAt, bytes);
        const auto end = std::find(bytes.begin(), bytes.end(), std::uint8_t{0});
        walk_.infoTexts.emplace_back(id, decodeCp949(std::span(bytes.begin(), end)));
    }

    // An OpenDML super index: where the standard indexes of the stream lie.
    void readSuperIndex(std::int64_t dataAt, std::int64_t size, std::size_t stream) {
        if (size < kSuperIndexHeader) return;
        std::array<std::uint8_t, kSuperIndexHeader> header{};
        read(dataAt, header);
        const std::uint8_t indexType = header[3];
        if (indexType != 0) return;  // not an index of indexes
        walk_.odmlIndexFound = true;
        const std::int64_t room = std::min(size, walk_.fileSize - dataAt) - kSuperIndexHeader;
        const std::int64_t entries = std::min<std::int64_t>(u32(header.data() + 4), room / 16);
        for (std::int64_t i = 0; i < entries; ++i) {
            step(dataAt);
            std::array<std::uint8_t, 16> entry{};
            read(dataAt + kSuperIndexHeader + 16 * i, entry);
            const std::uint64_t offset = u64(entry.data());
            if (offset == 0) continue;  // an unused slot
            if (offset > static_cast<std::uint64_t>(std::numeric_limits<std::int64_t>::max())) {
                ++walk_.indexEntriesPastEnd;
                continue;
            }
            superEntries_.push_back({static_cast<std::int64_t>(offset), stream});
        }
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
        if (!read(dataAt - 8, found)) return;  // past the end: counted as such already
        if (found[0] != id[0] || found[1] != id[1]) ++walk_.indexEntriesMismatched;
    }

    bool spendIndexEntries(std::int64_t count) {
        indexEntries_ += count;
        return indexEntries_ <= limits_.maxIndexEntries;
    }

    // Calls `visit(entryBytes)` for each of `count` entries of `entrySize` bytes at `at`,
    // read in large blocks.
    template <typename Visit>
    void forEachEntry(std::int64_t at, std::int64_t count, std::int64_t entrySize, Visit visit) {
        std::vector<std::uint8_t> block;
        const std::int64_t perBlock = kIndexBlock / entrySize;
        for (std::int64_t first = 0; first < count; first += perBlock) {
            const std::int64_t n = std::min(perBlock, count - first);
            block.resize(static_cast<std::size_t>(n * entrySize));
            read(at + first * entrySize, block);
            for (std::int64_t i = 0; i < n; ++i) {
                step(at + (first + i) * entrySize);
                visit(first + i, block.data() + i * entrySize);
            }
        }
    }

    bool countFromOdmlIndex() {
        std::set<std::int64_t> visited;  // a standard index named twice is read once
        for (const SuperEntry& entry : superEntries_) {
            WalkedStream& s = walk_.streams[entry.stream];
            s.indexedChunks = s.indexedChunks.value_or(0);
            if (!visited.insert(entry.offset).second) {
                ++walk_.indexEntriesMismatched;
                continue;
            }
            std::array<std::uint8_t, 8 + kStandardIndexHeader> header{};
            if (!read(entry.offset, header)) {
                ++walk_.indexEntriesPastEnd;
                continue;
            }
            const std::int64_t chunkSize = u32(header.data() + 4);
            if (header[8 + 3] != 1 || (header[0] != 'i' && header[0] != 'I')) {
                ++walk_.indexEntriesMismatched;  // not a standard index
                continue;
            }
            const FourCc id = codeAt(header.data() + 8 + 8);
            const auto base = static_cast<std::int64_t>(std::min<std::uint64_t>(
                u64(header.data() + 8 + 12), std::numeric_limits<std::int64_t>::max() / 2));
            const std::int64_t entriesAt = entry.offset + 8 + kStandardIndexHeader;
            const std::int64_t room =
                std::min(chunkSize - kStandardIndexHeader, walk_.fileSize - entriesAt);
            const std::int64_t count = std::min<std::int64_t>(u32(header.data() + 8 + 4),
                                                              std::max<std::int64_t>(room, 0) / 8);
            if (!spendIndexEntries(count)) throw StopWalk{};
            *s.indexedChunks += count;
            const std::int64_t stride = std::max<std::int64_t>(1, count / kSampledEntries);
            forEachEntry(entriesAt, count, 8, [&](std::int64_t i, const std::uint8_t* e) {
                const std::int64_t dataAt = base + u32(e);
                const std::int64_t size = u32(e + 4) & 0x7FFFFFFF;  // the top bit marks key frames
                s.indexedBytes += size;
                countChunk(entry.stream, dataAt, size);
                if (i % stride == 0 || i + 1 == count) sample(dataAt, id);
            });
        }
        return true;
    }

    // idx1 offsets count from the movie list's type, or in some files from the file's start:
    // the first entry tells which.
    std::int64_t idx1Base(const MovieList* movie) {
        std::array<std::uint8_t, 16> first{};
        read(idx1At_, first);
        const std::int64_t offset = u32(first.data() + 8);
        std::array<std::uint8_t, 4> found{};
        if (movie != nullptr) {
            const std::int64_t relative = movie->dataStart - 4;
            if (read(relative + offset, found) && found == codeAt(first.data())) return relative;
        }
        if (read(offset, found) && found == codeAt(first.data())) return 0;
        return movie != nullptr ? movie->dataStart - 4 : 0;
    }

    void countFromIdx1() {
        const MovieList* movie = nullptr;
        for (const MovieList& m : movies_) {
            if (m.part == idx1Part_) {
                movie = &m;
                break;
            }
        }
        const std::int64_t count = idx1Size_ / 16;
        if (!spendIndexEntries(count)) throw StopWalk{};
        const std::int64_t base = count > 0 ? idx1Base(movie) : 0;
        for (WalkedStream& s : walk_.streams) s.indexedChunks = 0;
        const std::int64_t stride = std::max<std::int64_t>(1, count / kSampledEntries);
        forEachEntry(idx1At_, count, 16, [&](std::int64_t i, const std::uint8_t* e) {
            const FourCc id = codeAt(e);
            const auto number = streamNumberOf(id);
            if (!number) return;  // a list entry ("rec ") or a padding entry
            if (static_cast<std::size_t>(*number) >= walk_.streams.size()) {
                ++walk_.indexEntriesMismatched;
                return;
            }
            WalkedStream& s = walk_.streams[static_cast<std::size_t>(*number)];
            const std::int64_t dataAt = base + u32(e + 8) + 8;
            const std::int64_t size = u32(e + 12);
            ++*s.indexedChunks;
            s.indexedBytes += size;
            countChunk(static_cast<std::size_t>(*number), dataAt, size);
            if (i % stride == 0 || i + 1 == count) sample(dataAt, id);
        });
    }

    void walkMovie(std::int64_t begin, std::int64_t end) {
        forEachChunk(begin, end, [&](FourCc id, std::int64_t dataAt, std::int64_t size) {
            if (const auto type = listType(id, dataAt, size)) {
                if (*type == fourCc("REC ")) walkMovie(dataAt + 4, dataAt + size);
                return walk_.trouble == WalkTrouble::None;
            }
            const auto number = streamNumberOf(id);
            if (number && static_cast<std::size_t>(*number) < walk_.streams.size()) {
                countChunk(static_cast<std::size_t>(*number), dataAt, size);
            }
            return true;
        });
    }

    void visitMovie(std::int64_t begin, std::int64_t end) {
        forEachChunk(begin, end, [&](FourCc id, std::int64_t dataAt, std::int64_t size) {
            if (walk_.trouble != WalkTrouble::None) return false;
            if (const auto type = listType(id, dataAt, size)) {
                if (*type == fourCc("REC ")) visitMovie(dataAt + 4, dataAt + size);
            } else {
                (*visit_)(walk_, id, dataAt, size);
            }
            return walk_.trouble == WalkTrouble::None;
        });
    }

    void resetCounts() {
        for (WalkedStream& s : walk_.streams) {
            s.presentChunks = s.presentBytes = s.firstRiffChunks = 0;
            s.smallestChunk = s.largestChunk = s.sizedChunks = 0;
            s.lastChunk = -1;
        }
    }

    // The present chunks come from the index when the file is whole and an index covers all
    // of it, and from walking the movie lists otherwise.
    void countChunks() {
        if (walk_.streams.empty()) return;
        if (!superEntries_.empty()) {
            walk_.index = IndexKind::OpenDml;
            countFromOdmlIndex();
        } else if (walk_.idx1Found) {
            walk_.index = IndexKind::Idx1;
            countFromIdx1();
        }
        const bool cut = walk_.declaredEnd() > walk_.fileSize || walk_.endsInsideChunk;
        // idx1 covers the first RIFF only: the movie lists of later ones are walked.
        const bool covered = walk_.index != IndexKind::None && walk_.indexEntriesPastEnd == 0 &&
                             walk_.indexEntriesMismatched == 0 &&
                             (walk_.index == IndexKind::OpenDml || walk_.parts.size() == 1);
        if (covered && !cut) return;
        resetCounts();
        walk_.movieWalked = true;
        for (const MovieList& movie : movies_) walkMovie(movie.dataStart, movie.declaredEnd);
    }

    ByteSource& source_;
    WalkLimits limits_;
    const MovieChunkVisitor* visit_;
    RiffWalk walk_;
    std::array<std::uint8_t, kHeaderBlock> block_{};
    std::int64_t blockStart_ = 0;
    std::int64_t blockLength_ = 0;
    std::int64_t lastStepAt_ = 0;
    std::int64_t indexEntries_ = 0;
    std::vector<MovieList> movies_;
    std::vector<SuperEntry> superEntries_;
    std::int64_t idx1At_ = 0;
    std::int64_t idx1Size_ = 0;
    std::size_t idx1Part_ = 0;
};

}  // namespace

RiffWalk walkRiff(ByteSource& source, const WalkLimits& limits) {
    return Walker(source, limits).run();
}

RiffWalk walkRiff(ByteSource& source, const WalkLimits& limits, const MovieChunkVisitor& visit) {
    return Walker(source, limits, &visit).run();
}

bool chunkSizesVary(const WalkedStream& stream) {
    if (stream.sizedChunks < 2) return false;
    return stream.largestChunk * 8 > stream.smallestChunk * 9;
}

std::optional<int> streamNumberOf(FourCc id) {
    if (!isDigit(id[0]) || !isDigit(id[1])) return std::nullopt;
    return (id[0] - '0') * 10 + (id[1] - '0');
}

}  // namespace strovanik::container
