#include "bitstream/ac3.h"

#include <array>

#include "bitstream/bit_reader.h"
#include "bitstream/sound_frames.h"

namespace strovanik::bitstream {

namespace {

constexpr std::uint32_t kSyncWord = 0x0B77;
constexpr int kSamplesPerBlock = 256;
constexpr int kBlocksPerAc3Frame = 6;
constexpr int kLastAc3Bsid = 10;  // 9 and 10 are the half- and quarter-rate forms
constexpr int kFirstEnhancedBsid = 11;
constexpr int kLastEnhancedBsid = 16;

// By fscod; E-AC-3's fscod 3 takes its rate from fscod2, at half these.
constexpr std::array<int, 3> kSampleRates{48000, 44100, 32000};
// kb/s by frmsizecod / 2.
constexpr std::array<int, 19> kAc3Bitrates{32,  40,  48,  56,  64,  80,  96,  112, 128, 160,
                                           192, 224, 256, 320, 384, 448, 512, 576, 640};
// Full-range channels by acmod: 1+1 (two mono programmes), 1/0, 2/0, 3/0, 2/1, 3/1, 2/2, 3/2.
constexpr std::array<int, 8> kFullRangeChannels{2, 1, 2, 3, 3, 4, 4, 5};
// Audio blocks in an E-AC-3 frame by numblkscod.
constexpr std::array<int, 4> kEnhancedBlocks{1, 2, 3, 6};

// syncinfo and bsi of AC-3, up to lfeon.
std::optional<Ac3Frame> readAc3SyncFrame(BitReader& reader) {
    Ac3Frame frame;
    reader.skip(16);  // crc1
    const std::uint32_t fscod = reader.bits(2);
    const std::uint32_t frmsizecod = reader.bits(6);
    frame.bsid = static_cast<int>(reader.bits(5));
    reader.skip(3);  // bsmod
    frame.acmod = static_cast<int>(reader.bits(3));
    if ((frame.acmod & 1) != 0 && frame.acmod != 1) reader.skip(2);  // cmixlev
    if ((frame.acmod & 4) != 0) reader.skip(2);                      // surmixlev
    if (frame.acmod == 2) reader.skip(2);                            // dsurmod
    frame.lfe = reader.flag();
    if (!reader.ok() || fscod == 3 || frmsizecod >= 2 * kAc3Bitrates.size()) return std::nullopt;
    const int kbps = kAc3Bitrates[frmsizecod / 2];
    const int rate = kSampleRates[fscod];
    // Frame length in 16-bit words: the bit rate over 1536 samples, rounded down at 44.1 kHz
    // and one more for the odd codes there.
    int words = kbps * 1000 * kBlocksPerAc3Frame * kSamplesPerBlock / rate / 16;
    if (fscod == 1) words += static_cast<int>(frmsizecod & 1);
    frame.frameBytes = words * 2;
    // The half- and quarter-rate forms run the same frames at a lower clock.
    const int shift = frame.bsid > 8 ? frame.bsid - 8 : 0;
    frame.sampleRate = rate >> shift;
    frame.bitrateKbps = static_cast<double>(kbps >> shift);
    return frame;
}

// syncinfo and bsi of E-AC-3, up to bsid.
std::optional<Ac3Frame> readEnhancedSyncFrame(BitReader& reader) {
    Ac3Frame frame;
    frame.enhanced = true;
    frame.streamType = static_cast<int>(reader.bits(2));
    frame.substreamId = static_cast<int>(reader.bits(3));
    frame.frameBytes = (static_cast<int>(reader.bits(11)) + 1) * 2;
    const std::uint32_t fscod = reader.bits(2);
    int blocks = kBlocksPerAc3Frame;
    if (fscod == 3) {
        const std::uint32_t fscod2 = reader.bits(2);
        if (fscod2 == 3) return std::nullopt;
        frame.sampleRate = kSampleRates[fscod2] / 2;
    } else {
        blocks = kEnhancedBlocks[reader.bits(2)];
        frame.sampleRate = kSampleRates[fscod];
    }
    frame.acmod = static_cast<int>(reader.bits(3));
    frame.lfe = reader.flag();
    frame.bsid = static_cast<int>(reader.bits(5));
    if (!reader.ok() || frame.streamType == 3) return std::nullopt;
    frame.bitrateKbps = static_cast<double>(frame.frameBytes) * 8 * frame.sampleRate /
                        (blocks * kSamplesPerBlock) / 1000;
    return frame;
}

}  // namespace

int Ac3Frame::fullRangeChannels() const {
    return kFullRangeChannels[static_cast<std::size_t>(acmod & 7)];
}

std::optional<Ac3Frame> readAc3FrameHeader(std::span<const std::uint8_t> bytes) {
    constexpr std::size_t kHeaderBytes = Ac3Frame::kHeaderBytes;
    if (bytes.size() < kHeaderBytes || bytes[0] != (kSyncWord >> 8) ||
        bytes[1] != (kSyncWord & 0xFF)) {
        return std::nullopt;
    }
    // The bsid sits at the same place in both forms, after 40 bits.
    const int bsid = bytes[5] >> 3;
    BitReader reader(bytes.first(kHeaderBytes));
    reader.skip(16);
    std::optional<Ac3Frame> frame;
    if (bsid <= kLastAc3Bsid) {
        frame = readAc3SyncFrame(reader);
    } else if (bsid >= kFirstEnhancedBsid && bsid <= kLastEnhancedBsid) {
        frame = readEnhancedSyncFrame(reader);
    }
    if (!frame || frame->frameBytes < static_cast<int>(kHeaderBytes)) return std::nullopt;
    return frame;
}

std::optional<StreamIdentity> identifyAc3(std::span<const std::uint8_t> bytes) {
    const auto frames = walkFrames<Ac3Frame>(bytes, readAc3FrameHeader);
    // Dependent substreams of E-AC-3 add channels to the programme; its layout and rate are
    // those of the independent substream 0, which every access unit begins with.
    const Ac3Frame* head = nullptr;
    double sum = 0;
    int count = 0;
    bool varies = false;
    for (const auto& f : frames) {
        if (f.frame.streamType == 1 || f.frame.substreamId != 0) continue;
        if (head == nullptr) head = &f.frame;
        sum += f.frame.bitrateKbps;
        varies = varies || f.frame.bitrateKbps != head->bitrateKbps;
        ++count;
    }
    if (head == nullptr) return std::nullopt;

    StreamIdentity identity;
    identity.format = head->enhanced ? "eac3" : "ac3";
    identity.profile = head->enhanced ? "E-AC-3" : "AC-3";
    identity.framesRead = static_cast<int>(frames.size());
    identity.sampleRate = head->sampleRate;
    identity.channels = head->fullRangeChannels() + (head->lfe ? 1 : 0);
    identity.channelLayout = channelLayoutName(head->fullRangeChannels(), head->lfe);
    identity.bitrateKbps = sum / count;
    identity.bitrateMode = varies ? BitrateMode::Variable : BitrateMode::Constant;
    identity.bitrateBasis = "frame headers";
    return identity;
}

}  // namespace strovanik::bitstream
