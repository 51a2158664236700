#include "container/repair.h"

#include <algorithm>
#include <array>
#include <deque>
#include <optional>
#include <span>

#include "bitstream/mpeg4_visual.h"
#include "bitstream/start_code_scan.h"
#include "container/avi_header_set.h"
#include "container/chunk_reader.h"
#include "container/file_replacement.h"
#include "container/little_endian.h"
#include "container/movie_chunks.h"
#include "container/odml_index.h"
#include "container/repair_index.h"
#include "container/riff_walk.h"
#include "container/start_code_units.h"

namespace strovanik::container {

namespace {

// Chunk data is read and written through blocks of this size, the chunk headers with them.
constexpr std::int64_t kCopyBlock = std::int64_t{1} << 20;
// The bytes of a video chunk looked at for its coding type: the picture header follows the
// configuration units, which are a few hundred bytes long.
constexpr std::size_t kKeySniff = 64 * 1024;
// How often the progress callback is told, in bytes of the original.
constexpr std::int64_t kProgressStep = std::int64_t{4} << 20;
// What the new header may hold: a header list of more chunks than this is no header a writer
// makes. Stream numbers have two digits.
constexpr std::size_t kMaxHeaderPieces = 4096;
constexpr std::size_t kMaxStreams = 100;
// A RIFF's size is a 32-bit number; an AVI 1.0 copy must stay below it.
constexpr std::int64_t kMaxRiff = 0xFFFF'FFFFLL - kCopyBlock;
constexpr std::int64_t kDmlhSize = 248;
constexpr std::uint32_t kHasIndex = 0x10;            // avih dwFlags: AVIF_HASINDEX
constexpr std::uint32_t kKeyFrame = 0x10;            // idx1 flags: AVIIF_KEYFRAME
constexpr std::uint32_t kNotKeyFrame = 0x8000'0000;  // in a standard index entry's size
constexpr std::int64_t kSuperIndexHeader = SuperIndexHeader::kSize;
constexpr std::int64_t kStandardIndexHeader = StandardIndexHeader::kSize;

void put16(std::vector<std::uint8_t>& out, std::uint32_t value) {
    out.push_back(static_cast<std::uint8_t>(value));
    out.push_back(static_cast<std::uint8_t>(value >> 8));
}

void put32(std::vector<std::uint8_t>& out, std::uint32_t value) {
    put16(out, value & 0xFFFF);
    put16(out, value >> 16);
}

void put64(std::vector<std::uint8_t>& out, std::uint64_t value) {
    put32(out, static_cast<std::uint32_t>(value));
    put32(out, static_cast<std::uint32_t>(value >> 32));
}

void putCode(std::vector<std::uint8_t>& out, FourCc code) {
    out.insert(out.end(), code.begin(), code.end());
}

FourCc streamCode(std::size_t stream, std::uint8_t a, std::uint8_t b) {
    return {static_cast<std::uint8_t>('0' + stream / 10),
            static_cast<std::uint8_t>('0' + stream % 10), a, b};
}

bool isDigit(std::uint8_t b) { return b >= '0' && b <= '9'; }

// What the repair needs of a stream list.
struct StreamPlan {
    FourCc type{};
    bool video = false;
    bool sound = false;
    std::uint32_t scale = 0;
    std::uint32_t rate = 0;
    std::uint32_t sampleSize = 0;
    StartCodeFamily family = StartCodeFamily::None;
    std::optional<std::int64_t> superIndexAt;  // the data of its "indx" chunk in the original
    std::int64_t superIndexSize = 0;
    std::int64_t slots = 0;  // the super index entries the copy has room for
};

// One piece of the new header, in order: bytes of the original, a list's header (its size
// worked out from the pieces inside it), or bytes made here.
struct Piece {
    enum class Kind {
        Original,
        ListOpen,
        ListClose,
        MainHeader,
        StreamHeader,
        DmlHeader,
        SuperIndex,
        NewDmlList
    };
    Kind kind = Kind::Original;
    std::int64_t from = 0;  // in the original
    std::int64_t length = 0;
    FourCc listType{};
    std::size_t stream = 0;
    bool junk = false;  // a JUNK chunk of the original
};

// The header list and the other chunks before the movie list, read from the original.
class HeaderPlan {
public:
    HeaderPlan(ChunkReader& reader, std::int64_t movieAt) : reader_(reader), movieAt_(movieAt) {}

    // Reads the first RIFF's chunks up to its movie list; nothing or why not.
    std::optional<std::string> read(std::int64_t riffEnd) {
        for (std::int64_t at = 12; at < movieAt_;) {
            const NextChunk next = reader_.nextChunk(at, riffEnd);
            if (!next.chunk || next.chunk->after() > movieAt_ || !reader_.wholeInFile(*next.chunk))
                return "the chunks before the movie data cannot be followed";
            const ChunkHeader& chunk = *next.chunk;
            const auto type = reader_.listType(chunk);
            if (type == fourCc("HDRL") && !headerListSeen_) {
                headerListSeen_ = true;
                if (auto problem = readList(chunk, *type)) return problem;
            } else {
                original(chunk);
            }
            at = chunk.after();
        }
        if (!mainHeaderSeen_) return "the file has no main header";
        if (streams_.empty()) return "the file has no stream list";
        return std::nullopt;
    }

