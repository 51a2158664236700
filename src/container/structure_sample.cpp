#include "container/structure_sample.h"

#include <algorithm>
#include <array>
#include <memory>
#include <ostream>
#include <vector>

#include "bitstream/read_spans.h"
#include "container/chunk_reader.h"
#include "container/file_replacement.h"
#include "container/first_frames.h"
#include "container/movie_chunks.h"
#include "container/riff_walk.h"
#include "container/start_code_units.h"

namespace strovanik::container {

namespace {

constexpr std::int64_t kCopyBlock = 64 * 1024;
// Zero runs of at least a page are left unwritten, so that they become holes.
constexpr std::int64_t kPage = 4096;

bool allZero(std::span<const std::uint8_t> bytes) {
    return std::all_of(bytes.begin(), bytes.end(), [](std::uint8_t b) { return b == 0; });
}

// Hands bytes of the source over to the sink as they are, page by page, leaving out pages that
// hold only zeros.
class Copier {
public:
    Copier(ByteSource& source, SampleSink& sink) : source_(source), sink_(sink) {}

    void copy(std::int64_t from, std::int64_t to) {
        while (from < to) {
            const std::int64_t length = std::min(kCopyBlock, to - from);
            const std::span<std::uint8_t> bytes(block_.data(), static_cast<std::size_t>(length));
            readPadded(source_, from, bytes);
            std::int64_t run = -1;  // the start of the run of pages with data, if any
            for (std::int64_t page = 0; page < length; page += kPage) {
                const auto pageBytes = bytes.subspan(
                    static_cast<std::size_t>(page),
                    static_cast<std::size_t>(std::min(kPage, length - page)));
                if (!allZero(pageBytes)) {
                    if (run < 0) run = page;
                    continue;
                }
                if (run >= 0) hand(from, bytes, run, page);
                run = -1;
            }
            if (run >= 0) hand(from, bytes, run, length);
            from += length;
        }
    }

private:
    void hand(std::int64_t at, std::span<const std::uint8_t> bytes, std::int64_t begin,
              std::int64_t end) {
        sink_.write(at + begin, bytes.subspan(static_cast<std::size_t>(begin),
                                              static_cast<std::size_t>(end - begin)));
    }

