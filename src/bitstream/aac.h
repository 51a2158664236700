#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>

#include "bitstream/stream_identity.h"

// AAC: the AudioSpecificConfig that AVI writers put after the format record, or the ADTS headers
// of a stream that keeps them.
namespace strovanik::bitstream {

struct AacConfig {
    int objectType = 0;  // 2 LC; 5 SBR and 29 PS name the extension, objectType the core
    int sampleRate = 0;
    int channelConfiguration = 0;
    std::optional<int> channels;  // from the configuration, or the program config element
    bool sbr = false;             // spectral band replication: HE-AAC
    bool ps = false;              // parametric stereo: HE-AACv2
    std::optional<int> extensionSampleRate;
};

// AudioSpecificConfig as ISO/IEC 14496-3 lays it out, with the extension signalled either
// explicitly (object type 5 or 29 first) or after the core's configuration (the sync
// extensions). Nothing for reserved codes and object types other than AAC's own.
std::optional<AacConfig> readAudioSpecificConfig(std::span<const std::uint8_t> bytes);

struct AdtsFrame {
    static constexpr std::size_t kHeaderBytes = 7;  // without the CRC

    int objectType = 0;
    int sampleRate = 0;
    int channelConfiguration = 0;
    int frameBytes = 0;
    int rawBlocks = 1;
    bool variableRate = false;  // buffer fullness 0x7FF

    static bool sameStream(const AdtsFrame& a, const AdtsFrame& b) {
        return a.objectType == b.objectType && a.sampleRate == b.sampleRate &&
               a.channelConfiguration == b.channelConfiguration;
    }
};

// The fixed and variable ADTS header; nothing for what no header has.
std::optional<AdtsFrame> readAdtsHeader(std::span<const std::uint8_t> bytes);

std::optional<StreamIdentity> identifyAacConfig(const AacConfig& config);
// The stream's identity from its first chunks, put end to end, when they hold ADTS frames.
std::optional<StreamIdentity> identifyAdts(std::span<const std::uint8_t> bytes);

}  // namespace strovanik::bitstream
