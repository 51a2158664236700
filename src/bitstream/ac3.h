#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>

#include "bitstream/stream_identity.h"

// AC-3 and its enhanced form E-AC-3, told apart by the bit-stream identification (bsid).
namespace strovanik::bitstream {

struct Ac3Frame {
    // The bytes the header is read from: enough for either form's fields read here.
    static constexpr std::size_t kHeaderBytes = 8;

    bool enhanced = false;  // E-AC-3 (bsid 11 to 16)
    int bsid = 0;
    int sampleRate = 0;
    int frameBytes = 0;
    double bitrateKbps = 0;
    int acmod = 0;  // audio coding mode: which full-range channels
    bool lfe = false;
    int streamType = 0;   // E-AC-3: 0 independent, 1 dependent, 2 converted from AC-3
    int substreamId = 0;  // E-AC-3

    int fullRangeChannels() const;
    // Frames of one programme share form and sample rate; E-AC-3's dependent substreams, in
    // between, have channel modes of their own.
    static bool sameStream(const Ac3Frame& a, const Ac3Frame& b) {
        return a.enhanced == b.enhanced && a.sampleRate == b.sampleRate;
    }
};

// The sync frame's sync information and the start of its bit-stream information, AC-3's or
// E-AC-3's as the bsid says; nothing for reserved codes.
std::optional<Ac3Frame> readAc3FrameHeader(std::span<const std::uint8_t> bytes);

// The stream's identity from its first chunks, put end to end.
std::optional<StreamIdentity> identifyAc3(std::span<const std::uint8_t> bytes);

}  // namespace strovanik::bitstream
