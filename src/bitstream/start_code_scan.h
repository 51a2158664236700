#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>

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

}  // namespace strovanik::bitstream
