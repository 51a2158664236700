#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <span>

#include "container/byte_source.h"

// A structure sample of an AVI file: a file of the same length that holds every byte of its
// structure (headers, lists, indexes, JUNK, INFO, the chunk headers of the movie data) and
// none of its pictures and sound. The data of every movie chunk is zero, but for the start
// codes and configuration units of start-code video (H.264, MPEG-4 visual), which tools need
// to name the codec and hold no picture, and, of each video and sound stream's first chunks,
// the frame and picture headers that the inspection reads to tell what the stream holds (at
// most kMaxHeaderBytes or 1/kHeaderShare of a chunk, and kMaxEncoderTagBytes a stream).
namespace strovanik::container {

// Where the sample's bytes go. Only bytes that are not zero are handed over, in order of their
// offsets: whatever is not written is zero (a hole, where the file system has them).
class SampleSink {
public:
    virtual ~SampleSink() = default;
    virtual void write(std::int64_t offset, std::span<const std::uint8_t> bytes) = 0;
};

// What a first chunk keeps beyond start codes and configuration units: this many bytes, or
// this share of the chunk where that is more.
inline constexpr std::int64_t kMaxHeaderBytes = 16;
inline constexpr std::int64_t kHeaderShare = 50;  // 2%

struct SampleOutcome {
    std::int64_t length = 0;         // the sample's length: the file's
    std::int64_t movieChunks = 0;    // movie chunks whose data was dropped
    std::int64_t droppedBytes = 0;   // bytes of movie data made zero
    std::int64_t keptVideoBytes = 0; // start codes and configuration units kept
    std::int64_t keptHeaderBytes = 0;  // frame headers and encoder tags of the first chunks
    // Where the walk lost its way: from there on the file is kept as it is, content and all.
    std::optional<std::int64_t> keptAsItIsFrom;
};

// Writes the structure sample of `source` to `sink`. Throws ReadError when the source fails.
SampleOutcome writeStructureSample(ByteSource& source, SampleSink& sink);

// Writes the structure sample of `source` as the whole file at `utf8Path`, through a temporary
// file renamed into place (see replaceFileWith), the dropped data left as holes. Returns false,
// with a few English words in `problem`, when the file cannot be written. Throws ReadError when
// the source fails; the temporary file is then gone.
bool replaceFileWithStructureSample(std::string_view utf8Path, ByteSource& source,
                                    SampleOutcome& outcome, std::string& problem);

}  // namespace strovanik::container
