#pragma once

#include <array>
#include <cstdint>
#include <string_view>

namespace strovanik::container {

// A four-character code as read from the file: four bytes, one character each.
using FourCc = std::array<std::uint8_t, 4>;

constexpr FourCc fourCc(std::string_view text) {
    FourCc code{};
    for (std::size_t i = 0; i < code.size() && i < text.size(); ++i) {
        code[i] = static_cast<std::uint8_t>(text[i]);
    }
    return code;
}

// Upper-casing of codes touches the letters a to z only: digits, spaces, NUL and bytes
// of 0x80 and above stay as they are.
constexpr std::uint8_t upperAscii(std::uint8_t b) {
    return (b >= 'a' && b <= 'z') ? static_cast<std::uint8_t>(b - ('a' - 'A')) : b;
}

constexpr FourCc upperCased(FourCc code) {
    for (auto& b : code) b = upperAscii(b);
    return code;
}

}  // namespace strovanik::container
