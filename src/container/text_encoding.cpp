#include "container/text_encoding.h"

#include <algorithm>
#include <optional>
#include <utility>

namespace strovanik::container {

namespace {

// One two-byte character: its code (lead byte, trail byte) and its Unicode code point.
struct Cp949Pair {
    std::uint16_t code;
    std::uint16_t codePoint;
};

// Made at build time from the C library's CP949 charmap, the same in every build, so that
// Linux and Windows convert alike and nothing is looked up on the system at run time.
#include "cp949_table.inc"

constexpr std::string_view kReplacement = "\xEF\xBF\xBD";  // U+FFFD in UTF-8

bool isAscii(std::span<const std::uint8_t> bytes) {
    return std::all_of(bytes.begin(), bytes.end(), [](std::uint8_t b) { return b < 0x80; });
}

template <std::size_t N>
std::optional<std::uint16_t> lookUp(const Cp949Pair (&table)[N], std::uint16_t Cp949Pair::*key,
                                    std::uint16_t Cp949Pair::*value, std::uint32_t wanted) {
    const auto* found =
        std::lower_bound(std::begin(table), std::end(table), wanted,
                         [key](const Cp949Pair& pair, std::uint32_t w) { return pair.*key < w; });
    if (found == std::end(table) || found->*key != wanted) return std::nullopt;
    return found->*value;
}

bool isContinuation(std::uint8_t b) { return (b & 0xC0) == 0x80; }

void appendUtf8(std::uint32_t codePoint, std::string& out) {
    if (codePoint < 0x80) {
        out += static_cast<char>(codePoint);
    } else if (codePoint < 0x800) {
        out += static_cast<char>(0xC0 | (codePoint >> 6));
        out += static_cast<char>(0x80 | (codePoint & 0x3F));
    } else {
        out += static_cast<char>(0xE0 | (codePoint >> 12));
        out += static_cast<char>(0x80 | ((codePoint >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (codePoint & 0x3F));
    }
}

// The code point of the UTF-8 sequence that starts `text`, when it is a whole one in its
// shortest form, with its length in bytes. Only the two- and three-byte forms are decoded
// (ASCII never gets here, and a code point past U+FFFF has no CP949 form anyway).
std::optional<std::pair<std::uint32_t, std::size_t>> utf8Prefix(std::string_view text) {
    const auto lead = static_cast<std::uint8_t>(text[0]);
    std::size_t length = 0;
    std::uint32_t value = 0;
    std::uint32_t smallest = 0;
    if (lead >= 0xC0 && lead < 0xE0) {
        length = 2;
        value = lead & 0x1F;
        smallest = 0x80;
    } else if (lead >= 0xE0 && lead < 0xF0) {
        length = 3;
        value = lead & 0x0F;
        smallest = 0x800;
    } else {
        return std::nullopt;
    }
    if (text.size() < length) return std::nullopt;
    for (std::size_t i = 1; i < length; ++i) {
        const auto b = static_cast<std::uint8_t>(text[i]);
        if (!isContinuation(b)) return std::nullopt;
        value = (value << 6) | (b & 0x3F);
    }
    if (value < smallest) return std::nullopt;
    return std::pair{value, length};
}

}  // namespace

std::string decodeCp949(std::span<const std::uint8_t> bytes) {
    if (isAscii(bytes)) return std::string(bytes.begin(), bytes.end());
    std::string out;
    std::size_t i = 0;
    while (i < bytes.size()) {
        if (bytes[i] < 0x80) {
            out += static_cast<char>(bytes[i++]);
            continue;
        }
        // Above 0x7F there are two-byte characters only: a byte that does not start one is
        // replaced, and decoding goes on with the byte after it.
        const std::optional<std::uint16_t> codePoint =
            i + 1 < bytes.size() ? lookUp(kCp949ByCode, &Cp949Pair::code, &Cp949Pair::codePoint,
                                          static_cast<std::uint32_t>(bytes[i] << 8 | bytes[i + 1]))
                                 : std::nullopt;
        if (codePoint) {
            appendUtf8(*codePoint, out);
            i += 2;
        } else {
            out += kReplacement;
            ++i;
        }
    }
    return out;
}

std::string encodeCp949(std::string_view utf8) {
    const auto* first = reinterpret_cast<const std::uint8_t*>(utf8.data());
    if (isAscii({first, utf8.size()})) return std::string(utf8);
    std::string out;
    std::size_t i = 0;
    while (i < utf8.size()) {
        const auto lead = static_cast<std::uint8_t>(utf8[i]);
        if (lead < 0x80) {
            out += utf8[i++];
            continue;
        }
        const auto sequence = utf8Prefix(utf8.substr(i));
        const std::optional<std::uint16_t> code =
            sequence ? lookUp(kCp949ByCodePoint, &Cp949Pair::codePoint, &Cp949Pair::code,
                              sequence->first)
                     : std::nullopt;
        if (code) {
            out += static_cast<char>(*code >> 8);
            out += static_cast<char>(*code & 0xFF);
            i += sequence->second;
            continue;
        }
        // A character without a CP949 form, or bytes that are not UTF-8, cost one "?" for
        // the byte and the continuation bytes after it.
        out += '?';
        ++i;
        while (i < utf8.size() && isContinuation(static_cast<std::uint8_t>(utf8[i]))) ++i;
    }
    return out;
}

std::filesystem::path pathFromUtf8(std::string_view utf8) {
    const std::u8string text(reinterpret_cast<const char8_t*>(utf8.data()), utf8.size());
    return std::filesystem::path(text);
}

std::string pathToUtf8(const std::filesystem::path& path) {
    const std::u8string text = path.u8string();
    return std::string(reinterpret_cast<const char*>(text.data()), text.size());
}

}  // namespace strovanik::container
