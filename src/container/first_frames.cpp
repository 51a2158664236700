#include "container/first_frames.h"

#include <algorithm>

namespace strovanik::container {

namespace {

// A stream's chunk to be read: where its data starts and how much of it is taken.
struct Placement {
    std::size_t stream = 0;
    std::int64_t at = 0;
    std::int64_t length = 0;
};

struct Budget {
    std::size_t chunks = 0;
    std::int64_t bytes = 0;
    bool wanted = false;

    bool full() const {
        return !wanted || chunks == FirstFrames::kMaxChunks || bytes == FirstFrames::kMaxBytes;
    }
};

// Where the chunks lie, from their headers alone: no data is read yet.
std::vector<Placement> placeChunks(ChunkReader& reader, const RiffWalk& walk,
                                   std::int64_t& headersSeen) {
    std::vector<Budget> budgets(walk.streams.size());
    std::size_t open = 0;
    for (std::size_t i = 0; i < walk.streams.size(); ++i) {
        const AviStreamRecord& r = walk.streams[i].record;
        budgets[i].wanted = isVideoStream(r) || isSoundStream(r);
        if (budgets[i].wanted) ++open;
    }
    std::vector<Placement> placements;
    MovieChunks chunks(reader, walk.movieLists);
    while (open > 0 && headersSeen < FirstFrames::kMaxHeaders) {
        const auto chunk = chunks.next();
        if (!chunk || chunks.trouble() != WalkTrouble::None) break;
        ++headersSeen;
        if (!chunk->stream || static_cast<std::size_t>(*chunk->stream) >= budgets.size()) {
            continue;
        }
        const auto stream = static_cast<std::size_t>(*chunk->stream);
        Budget& budget = budgets[stream];
        if (budget.full() || chunk->presentSize <= 0) continue;
        const std::int64_t length =
            std::min(chunk->presentSize, FirstFrames::kMaxBytes - budget.bytes);
        placements.push_back({stream, chunk->dataAt, length});
        ++budget.chunks;
        budget.bytes += length;
        if (budget.full()) --open;
    }
    return placements;
}

}  // namespace

const bitstream::StreamPrefix& FirstFrames::prefix(std::size_t stream) const {
    static const bitstream::StreamPrefix kNone;
    return stream < prefixes_.size() ? prefixes_[stream] : kNone;
}

std::span<const std::int64_t> FirstFrames::offsets(std::size_t stream) const {
    if (stream >= offsets_.size()) return {};
    return offsets_[stream];
}

FirstFrames readFirstFrames(ChunkReader& reader, const RiffWalk& walk) {
    FirstFrames frames;
    frames.prefixes_.resize(walk.streams.size());
    frames.offsets_.resize(walk.streams.size());
    const std::vector<Placement> placements = placeChunks(reader, walk, frames.headersSeen_);
    if (placements.empty()) return frames;

    // Runs of chunks close together, each read in one piece: a typical file's first frames
    // lie side by side, so a few reads take them all.
    struct Run {
        std::int64_t at = 0;
        std::int64_t end = 0;
        std::size_t bufferAt = 0;
    };
    std::vector<Run> runs;
    std::vector<std::size_t> runOf(placements.size());
    std::size_t total = 0;
    for (std::size_t i = 0; i < placements.size(); ++i) {
        const Placement& p = placements[i];
        if (runs.empty() || p.at < runs.back().end ||
            p.at - runs.back().end > FirstFrames::kJoinGap) {
            if (!runs.empty()) total += static_cast<std::size_t>(runs.back().end - runs.back().at);
            runs.push_back({p.at, p.at + p.length, total});
        } else {
            runs.back().end = std::max(runs.back().end, p.at + p.length);
        }
        runOf[i] = runs.size() - 1;
    }
    total += static_cast<std::size_t>(runs.back().end - runs.back().at);

    frames.bytes_.resize(total);
    for (const Run& run : runs) {
        reader.read(run.at, std::span(frames.bytes_)
                                .subspan(run.bufferAt, static_cast<std::size_t>(run.end - run.at)));
    }
    for (std::size_t i = 0; i < placements.size(); ++i) {
        const Placement& p = placements[i];
        const Run& run = runs[runOf[i]];
        const std::size_t at = run.bufferAt + static_cast<std::size_t>(p.at - run.at);
        frames.prefixes_[p.stream].chunks.push_back(
            std::span<const std::uint8_t>(frames.bytes_)
                .subspan(at, static_cast<std::size_t>(p.length)));
        frames.offsets_[p.stream].push_back(p.at);
    }
    return frames;
}

}  // namespace strovanik::container
