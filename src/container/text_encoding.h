#pragma once

#include <cstdint>
#include <filesystem>
#include <span>
#include <string>
#include <string_view>

// The one place where text changes encoding: everything inside the program is UTF-8;
// bytes read from AVI files are CP949, saved reports may be CP949, and file names reach
// the operating system in its own form.
namespace strovanik::container {

// Decodes CP949 bytes into UTF-8. ASCII bytes, NUL included, stay as they are; a byte
// sequence that is not valid CP949 becomes U+FFFD.
std::string decodeCp949(std::span<const std::uint8_t> bytes);

// Encodes UTF-8 text as CP949; a character that has no CP949 form becomes "?".
std::string encodeCp949(std::string_view utf8);

// A path made from UTF-8 text, whatever the platform's own encoding of names is.
std::filesystem::path pathFromUtf8(std::string_view utf8);
std::string pathToUtf8(const std::filesystem::path& path);

}  // namespace strovanik::container
