#include "bitstream/mpeg_audio.h"

#include <algorithm>
#include <array>
#include <string_view>
#include <vector>

#include "bitstream/bit_reader.h"
#include "bitstream/sound_frames.h"

namespace strovanik::bitstream {

namespace {

// Bit rates in kb/s by bit-rate index (1-14): MPEG-1 layers 1, 2, 3, then MPEG-2 and 2.5
// layer 1, and their layers 2 and 3.
constexpr std::array<std::array<int, 15>, 5> kBitrates{{
    {0, 32, 64, 96, 128, 160, 192, 224, 256, 288, 320, 352, 384, 416, 448},
    {0, 32, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320, 384},
    {0, 32, 40, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320},
    {0, 32, 48, 56, 64, 80, 96, 112, 128, 144, 160, 176, 192, 224, 256},
    {0, 8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160},
}};
// Sample rates of MPEG-1 by index; MPEG-2 halves them, MPEG-2.5 quarters them.
constexpr std::array<int, 3> kSampleRates{44100, 48000, 32000};

// Where the Xing header sits in a layer 3 frame, after the header and the side information:
// [MPEG-1][mono].
constexpr int kXingOffset[2][2] = {{4 + 17, 4 + 9}, {4 + 32, 4 + 17}};
constexpr std::size_t kVbriOffset = 4 + 32;
constexpr std::size_t kXingTocBytes = 100;
constexpr std::size_t kLameEncoderBytes = 9;
// LAME's name in the spare bits turns up within the first frames, if at all.
constexpr std::size_t kFramesWithLameText = 16;

constexpr std::array<std::string_view, 4> kLayerFormats{"", "mp1", "mp2", "mp3"};

bool isVariableMethod(int method) {
    return method == 2 || method == 9 || (method >= 3 && method <= 6);
}

std::uint32_t be32(std::span<const std::uint8_t> b, std::size_t at) {
    return static_cast<std::uint32_t>(b[at]) << 24 | static_cast<std::uint32_t>(b[at + 1]) << 16 |
           static_cast<std::uint32_t>(b[at + 2]) << 8 | b[at + 3];
}

// The LAME tag right after the Xing header's fields.
std::optional<LameTag> readLameTag(std::span<const std::uint8_t> bytes) {
    if (bytes.size() < kLameEncoderBytes + 1) return std::nullopt;
    LameTag tag;
    for (std::size_t i = 0; i < kLameEncoderBytes && bytes[i] >= 0x20 && bytes[i] < 0x7F; ++i) {
        tag.encoderText += static_cast<char>(bytes[i]);
    }
    while (!tag.encoderText.empty() && tag.encoderText.back() == ' ') tag.encoderText.pop_back();
    if (tag.encoderText.size() < 4) return std::nullopt;
    tag.method = bytes[kLameEncoderBytes] & 0x0F;
    return tag;
}

std::optional<VbrHeader> readXingHeader(std::span<const std::uint8_t> bytes) {
    if (bytes.size() < 8) return std::nullopt;
    VbrHeader header;
    const std::string_view id(reinterpret_cast<const char*>(bytes.data()), 4);
    if (id == "Xing") {
        header.kind = VbrHeader::Kind::Xing;
    } else if (id == "Info") {
        header.kind = VbrHeader::Kind::Info;
    } else {
        return std::nullopt;
    }
    const std::uint32_t flags = be32(bytes, 4);
    std::size_t at = 8;
    if ((flags & 1) != 0 && at + 4 <= bytes.size()) header.frames = be32(bytes, at);
    at += (flags & 1) != 0 ? 4 : 0;
    at += (flags & 2) != 0 ? 4 : 0;              // stream bytes
    at += (flags & 4) != 0 ? kXingTocBytes : 0;  // seek table
    at += (flags & 8) != 0 ? 4 : 0;              // quality
    if (at < bytes.size()) header.lame = readLameTag(bytes.subspan(at));
    return header;
}

std::optional<VbrHeader> readVbriHeader(std::span<const std::uint8_t> bytes) {
    // id, version, delay, quality, stream bytes, frames
    if (bytes.size() < 18 ||
        std::string_view(reinterpret_cast<const char*>(bytes.data()), 4) != "VBRI") {
        return std::nullopt;
    }
    VbrHeader header;
    header.kind = VbrHeader::Kind::Vbri;
    header.frames = be32(bytes, 14);
    return header;
}

constexpr std::string_view kLameName = "LAME";

std::optional<std::size_t> lameNameAt(std::span<const std::uint8_t> bytes) {
    const auto found = std::search(bytes.begin(), bytes.end(), kLameName.begin(), kLameName.end());
    if (found == bytes.end()) return std::nullopt;
    return static_cast<std::size_t>(found - bytes.begin());
}

// LAME leaves its name in the spare bits of some frames, "LAME3.100" then filler; a stream
// without a LAME tag may still say so there.
std::optional<std::string> lameTextIn(std::span<const std::uint8_t> bytes) {
    const auto at = lameNameAt(bytes);
    if (!at) return std::nullopt;
    std::string text;
    for (auto it = bytes.begin() + static_cast<std::ptrdiff_t>(*at);
         it != bytes.end() && text.size() < kLameEncoderBytes; ++it) {
        const char c = static_cast<char>(*it);
        const bool versionChar = (c >= '0' && c <= '9') || c == '.' || (c >= 'a' && c <= 'z');
        if (text.size() >= kLameName.size() && !versionChar) break;
        text += c;
    }
    if (text.size() <= kLameName.size() || text[kLameName.size()] < '0' ||
        text[kLameName.size()] > '9') {
        return std::nullopt;
    }
    return text;
}

// The bytes from the first frame to the end of the count-th.
std::span<const std::uint8_t> firstFrames(std::span<const std::uint8_t> bytes,
                                          const std::vector<FrameAt<MpegAudioFrame>>& frames,
                                          std::size_t count) {
    const auto& last = frames[std::min(count, frames.size()) - 1];
    const std::size_t end =
        std::min(bytes.size(), last.offset + static_cast<std::size_t>(last.frame.frameBytes));
    return bytes.subspan(frames.front().offset, end - frames.front().offset);
}

// The frame at `first` as far as the bytes hold it.
std::span<const std::uint8_t> frameBytes(std::span<const std::uint8_t> bytes,
                                         const FrameAt<MpegAudioFrame>& first) {
    return bytes.subspan(first.offset,
                         std::min<std::size_t>(static_cast<std::size_t>(first.frame.frameBytes),
                                               bytes.size() - first.offset));
}

EncoderName encoderFromText(const std::string& text) {
    // LAME writes "LAME3.100"; libavformat's own Xing header says "Lavf" or "Lavc59.37".
    constexpr std::array<std::pair<std::string_view, std::string_view>, 3> kNames{
        {{"LAME", "LAME"}, {"Lavc", "libavcodec"}, {"Lavf", "libavformat"}}};
    for (const auto& [prefix, name] : kNames) {
        if (text.starts_with(prefix)) {
            return {std::string(name), text.substr(prefix.size()), text};
        }
    }
    return {text, "", text};
}

}  // namespace

std::optional<MpegAudioFrame> readMpegAudioFrameHeader(std::span<const std::uint8_t> bytes) {
    if (bytes.size() < 4 || bytes[0] != 0xFF || (bytes[1] & 0xE0) != 0xE0) return std::nullopt;
    BitReader reader(bytes.first(4));
    reader.skip(11);  // frame sync
    const std::uint32_t versionId = reader.bits(2);
    const std::uint32_t layerId = reader.bits(2);
    MpegAudioFrame frame;
    frame.crc = !reader.flag();
    const std::uint32_t bitrateIndex = reader.bits(4);
    const std::uint32_t rateIndex = reader.bits(2);
    frame.padding = reader.flag();
    reader.skip(1);  // private
    frame.mode = static_cast<int>(reader.bits(2));
    reader.skip(2 + 1 + 1);  // mode extension, copyright, original
    const std::uint32_t emphasis = reader.bits(2);
    if (versionId == 1 || layerId == 0 || bitrateIndex == 0 || bitrateIndex == 15 ||
        rateIndex == 3 || emphasis == 2) {
        return std::nullopt;
    }
    frame.version = versionId == 3 ? 1 : versionId == 2 ? 2 : 25;
    frame.layer = 4 - static_cast<int>(layerId);
    const int table = frame.version == 1 ? frame.layer - 1 : frame.layer == 1 ? 3 : 4;
    frame.bitrateKbps = kBitrates[static_cast<std::size_t>(table)][bitrateIndex];
    frame.sampleRate = kSampleRates[rateIndex] / (frame.version == 1   ? 1
                                                  : frame.version == 2 ? 2
                                                                       : 4);
    const int bitsPerSecond = frame.bitrateKbps * 1000;
    const int pad = frame.padding ? 1 : 0;
    if (frame.layer == 1) {
        frame.frameBytes = (12 * bitsPerSecond / frame.sampleRate + pad) * 4;
    } else {
        // Layer 3 of MPEG-2 and 2.5 has half as many samples a frame.
        const int slotsFactor = frame.layer == 3 && frame.version != 1 ? 72 : 144;
        frame.frameBytes = slotsFactor * bitsPerSecond / frame.sampleRate + pad;
    }
    return frame;
}

std::optional<VbrHeader> readVbrHeader(std::span<const std::uint8_t> frame,
                                       const MpegAudioFrame& header) {
    if (header.layer != 3) return std::nullopt;
    const auto xingAt = static_cast<std::size_t>(
        kXingOffset[header.version == 1 ? 1 : 0][header.channels() == 1 ? 1 : 0]);
    if (xingAt < frame.size()) {
        if (auto xing = readXingHeader(frame.subspan(xingAt))) return xing;
    }
    if (kVbriOffset < frame.size()) return readVbriHeader(frame.subspan(kVbriOffset));
    return std::nullopt;
}

std::optional<StreamIdentity> identifyMpegAudio(std::span<const std::uint8_t> bytes) {
    auto frames = walkFrames<MpegAudioFrame>(bytes, readMpegAudioFrameHeader);
    if (frames.empty()) return std::nullopt;

    const FrameAt<MpegAudioFrame>& first = frames.front();
    const std::optional<VbrHeader> vbr = readVbrHeader(frameBytes(bytes, first), first.frame);
    // The header frame holds no sound, and its rate is whatever fitted the header.
    if (vbr && frames.size() > 1) frames.erase(frames.begin());

    StreamIdentity identity;
    const MpegAudioFrame& head = frames.front().frame;
    identity.format = std::string(kLayerFormats[static_cast<std::size_t>(head.layer)]);
    identity.profile = std::string(head.version == 25  ? "MPEG-2.5"
                                   : head.version == 2 ? "MPEG-2"
                                                       : "MPEG-1") +
                       " Layer " + std::to_string(head.layer);
    identity.framesRead = static_cast<int>(frames.size());
    identity.sampleRate = head.sampleRate;
    identity.channels = head.channels();
    identity.channelLayout = channelLayoutName(head.channels(), false);

    double sum = 0;
    bool varies = false;
    for (const auto& f : frames) {
        sum += f.frame.bitrateKbps;
        varies = varies || f.frame.bitrateKbps != head.bitrateKbps;
    }
    identity.bitrateKbps = sum / static_cast<double>(frames.size());

    const std::optional<LameTag> lame = vbr ? vbr->lame : std::nullopt;
    if (varies) {
        identity.bitrateMode = BitrateMode::Variable;
        identity.bitrateBasis = "frame headers";
    } else if (lame && lame->method != 0) {
        identity.bitrateMode =
            isVariableMethod(lame->method) ? BitrateMode::Variable : BitrateMode::Constant;
        identity.bitrateBasis = "LAME tag";
    } else if (vbr && vbr->kind != VbrHeader::Kind::Info) {
        identity.bitrateMode = BitrateMode::Variable;
        identity.bitrateBasis = vbr->kind == VbrHeader::Kind::Vbri ? "VBRI header" : "Xing header";
    } else {
        identity.bitrateMode = BitrateMode::Constant;
        identity.bitrateBasis = "frame headers";
    }

    if (lame) {
        identity.encoder = encoderFromText(lame->encoderText);
    } else if (const auto text = lameTextIn(firstFrames(bytes, frames, kFramesWithLameText))) {
        identity.encoder = encoderFromText(*text);
    }
    return identity;
}

std::vector<ByteRange> mpegAudioReadRanges(std::span<const std::uint8_t> bytes) {
    auto frames = walkFrames<MpegAudioFrame>(bytes, readMpegAudioFrameHeader);
    std::vector<ByteRange> ranges;
    for (const auto& f : frames) {
        ranges.push_back({f.offset, std::min(MpegAudioFrame::kHeaderBytes, bytes.size() - f.offset),
                          SpanKind::FrameHeader});
    }
    if (frames.empty()) return ranges;
    // As identifyMpegAudio reads them: the first frame's Xing or VBRI header and LAME's tag,
    // or else LAME's name in the frames after it.
    const auto first = frameBytes(bytes, frames.front());
    const std::optional<VbrHeader> vbr = readVbrHeader(first, frames.front().frame);
    if (vbr) {
        const std::size_t end = std::min(first.size(), kMaxEncoderTagBytes);
        if (end > MpegAudioFrame::kHeaderBytes) {
            ranges.push_back({frames.front().offset + MpegAudioFrame::kHeaderBytes,
                              end - MpegAudioFrame::kHeaderBytes, SpanKind::EncoderTag});
        }
        if (frames.size() > 1) frames.erase(frames.begin());
    }
    if (!vbr || !vbr->lame) {
        const auto searched = firstFrames(bytes, frames, kFramesWithLameText);
        if (const auto at = lameNameAt(searched)) {
            const auto offset = static_cast<std::size_t>(searched.data() - bytes.data()) + *at;
            ranges.push_back(
                {offset, std::min(kLameEncoderBytes, bytes.size() - offset), SpanKind::EncoderTag});
        }
    }
    std::sort(ranges.begin(), ranges.end(),
              [](const ByteRange& a, const ByteRange& b) { return a.offset < b.offset; });
    return ranges;
}

}  // namespace strovanik::bitstream