    const std::vector<StreamPlan>& streams() const { return streams_; }

    // Gives each stream's super index room for `slots` entries at least, and all the room of
    // the chunk it takes the place of.
    void reserveSuperIndexes(std::int64_t slots) {
        for (StreamPlan& s : streams_) s.slots = slots;
        for (const Piece& p : pieces_) {
            if (p.kind != Piece::Kind::SuperIndex) continue;
            StreamPlan& s = streams_[p.stream];
            s.slots =
                std::max(s.slots, (p.length - 8 - kSuperIndexHeader) / SuperIndexEntry::kSize);
        }
    }
    bool hasSuperIndex() const {
        return std::any_of(streams_.begin(), streams_.end(),
                           [](const StreamPlan& s) { return s.superIndexAt.has_value(); });
    }

    // The pieces for a copy with or without OpenDML indexes, the lists' sizes worked out.
    std::vector<Piece> pieces(bool openDml) const {
        std::vector<Piece> out;
        for (const Piece& piece : pieces_) {
            Piece p = piece;
            if (p.kind == Piece::Kind::SuperIndex) {
                // The place of a super index: the old one, the JUNK a writer kept for it, or
                // a new chunk. Without OpenDML indexes JUNK stays JUNK and nothing is added
                // (a file with a super index always gets them).
                if (!openDml && p.length == 0) continue;
                if (openDml) {
                    p.length =
                        8 + kSuperIndexHeader + SuperIndexEntry::kSize * streams_[p.stream].slots;
                } else {
                    p.kind = Piece::Kind::Original;
                }
            } else if (p.kind == Piece::Kind::NewDmlList) {
                if (!openDml) continue;
                p.length = 12 + 8 + kDmlhSize;
            }
            out.push_back(p);
        }
        // Each list's size: the pieces between its opening and its closing.
        std::vector<std::size_t> open;
        for (std::size_t i = 0; i < out.size(); ++i) {
            if (out[i].kind == Piece::Kind::ListOpen) {
                open.push_back(i);
            } else if (out[i].kind == Piece::Kind::ListClose) {
                std::int64_t length = 12;
                for (std::size_t j = open.back() + 1; j < i; ++j) {
                    // A list inside counts its header here and its pieces one by one.
                    length += out[j].kind == Piece::Kind::ListOpen ? 12 : out[j].length;
                }
                out[open.back()].length = length;
                open.pop_back();
            }
        }
        return out;
    }

private:
    void original(const ChunkHeader& chunk, Piece::Kind kind = Piece::Kind::Original,
                  std::size_t stream = 0) {
        pieces_.push_back({kind,
                           chunk.at,
                           chunk.after() - chunk.at,
                           {},
                           stream,
                           upperCased(chunk.id) == fourCc("JUNK")});
    }

    std::optional<std::string> readList(const ChunkHeader& list, FourCc type) {
        pieces_.push_back({Piece::Kind::ListOpen, list.at, 0, type, 0});
        const std::int64_t end = list.dataAt() + list.size;
        bool dmlSeen = false;
        for (std::int64_t at = list.dataAt() + 4; end - at >= 8;) {
            if (pieces_.size() > kMaxHeaderPieces) return "the header list has too many chunks";
            const NextChunk next = reader_.nextChunk(at, end);
            if (!next.chunk) return "the header list cannot be followed";
            const ChunkHeader& chunk = *next.chunk;
            const FourCc id = upperCased(chunk.id);
            const auto inner = reader_.listType(chunk);
            if (type == fourCc("HDRL") && inner == fourCc("STRL")) {
                if (streams_.size() == kMaxStreams) return "the file has too many streams";
                if (auto problem = readStreamList(chunk)) return problem;
            } else if (type == fourCc("HDRL") && inner == fourCc("ODML") && !dmlSeen) {
                dmlSeen = true;
                if (auto problem = readList(chunk, *inner)) return problem;
            } else if (type == fourCc("HDRL") && id == fourCc("AVIH") && !mainHeaderSeen_ &&
                       chunk.size >= static_cast<std::int64_t>(AviMainHeader::kSize)) {
                mainHeaderSeen_ = true;
                original(chunk, Piece::Kind::MainHeader);
            } else if (type == fourCc("ODML") && id == fourCc("DMLH") && chunk.size >= 4) {
                original(chunk, Piece::Kind::DmlHeader);
            } else if (type == fourCc("STRL") && id == fourCc("STRH") &&
                       chunk.size >=
                           static_cast<std::int64_t>(AviStreamRecord::kStreamHeaderSize)) {
                original(chunk, Piece::Kind::StreamHeader, streams_.size() - 1);
            } else if (type == fourCc("STRL") && id == fourCc("INDX")) {
                StreamPlan& stream = streams_.back();
                if (!stream.superIndexAt) {
                    stream.superIndexAt = chunk.dataAt();
                    stream.superIndexSize = chunk.size;
                }
                original(chunk, Piece::Kind::SuperIndex, streams_.size() - 1);
            } else {
                original(chunk);
            }
            at = chunk.after();
        }
        // A copy written as OpenDML gets the lists the format wants where the original has none.
        if (type == fourCc("HDRL") && !dmlSeen) {
            pieces_.push_back({Piece::Kind::NewDmlList, 0, 0, {}, 0});
        }
        pieces_.push_back({Piece::Kind::ListClose, 0, 0, {}, 0});
        return std::nullopt;
    }

