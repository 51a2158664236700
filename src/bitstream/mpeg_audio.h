#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "bitstream/read_spans.h"
#include "bitstream/stream_identity.h"

// MPEG audio, layers 1 to 3, of MPEG-1, MPEG-2 and the unofficial MPEG-2.5.
namespace strovanik::bitstream {

struct MpegAudioFrame {
    static constexpr std::size_t kHeaderBytes = 4;  // without the CRC

    int version = 1;  // 1 (MPEG-1), 2 (MPEG-2), 25 (MPEG-2.5)
    int layer = 3;
    bool crc = false;
    int bitrateKbps = 0;
    int sampleRate = 0;
    bool padding = false;
    int mode = 0;  // 0 stereo, 1 joint stereo, 2 dual channel, 3 mono
    int frameBytes = 0;

    int channels() const { return mode == 3 ? 1 : 2; }
    // Frames of one stream share version, layer and sample rate; the rate, padding and mode
    // may change from frame to frame.
    static bool sameStream(const MpegAudioFrame& a, const MpegAudioFrame& b) {
        return a.version == b.version && a.layer == b.layer && a.sampleRate == b.sampleRate;
    }
};

// The 4-byte frame header. Nothing for what no frame has (reserved version, layer, rate or
// emphasis) and for the free-format rate, whose frames say nothing of their length.
std::optional<MpegAudioFrame> readMpegAudioFrameHeader(std::span<const std::uint8_t> bytes);

// The encoder's tag that LAME (and writers that copy its layout) put after a Xing header.
struct LameTag {
    std::string encoderText;  // "LAME3.100", as written, without the padding
    int method = 0;           // 1 CBR, 2 ABR, 3-6 VBR, 8 CBR in two passes, 9 ABR in two passes
};

// A first frame that carries no sound but figures of the whole stream: Xing's (or "Info",
// which LAME writes at a constant rate) or Fraunhofer's VBRI.
struct VbrHeader {
    enum class Kind { Xing, Info, Vbri } kind = Kind::Xing;
    std::optional<std::uint32_t> frames;
    std::optional<LameTag> lame;
};

// The Xing or VBRI header of the frame `frame`, whose header is `header`.
std::optional<VbrHeader> readVbrHeader(std::span<const std::uint8_t> frame,
                                       const MpegAudioFrame& header);

// The stream's identity from its first chunks, put end to end.
std::optional<StreamIdentity> identifyMpegAudio(std::span<const std::uint8_t> bytes);

// What identifyMpegAudio reads of the same bytes: every frame header it walks, the first
// frame when it is a Xing or VBRI frame (up to kMaxEncoderTagBytes), and LAME's name where it
// is looked for in the frames.
std::vector<ByteRange> mpegAudioReadRanges(std::span<const std::uint8_t> bytes);

}  // namespace strovanik::bitstream
