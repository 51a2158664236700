#include "container/start_code_units.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <vector>

namespace strovanik::container {

namespace {

// Compression codes of H.264 and of MPEG-4 visual as AVI writers put them, upper-cased.
constexpr std::array kH264Codes = {fourCc("H264"), fourCc("X264"), fourCc("AVC1"),
                                   fourCc("DAVC"), fourCc("VSSH"), fourCc("Q264")};
constexpr std::array kMpeg4VisualCodes = {
    fourCc("XVID"), fourCc("DIVX"), fourCc("DX50"), fourCc("FMP4"), fourCc("MP4V"),
    fourCc("MP4S"), fourCc("M4S2"), fourCc("3IV2"), fourCc("BLZ0"), fourCc("XVIX"),
    fourCc("DXGM"), fourCc("RMP4"), fourCc("SMP4"), fourCc("UMP4"), fourCc("GEOX"),
    fourCc("DM4V"), fourCc("HDX4"), fourCc("FVFW"), fourCc("DIGI"), fourCc("EPHV"),
    fourCc("EM4A"), fourCc("M4CC"), fourCc("SN40"), fourCc("WV1F"), fourCc("SEDG")};

template <std::size_t N>
bool listed(const std::array<FourCc, N>& codes, FourCc code) {
    return std::find(codes.begin(), codes.end(), upperCased(code)) != codes.end();
}

StartCodeFamily familyOfCode(FourCc code) {
    if (listed(kH264Codes, code)) return StartCodeFamily::H264;
    if (listed(kMpeg4VisualCodes, code)) return StartCodeFamily::Mpeg4Visual;
    return StartCodeFamily::None;
}

// Whether the unit that starts with 00 00 01 `type` configures the decoder.
bool isConfiguration(StartCodeFamily family, std::uint8_t type) {
    if (family == StartCodeFamily::H264) {
        const int nalType = type & 0x1F;
        return nalType == 6 || nalType == 7 || nalType == 8;  // SEI, SPS, PPS
    }
    // 0x00-0x1F video object, 0x20-0x2F video object layer, 0xB0/0xB1 visual object sequence
    // start and end, 0xB2 user data, 0xB3 group of VOPs, 0xB5 visual object. A VOP (0xB6)
    // is a picture.
    return type <= 0x2F || (type >= 0xB0 && type <= 0xB3) || type == 0xB5;
}

constexpr std::int64_t kBlock = 1 << 20;
// A block is read with the three bytes after it, so that a start code that begins in its last
// bytes, and the type byte after it, are seen whole.
constexpr std::int64_t kOverlap = 3;

}  // namespace

StartCodeFamily startCodeFamilyOf(FourCc compression, FourCc handler) {
    const StartCodeFamily byCompression = familyOfCode(compression);
    return byCompression != StartCodeFamily::None ? byCompression : familyOfCode(handler);
}

void forEachKeptSpan(ByteSource& source, std::int64_t offset, std::int64_t length,
                     StartCodeFamily family,
                     const std::function<void(std::int64_t, std::int64_t)>& keep) {
    if (family == StartCodeFamily::None || length <= 0) return;
    const std::int64_t end = offset + length;
    std::vector<std::uint8_t> block(static_cast<std::size_t>(std::min(length, kBlock + kOverlap)));
    std::int64_t unitStart = -1;  // the start of the configuration unit being kept, if any

    for (std::int64_t start = offset; start < end; start += kBlock) {
        const std::int64_t filled = std::min(end - start, kBlock + kOverlap);
        const std::span<std::uint8_t> bytes(block.data(), static_cast<std::size_t>(filled));
        readPadded(source, start, bytes);
        // Start codes that begin in [start, start + kBlock) belong to this block; `j` is the
        // place of a start code's 01 byte.
        const std::int64_t lastOne = std::min(filled, kBlock + 2);
        std::int64_t j = 2;
        while (j < lastOne) {
            const void* found = std::memchr(bytes.data() + j, 1, static_cast<std::size_t>(lastOne - j));
            if (found == nullptr) break;
            j = static_cast<const std::uint8_t*>(found) - bytes.data();
            if (bytes[j - 1] != 0 || bytes[j - 2] != 0) {
                ++j;
                continue;
            }
            const std::int64_t at = start + j - 2;
            if (unitStart >= 0) keep(unitStart, at - unitStart);
            unitStart = -1;
            if (j + 1 < filled && isConfiguration(family, bytes[j + 1])) {
                unitStart = at;
            } else {
                keep(at, std::min<std::int64_t>(3, end - at));
            }
            j += 3;
        }
    }
    if (unitStart >= 0) keep(unitStart, end - unitStart);
}

}  // namespace strovanik::container