    std::optional<std::string> readStreamList(const ChunkHeader& list) {
        streams_.emplace_back();
        const std::size_t number = streams_.size() - 1;
        const std::size_t listStart = pieces_.size();
        if (auto problem = readList(list, fourCc("STRL"))) return problem;
        // Chunk ids number the streams in the order of their lists: a list that is no stream
        // would make every number after it wrong.
        if (std::none_of(pieces_.begin() + static_cast<std::ptrdiff_t>(listStart), pieces_.end(),
                         [](const Piece& p) { return p.kind == Piece::Kind::StreamHeader; }))
            return "a stream list has no stream header";
        // Every stream list of a copy written as OpenDML holds a super index.
        // It takes the place of the old one, or of the JUNK its writer kept for it, or is added.
        const auto inList = [&](Piece::Kind kind) {
            return std::find_if(pieces_.begin() + static_cast<std::ptrdiff_t>(listStart),
                                pieces_.end(), [&](const Piece& p) { return p.kind == kind; });
        };
        if (inList(Piece::Kind::SuperIndex) == pieces_.end()) {
            const auto junk = std::find_if(
                pieces_.begin() + static_cast<std::ptrdiff_t>(listStart), pieces_.end(),
                [&](const Piece& p) { return p.kind == Piece::Kind::Original && p.junk; });
            if (junk != pieces_.end()) {
                junk->kind = Piece::Kind::SuperIndex;
                junk->stream = number;
            } else {
                pieces_.insert(pieces_.end() - 1, {Piece::Kind::SuperIndex, 0, 0, {}, number});
            }
        }
        // The stream's kind and time base, from its header and the start of its format.
        std::array<std::uint8_t, AviStreamRecord::kSize> bytes{};
        for (const Piece& p : pieces_) {
            if (p.kind != Piece::Kind::StreamHeader || p.stream != number) continue;
            reader_.read(p.from + 8, std::span(bytes).first(AviStreamRecord::kStreamHeaderSize));
        }
        const AviStreamRecord record(bytes);
        StreamPlan& stream = streams_.back();
        stream.type = record.fccType();
        stream.video = isVideoStream(record);
        stream.sound = isSoundStream(record);
        stream.scale = static_cast<std::uint32_t>(record.dwScale());
        stream.rate = static_cast<std::uint32_t>(record.dwRate());
        stream.sampleSize = static_cast<std::uint32_t>(record.dwSampleSize());
        return std::nullopt;
    }

    ChunkReader& reader_;
    std::int64_t movieAt_;
    std::vector<Piece> pieces_;
    std::vector<StreamPlan> streams_;
    bool headerListSeen_ = false;
    bool mainHeaderSeen_ = false;
};

// Tells damage from chunks in a movie list: a chunk of a stream the header lists, with the
// letters of its kind, or a standard index or JUNK, whose size fits the list and which is
// followed by another such chunk, the list's end or the file's end. Past damage it looks for
// the next such chunk of a stream, up to the search window, and notes what it passes over.
class DamageFinder final : public ChunkResync {
public:
    DamageFinder(ChunkReader& reader, const std::vector<StreamPlan>& streams, std::int64_t window,
                 std::vector<SkippedSpan>& skipped)
        : reader_(reader), streams_(streams), window_(window), skipped_(skipped) {}

    bool accepts(const ChunkHeader& chunk, std::int64_t end) override {
        return knownId(chunk.id, true) && followed(chunk, end);
    }

