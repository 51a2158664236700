#include "shell/saved_text_encoding.h"

#include <array>
#include <cctype>

#include "container/text_encoding.h"

namespace strovanik::shell {

SavedTextEncoding encodingForCharset(std::string_view charsetName) {
    std::string key;
    for (const char c : charsetName) {
        if (c == '-' || c == '_' || c == ' ') continue;
        key += static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    }
    constexpr std::array<std::string_view, 7> kKoreanLegacy = {
        "EUCKR", "CP949", "UHC", "MS949", "WINDOWS949", "KSC5601", "KSC56011987"};
    for (const std::string_view name : kKoreanLegacy) {
        if (key == name) return SavedTextEncoding::Cp949;
    }
    return SavedTextEncoding::Utf8;
}

std::string encodeSavedText(std::string_view utf8, SavedTextEncoding encoding) {
    return encoding == SavedTextEncoding::Cp949 ? container::encodeCp949(utf8) : std::string(utf8);
}

}  // namespace strovanik::shell
