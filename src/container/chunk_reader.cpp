#include "container/chunk_reader.h"

#include <algorithm>

#include "container/little_endian.h"

namespace strovanik::container {

namespace {

// After a jump over a large chunk a small read serves the next header, which is likely as far
// away again; headers close together share a read of a whole block.
constexpr std::int64_t kHeaderRead = 256;

// Chunks of unknown ids in a row that are followed to see whether they close their list.
constexpr int kUnknownRun = 16;

bool looksLikeChunkId(FourCc id) {
    return std::all_of(id.begin(), id.end(), [](std::uint8_t b) { return b >= 0x20 && b < 0x7F; });
}

bool isDigit(std::uint8_t b) { return b >= '0' && b <= '9'; }

}  // namespace

ChunkReader::ChunkReader(ByteSource& source, const WalkLimits& limits)
    : source_(source), limits_(limits), fileSize_(source.size()), held_(source.held()) {}

bool ChunkReader::read(std::int64_t offset, std::span<std::uint8_t> out) {
    const auto length = static_cast<std::int64_t>(out.size());
    // Subtracted from the end rather than added to the offset: no sum can overflow.
    const bool inside = offset >= 0 && length <= fileSize_ && offset <= fileSize_ - length;
    if (!inside) {
        std::fill(out.begin(), out.end(), std::uint8_t{0});
        if (offset >= 0 && offset < fileSize_) {
            bytesRead_ += fileSize_ - offset;
            readPadded(source_, offset, out);
        }
        return false;
    }
    if (held_) {
        // Data in memory needs no blocks: the bytes are taken from where they are.
        std::copy_n(held_->begin() + offset, out.size(), out.begin());
        bytesRead_ += length;
    } else if (length <= blockSize_) {
        readCached(offset, out);
    } else {
        readPadded(source_, offset, out);
        bytesRead_ += length;
    }
    return true;
}

std::optional<std::span<const std::uint8_t>> ChunkReader::view(std::int64_t offset,
                                                               std::int64_t length) {
    const bool inside = offset >= 0 && length >= 0 && length <= fileSize_ &&
                        offset <= fileSize_ - length;
    if (!held_ || !inside) return std::nullopt;
    bytesRead_ += length;
    return held_->subspan(static_cast<std::size_t>(offset), static_cast<std::size_t>(length));
}

// `offset` and the bytes after it lie inside the file.
void ChunkReader::readCached(std::int64_t offset, std::span<std::uint8_t> out) {
    const auto length = static_cast<std::int64_t>(out.size());
    if (offset < blockStart_ || length > blockStart_ + blockLength_ - offset) {
        const bool jumped = offset - (blockStart_ + blockLength_) > blockSize_;
        blockStart_ = offset;
        blockLength_ =
            std::min(std::max(length, jumped ? kHeaderRead : blockSize_), fileSize_ - offset);
        if (static_cast<std::int64_t>(block_.size()) < blockLength_) {
            block_.resize(static_cast<std::size_t>(blockLength_));
        }
        readPadded(source_, blockStart_,
                   std::span(block_.data(), static_cast<std::size_t>(blockLength_)));
        bytesRead_ += blockLength_;
    }
    std::copy_n(block_.data() + (offset - blockStart_), out.size(), out.begin());
}

void ChunkReader::readBlocksOf(std::int64_t length) { blockSize_ = std::max(length, kHeaderRead); }

bool ChunkReader::step(std::int64_t at) {
    if (exhausted_) return false;
    lastStepAt_ = at;
    exhausted_ = ++steps_ > limits_.maxSteps;
    return !exhausted_;
}

void ChunkReader::stop(std::int64_t at) {
    if (exhausted_) return;
    lastStepAt_ = at;
    exhausted_ = true;
}

bool ChunkReader::spendIndexEntries(std::int64_t count) {
    indexEntries_ += count;
    if (indexEntries_ > limits_.maxIndexEntries) exhausted_ = true;
    return !exhausted_;
}

NextChunk ChunkReader::nextChunk(std::int64_t at, std::int64_t end) {
    NextChunk next;
    next.at = at;
    if (at >= end || end - at < 8) return next;
    if (!step(at)) {
        next.trouble = WalkTrouble::StepLimit;
        return next;
    }
    std::array<std::uint8_t, 8> bytes{};
    if (!read(at, bytes)) {
        endsInsideChunk_ = true;
        return next;
    }
    ChunkHeader chunk;
    chunk.id = {bytes[0], bytes[1], bytes[2], bytes[3]};
    chunk.at = at;
    chunk.size = static_cast<std::uint32_t>(readInt32(std::span(bytes).subspan<4, 4>()));
    if (!looksLikeChunkId(chunk.id)) {
        if (chunk.size > end - chunk.dataAt() || !chainCloses(chunk.after(), end)) {
            next.trouble = WalkTrouble::NoChunkHere;
            return next;
        }
        ++unknownChunks_;
    }
    if (chunk.size > end - chunk.dataAt()) {
        next.trouble = WalkTrouble::SizeConflict;
        return next;
    }
    if (!wholeInFile(chunk)) endsInsideChunk_ = true;
    next.chunk = chunk;
    return next;
}

// Whether the chunks from `at` on end where the list does (its pad byte may lie past it), or
// lead, through a few more chunks of ids that are no text, to one whose id is text, all of them
// of sizes that fit. Each header looked at is a step.
bool ChunkReader::chainCloses(std::int64_t at, std::int64_t end) {
    for (int run = 0; run < kUnknownRun; ++run) {
        if (end - at < 8) return at - end <= 1;
        std::array<std::uint8_t, 8> bytes{};
        if (!step(at) || !read(at, bytes)) return false;
        const std::int64_t size =
            static_cast<std::uint32_t>(readInt32(std::span(bytes).subspan<4, 4>()));
        if (size > end - (at + 8)) return false;
        if (looksLikeChunkId({bytes[0], bytes[1], bytes[2], bytes[3]})) return true;
        at += 8 + size + (size & 1);
    }
    return false;
}

std::optional<FourCc> ChunkReader::listType(const ChunkHeader& chunk) {
    if (upperCased(chunk.id) != fourCc("LIST") || chunk.size < 4) return std::nullopt;
    std::array<std::uint8_t, 4> type{};
    read(chunk.dataAt(), type);
    return upperCased(type);
}

std::optional<int> streamNumberOf(FourCc id) {
    if (!isDigit(id[0]) || !isDigit(id[1])) return std::nullopt;
    return (id[0] - '0') * 10 + (id[1] - '0');
}

}  // namespace strovanik::container