    std::optional<std::int64_t> resumeAfter(std::int64_t at, std::int64_t end) override {
        const std::int64_t last = std::min({end, reader_.fileSize(), at + window_}) - 8;
        std::array<std::uint8_t, 64 * 1024 + 8> block{};
        for (std::int64_t from = at + 1; from <= last; from += 64 * 1024) {
            if (!reader_.step(from)) break;
            const auto length =
                static_cast<std::size_t>(std::min<std::int64_t>(64 * 1024, last - from + 1) + 8);
            const std::span<std::uint8_t> bytes(block.data(), length);
            reader_.read(from, bytes);
            for (std::size_t i = 0; i + 8 <= bytes.size(); ++i) {
                const FourCc id{bytes[i], bytes[i + 1], bytes[i + 2], bytes[i + 3]};
                if (!knownId(id, false)) continue;
                const std::int64_t candidate = from + static_cast<std::int64_t>(i);
                ChunkHeader chunk{id, candidate,
                                  static_cast<std::uint32_t>(
                                      readInt32(std::span(bytes).subspan(i + 4).first<4>()))};
                if (chunk.size > end - chunk.dataAt() || !followed(chunk, end)) continue;
                note(at, candidate - at);
                return candidate;
            }
        }
        note(at, std::min(end, reader_.fileSize()) - at);
        return std::nullopt;
    }

private:
    // A stream's chunk ("01wb", "00dc"), or with `other` a standard index ("ix01") or JUNK.
    bool knownId(FourCc id, bool other) const {
        if (isDigit(id[0]) && isDigit(id[1])) {
            const auto number = static_cast<std::size_t>((id[0] - '0') * 10 + (id[1] - '0'));
            if (number >= streams_.size()) return false;
            const StreamPlan& s = streams_[number];
            const auto kind = [&](const char* a) { return id[2] == a[0] && id[3] == a[1]; };
            if (s.video) return kind("dc") || kind("db") || kind("pc");
            if (s.sound) return kind("wb");
            return id[2] >= 'a' && id[2] <= 'z' && id[3] >= 'a' && id[3] <= 'z';
        }
        if (!other) return false;
        return upperCased(id) == fourCc("JUNK") ||
               (id[0] == 'i' && id[1] == 'x' && isDigit(id[2]) && isDigit(id[3]));
    }

    // Whether what follows the chunk is a chunk too, or the end of the list or of the file.
    bool followed(const ChunkHeader& chunk, std::int64_t end) {
        const std::int64_t after = chunk.after();
        if (end - after < 8 || reader_.fileSize() - after < 8) return true;
        std::array<std::uint8_t, 8> bytes{};
        reader_.read(after, bytes);
        const FourCc id{bytes[0], bytes[1], bytes[2], bytes[3]};
        const std::int64_t size =
            static_cast<std::uint32_t>(readInt32(std::span(bytes).subspan<4, 4>()));
        if (size > end - (after + 8)) return false;
        return knownId(id, true) || upperCased(id) == fourCc("LIST") || looksLikeStreamChunk(id);
    }

    // A chunk of some stream by its id's form ("07dc"), which shows where a chunk ends even
    // when the stream is not one the header lists.
    static bool looksLikeStreamChunk(FourCc id) {
        const auto letterOrDigit = [](std::uint8_t b) {
            return isDigit(b) || (b >= 'a' && b <= 'z') || (b >= 'A' && b <= 'Z');
        };
        return isDigit(id[0]) && isDigit(id[1]) && letterOrDigit(id[2]) && letterOrDigit(id[3]);
    }

    void note(std::int64_t at, std::int64_t bytes) {
        if (bytes <= 0) return;
        if (!skipped_.empty() && !skipped_.back().cutShort &&
            skipped_.back().offset + skipped_.back().bytes == at) {
            skipped_.back().bytes += bytes;
            return;
        }
        skipped_.push_back({at, bytes, false});
    }

    ChunkReader& reader_;
    const std::vector<StreamPlan>& streams_;
    std::int64_t window_;
    std::vector<SkippedSpan>& skipped_;
};

// Whether a chunk starts a picture that needs no other: for start-code video its first
// picture's coding type (an MPEG-4 I-VOP, an H.264 IDR), every chunk of other video but an
// empty one, and every chunk of sound and other streams.
bool keyFromData(const StreamPlan& stream, std::span<const std::uint8_t> head) {
    if (!stream.video) return true;
    if (head.empty()) return false;
    if (stream.family == StartCodeFamily::None) return true;
    std::size_t from = 0;
    while (const auto unit = bitstream::nextStartCodeUnit(head, from)) {
        if (stream.family == StartCodeFamily::H264) {
            if ((unit->code & 0x1F) == 5) return true;
            continue;
        }
        if (unit->code == bitstream::mpeg4::kVop) {
            const auto vop = bitstream::mpeg4::readVop(unit->payload, nullptr);
            return vop && vop->type == bitstream::mpeg4::VopType::I;
        }
    }
    return false;
}

// A chunk kept, in 8 bytes: its size, stream, key-frame flag and the letters of its id. Where
// it lies in the copy follows from the chunks before it.
struct Entry {
    std::uint64_t packed = 0;

