#include "fuzzing/video_bitstream_entry.h"

#include <algorithm>
#include <array>
#include <optional>
#include <span>
#include <string_view>
#include <vector>

#include "bitstream/start_code_scan.h"
#include "bitstream/stream_identity.h"

namespace strovanik::fuzzing {

namespace {

using bitstream::StreamIdentity;
using bitstream::StreamPrefix;

// As many chunks as the first-frames reader hands over.
constexpr std::size_t kMaxChunks = 64;
// The widest and highest picture either format can state: MPEG-4 Visual's 13-bit fields, and
// H.264's macroblocks as far as the parser takes them, doubled for field pictures.
constexpr int kMaxMpeg4Side = (1 << 13) - 1;
constexpr int kMaxH264Side = 1024 * 16 * 2;

class Checks {
public:
    void require(bool holds, std::string_view rule) {
        if (!holds && first_.empty()) first_ = std::string(rule);
    }
    std::string take() { return std::move(first_); }

private:
    std::string first_;
};

template <typename T>
bool within(const std::optional<T>& value, T low, T high) {
    return !value || (*value >= low && *value <= high);
}

bool printable(std::string_view text) {
    return std::all_of(text.begin(), text.end(), [](char c) {
        const auto b = static_cast<unsigned char>(c);
        return b >= 0x20 && b < 0x7F;
    });
}

// "Name@Llevel", or for MPEG-4 Visual without a sequence header, the object type's name alone.
bool wellFormedProfile(const StreamIdentity& id) {
    if (!id.profile) return true;
    const std::string& p = *id.profile;
    const auto at = p.find("@L");
    if (at == std::string::npos) return id.format == "mpeg4-visual" && !p.empty() && printable(p);
    return at > 0 && at + 2 < p.size() && printable(p);
}

void checkIdentity(const StreamIdentity& id, std::size_t inputBytes, Checks& checks) {
    const bool mpeg4 = id.format == "mpeg4-visual";
    const bool h264 = id.format == "h264";
    checks.require(mpeg4 || h264, "a format that is neither");
    checks.require(wellFormedProfile(id), "a profile not in Profile@Level form");
    // Every frame read stands on a start code of four bytes at least.
    checks.require(id.framesRead >= 0 && static_cast<std::size_t>(id.framesRead) <= inputBytes / 4,
                   "more frames than start codes could hold");
    checks.require(!id.bFrames || (*id.bFrames >= 0 && *id.bFrames <= id.framesRead),
                   "a run of B-frames longer than the frames read");
    if (id.encoder) {
        const std::string_view name = id.encoder->name;
        checks.require(name == "Xvid" || name == "DivX" || name == "libavcodec" || name == "x264",
                       "an encoder of no known name");
        checks.require((name == "x264") == h264, "an encoder of the other format");
        checks.require(!id.encoder->version.empty() && printable(id.encoder->version),
                       "an empty or unprintable encoder version");
        checks.require(!id.encoder->text.empty() && printable(id.encoder->text),
                       "an empty or unprintable encoder string");
    }
    const int maxSide = mpeg4 ? kMaxMpeg4Side : kMaxH264Side;
    checks.require(within(id.width, 0, maxSide) && within(id.height, 0, maxSide),
                   "a picture size out of its field's range");
    checks.require(within(id.gmcWarpPoints, 0, 63), "more warping points than six bits hold");
    checks.require(within(id.refFrames, 0, 16), "more reference frames than H.264 allows");
    checks.require(within(id.bitDepth, 8, 14), "a bit depth H.264 does not have");
    checks.require(!id.chromaFormat || *id.chromaFormat == "4:0:0" || *id.chromaFormat == "4:2:0" ||
                       *id.chromaFormat == "4:2:2" || *id.chromaFormat == "4:4:4",
                   "a chroma format H.264 does not have");
    // Each format fills only its own fields, and a video stream no sound field.
    checks.require(!mpeg4 || (!id.cabac && !id.refFrames && !id.settings && !id.bitDepth),
                   "an H.264 field in MPEG-4 Visual");
    checks.require(!h264 || (!id.packedBitstream && !id.quarterPel && !id.gmcWarpPoints &&
                             !id.mpegQuantisation),
                   "an MPEG-4 Visual field in H.264");
    checks.require(!id.bitrateMode && !id.bitrateBasis && !id.bitrateKbps && !id.channels &&
                       !id.channelLayout && !id.sampleRate && !id.bitsPerSample && !id.channelMask,
                   "a sound field in a video stream");
}

}  // namespace

std::string identifyVideoBytes(const std::uint8_t* data, std::size_t size) {
    std::vector<std::vector<std::uint8_t>> chunks;
    std::size_t at = 0;
    while (size - at >= 4 && chunks.size() < kMaxChunks) {
        const std::size_t claimed = std::size_t{data[at]} | std::size_t{data[at + 1]} << 8 |
                                    std::size_t{data[at + 2]} << 16 |
                                    std::size_t{data[at + 3]} << 24;
        at += 4;
        const std::size_t length = std::min(claimed, size - at);
        chunks.emplace_back(data + at, data + at + length);
        at += length;
    }
    StreamPrefix whole;
    for (const auto& chunk : chunks) whole.chunks.emplace_back(chunk);

    Checks checks;
    const auto identity = bitstream::identifyVideo(whole);
    // What the first-frames reader keeps of each chunk gives the same answer as the chunks.
    std::vector<std::vector<std::uint8_t>> parts(chunks.size());
    StreamPrefix kept;
    for (std::size_t i = 0; i < chunks.size(); ++i) {
        bitstream::appendReadPart(chunks[i], parts[i]);
        kept.chunks.emplace_back(parts[i]);
    }
    checks.require(bitstream::identifyVideo(kept) == identity,
                   "what is kept of the chunks is identified otherwise");
    if (!identity) return checks.take();
    checkIdentity(*identity, size, checks);

    // Fewer chunks never hold more frames: the stream's first chunks without its last one.
    if (!whole.chunks.empty()) {
        StreamPrefix shorter = whole;
        shorter.chunks.pop_back();
        const auto part = bitstream::identifyVideo(shorter);
        if (part && part->format == identity->format) {
            checks.require(part->framesRead <= identity->framesRead,
                           "more frames read from fewer chunks");
        }
    }
    // The same bytes give the same answer.
    const auto again = bitstream::identifyVideo(whole);
    checks.require(again && again->format == identity->format &&
                       again->profile == identity->profile && again->encoder == identity->encoder &&
                       again->framesRead == identity->framesRead,
                   "a second reading of the same bytes differs");
    return checks.take();
}

}  // namespace strovanik::fuzzing
