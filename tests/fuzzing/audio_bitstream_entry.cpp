#include "fuzzing/audio_bitstream_entry.h"

#include <algorithm>
#include <cmath>
#include <set>
#include <span>
#include <string_view>
#include <vector>

#include "bitstream/stream_identity.h"

namespace strovanik::fuzzing {

namespace {

using bitstream::StreamIdentity;
using Bytes = std::vector<std::uint8_t>;

constexpr std::size_t kMaxChunks = 64;

struct Input {
    Bytes formatBlock;
    std::vector<Bytes> chunks;
};

Input split(std::span<const std::uint8_t> data) {
    Input input;
    bool first = true;
    for (std::size_t at = 0; at + 4 <= data.size() && input.chunks.size() < kMaxChunks;) {
        const std::size_t claimed = data[at] | data[at + 1] << 8 | data[at + 2] << 16 |
                                    static_cast<std::size_t>(data[at + 3]) << 24;
        at += 4;
        const std::size_t length = std::min(claimed, data.size() - at);
        Bytes record(data.begin() + static_cast<std::ptrdiff_t>(at),
                     data.begin() + static_cast<std::ptrdiff_t>(at + length));
        (first ? input.formatBlock : input.chunks.emplace_back()) = std::move(record);
        first = false;
        at += length;
    }
    return input;
}

std::optional<StreamIdentity> identify(const std::vector<Bytes>& chunks, const Bytes& formatBlock) {
    bitstream::StreamPrefix prefix;
    for (const Bytes& chunk : chunks) prefix.chunks.emplace_back(chunk);
    return bitstream::identifyAudio(prefix, formatBlock);
}

bool sameIdentity(const std::optional<StreamIdentity>& a, const std::optional<StreamIdentity>& b) {
    if (a.has_value() != b.has_value()) return false;
    if (!a) return true;
    return a->format == b->format && a->profile == b->profile && a->encoder == b->encoder &&
           a->framesRead == b->framesRead && a->bitrateMode == b->bitrateMode &&
           a->bitrateBasis == b->bitrateBasis && a->bitrateKbps == b->bitrateKbps &&
           a->channels == b->channels && a->channelLayout == b->channelLayout &&
           a->sampleRate == b->sampleRate && a->bitsPerSample == b->bitsPerSample &&
           a->channelMask == b->channelMask;
}

// "5.1": full-range channels and low-frequency ones (at most two: "22.2"), adding up to the
// channels.
bool layoutFits(const std::string& layout, int channels) {
    const auto dot = layout.find('.');
    if (dot == std::string::npos || dot == 0 || dot + 2 != layout.size()) return false;
    int full = 0;
    for (std::size_t i = 0; i < dot; ++i) {
        if (layout[i] < '0' || layout[i] > '9') return false;
        full = full * 10 + (layout[i] - '0');
    }
    const int lfe = layout[dot + 1] - '0';
    return lfe >= 0 && lfe <= 2 && full + lfe == channels;
}

class Rules {
public:
    void require(bool holds, std::string_view rule) {
        if (!holds && broken_.empty()) broken_ = std::string(rule);
    }
    std::string take() { return std::move(broken_); }

private:
    std::string broken_;
};

void checkIdentity(const StreamIdentity& id, std::size_t bytes, Rules& rules) {
    static const std::set<std::string> kFormats{"mp1",  "mp2", "mp3", "ac3",
                                                "eac3", "dts", "aac", "pcm"};
    rules.require(kFormats.contains(id.format), "a format of no known name");
    rules.require(!id.settings && !id.bFrames && !id.packedBitstream && !id.quarterPel &&
                      !id.gmcWarpPoints && !id.interlaced && !id.refFrames && !id.cabac &&
                      !id.width && !id.height,
                  "a video field on a sound stream");
    rules.require(id.framesRead >= 0 && static_cast<std::size_t>(id.framesRead) <= bytes / 4,
                  "more frames than the bytes hold");
    rules.require(id.bitrateMode.has_value() == id.bitrateBasis.has_value(),
                  "a bit-rate mode without its basis, or the other way round");
    if (id.bitrateKbps) {
        rules.require(std::isfinite(*id.bitrateKbps) && *id.bitrateKbps >= 0,
                      "a bit rate that cannot be");
    }
    if (id.channelLayout) {
        rules.require(id.channels && layoutFits(*id.channelLayout, *id.channels),
                      "a layout that does not add up to the channels");
    }
    if (id.format == "pcm") return;  // the format record's claims, whatever they are
    rules.require(id.sampleRate && *id.sampleRate > 0, "a framed stream without its sample rate");
    // AAC's program config element places at most 45 elements of two channels and three LFE.
    rules.require(!id.channels || (*id.channels >= 1 && *id.channels <= 93),
                  "a channel count out of range");
    if (id.format == "mp1" || id.format == "mp2" || id.format == "mp3") {
        rules.require(id.framesRead >= 1 && id.channels && *id.channels <= 2,
                      "MPEG audio channels");
        rules.require(*id.sampleRate >= 8000 && *id.sampleRate <= 48000,
                      "an MPEG audio rate out of range");
        rules.require(id.bitrateKbps && *id.bitrateKbps >= 8 && *id.bitrateKbps <= 448,
                      "an MPEG audio bit rate out of range");
    }
    if (id.format == "ac3" || id.format == "eac3") {
        rules.require(id.channels && *id.channels <= 6, "AC-3 channels");
        rules.require(*id.sampleRate >= 8000 && *id.sampleRate <= 48000,
                      "an AC-3 rate out of range");
        rules.require(id.bitrateKbps && *id.bitrateKbps > 0 && *id.bitrateKbps <= 6144,
                      "an AC-3 bit rate out of range");
    }
    if (id.format == "dts") {
        rules.require(*id.sampleRate <= 48000, "a DTS rate out of range");
        rules.require(!id.channels || *id.channels <= 9, "DTS channels");
        rules.require(!id.bitrateKbps || *id.bitrateKbps <= 3840, "a DTS bit rate out of range");
    }
}

}  // namespace

std::string identifySoundBytes(const std::uint8_t* data, std::size_t size) {
    const Input input = split({data, size});
    Rules rules;
    const auto identity = identify(input.chunks, input.formatBlock);
    std::size_t bytes = 0;
    for (const Bytes& chunk : input.chunks) bytes += chunk.size();
    if (identity) checkIdentity(*identity, bytes, rules);

    // Where the chunks' edges fall must not matter: the same bytes in one chunk, and in chunks
    // of a few bytes each, which cut every header.
    Bytes all;
    for (const Bytes& chunk : input.chunks) all.insert(all.end(), chunk.begin(), chunk.end());
    std::vector<Bytes> whole;
    if (!all.empty()) whole.push_back(all);
    rules.require(sameIdentity(identify(whole, input.formatBlock), identity),
                  "the same bytes in one chunk give another identity");
    std::vector<Bytes> small;
    for (std::size_t at = 0; at < all.size(); at += 5) {
        small.emplace_back(all.begin() + static_cast<std::ptrdiff_t>(at),
                           all.begin() + static_cast<std::ptrdiff_t>(std::min(all.size(), at + 5)));
    }
    rules.require(sameIdentity(identify(small, input.formatBlock), identity),
                  "the same bytes in small chunks give another identity");
    return rules.take();
}

}  // namespace strovanik::fuzzing
