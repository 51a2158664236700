#include "container/first_frames.h"

#include <algorithm>

#include "bitstream/start_code_scan.h"

namespace strovanik::container {

namespace {

struct Budget {
    std::size_t chunks = 0;
    std::int64_t bytes = 0;
    bool wanted = false;

    bool full() const {
        return !wanted || chunks == FirstFrames::kMaxChunks || bytes == FirstFrames::kMaxBytes;
    }
};

// Where a chunk's kept bytes lie in the buffer, for the views made once it is complete.
struct Kept {
    std::size_t stream = 0;
    std::size_t at = 0;
    std::size_t length = 0;
};

}  // namespace

const bitstream::StreamPrefix& FirstFrames::prefix(std::size_t stream) const {
    static const bitstream::StreamPrefix kNone;
    return stream < prefixes_.size() ? prefixes_[stream] : kNone;
}

std::span<const std::int64_t> FirstFrames::offsets(std::size_t stream) const {
    if (stream >= offsets_.size()) return {};
    return offsets_[stream];
}

std::span<const std::int64_t> FirstFrames::lengths(std::size_t stream) const {
    if (stream >= lengths_.size()) return {};
    return lengths_[stream];
}

FirstFrames readFirstFrames(ChunkReader& reader, const RiffWalk& walk,
                            FirstFrames::VideoChunks video) {
    FirstFrames frames;
    const std::size_t streams = walk.streams.size();
    frames.prefixes_.resize(streams);
    frames.offsets_.resize(streams);
    frames.lengths_.resize(streams);

    std::vector<Budget> budgets(streams);
    std::vector<bool> readPart(streams);
    std::size_t open = 0;
    for (std::size_t i = 0; i < streams; ++i) {
        const AviStreamRecord& r = walk.streams[i].record;
        readPart[i] = isVideoStream(r) && video == FirstFrames::VideoChunks::ReadPart;
        budgets[i].wanted =
            isVideoStream(r) ||
            (isSoundStream(r) && bitstream::soundFramesNeeded(walk.streams[i].format));
        if (budgets[i].wanted) ++open;
    }
    // No more is ever kept than is read, at most kMaxBytes a stream and the file's length in
    // all: room for that is set aside once, and only the part written to is ever touched.
    frames.bytes_.reserve(
        static_cast<std::size_t>(std::min({static_cast<std::int64_t>(open) * FirstFrames::kMaxBytes,
                                           reader.fileSize(), FirstFrames::kMaxHeldBytes})));
    std::vector<Kept> kept;

    // Headers and data in one pass, through blocks that take the data after each header with
    // it: a typical file's first frames lie side by side, and each stretch is read once.
    reader.readBlocksOf(FirstFrames::kReadPiece);
    std::vector<std::uint8_t> data;
    MovieChunks chunks(reader, walk.movieLists);
    while (open > 0 && frames.headersSeen_ < FirstFrames::kMaxHeaders) {
        const auto chunk = chunks.next();
        if (!chunk || chunks.trouble() != WalkTrouble::None) break;
        ++frames.headersSeen_;
        if (!chunk->stream || static_cast<std::size_t>(*chunk->stream) >= streams) continue;
        const auto stream = static_cast<std::size_t>(*chunk->stream);
        Budget& budget = budgets[stream];
        if (budget.full() || chunk->presentSize <= 0) continue;
        const auto held = static_cast<std::int64_t>(frames.bytes_.size());
        if (held == FirstFrames::kMaxHeldBytes) break;
        const std::int64_t length =
            std::min({chunk->presentSize, FirstFrames::kMaxBytes - budget.bytes,
                      FirstFrames::kMaxHeldBytes - held});
        std::optional<std::span<const std::uint8_t>> bytes = reader.view(chunk->dataAt, length);
        if (!bytes) {
            data.resize(static_cast<std::size_t>(length));
            reader.read(chunk->dataAt, data);
            bytes = data;
        }
        Kept k{stream, frames.bytes_.size(), 0};
        if (readPart[stream]) {
            bitstream::appendReadPart(*bytes, frames.bytes_);
        } else {
            frames.bytes_.insert(frames.bytes_.end(), bytes->begin(), bytes->end());
        }
        k.length = frames.bytes_.size() - k.at;
        kept.push_back(k);
        frames.offsets_[stream].push_back(chunk->dataAt);
        frames.lengths_[stream].push_back(length);
        ++budget.chunks;
        budget.bytes += length;
        if (budget.full()) --open;
    }
    reader.readBlocksOf(ChunkReader::kHeaderBlock);

    for (const Kept& k : kept) {
        frames.prefixes_[k.stream].chunks.push_back(
            std::span<const std::uint8_t>(frames.bytes_).subspan(k.at, k.length));
    }
    return frames;
}

}  // namespace strovanik::container
