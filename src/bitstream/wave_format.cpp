#include "bitstream/wave_format.h"

#include <algorithm>
#include <array>

#include "container/little_endian.h"

namespace strovanik::bitstream {

namespace {

constexpr std::size_t kBaseBytes = 16;        // tag … bits per sample
constexpr std::size_t kExtensibleBytes = 22;  // valid bits, channel mask, sub-format GUID
// The GUID's last twelve bytes as stored, shared by every GUID that wraps a format tag.
constexpr std::array<std::uint8_t, 12> kTagGuidTail{0x00, 0x00, 0x10, 0x00, 0x80, 0x00,
                                                    0x00, 0xAA, 0x00, 0x38, 0x9B, 0x71};

// The record's fields are unsigned, whatever the container's readers hold them as.
std::uint16_t le16(std::span<const std::uint8_t> b, std::size_t at) {
    return static_cast<std::uint16_t>(container::readInt16(b.subspan(at).first<2>()));
}

std::uint32_t le32(std::span<const std::uint8_t> b, std::size_t at) {
    return static_cast<std::uint32_t>(container::readInt32(b.subspan(at).first<4>()));
}

}  // namespace

std::optional<WaveFormat> readWaveFormat(std::span<const std::uint8_t> record) {
    if (record.size() < kBaseBytes) return std::nullopt;
    WaveFormat format;
    format.tag = le16(record, 0);
    format.channels = le16(record, 2);
    format.sampleRate = le32(record, 4);
    format.bytesPerSecond = le32(record, 8);
    format.blockAlign = le16(record, 12);
    format.bitsPerSample = le16(record, 14);
    if (record.size() < kBaseBytes + 2) return format;
    const std::size_t claimed = le16(record, kBaseBytes);
    std::span<const std::uint8_t> extra =
        record.subspan(kBaseBytes + 2, std::min(claimed, record.size() - kBaseBytes - 2));
    if (format.tag == WaveFormat::kExtensible && extra.size() >= kExtensibleBytes) {
        format.validBits = le16(extra, 0);
        format.channelMask = le32(extra, 2);
        if (std::equal(kTagGuidTail.begin(), kTagGuidTail.end(), extra.begin() + 10)) {
            // The GUID's first field is 32 bits; a tag is its low 16, the high ones are zero.
            if (le16(extra, 8) == 0) format.subFormatTag = le16(extra, 6);
        }
        extra = extra.subspan(kExtensibleBytes);
    }
    format.extra = extra;
    return format;
}

}  // namespace strovanik::bitstream
