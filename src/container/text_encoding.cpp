#include "container/text_encoding.h"

#include <algorithm>

#ifdef _WIN32
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>
#else
#include <cerrno>
#include <iconv.h>
#endif

namespace strovanik::container {

namespace {

constexpr std::string_view kReplacement = "\xEF\xBF\xBD";  // U+FFFD in UTF-8

bool isAscii(std::span<const std::uint8_t> bytes) {
    return std::all_of(bytes.begin(), bytes.end(), [](std::uint8_t b) { return b < 0x80; });
}

#ifdef _WIN32

constexpr UINT kCp949 = 949;

std::wstring wideFrom(UINT codePage, DWORD flags, std::string_view text) {
    if (text.empty()) return {};
    const int count = MultiByteToWideChar(codePage, flags, text.data(), static_cast<int>(text.size()),
                                          nullptr, 0);
    if (count <= 0) return {};
    std::wstring wide(static_cast<std::size_t>(count), L'\0');
    MultiByteToWideChar(codePage, flags, text.data(), static_cast<int>(text.size()), wide.data(),
                        count);
    return wide;
}

std::string narrowTo(UINT codePage, std::wstring_view wide, bool* lossy) {
    if (wide.empty()) return {};
    BOOL usedDefault = FALSE;
    BOOL* usedDefaultPtr = codePage == CP_UTF8 ? nullptr : &usedDefault;
    const int count = WideCharToMultiByte(codePage, 0, wide.data(), static_cast<int>(wide.size()),
                                          nullptr, 0, nullptr, usedDefaultPtr);
    std::string text(static_cast<std::size_t>(std::max(count, 0)), '\0');
    WideCharToMultiByte(codePage, 0, wide.data(), static_cast<int>(wide.size()), text.data(), count,
                        nullptr, usedDefaultPtr);
    if (lossy != nullptr) *lossy = usedDefault != FALSE;
    return text;
}

// One character of CP949 at `bytes`: its length in bytes (0 when the bytes are not a valid
// character) and its UTF-8 form.
std::size_t decodeOne(std::span<const std::uint8_t> bytes, std::string& out) {
    // Above 0x7F, CP949 has two-byte characters only; Windows' own table would pass a lone
    // byte such as 0x80 through as a control character, where other systems see an error.
    if (!IsDBCSLeadByteEx(kCp949, bytes[0])) return 0;
    constexpr std::size_t length = 2;
    if (bytes.size() < length) return 0;
    const std::string_view piece(reinterpret_cast<const char*>(bytes.data()), length);
    const std::wstring wide = wideFrom(kCp949, MB_ERR_INVALID_CHARS, piece);
    if (wide.empty()) return 0;
    out += narrowTo(CP_UTF8, wide, nullptr);
    return length;
}

#else

// CP949 through the C library's iconv, one character at a time so that a bad sequence
// costs one replacement character and the rest still decodes.
class Converter {
public:
    Converter(const char* to, const char* from) : handle_(iconv_open(to, from)) {}
    ~Converter() {
        if (valid()) iconv_close(handle_);
    }
    Converter(const Converter&) = delete;
    Converter& operator=(const Converter&) = delete;
    bool valid() const { return handle_ != reinterpret_cast<iconv_t>(-1); }

    // Converts as much of `in` as it can; returns false on an invalid or incomplete sequence.
    bool convert(std::string_view& in, std::string& out) {
        iconv(handle_, nullptr, nullptr, nullptr, nullptr);
        char buffer[256];
        while (!in.empty()) {
            char* inPtr = const_cast<char*>(in.data());
            std::size_t inLeft = in.size();
            char* outPtr = buffer;
            std::size_t outLeft = sizeof buffer;
            const std::size_t rc = iconv(handle_, &inPtr, &inLeft, &outPtr, &outLeft);
            out.append(buffer, static_cast<std::size_t>(outPtr - buffer));
            in.remove_prefix(in.size() - inLeft);
            if (rc == static_cast<std::size_t>(-1) && errno != E2BIG) return false;
        }
        return true;
    }

private:
    iconv_t handle_;
};

#endif

}  // namespace

std::string decodeCp949(std::span<const std::uint8_t> bytes) {
    if (isAscii(bytes)) return std::string(bytes.begin(), bytes.end());
    std::string out;
#ifdef _WIN32
    std::size_t i = 0;
    while (i < bytes.size()) {
        if (bytes[i] < 0x80) {
            out += static_cast<char>(bytes[i++]);
            continue;
        }
        const std::size_t used = decodeOne(bytes.subspan(i), out);
        if (used == 0) {
            out += kReplacement;
            ++i;
        } else {
            i += used;
        }
    }
#else
    Converter converter("UTF-8", "CP949");
    std::string_view in(reinterpret_cast<const char*>(bytes.data()), bytes.size());
    while (!in.empty()) {
        if (!converter.valid() || !converter.convert(in, out)) {
            // Skip the byte that stopped the conversion and go on after it.
            out += kReplacement;
            in.remove_prefix(1);
        }
    }
#endif
    return out;
}

std::string encodeCp949(std::string_view utf8) {
    const auto* first = reinterpret_cast<const std::uint8_t*>(utf8.data());
    if (isAscii({first, utf8.size()})) return std::string(utf8);
    std::string out;
#ifdef _WIN32
    // Character by character, so that one without a CP949 form costs only itself.
    std::size_t i = 0;
    while (i < utf8.size()) {
        std::size_t length = 1;
        while (i + length < utf8.size() && (static_cast<unsigned char>(utf8[i + length]) & 0xC0) == 0x80) {
            ++length;
        }
        const std::wstring wide = wideFrom(CP_UTF8, MB_ERR_INVALID_CHARS, utf8.substr(i, length));
        bool lossy = wide.empty();
        const std::string piece = lossy ? std::string() : narrowTo(kCp949, wide, &lossy);
        out += lossy ? std::string("?") : piece;
        i += length;
    }
#else
    Converter converter("CP949", "UTF-8");
    std::string_view in = utf8;
    while (!in.empty()) {
        if (!converter.valid() || !converter.convert(in, out)) {
            // Skip the character that has no CP949 form (all its UTF-8 bytes).
            out += '?';
            std::size_t length = 1;
            while (length < in.size() && (static_cast<unsigned char>(in[length]) & 0xC0) == 0x80) {
                ++length;
            }
            in.remove_prefix(length);
        }
    }
#endif
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
