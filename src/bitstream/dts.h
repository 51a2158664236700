#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>

#include "bitstream/stream_identity.h"

// The core of DTS Coherent Acoustics, in 16-bit words of either byte order (the little-endian
// form is what sound cards pass through and what some AVI writers store).
namespace strovanik::bitstream {

struct DtsFrame {
    // The bytes the header is read from: the sync word and the fields read here.
    static constexpr std::size_t kHeaderBytes = 12;

    bool littleEndian = false;
    int frameBytes = 0;
    int sampleRate = 0;
    int rateIndex = 0;                  // the RATE code
    std::optional<double> bitrateKbps;  // none for the open, variable and lossless codes
    int amode = 0;                      // channel arrangement
    bool lfe = false;

    int fullRangeChannels() const;
    static bool sameStream(const DtsFrame& a, const DtsFrame& b) {
        return a.littleEndian == b.littleEndian && a.sampleRate == b.sampleRate &&
               a.amode == b.amode;
    }
};

// The core frame header after the sync word; nothing for reserved codes.
std::optional<DtsFrame> readDtsFrameHeader(std::span<const std::uint8_t> bytes);

// The stream's identity from its first chunks, put end to end.
std::optional<StreamIdentity> identifyDts(std::span<const std::uint8_t> bytes);

}  // namespace strovanik::bitstream
