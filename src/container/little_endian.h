#pragma once

#include <cstdint>
#include <span>

namespace strovanik::container {

// Numbers in AVI files are little-endian and held as signed integers of their width.
inline std::int32_t readInt32(std::span<const std::uint8_t, 4> b) {
    const std::uint32_t value = static_cast<std::uint32_t>(b[0]) |
                                (static_cast<std::uint32_t>(b[1]) << 8) |
                                (static_cast<std::uint32_t>(b[2]) << 16) |
                                (static_cast<std::uint32_t>(b[3]) << 24);
    return static_cast<std::int32_t>(value);
}

inline std::int16_t readInt16(std::span<const std::uint8_t, 2> b) {
    const auto value = static_cast<std::uint16_t>(b[0] | (b[1] << 8));
    return static_cast<std::int16_t>(value);
}

}  // namespace strovanik::container
