#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <vector>

// MPEG-4 Visual and H.264 as AVI holds them are runs of units, each behind a start code
// 00 00 01 and a byte that says what the unit is.
namespace strovanik::bitstream {

struct StartCodeUnit {
    std::uint8_t code = 0;                  // the byte after 00 00 01
    std::span<const std::uint8_t> payload;  // the bytes after it, up to the next start code
    std::size_t offset = 0;                 // where its 00 00 01 begins in the span searched
    // Whether another start code follows in the span, so that the unit is known to be whole
    // rather than cut where the span ends.
    bool ended = false;
};

// The unit whose start code begins at or after `from` in `bytes`, and `from` moved past it;
// nothing when no start code with a code byte is left. Each call moves forward, so a loop of
// calls ends with the span.
std::optional<StartCodeUnit> nextStartCodeUnit(std::span<const std::uint8_t> bytes,
                                               std::size_t& from);

// How much of a picture the parsers read: its headers lie in its first few dozen bytes.
inline constexpr std::size_t kPictureHead = 512;

// Appends to `out` the part of a video chunk that the parsers read: every unit whole from its
// start code, except a unit that may be a picture (an MPEG-4 VOP, an H.264 slice), which keeps
// its first kPictureHead bytes, and the bytes before the first start code, which keep as many.
// The parsers find the same units, with the same headers, at the same place at the chunk's
// start, in what is kept; a chunk of a long picture keeps a few hundred bytes of it.
void appendReadPart(std::span<const std::uint8_t> chunk, std::vector<std::uint8_t>& out);

}  // namespace strovanik::bitstream
