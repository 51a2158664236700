#pragma once

#include <string>
#include <string_view>

// The character set of a saved report: the system's own, so that the text editors of the
// user's system read it back. Reports hold Korean text, so only sets that can carry it count.
namespace strovanik::shell {

enum class SavedTextEncoding { Utf8, Cp949 };

// From the name of a character set: the Korean legacy sets (EUC-KR, CP949, UHC and their
// spellings) give CP949; every other name gives UTF-8, which can hold any report.
SavedTextEncoding encodingForCharset(std::string_view charsetName);

// This system's choice. On Linux and other POSIX systems, the locale's character set
// (nl_langinfo(CODESET)); on Windows the ANSI code page: UTF-8 when it is 65001, otherwise
// CP949.
SavedTextEncoding systemSavedTextEncoding();

// The bytes of a UTF-8 text in the chosen set, with no byte-order mark.
std::string encodeSavedText(std::string_view utf8, SavedTextEncoding encoding);

}  // namespace strovanik::shell
