#include "bitstream/dts.h"

#include <algorithm>
#include <array>

#include "bitstream/bit_reader.h"
#include "bitstream/sound_frames.h"

namespace strovanik::bitstream {

namespace {

constexpr std::size_t kHeaderBytes = DtsFrame::kHeaderBytes;
constexpr std::array<std::uint8_t, 4> kSyncBigEndian{0x7F, 0xFE, 0x80, 0x01};
constexpr std::array<std::uint8_t, 4> kSyncLittleEndian{0xFE, 0x7F, 0x01, 0x80};
constexpr int kSmallestFrame = 96;  // FSIZE below 95 is invalid

// By SFREQ; 0 for the reserved codes.
constexpr std::array<int, 16> kSampleRates{0,     8000, 16000, 32000, 0,     0,     11025, 22050,
                                           44100, 0,    0,     12000, 24000, 48000, 0,     0};
// kb/s by RATE; codes 29 to 31 (open, variable, lossless) name no rate.
constexpr std::array<double, 29> kBitrates{
    32,  56,  64,   96,   112,  128,  192,  224,    256,  320,  384,  448,  512,  576, 640,
    768, 960, 1024, 1152, 1280, 1344, 1408, 1411.2, 1472, 1536, 1920, 2048, 3072, 3840};
// Full-range channels by AMODE (0-15); higher codes are the user's own arrangements.
constexpr std::array<int, 16> kFullRangeChannels{1, 2, 2, 2, 2, 3, 3, 4, 4, 5, 6, 6, 6, 7, 8, 8};

}  // namespace

int DtsFrame::fullRangeChannels() const {
    return amode < static_cast<int>(kFullRangeChannels.size())
               ? kFullRangeChannels[static_cast<std::size_t>(amode)]
               : 0;
}

std::optional<DtsFrame> readDtsFrameHeader(std::span<const std::uint8_t> bytes) {
    if (bytes.size() < kHeaderBytes) return std::nullopt;
    DtsFrame frame;
    std::array<std::uint8_t, kHeaderBytes> header{};
    if (std::equal(kSyncBigEndian.begin(), kSyncBigEndian.end(), bytes.begin())) {
        std::copy_n(bytes.begin(), kHeaderBytes, header.begin());
    } else if (std::equal(kSyncLittleEndian.begin(), kSyncLittleEndian.end(), bytes.begin())) {
        frame.littleEndian = true;
        for (std::size_t i = 0; i < kHeaderBytes; i += 2) {
            header[i] = bytes[i + 1];
            header[i + 1] = bytes[i];
        }
    } else {
        return std::nullopt;
    }
    BitReader reader(header);
    reader.skip(32);         // sync word
    reader.skip(1 + 5 + 1);  // frame type, deficit samples, CRC present
    const std::uint32_t blocks = reader.bits(7) + 1;
    frame.frameBytes = static_cast<int>(reader.bits(14)) + 1;
    frame.amode = static_cast<int>(reader.bits(6));
    const std::uint32_t sfreq = reader.bits(4);
    frame.rateIndex = static_cast<int>(reader.bits(5));
    reader.skip(1 + 1 + 1 + 1 + 1 + 3 + 1 + 1);  // to LFF: fixed bit … ASPF
    const std::uint32_t lff = reader.bits(2);
    if (!reader.ok() || blocks < 6 || frame.frameBytes < kSmallestFrame ||
        kSampleRates[sfreq] == 0 || lff == 3) {
        return std::nullopt;
    }
    frame.sampleRate = kSampleRates[sfreq];
    frame.lfe = lff != 0;
    if (frame.rateIndex < static_cast<int>(kBitrates.size())) {
        frame.bitrateKbps = kBitrates[static_cast<std::size_t>(frame.rateIndex)];
    }
    return frame;
}

std::optional<StreamIdentity> identifyDts(std::span<const std::uint8_t> bytes) {
    const auto frames = walkFrames<DtsFrame>(bytes, readDtsFrameHeader);
    if (frames.empty()) return std::nullopt;
    const DtsFrame& head = frames.front().frame;

    StreamIdentity identity;
    identity.format = "dts";
    identity.profile = "DTS";
    identity.framesRead = static_cast<int>(frames.size());
    identity.sampleRate = head.sampleRate;
    if (head.fullRangeChannels() > 0) {
        identity.channels = head.fullRangeChannels() + (head.lfe ? 1 : 0);
        identity.channelLayout = channelLayoutName(head.fullRangeChannels(), head.lfe);
    }
    bool varies = false;
    for (const auto& f : frames) varies = varies || f.frame.rateIndex != head.rateIndex;
    if (head.bitrateKbps && !varies) {
        identity.bitrateKbps = head.bitrateKbps;
        identity.bitrateMode = BitrateMode::Constant;
        identity.bitrateBasis = "frame headers";
    } else if (varies || head.rateIndex == 30) {  // code 30: the rate varies
        identity.bitrateMode = BitrateMode::Variable;
        identity.bitrateBasis = "frame headers";
    }
    return identity;
}

}  // namespace strovanik::bitstream
