// Which sound a stream holds: PCM by its format record, the framed formats by their sync words
// in the first chunks, AAC without frame headers by the configuration after the format record.
#include <algorithm>
#include <array>
#include <vector>

#include "bitstream/aac.h"
#include "bitstream/ac3.h"
#include "bitstream/dts.h"
#include "bitstream/mpeg_audio.h"
#include "bitstream/pcm.h"
#include "bitstream/sound_frames.h"
#include "bitstream/stream_identity.h"
#include "bitstream/wave_format.h"

namespace strovanik::bitstream {

namespace {

// However many chunks the caller hands over, no more than this is looked at.
constexpr std::size_t kMaxSoundBytes = std::size_t{1} << 20;

// A stream's frames start in its first chunk, after a few bytes of a cut frame at most; a run
// that starts only after this is no start of the stream, and searching no further keeps coded
// sound without sync words (AAC) cheap.
constexpr std::size_t kSyncSearchBytes = 64 * 1024;

// Tags under which writers store AAC with its AudioSpecificConfig after the record.
constexpr std::array<std::uint16_t, 5> kAacTags{0x00FF, 0x1601, 0x4143, 0x706D, 0xA106};

// A framed format: whether a confirmed run of its frames starts at the front of the bytes, and
// its identity from there.
struct FramedFormat {
    bool (*startsHere)(std::span<const std::uint8_t>);
    std::optional<StreamIdentity> (*identify)(std::span<const std::uint8_t>);
};

constexpr std::array<FramedFormat, 4> kFramedFormats{{
    {[](std::span<const std::uint8_t> b) { return runStartsHere(b, readMpegAudioFrameHeader); },
     identifyMpegAudio},
    {[](std::span<const std::uint8_t> b) { return runStartsHere(b, readAc3FrameHeader); },
     identifyAc3},
    {[](std::span<const std::uint8_t> b) { return runStartsHere(b, readDtsFrameHeader); },
     identifyDts},
    {[](std::span<const std::uint8_t> b) { return runStartsHere(b, readAdtsHeader); },
     identifyAdts},
}};

// The framed format whose confirmed run starts first; frames may straddle the chunks, which is
// why the chunks are put end to end first. The run is looked for near the front, and walked
// through all the bytes.
std::optional<StreamIdentity> identifyFramed(std::span<const std::uint8_t> bytes) {
    for (std::size_t at = 0; at < std::min(bytes.size(), kSyncSearchBytes); ++at) {
        // Every sync word begins with one of these bytes; the rest are passed over quickly.
        const std::uint8_t b = bytes[at];
        if (b != 0xFF && b != 0x0B && b != 0x7F && b != 0xFE) continue;
        for (const FramedFormat& format : kFramedFormats) {
            if (format.startsHere(bytes.subspan(at))) return format.identify(bytes.subspan(at));
        }
    }
    return std::nullopt;
}

}  // namespace

bool soundFramesNeeded(std::span<const std::uint8_t> formatBlock) {
    const std::optional<WaveFormat> format = readWaveFormat(formatBlock);
    return !format || !identifyPcm(*format);
}

std::optional<StreamIdentity> identifyAudio(const StreamPrefix& prefix,
                                            std::span<const std::uint8_t> formatBlock) {
    const std::optional<WaveFormat> format = readWaveFormat(formatBlock);
    if (format) {
        if (auto pcm = identifyPcm(*format)) return pcm;
    }

    std::size_t total = 0;
    for (const auto& chunk : prefix.chunks) total += chunk.size();
    std::vector<std::uint8_t> bytes;
    bytes.reserve(std::min(total, kMaxSoundBytes));
    for (const auto& chunk : prefix.chunks) {
        const std::size_t room = kMaxSoundBytes - bytes.size();
        bytes.insert(bytes.end(), chunk.begin(),
                     chunk.begin() + static_cast<std::ptrdiff_t>(std::min(room, chunk.size())));
        if (bytes.size() == kMaxSoundBytes) break;
    }
    if (auto framed = identifyFramed(bytes)) return framed;

    const std::optional<std::uint16_t> tag = format ? format->codingTag() : std::nullopt;
    if (tag && std::find(kAacTags.begin(), kAacTags.end(), *tag) != kAacTags.end()) {
        if (const auto config = readAudioSpecificConfig(format->extra))
            return identifyAacConfig(*config);
    }
    return std::nullopt;
}

}  // namespace strovanik::bitstream
