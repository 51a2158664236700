#include "bitstream/aac.h"

#include <array>
#include <string>

#include "bitstream/bit_reader.h"
#include "bitstream/sound_frames.h"

namespace strovanik::bitstream {

namespace {

constexpr int kObjectLc = 2;
constexpr int kObjectSbr = 5;
constexpr int kObjectPs = 29;
constexpr int kObjectEscape = 31;
constexpr std::uint32_t kExplicitRate = 15;
constexpr std::uint32_t kSbrSync = 0x2B7;
constexpr std::uint32_t kPsSync = 0x548;
constexpr int kSamplesPerRawBlock = 1024;

// By sampling frequency index; 0 for the reserved codes.
constexpr std::array<int, 16> kSampleRates{96000, 88200, 64000, 48000, 44100, 32000, 24000, 22050,
                                           16000, 12000, 11025, 8000,  7350,  0,     0,     0};
// Channels by channel configuration (0: the program config element says); 0 for reserved.
constexpr std::array<int, 16> kChannels{0, 1, 2, 3, 4, 5, 6, 8, 0, 0, 0, 7, 8, 24, 8, 0};
// The layouts of those configurations.
constexpr std::array<const char*, 16> kLayouts{nullptr, "1.0",  "2.0",   "3.0",   "4.0",   "5.0",
                                               "5.1",   "7.1",  nullptr, nullptr, nullptr, "6.1",
                                               "7.1",   "22.2", "7.1",   nullptr};
// Object types whose configuration is GASpecificConfig, the AAC family.
constexpr std::array<int, 10> kGeneralAudioTypes{1, 2, 3, 4, 6, 7, 17, 19, 20, 21};

struct ProfileName {
    int objectType;
    const char* name;
};
constexpr std::array<ProfileName, 4> kCoreProfiles{
    {{1, "AAC Main"}, {2, "AAC LC"}, {3, "AAC SSR"}, {4, "AAC LTP"}}};

int readObjectType(BitReader& reader) {
    const int type = static_cast<int>(reader.bits(5));
    return type == kObjectEscape ? 32 + static_cast<int>(reader.bits(6)) : type;
}

// 0 when the code is reserved.
int readSampleRate(BitReader& reader) {
    const std::uint32_t index = reader.bits(4);
    return index == kExplicitRate ? static_cast<int>(reader.bits(24)) : kSampleRates[index];
}

// program_config_element: only how many channels its elements carry.
std::optional<int> readProgramConfigChannels(BitReader& reader) {
    reader.skip(4 + 2 + 4);  // element instance tag, object type, sampling frequency index
    const std::uint32_t front = reader.bits(4);
    const std::uint32_t side = reader.bits(4);
    const std::uint32_t back = reader.bits(4);
    const std::uint32_t lfe = reader.bits(2);
    reader.skip(3 + 4);                 // associated data elements, valid coupling channel elements
    if (reader.flag()) reader.skip(4);  // mono mixdown
    if (reader.flag()) reader.skip(4);  // stereo mixdown
    if (reader.flag()) reader.skip(3);  // matrix mixdown
    int channels = static_cast<int>(lfe);
    for (std::uint32_t i = 0; i < front + side + back; ++i) {
        channels += reader.flag() ? 2 : 1;  // a channel pair or a single channel
        reader.skip(4);
    }
    reader.skip(4 * static_cast<std::int64_t>(lfe));
    // An element that places no channel describes no stream.
    if (!reader.ok() || channels == 0) return std::nullopt;
    return channels;
}

// GASpecificConfig, as far as it decides where the extension signalling begins.
bool readGeneralAudioConfig(BitReader& reader, AacConfig& config) {
    reader.skip(1);                      // frame length flag
    if (reader.flag()) reader.skip(14);  // core coder delay
    const bool extension = reader.flag();
    if (config.channelConfiguration == 0) {
        config.channels = readProgramConfigChannels(reader);
        return config.channels.has_value();
    }
    if (config.objectType == 6 || config.objectType == 20) reader.skip(3);  // layer number
    if (extension) {
        if (config.objectType == 22) reader.skip(5 + 11);
        if (config.objectType == 17 || config.objectType == 19 || config.objectType == 20 ||
            config.objectType == 23) {
            reader.skip(3);
        }
        reader.skip(1);  // extension flag 3
    }
    return reader.ok();
}

// The extension signalled after the core's configuration, by sync words.
void readSyncExtensions(BitReader& reader, AacConfig& config) {
    if (reader.bitsLeft() < 16 || reader.bits(11) != kSbrSync) return;
    if (readObjectType(reader) != kObjectSbr) return;
    config.sbr = reader.flag();
    if (!config.sbr) return;
    const int rate = readSampleRate(reader);
    if (rate != 0) config.extensionSampleRate = rate;
    if (reader.bitsLeft() >= 12 && reader.bits(11) == kPsSync) config.ps = reader.flag();
    if (!reader.ok()) config.ps = false;
}

bool isGeneralAudio(int objectType) {
    for (const int type : kGeneralAudioTypes) {
        if (type == objectType) return true;
    }
    return false;
}

StreamIdentity identityOf(int objectType, bool sbr, bool ps, int sampleRate,
                          std::optional<int> channels, int channelConfiguration) {
    StreamIdentity identity;
    identity.format = "aac";
    for (const auto& profile : kCoreProfiles) {
        if (profile.objectType == objectType) identity.profile = profile.name;
    }
    if (sbr) identity.profile = ps ? "HE-AACv2" : "HE-AAC";
    identity.sampleRate = sampleRate;
    // Parametric stereo makes two channels of a mono core.
    if (ps && channelConfiguration == 1) {
        identity.channels = 2;
        identity.channelLayout = "2.0";
    } else if (channels) {
        identity.channels = channels;
        if (const char* layout = kLayouts[static_cast<std::size_t>(channelConfiguration & 15)]) {
            identity.channelLayout = layout;
        }
    }
    return identity;
}

}  // namespace

std::optional<AacConfig> readAudioSpecificConfig(std::span<const std::uint8_t> bytes) {
    BitReader reader(bytes);
    AacConfig config;
    config.objectType = readObjectType(reader);
    config.sampleRate = readSampleRate(reader);
    config.channelConfiguration = static_cast<int>(reader.bits(4));
    if (config.objectType == kObjectSbr || config.objectType == kObjectPs) {
        config.sbr = true;
        config.ps = config.objectType == kObjectPs;
        const int rate = readSampleRate(reader);
        if (rate != 0) config.extensionSampleRate = rate;
        config.objectType = readObjectType(reader);
    }
    if (!reader.ok() || config.sampleRate == 0 || !isGeneralAudio(config.objectType)) {
        return std::nullopt;
    }
    if (config.channelConfiguration != 0) {
        const int channels = kChannels[static_cast<std::size_t>(config.channelConfiguration)];
        if (channels == 0) return std::nullopt;
        config.channels = channels;
    }
    if (!readGeneralAudioConfig(reader, config)) return std::nullopt;
    // A program config element's own alignment is counted from where the stream holds it, which
    // a configuration does not say; what follows one is not read.
    if (!config.sbr && config.objectType == kObjectLc && config.channelConfiguration != 0) {
        readSyncExtensions(reader, config);
    }
    return config;
}

std::optional<AdtsFrame> readAdtsHeader(std::span<const std::uint8_t> bytes) {
    constexpr std::size_t kHeaderBytes = AdtsFrame::kHeaderBytes;
    if (bytes.size() < kHeaderBytes || bytes[0] != 0xFF || (bytes[1] & 0xF6) != 0xF0) {
        return std::nullopt;  // the sync word, and layer 0
    }
    BitReader reader(bytes.first(kHeaderBytes));
    reader.skip(12 + 1 + 2 + 1);  // sync word, ID, layer, protection absent
    AdtsFrame frame;
    frame.objectType = static_cast<int>(reader.bits(2)) + 1;
    frame.sampleRate = kSampleRates[reader.bits(4)];
    reader.skip(1);  // private bit
    frame.channelConfiguration = static_cast<int>(reader.bits(3));
    reader.skip(1 + 1 + 1 + 1);  // original, home, copyright bit and start
    frame.frameBytes = static_cast<int>(reader.bits(13));
    frame.variableRate = reader.bits(11) == 0x7FF;
    frame.rawBlocks = static_cast<int>(reader.bits(2)) + 1;
    if (!reader.ok() || frame.sampleRate == 0 ||
        frame.frameBytes < static_cast<int>(kHeaderBytes)) {
        return std::nullopt;
    }
    return frame;
}

std::optional<StreamIdentity> identifyAacConfig(const AacConfig& config) {
    const int rate =
        config.sbr && config.extensionSampleRate ? *config.extensionSampleRate : config.sampleRate;
    return identityOf(config.objectType, config.sbr, config.ps, rate, config.channels,
                      config.channelConfiguration);
}

std::optional<StreamIdentity> identifyAdts(std::span<const std::uint8_t> bytes) {
    const auto frames = walkFrames<AdtsFrame>(bytes, readAdtsHeader);
    if (frames.empty()) return std::nullopt;
    const AdtsFrame& head = frames.front().frame;
    const int channels = kChannels[static_cast<std::size_t>(head.channelConfiguration)];
    StreamIdentity identity = identityOf(
        head.objectType, false, false, head.sampleRate,
        channels != 0 ? std::optional<int>(channels) : std::nullopt, head.channelConfiguration);
    identity.framesRead = static_cast<int>(frames.size());
    double sum = 0;
    for (const auto& f : frames) {
        sum += static_cast<double>(f.frame.frameBytes) * 8 * f.frame.sampleRate /
               (kSamplesPerRawBlock * f.frame.rawBlocks) / 1000;
    }
    identity.bitrateKbps = sum / static_cast<double>(frames.size());
    // Every AAC frame has a size of its own; the buffer fullness tells whether the encoder
    // kept to a rate.
    identity.bitrateMode = head.variableRate ? BitrateMode::Variable : BitrateMode::Constant;
    identity.bitrateBasis = "ADTS buffer fullness";
    return identity;
}

}  // namespace strovanik::bitstream
