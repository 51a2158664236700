#pragma once

#include <string>
#include <string_view>

// The edge between the program's UTF-8 text and the UTF-16 of the Windows W functions.
namespace strovanik::shell::win32 {

// A sequence that is not valid UTF-8 becomes U+FFFD.
std::wstring toWide(std::string_view utf8);
std::string toUtf8(std::wstring_view wide);

}  // namespace strovanik::shell::win32
