#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

#include "bitstream/stream_identity.h"

// Which bytes of a stream's first chunks the identity reads. A structure sample keeps them, so
// that the inspection of the sample says what the inspection of the file says, while the rest
// of each chunk (the pictures and the sound) is dropped.
namespace strovanik::bitstream {

enum class SpanKind {
    UnitCode,     // the byte after a start code, which names the unit
    FrameHeader,  // a sound frame's header, or a picture's header up to what the parsers read
    EncoderTag,   // an MPEG audio stream's Xing or VBRI frame (no sound), LAME's name in a frame
};

// Bytes of one chunk of a StreamPrefix.
struct ReadSpan {
    std::size_t chunk = 0;
    std::size_t offset = 0;
    std::size_t length = 0;
    SpanKind kind = SpanKind::FrameHeader;
};

// The same, in the chunks put end to end, as the sound parsers read them.
struct ByteRange {
    std::size_t offset = 0;
    std::size_t length = 0;
    SpanKind kind = SpanKind::FrameHeader;
};

// The most of one picture's header listed: a VOP's header up to vop_coded, or a slice's
// first_mb_in_slice and slice_type, takes a few bytes.
inline constexpr std::size_t kMaxPictureHeaderBytes = 16;
// The most of an MPEG audio stream's Xing or VBRI frame listed: its fields and LAME's tag
// take fewer than 200 bytes.
inline constexpr std::size_t kMaxEncoderTagBytes = 1024;

// Of start-code video: the code byte of every start code, and of every picture the fewest bytes
// of its header from which the parsers read what they read from the whole picture. The units
// that configure the decoder are not listed: whoever keeps these keeps those whole. Nothing
// when the chunks are neither MPEG-4 Visual nor H.264. In the order of the chunks and offsets.
std::vector<ReadSpan> videoReadSpans(const StreamPrefix& prefix);

// Of framed sound (MPEG audio, AC-3, E-AC-3, DTS, AAC in ADTS): the header of every frame the
// parsers walk, and an MPEG audio stream's encoder tag. Nothing for sound known from its format
// record (PCM, AAC without frame headers) or not known at all. In the order of the chunks.
std::vector<ReadSpan> soundReadSpans(const StreamPrefix& prefix,
                                     std::span<const std::uint8_t> formatBlock);

}  // namespace strovanik::bitstream