    static Entry of(std::uint32_t size, std::size_t stream, bool key, std::uint8_t a,
                    std::uint8_t b) {
        return {std::uint64_t{size} | (std::uint64_t{stream} << 32) | (std::uint64_t{key} << 39) |
                (std::uint64_t{a} << 40) | (std::uint64_t{b} << 48)};
    }
    std::uint32_t size() const { return static_cast<std::uint32_t>(packed); }
    std::size_t stream() const { return (packed >> 32) & 0x7F; }
    bool key() const { return ((packed >> 39) & 1) != 0; }
    FourCc id() const {
        return streamCode(stream(), static_cast<std::uint8_t>(packed >> 40),
                          static_cast<std::uint8_t>(packed >> 48));
    }
    std::int64_t span() const { return 8 + std::int64_t{size()} + (size() & 1); }
};

// One RIFF of the copy: where it and its movie list start, and its chunks.
struct Segment {
    std::int64_t riffAt = 0;
    std::int64_t movieAt = 0;  // the "LIST" of its movie list
    std::size_t firstEntry = 0;
    std::size_t endEntry = 0;
};

struct SuperEntry {
    std::int64_t offset = 0;
    std::uint32_t size = 0;
    std::uint32_t duration = 0;
};

// Writes the copy: the header, the chunks, the indexes, then the counts where the header
// holds them.
class CopyWriter {
public:
    CopyWriter(ByteSource& source, std::ostream& out, const RepairOptions& options,
               const RepairProgress& progress)
        : source_(source),
          out_(out),
          options_(options),
          progress_(progress),
          reader_(source, WalkLimits{}),
          buffer_(static_cast<std::size_t>(kCopyBlock)) {
        reader_.readBlocksOf(kCopyBlock);
    }

