#include "bitstream/pcm.h"

#include <bit>

#include "bitstream/sound_frames.h"

namespace strovanik::bitstream {

namespace {

constexpr std::uint32_t kLowFrequencySpeaker = 0x8;  // SPEAKER_LOW_FREQUENCY
// Layouts of records that have no channel mask: mono and stereo are all a player assumes.
constexpr int kLargestUnmaskedLayout = 2;

}  // namespace

std::optional<StreamIdentity> identifyPcm(const WaveFormat& format) {
    if (format.codingTag() != WaveFormat::kPcm || format.channels == 0) return std::nullopt;
    StreamIdentity identity;
    identity.format = "pcm";
    identity.channels = format.channels;
    identity.sampleRate = static_cast<int>(format.sampleRate);
    identity.bitsPerSample = format.bitsPerSample;
    identity.channelMask = format.channelMask;
    const int masked = format.channelMask ? std::popcount(*format.channelMask) : 0;
    if (masked == format.channels) {
        const bool lfe = (*format.channelMask & kLowFrequencySpeaker) != 0;
        identity.channelLayout = channelLayoutName(masked - (lfe ? 1 : 0), lfe);
    } else if (masked == 0 && format.channels <= kLargestUnmaskedLayout) {
        identity.channelLayout = channelLayoutName(format.channels, false);
    }
    identity.bitrateKbps =
        static_cast<double>(format.sampleRate) * format.channels * format.bitsPerSample / 1000;
    identity.bitrateMode = BitrateMode::Constant;
    identity.bitrateBasis = "format block";
    return identity;
}

}  // namespace strovanik::bitstream
