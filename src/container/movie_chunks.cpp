#include "container/movie_chunks.h"

#include <algorithm>

namespace strovanik::container {

MovieChunks::MovieChunks(ChunkReader& reader, std::span<const MovieList> lists)
    : reader_(reader), lists_(lists) {}

void MovieChunks::leaveList(WalkTrouble trouble, std::int64_t at) {
    levels_.clear();
    if (trouble == WalkTrouble::None || trouble_ != WalkTrouble::None) return;
    trouble_ = trouble;
    troubleAt_ =
        trouble == WalkTrouble::StepLimit && reader_.exhausted() ? reader_.exhaustedAt() : at;
}

bool MovieChunks::resume(WalkTrouble trouble, std::int64_t at) {
    if (resync_ == nullptr || trouble == WalkTrouble::StepLimit) return false;
    const std::int64_t end = levels_.front().end;
    const auto found = resync_->resumeAfter(at, end);
    if (!found || *found <= at) return false;
    if (trouble_ == WalkTrouble::None) {
        trouble_ = trouble;
        troubleAt_ = at;
    }
    levels_.resize(1);
    at_ = *found;
    return true;
}

std::optional<MovieChunk> MovieChunks::next() {
    for (;;) {
        if (levels_.empty()) {
            if (nextList_ == lists_.size() || reader_.exhausted()) return std::nullopt;
            const MovieList& list = lists_[nextList_++];
            levels_.push_back({list.declaredEnd, list.declaredEnd});
            at_ = list.dataStart;
        }
        const NextChunk found = reader_.nextChunk(at_, levels_.back().end);
        if (!found.chunk) {
            if (found.trouble != WalkTrouble::None) {
                if (!resume(found.trouble, found.at)) leaveList(found.trouble, found.at);
            } else {
                // The end of a list: the one around it goes on after it.
                at_ = levels_.back().after;
                levels_.pop_back();
            }
            continue;
        }
        const ChunkHeader& chunk = *found.chunk;
        at_ = chunk.after();
        if (const auto type = reader_.listType(chunk)) {
            if (*type != fourCc("REC ")) continue;
            if (static_cast<std::int64_t>(levels_.size()) > reader_.limits().maxListDepth) {
                leaveList(WalkTrouble::StepLimit, chunk.at);
                continue;
            }
            levels_.push_back({chunk.dataAt() + chunk.size, chunk.after()});
            at_ = chunk.dataAt() + 4;
            continue;
        }
        if (resync_ != nullptr && !resync_->accepts(chunk, levels_.front().end)) {
            if (!resume(WalkTrouble::NoChunkHere, chunk.at)) {
                leaveList(WalkTrouble::NoChunkHere, chunk.at);
            }
            continue;
        }
        MovieChunk out;
        out.id = chunk.id;
        out.stream = streamNumberOf(chunk.id);
        out.dataAt = chunk.dataAt();
        out.size = chunk.size;
        out.presentSize =
            std::clamp<std::int64_t>(reader_.fileSize() - chunk.dataAt(), 0, chunk.size);
        return out;
    }
}

}  // namespace strovanik::container