    RepairResult run() {
        const RiffWalk walk = walkStructure(reader_);
        if (walk.parts.empty() || walk.parts.front().formType != fourCc("AVI "))
            return refuse("not an AVI file");
        if (walk.movieLists.empty() || walk.movieLists.front().part != 0)
            return refuse("the file has no movie data in its first RIFF");
        const std::int64_t movieAt = walk.movieLists.front().dataStart - 12;
        HeaderPlan header(reader_, movieAt);
        if (auto problem = header.read(walk.parts.front().declaredEnd)) return refuse(*problem);
        const std::int64_t limit =
            std::clamp<std::int64_t>(options_.openDmlAbove, 4096, std::int64_t{1} << 30);
        result_.openDml = header.hasSuperIndex() || source_.size() > limit;
        segmentLimit_ = result_.openDml ? limit : kMaxRiff;
        // Room in each super index for every RIFF the copy can need.
        const std::int64_t slots = std::min<std::int64_t>(source_.size() / (limit / 2) + 4, 65'536);
        header.reserveSuperIndexes(slots);
        streams_ = header.streams();
        keys_ = oldKeyFrames(walk);
        setFamilies(walk);
        result_.streams.resize(streams_.size());
        for (std::size_t i = 0; i < streams_.size(); ++i)
            result_.streams[i].type = streams_[i].type;
        streamHeaderAt_.assign(streams_.size(), 0);
        superIndexAt_.assign(streams_.size(), 0);

        startRiff(fourCc("AVI "));
        writeHeader(header.pieces(result_.openDml));
        startMovieList();
        if (auto problem = copyChunks(walk)) return refuse(*problem);
        bool kept = std::any_of(result_.streams.begin(), result_.streams.end(),
                                [](const RepairedStream& s) { return s.chunks > 0; });
        if (!kept) return refuse("no whole chunk of a stream was found");
        closeSegment();
        writeCounts();
        out_.seekp(position_);
        result_.length = position_;
        result_.riffs = static_cast<std::int64_t>(segments_.size());
        if (!out_) return refuse("the copy cannot be written");
        result_.status = RepairResult::Status::Written;
        return std::move(result_);
    }

private:
    RepairResult refuse(std::string problem) {
        RepairResult refused;
        refused.problem = std::move(problem);
        refused.skipped = std::move(result_.skipped);
        return refused;
    }

    OldKeyFrames oldKeyFrames(const RiffWalk& walk) {
        std::vector<std::optional<SuperIndexPlace>> places;
        std::vector<bool> video;
        for (const StreamPlan& s : streams_) {
            places.push_back(s.superIndexAt
                                 ? std::optional(SuperIndexPlace{*s.superIndexAt, s.superIndexSize})
                                 : std::nullopt);
            video.push_back(s.video);
        }
        return readOldKeyFrames(reader_, walk, places, video, options_.maxChunks);
    }

    void setFamilies(const RiffWalk& walk) {
        for (std::size_t i = 0; i < streams_.size() && i < walk.streams.size(); ++i) {
            const AviStreamRecord& r = walk.streams[i].record;
            if (isVideoStream(r))
                streams_[i].family = startCodeFamilyOf(r.biCompression(), r.fccHandler());
        }
    }

    void write(std::span<const std::uint8_t> bytes) {
        out_.write(reinterpret_cast<const char*>(bytes.data()),
                   static_cast<std::streamsize>(bytes.size()));
        position_ += static_cast<std::int64_t>(bytes.size());
    }

    // Copies `length` bytes of the original at `from`; with `head`, the first of them are kept
    // there too.
    void copy(std::int64_t from, std::int64_t length, std::vector<std::uint8_t>* head = nullptr) {
        if (head != nullptr) head->clear();
        while (length > 0) {
            const std::int64_t n = std::min(length, kCopyBlock);
            const std::span<std::uint8_t> bytes(buffer_.data(), static_cast<std::size_t>(n));
            reader_.read(from, bytes);
            if (head != nullptr && head->empty()) {
                const auto kept = bytes.first(std::min(bytes.size(), kKeySniff));
                head->assign(kept.begin(), kept.end());
            }
            write(bytes);
            from += n;
            length -= n;
        }
    }

    void patch(std::int64_t at, std::uint32_t value) { patches_.push_back({at, value}); }

    void startRiff(FourCc form) {
        Segment segment;
        segment.riffAt = position_;
        segment.firstEntry = entries_.size();
        segments_.push_back(segment);
        std::vector<std::uint8_t> bytes;
        putCode(bytes, fourCc("RIFF"));
        put32(bytes, 0);
        putCode(bytes, form);
        write(bytes);
    }

    void startMovieList() {
        segments_.back().movieAt = position_;
        std::vector<std::uint8_t> bytes;
        putCode(bytes, fourCc("LIST"));
        put32(bytes, 0);
        putCode(bytes, fourCc("movi"));
        write(bytes);
    }

    void writeHeader(const std::vector<Piece>& pieces) {
        for (const Piece& p : pieces) {
            std::vector<std::uint8_t> bytes;
            switch (p.kind) {
                case Piece::Kind::ListOpen:
                    putCode(bytes, fourCc("LIST"));
                    put32(bytes, static_cast<std::uint32_t>(p.length - 8));
                    putCode(bytes, p.listType == fourCc("HDRL")   ? fourCc("hdrl")
                                   : p.listType == fourCc("STRL") ? fourCc("strl")
                                                                  : fourCc("odml"));
                    write(bytes);
                    break;
                case Piece::Kind::ListClose:
                    break;
                case Piece::Kind::MainHeader:
                    mainHeaderAt_ = position_ + 8;
                    mainHeaderFrom_ = p.from + 8;
                    copy(p.from, p.length);
                    break;
                case Piece::Kind::StreamHeader:
                    streamHeaderAt_[p.stream] = position_ + 8;
                    copy(p.from, p.length);
                    break;
                case Piece::Kind::DmlHeader:
                    dmlHeaderAt_ = position_ + 8;
                    copy(p.from, p.length);
                    break;
                case Piece::Kind::SuperIndex:
                    superIndexAt_[p.stream] = position_;
                    bytes.resize(static_cast<std::size_t>(p.length));
                    write(bytes);
                    break;
                case Piece::Kind::NewDmlList:
                    putCode(bytes, fourCc("LIST"));
                    put32(bytes, static_cast<std::uint32_t>(4 + 8 + kDmlhSize));
                    putCode(bytes, fourCc("odml"));
                    putCode(bytes, fourCc("dmlh"));
                    put32(bytes, kDmlhSize);
                    dmlHeaderAt_ = position_ + static_cast<std::int64_t>(bytes.size());
                    bytes.resize(bytes.size() + kDmlhSize);
                    write(bytes);
                    break;
                case Piece::Kind::Original:
                    copy(p.from, p.length);
                    break;
            }
        }
    }

    std::optional<std::string> copyChunks(const RiffWalk& walk) {
        DamageFinder finder(reader_, streams_, options_.searchWindow, result_.skipped);
        MovieChunks chunks(reader_, walk.movieLists);
        chunks.resyncWith(&finder);
        std::int64_t told = 0;
        while (const auto chunk = chunks.next()) {
            if (chunk->dataAt - told >= kProgressStep) {
                told = chunk->dataAt;
                if (progress_ && !progress_(told, source_.size())) throw RepairCancelled();
            }
            if (!chunk->stream || static_cast<std::size_t>(*chunk->stream) >= streams_.size())
                continue;
            if (chunk->presentSize < chunk->size) {
                result_.skipped.push_back({chunk->dataAt - 8, 8 + chunk->presentSize, true});
                continue;
            }
            if (static_cast<std::int64_t>(entries_.size()) >= options_.maxChunks)
                return "the file has more chunks than the repair keeps an index of";
            const auto stream = static_cast<std::size_t>(*chunk->stream);
            const Entry entry = Entry::of(static_cast<std::uint32_t>(chunk->size), stream, false,
                                          chunk->id[2], chunk->id[3]);
            if (result_.openDml && entries_.size() > segments_.back().firstEntry &&
                position_ + entry.span() + indexBytes(1) - segments_.back().riffAt >
                    segmentLimit_ &&
                static_cast<std::int64_t>(segments_.size()) < streams_.front().slots) {
                closeSegment();
                startRiff(fourCc("AVIX"));
                startMovieList();
            }
            if (position_ + entry.span() + indexBytes(1) - segments_.back().riffAt > kMaxRiff)
                return "the copy would need a RIFF larger than 4 GiB";
            std::vector<std::uint8_t> header;
            putCode(header, chunk->id);
            put32(header, static_cast<std::uint32_t>(chunk->size));
            write(header);
            // The old index's flag where it lists the chunk, else the data's.
            const std::optional<bool> old = keys_.keyFrame(stream, chunk->dataAt);
            const bool fromData = !old && streams_[stream].video;
            copy(chunk->dataAt, chunk->size, fromData ? &head_ : nullptr);
            if ((chunk->size & 1) != 0) write(std::array<std::uint8_t, 1>{0});
            const bool key = old.value_or(keyFromData(streams_[stream], head_));
            entries_.push_back(Entry::of(static_cast<std::uint32_t>(chunk->size), stream, key,
                                         chunk->id[2], chunk->id[3]));
            RepairedStream& kept = result_.streams[stream];
            ++kept.chunks;
            kept.bytes += chunk->size;
            if (key) ++kept.keyFrames;
        }
        return std::nullopt;
    }

    // What the indexes of the current RIFF take with `more` chunks added.
    std::int64_t indexBytes(std::int64_t more) const {
        const auto chunks =
            static_cast<std::int64_t>(entries_.size() - segments_.back().firstEntry) + more;
        std::int64_t bytes = 0;
        if (result_.openDml) {
            bytes += chunks * StandardIndexEntry::kSize +
                     static_cast<std::int64_t>(streams_.size()) * (8 + kStandardIndexHeader);
        }
        if (segments_.size() == 1) bytes += 8 + chunks * Idx1Entry::kSize;
        return bytes;
    }

    // Ends the current RIFF: its standard indexes at the end of its movie list, then for the
    // first RIFF the idx1, then the sizes.
    void closeSegment() {
        Segment& segment = segments_.back();
        segment.endEntry = entries_.size();
        if (result_.openDml) writeStandardIndexes(segment);
        patch(segment.movieAt + 4, static_cast<std::uint32_t>(position_ - segment.movieAt - 8));
        if (segments_.size() == 1) writeIdx1(segment);
        patch(segment.riffAt + 4, static_cast<std::uint32_t>(position_ - segment.riffAt - 8));
    }

    // Calls visit(entry, where its chunk's header lies) for the chunks of `segment`.
    template <typename Visit>
    void forEachChunk(const Segment& segment, Visit visit) const {
        std::int64_t at = segment.movieAt + 12;
        for (std::size_t i = segment.firstEntry; i < segment.endEntry; ++i) {
            visit(entries_[i], at);
            at += entries_[i].span();
        }
    }

    void writeStandardIndexes(const Segment& segment) {
        superEntries_.resize(streams_.size());
        for (std::size_t stream = 0; stream < streams_.size(); ++stream) {
            std::uint32_t count = 0;
            std::int64_t units = 0;
            std::optional<FourCc> id;
            forEachChunk(segment, [&](const Entry& e, std::int64_t) {
                if (e.stream() != stream) return;
                ++count;
                units += streams_[stream].sampleSize > 0 ? e.size() : 1;
                if (!id) id = e.id();
            });
            if (count == 0) continue;
            if (streams_[stream].sampleSize > 0) units /= streams_[stream].sampleSize;
            std::vector<std::uint8_t> bytes;
            putCode(bytes, {'i', 'x', static_cast<std::uint8_t>('0' + stream / 10),
                            static_cast<std::uint8_t>('0' + stream % 10)});
            put32(bytes,
                  static_cast<std::uint32_t>(kStandardIndexHeader + 8 * std::int64_t{count}));
            put16(bytes, 2);     // wLongsPerEntry
            bytes.push_back(0);  // bIndexSubType
            bytes.push_back(kIndexOfChunks);
            put32(bytes, count);
            putCode(bytes, *id);
            put64(bytes, static_cast<std::uint64_t>(segment.movieAt));
            put32(bytes, 0);
            forEachChunk(segment, [&](const Entry& e, std::int64_t at) {
                if (e.stream() != stream) return;
                put32(bytes, static_cast<std::uint32_t>(at + 8 - segment.movieAt));
                put32(bytes, e.size() | (e.key() ? 0 : kNotKeyFrame));
            });
            superEntries_[stream].push_back({position_, static_cast<std::uint32_t>(bytes.size()),
                                             static_cast<std::uint32_t>(units)});
            write(bytes);
        }
    }

    void writeIdx1(const Segment& segment) {
        std::vector<std::uint8_t> bytes;
        putCode(bytes, fourCc("idx1"));
        put32(bytes, static_cast<std::uint32_t>((segment.endEntry - segment.firstEntry) *
                                                Idx1Entry::kSize));
        write(bytes);
        bytes.clear();
        forEachChunk(segment, [&](const Entry& e, std::int64_t at) {
            putCode(bytes, e.id());
            put32(bytes, e.key() ? kKeyFrame : 0);
            put32(bytes, static_cast<std::uint32_t>(at - (segment.movieAt + 8)));
            put32(bytes, e.size());
            if (bytes.size() >= 64 * 1024) {
                write(bytes);
                bytes.clear();
            }
        });
        write(bytes);
    }

    // The counts the headers hold, made true, and the super indexes.
    void writeCounts() {
        std::optional<std::size_t> video;
        for (std::size_t i = 0; i < streams_.size(); ++i) {
            RepairedStream& s = result_.streams[i];
            const StreamPlan& plan = streams_[i];
            s.length = plan.sampleSize > 0 ? s.bytes / plan.sampleSize : s.chunks;
            s.seconds = plan.rate == 0 ? 0 : static_cast<double>(s.length) * plan.scale / plan.rate;
            result_.seconds = std::max(result_.seconds, s.seconds);
            if (plan.video && !video) video = i;
            if (streamHeaderAt_[i] > 0)
                patch(streamHeaderAt_[i] + 32, static_cast<std::uint32_t>(s.length));
        }
        if (video) {
            const std::int64_t total = result_.streams[*video].chunks;
            std::int64_t first = 0;
            forEachChunk(segments_.front(), [&](const Entry& e, std::int64_t) {
                if (e.stream() == *video) ++first;
            });
            patch(mainHeaderAt_ + 16,
                  static_cast<std::uint32_t>(segments_.size() > 1 ? first : total));
            if (dmlHeaderAt_ > 0) patch(dmlHeaderAt_, static_cast<std::uint32_t>(total));
        }
        std::array<std::uint8_t, 4> flags{};
        reader_.read(mainHeaderFrom_ + 12, flags);
        patch(mainHeaderAt_ + 12, static_cast<std::uint32_t>(readInt32(flags)) | kHasIndex);
        for (const auto& [at, value] : patches_) {
            std::vector<std::uint8_t> bytes;
            put32(bytes, value);
            out_.seekp(at);
            out_.write(reinterpret_cast<const char*>(bytes.data()), 4);
        }
        if (result_.openDml) writeSuperIndexes();
    }

    void writeSuperIndexes() {
        superEntries_.resize(streams_.size());
        for (std::size_t stream = 0; stream < streams_.size(); ++stream) {
            if (superIndexAt_[stream] == 0) continue;
            const StreamPlan& plan = streams_[stream];
            const auto& entries = superEntries_[stream];
            std::vector<std::uint8_t> bytes;
            putCode(bytes, fourCc("indx"));
            put32(bytes, static_cast<std::uint32_t>(kSuperIndexHeader +
                                                    plan.slots * SuperIndexEntry::kSize));
            put16(bytes, 4);  // wLongsPerEntry
            bytes.push_back(0);
            bytes.push_back(kIndexOfIndexes);
            put32(bytes, static_cast<std::uint32_t>(entries.size()));
            const std::uint8_t a = plan.video ? 'd' : plan.sound ? 'w' : 't';
            const std::uint8_t b = plan.video ? 'c' : plan.sound ? 'b' : 'x';
            putCode(bytes, streamCode(stream, a, b));
            bytes.resize(bytes.size() + 12);
            for (const SuperEntry& e : entries) {
                put64(bytes, static_cast<std::uint64_t>(e.offset));
                put32(bytes, e.size);
                put32(bytes, e.duration);
            }
            out_.seekp(superIndexAt_[stream]);
            out_.write(reinterpret_cast<const char*>(bytes.data()),
                       static_cast<std::streamsize>(bytes.size()));
        }
    }

    ByteSource& source_;
    std::ostream& out_;
    const RepairOptions& options_;
    const RepairProgress& progress_;
    ChunkReader reader_;
    std::vector<std::uint8_t> buffer_;
    std::vector<std::uint8_t> head_;
    std::vector<StreamPlan> streams_;
    OldKeyFrames keys_;
    RepairResult result_;
    std::int64_t position_ = 0;
    std::int64_t segmentLimit_ = 0;
    std::deque<Entry> entries_;
    std::vector<Segment> segments_;
    std::vector<std::vector<SuperEntry>> superEntries_;
    std::vector<std::pair<std::int64_t, std::uint32_t>> patches_;
    std::int64_t mainHeaderAt_ = 0;
    std::int64_t mainHeaderFrom_ = 0;
    std::int64_t dmlHeaderAt_ = 0;
    std::vector<std::int64_t> streamHeaderAt_;
    std::vector<std::int64_t> superIndexAt_;
};

}  // namespace

RepairResult writeRepairedCopy(ByteSource& source, std::ostream& out, const RepairOptions& options,
                               const RepairProgress& progress) {
    CopyWriter writer(source, out, options, progress);
    return writer.run();
}

bool replaceFileWithRepairedCopy(std::string_view utf8Path, ByteSource& source,
                                 const RepairOptions& options, const RepairProgress& progress,
                                 RepairResult& result, std::string& problem) {
    const auto fill = [&](std::ostream& out) {
        result = writeRepairedCopy(source, out, options, progress);
        return result.status == RepairResult::Status::Written && static_cast<bool>(out);
    };
    const bool written = replaceFileWith(utf8Path, fill, std::nullopt, problem);
    if (!written && result.status == RepairResult::Status::Refused && !result.problem.empty()) {
        problem = result.problem;
    }
    return written;
}

}  // namespace strovanik::container
