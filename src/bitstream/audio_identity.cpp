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
#include "bitstream/read_spans.h"
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

// The header of every frame that the walk of a format's frames meets.
template <class Frame>
std::vector<ByteRange> frameHeaderRanges(
    std::span<const std::uint8_t> bytes,
    std::optional<Frame> (*read)(std::span<const std::uint8_t>)) {
    std::vector<ByteRange> ranges;
    for (const auto& f : walkFrames<Frame>(bytes, read)) {
        ranges.push_back({f.offset, std::min(Frame::kHeaderBytes, bytes.size() - f.offset),
                          SpanKind::FrameHeader});
    }
    return ranges;
}

// A framed format: whether a confirmed run of its frames starts at the front of the bytes, its
// identity from there, and what that identity reads.
struct FramedFormat {
    bool (*startsHere)(std::span<const std::uint8_t>);
    std::optional<StreamIdentity> (*identify)(std::span<const std::uint8_t>);
    std::vector<ByteRange> (*readRanges)(std::span<const std::uint8_t>);
};

constexpr std::array<FramedFormat, 4> kFramedFormats{{
    {[](std::span<const std::uint8_t> b) { return runStartsHere(b, readMpegAudioFrameHeader); },
     identifyMpegAudio, mpegAudioReadRanges},
    {[](std::span<const std::uint8_t> b) { return runStartsHere(b, readAc3FrameHeader); },
     identifyAc3,
     [](std::span<const std::uint8_t> b) { return frameHeaderRanges(b, readAc3FrameHeader); }},
    {[](std::span<const std::uint8_t> b) { return runStartsHere(b, readDtsFrameHeader); },
     identifyDts,
     [](std::span<const std::uint8_t> b) { return frameHeaderRanges(b, readDtsFrameHeader); }},
    {[](std::span<const std::uint8_t> b) { return runStartsHere(b, readAdtsHeader); }, identifyAdts,
     [](std::span<const std::uint8_t> b) { return frameHeaderRanges(b, readAdtsHeader); }},
}};

struct FramedRun {
    const FramedFormat* format = nullptr;
    std::size_t at = 0;
};

// The framed format whose confirmed run starts first; frames may straddle the chunks, which is
// why the chunks are put end to end first. The run is looked for near the front, and walked
// through all the bytes.
std::optional<FramedRun> findFramed(std::span<const std::uint8_t> bytes) {
    for (std::size_t at = 0; at < std::min(bytes.size(), kSyncSearchBytes); ++at) {
        // Every sync word begins with one of these bytes; the rest are passed over quickly.
        const std::uint8_t b = bytes[at];
        if (b != 0xFF && b != 0x0B && b != 0x7F && b != 0xFE) continue;
        for (const FramedFormat& format : kFramedFormats) {
            if (format.startsHere(bytes.subspan(at))) return FramedRun{&format, at};
        }
    }
    return std::nullopt;
}

// The chunks end to end, up to kMaxSoundBytes.
std::vector<std::uint8_t> endToEnd(const StreamPrefix& prefix) {
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
    return bytes;
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

    const std::vector<std::uint8_t> bytes = endToEnd(prefix);
    if (const auto run = findFramed(bytes))
        return run->format->identify(std::span(bytes).subspan(run->at));

    const std::optional<std::uint16_t> tag = format ? format->codingTag() : std::nullopt;
    if (tag && std::find(kAacTags.begin(), kAacTags.end(), *tag) != kAacTags.end()) {
        if (const auto config = readAudioSpecificConfig(format->extra))
            return identifyAacConfig(*config);
    }
    return std::nullopt;
}

std::vector<ReadSpan> soundReadSpans(const StreamPrefix& prefix,
                                     std::span<const std::uint8_t> formatBlock) {
    if (!soundFramesNeeded(formatBlock)) return {};
    const std::vector<std::uint8_t> bytes = endToEnd(prefix);
    const auto run = findFramed(bytes);
    if (!run) return {};
    // The ranges, found in the bytes from the run on, cut at the chunks' edges.
    std::vector<ReadSpan> spans;
    std::size_t chunk = 0;
    std::size_t chunkAt = 0;  // where that chunk starts in the bytes
    for (ByteRange range : run->format->readRanges(std::span(bytes).subspan(run->at))) {
        range.offset += run->at;
        // A range may overlap the one before it (LAME's name runs on over a frame header),
        // whose bytes are listed already.
        if (range.offset < chunkAt) {
            const std::size_t listed = std::min(range.length, chunkAt - range.offset);
            range.offset += listed;
            range.length -= listed;
        }
        while (range.length > 0 && chunk < prefix.chunks.size()) {
            const std::size_t chunkEnd = chunkAt + prefix.chunks[chunk].size();
            if (range.offset >= chunkEnd) {
                chunkAt = chunkEnd;
                ++chunk;
                continue;
            }
            const std::size_t length = std::min(range.length, chunkEnd - range.offset);
            spans.push_back({chunk, range.offset - chunkAt, length, range.kind});
            range.offset += length;
            range.length -= length;
        }
    }
    return spans;
}

}  // namespace strovanik::bitstream
