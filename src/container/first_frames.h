#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

#include "bitstream/stream_identity.h"
#include "container/chunk_reader.h"
#include "container/riff_walk.h"

// The first chunks of each video and sound stream, read after the walk through the same
// reader, for the bitstream parsers to tell what the streams hold. Only a bounded prefix is
// read: the parsers need a few frames, and every face of the inspection pays for them. Of a
// video chunk only what the parsers read is kept (its units' headers, not its pictures), so
// that what is held stays small however large the pictures.
namespace strovanik::container {

class FirstFrames {
public:
    // What one stream's prefix may hold, whatever the file holds.
    static constexpr std::size_t kMaxChunks = 64;
    static constexpr std::int64_t kMaxBytes = 1024 * 1024;
    // What all the prefixes hold together: the bytes of four streams at kMaxBytes, where a file
    // may have a hundred streams.
    static constexpr std::int64_t kMaxHeldBytes = 4 * kMaxBytes;
    // The chunk headers looked at in all: enough for 64 chunks of each stream where sound is
    // interleaved once a second with video of up to 60 frames a second, and a stop before a
    // stream with few chunks (or none, where the movie list holds one stream only) makes the
    // reader walk the whole of a large file.
    static constexpr std::int64_t kMaxHeaders = 4096;
    // Chunk headers are read with the kReadPiece bytes after them, which hold the data of the
    // chunks that follow; a larger chunk is read alone.
    static constexpr std::int64_t kReadPiece = 32 * 1024;

    // How a video chunk is held: as much of it as bitstream::appendReadPart keeps, or whole,
    // for a caller that must know where in the chunk each byte the parsers read lies.
    enum class VideoChunks { ReadPart, Whole };

    FirstFrames() = default;
    FirstFrames(const FirstFrames&) = delete;
    FirstFrames& operator=(const FirstFrames&) = delete;
    FirstFrames(FirstFrames&&) = default;
    FirstFrames& operator=(FirstFrames&&) = default;

    // The prefix of stream `stream` of the walk, in file order; empty for a stream that is
    // neither video nor sound, for PCM sound (its format record says all), or for a stream
    // with no chunk inside the file. A sound chunk is held as the
    // file has it, a video chunk as readFirstFrames was asked to hold it.
    const bitstream::StreamPrefix& prefix(std::size_t stream) const;
    // Where in the file each chunk of the prefix starts, chunk by chunk.
    std::span<const std::int64_t> offsets(std::size_t stream) const;
    // How many bytes of each chunk were read there, chunk by chunk.
    std::span<const std::int64_t> lengths(std::size_t stream) const;

    std::int64_t headersSeen() const { return headersSeen_; }

private:
    friend FirstFrames readFirstFrames(ChunkReader& reader, const RiffWalk& walk,
                                       FirstFrames::VideoChunks video);

    std::vector<std::uint8_t> bytes_;  // the prefixes' views point into it
    std::vector<bitstream::StreamPrefix> prefixes_;
    std::vector<std::vector<std::int64_t>> offsets_;
    std::vector<std::vector<std::int64_t>> lengths_;
    std::int64_t headersSeen_ = 0;
};

// Takes the first chunks of the walk's video and sound streams from its movie lists, in file
// order, reading only data that lies inside the file, and stops as soon as each of those
// streams has kMaxChunks chunks or kMaxBytes bytes, or kMaxHeaders headers were looked at, or
// kMaxHeldBytes are held, or the movie lists cannot be followed. A chunk that would take a
// stream past kMaxBytes, or all past kMaxHeldBytes, is cut there. What is held besides the
// prefixes is one block of kReadPiece bytes and one chunk. Throws ReadError when the source
// fails.
FirstFrames readFirstFrames(ChunkReader& reader, const RiffWalk& walk,
                            FirstFrames::VideoChunks video = FirstFrames::VideoChunks::ReadPart);

}  // namespace strovanik::container
