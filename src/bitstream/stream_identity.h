#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

// What a stream's first frames say it holds, read from its own bytes: the start codes, sync
// words and the format block decide, never the handler code or format tag, which are exactly
// what a writer may have got wrong. Nothing here reads a file: the caller hands over the first
// chunks of one stream.
namespace strovanik::bitstream {

// The first chunks of one stream, in file order, one view per chunk. Whoever reads them keeps
// them to a bounded number and size (the first-frames reader: 64 chunks, 1 MiB a stream).
struct StreamPrefix {
    std::vector<std::span<const std::uint8_t>> chunks;
};

// The program that wrote a stream, as the stream itself names it.
struct EncoderName {
    std::string name;     // "Xvid", "DivX", "libavcodec", "x264", "LAME"
    std::string version;  // as written: "63", "5.0.3 build 1393", "59.37.100", "core 160 r3011"
    std::string text;     // the string as the stream holds it

    bool operator==(const EncoderName&) const = default;
};

enum class BitrateMode { Constant, Variable };

// Each field is filled by the parser that knows it and stays empty where the stream does not
// say; a field of the other kind of stream (a sound field of a video stream) always stays empty.
struct StreamIdentity {
    // Video: "mpeg4-visual", "h264". Sound: "mp1", "mp2", "mp3", "ac3", "eac3", "dts", "aac", "pcm".
    std::string format;
    // Profile@Level for video ("Advanced Simple@L5", "High@L3.1"); for sound the format's own
    // name of what it is ("MPEG-1 Layer 3", "AAC LC", "HE-AAC").
    std::optional<std::string> profile;
    std::optional<EncoderName> encoder;
    int framesRead = 0;  // frames (video pictures, sound frames) whose headers were read

    // Video
    std::optional<std::string> settings;  // the encoder's options text (x264's)
    std::optional<int> bFrames;           // the longest run of B-frames among the frames read
    std::optional<bool> packedBitstream;  // two frames in one chunk, then small placeholder chunks
    std::optional<bool> quarterPel;
    std::optional<int> gmcWarpPoints;     // sprite warping points of global motion compensation
    std::optional<bool> interlaced;
    std::optional<int> refFrames;
    std::optional<bool> cabac;
    std::optional<int> width;
    std::optional<int> height;
    // H.264: "4:2:0", "4:2:2", "4:4:4", "4:0:0", and the luma bits per sample; the profiles
    // before High have 4:2:0 at 8 bits only.
    std::optional<std::string> chromaFormat;
    std::optional<int> bitDepth;
    // MPEG-4 Visual: quantisation with MPEG's matrices rather than H.263's.
    std::optional<bool> mpegQuantisation;

    // Sound
    std::optional<BitrateMode> bitrateMode;
    std::optional<std::string> bitrateBasis;  // what the mode rests on: "frame headers", "Xing header", "VBRI header", "LAME tag"
    std::optional<double> bitrateKbps;        // from the frames (their mean where they vary)
    std::optional<int> channels;
    std::optional<std::string> channelLayout;  // "1.0", "2.0", "5.1", …
    std::optional<int> sampleRate;
    std::optional<int> bitsPerSample;          // PCM
    std::optional<std::uint32_t> channelMask;  // PCM in WAVE_FORMAT_EXTENSIBLE

    bool operator==(const StreamIdentity&) const = default;
};

// The video stream's identity, or nothing when its bytes are none of the formats known here.
std::optional<StreamIdentity> identifyVideo(const StreamPrefix& prefix);

// The sound stream's identity. formatBlock is the stream's whole format record as the file
// holds it (the format tag first): AAC's configuration and PCM's figures live there.
std::optional<StreamIdentity> identifyAudio(const StreamPrefix& prefix,
                                            std::span<const std::uint8_t> formatBlock);

// Whether identifyAudio reads the sound's frames at all: PCM is known from its format record
// alone, and its samples, a megabyte every few seconds, need not be read.
bool soundFramesNeeded(std::span<const std::uint8_t> formatBlock);

}  // namespace strovanik::bitstream