    ByteSource& source_;
    SampleSink& sink_;
    std::array<std::uint8_t, kCopyBlock> block_{};
};

// How a stream's data is kept: start-code video keeps its start codes and configuration units;
// every other stream keeps nothing.
StartCodeFamily familyOf(const RiffWalk& walk, int number) {
    if (static_cast<std::size_t>(number) >= walk.streams.size()) return StartCodeFamily::None;
    const AviStreamRecord& record = walk.streams[static_cast<std::size_t>(number)].record;
    if (!isVideoStream(record)) return StartCodeFamily::None;
    return startCodeFamilyOf(record.biCompression(), record.fccHandler());
}

// Bytes of the file the sample keeps, in a stream's first chunks.
struct FileSpan {
    std::int64_t at = 0;
    std::int64_t length = 0;
};

// Of one stream's spans, those within the bounds of what a sample keeps beyond start codes and
// configuration units: each chunk up to its own budget, the encoder's tag up to the stream's.
// A span past its budget is cut there.
void keepWithinBounds(std::span<const bitstream::ReadSpan> read,
                      const bitstream::StreamPrefix& prefix, std::span<const std::int64_t> offsets,
                      std::vector<FileSpan>& out) {
    auto tagRoom = static_cast<std::int64_t>(bitstream::kMaxEncoderTagBytes);
    std::size_t chunk = prefix.chunks.size();
    std::int64_t room = 0;
    for (const bitstream::ReadSpan& span : read) {
        if (span.chunk != chunk) {
            chunk = span.chunk;
            const auto size = static_cast<std::int64_t>(prefix.chunks[chunk].size());
            room = std::max(kMaxHeaderBytes, size / kHeaderShare);
        }
        std::int64_t& left = span.kind == bitstream::SpanKind::EncoderTag ? tagRoom : room;
        const std::int64_t length = std::min(static_cast<std::int64_t>(span.length), left);
        if (length <= 0) continue;
        left -= length;
        const std::int64_t at = offsets[chunk] + static_cast<std::int64_t>(span.offset);
        if (!out.empty() && out.back().at + out.back().length == at) {
            out.back().length += length;
        } else {
            out.push_back({at, length});
        }
    }
}

// What the inspection reads of the video and sound streams' first chunks beyond what every
// chunk keeps, in file order: the sample's streams then say what the file's say.
std::vector<FileSpan> identitySpans(ChunkReader& reader, const RiffWalk& walk) {
    const FirstFrames frames = readFirstFrames(reader, walk, FirstFrames::VideoChunks::Whole);
    std::vector<FileSpan> spans;
    for (std::size_t i = 0; i < walk.streams.size(); ++i) {
        const WalkedStream& stream = walk.streams[i];
        std::vector<bitstream::ReadSpan> read;
        // Video whose start codes the sample does not keep keeps none of its headers either.
        if (familyOf(walk, static_cast<int>(i)) != StartCodeFamily::None) {
            read = bitstream::videoReadSpans(frames.prefix(i));
        } else if (isSoundStream(stream.record)) {
            read = bitstream::soundReadSpans(frames.prefix(i), stream.format);
        }
        keepWithinBounds(read, frames.prefix(i), frames.offsets(i), spans);
    }
    std::sort(spans.begin(), spans.end(),
              [](const FileSpan& a, const FileSpan& b) { return a.at < b.at; });
    return spans;
}

}  // namespace

SampleOutcome writeStructureSample(ByteSource& source, SampleSink& sink) {
    SampleOutcome outcome;
    outcome.length = source.size();
    auto copier = std::make_unique<Copier>(source, sink);
    std::int64_t cursor = 0;  // what lies before it is handed over
    ChunkReader reader(source, WalkLimits{});
    const RiffWalk walk = walkStructure(reader);
    const std::vector<FileSpan> read = identitySpans(reader, walk);
    auto nextRead = read.begin();
    // Past the first place where the walk lost its way, in file order, nothing is known to be
    // movie data: from there on the file is kept as it is.
    std::optional<std::int64_t> lostAt;
    if (walk.trouble != WalkTrouble::None) lostAt = walk.troubleAt;
    MovieChunks chunks(reader, walk.movieLists);
    while (const auto chunk = chunks.next()) {
        if (chunks.trouble() != WalkTrouble::None) {
            lostAt = std::min(lostAt.value_or(chunks.troubleAt()), chunks.troubleAt());
            break;
        }
        if (lostAt && chunk->dataAt > *lostAt) break;
        // The data of a stream's chunk (00dc, 01wb, ...) goes; other chunks of the movie lists
        // (the standard indexes ix##, JUNK) stay as they are.
        const std::int64_t end = chunk->dataAt + chunk->presentSize;
        if (!chunk->stream || chunk->dataAt < cursor || end <= chunk->dataAt) continue;
        copier->copy(cursor, chunk->dataAt);
        // The spans of the two kinds may overlap (a start code's code byte, a configuration
        // unit's header): each byte goes out once, in order.
        std::int64_t keptTo = chunk->dataAt;
        const auto keep = [&](std::int64_t at, std::int64_t length, std::int64_t& count) {
            const std::int64_t from = std::max(at, keptTo);
            const std::int64_t to = std::min(at + length, end);
            if (to <= from) return;
            copier->copy(from, to);
            count += to - from;
            keptTo = to;
        };
        const auto keepReadBefore = [&](std::int64_t at) {
            for (; nextRead != read.end() && nextRead->at < at; ++nextRead) {
                keep(nextRead->at, nextRead->length, outcome.keptHeaderBytes);
            }
        };
        while (nextRead != read.end() && nextRead->at + nextRead->length <= chunk->dataAt) {
            ++nextRead;
        }
        const std::int64_t keptBefore = outcome.keptVideoBytes + outcome.keptHeaderBytes;
        forEachKeptSpan(source, chunk->dataAt, chunk->presentSize, familyOf(walk, *chunk->stream),
                        [&](std::int64_t at, std::int64_t length) {
                            keepReadBefore(at);
                            keep(at, length, outcome.keptVideoBytes);
                        });
        keepReadBefore(end);
        ++outcome.movieChunks;
        outcome.droppedBytes +=
            chunk->presentSize - (outcome.keptVideoBytes + outcome.keptHeaderBytes - keptBefore);
        cursor = end;
    }
    if (chunks.trouble() != WalkTrouble::None) {
        lostAt = std::min(lostAt.value_or(chunks.troubleAt()), chunks.troubleAt());
    }
    if (lostAt) outcome.keptAsItIsFrom = std::max(*lostAt, cursor);
    copier->copy(cursor, outcome.length);
    return outcome;
}

namespace {

// Puts the sample's bytes into the temporary file: what is skipped stays a hole.
class StreamSink final : public SampleSink {
public:
    explicit StreamSink(std::ostream& out) : out_(out) {}
    void write(std::int64_t offset, std::span<const std::uint8_t> bytes) override {
        out_.seekp(offset);
        out_.write(reinterpret_cast<const char*>(bytes.data()),
                   static_cast<std::streamsize>(bytes.size()));
    }

private:
    std::ostream& out_;
};

}  // namespace

bool replaceFileWithStructureSample(std::string_view utf8Path, ByteSource& source,
                                    SampleOutcome& outcome, std::string& problem) {
    const auto fill = [&](std::ostream& out) {
        StreamSink sink(out);
        outcome = writeStructureSample(source, sink);
        return static_cast<bool>(out);
    };
    return replaceFileWith(utf8Path, fill, static_cast<std::uintmax_t>(source.size()), problem);
}

}  // namespace strovanik::container
