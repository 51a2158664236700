#pragma once

#include <cstdint>
#include <optional>
#include <span>

namespace strovanik::bitstream {

// A sound stream's format record as the file holds it: WAVEFORMATEX, and the fields of
// WAVE_FORMAT_EXTENSIBLE where it is one. Every field is what the writer claims.
struct WaveFormat {
    static constexpr std::uint16_t kPcm = 0x0001;
    static constexpr std::uint16_t kExtensible = 0xFFFE;

    std::uint16_t tag = 0;
    std::uint16_t channels = 0;
    std::uint32_t sampleRate = 0;
    std::uint32_t bytesPerSecond = 0;
    std::uint16_t blockAlign = 0;
    std::uint16_t bitsPerSample = 0;
    // The bytes after cbSize, as many as it claims and the record holds (none for the older
    // 16-byte record); for WAVE_FORMAT_EXTENSIBLE, those after its own 22.
    std::span<const std::uint8_t> extra;

    // WAVE_FORMAT_EXTENSIBLE
    std::optional<std::uint16_t> validBits;
    std::optional<std::uint32_t> channelMask;
    // The format tag inside the sub-format GUID, when the GUID is one of the family that carries
    // a tag (xxxxxxxx-0000-0010-8000-00AA00389B71).
    std::optional<std::uint16_t> subFormatTag;

    // The tag that names the coding: the sub-format's for WAVE_FORMAT_EXTENSIBLE.
    std::optional<std::uint16_t> codingTag() const {
        if (tag != kExtensible) return tag;
        return subFormatTag;
    }
};

// Nothing when the record is shorter than the 16 bytes every format record has.
std::optional<WaveFormat> readWaveFormat(std::span<const std::uint8_t> record);

}  // namespace strovanik::bitstream
