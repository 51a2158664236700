#include "support/plain_walk.h"

#include <array>
#include <cstdio>
#include <cstring>
#include <fstream>

namespace strovanik::testing {

namespace fs = std::filesystem;

void walkMovieChunks(const fs::path& file,
                     const std::function<void(std::string_view, std::int64_t, std::int64_t)>& chunk) {
    std::ifstream in(file, std::ios::binary);
    const auto size = static_cast<std::int64_t>(fs::file_size(file));
    std::array<char, 12> b{};
    const auto header = [&](std::int64_t at) {
        b.fill(0);
        in.clear();
        in.seekg(at);
        in.read(b.data(), 12);
    };
    const auto u32 = [&](int at) {
        std::uint32_t value = 0;
        for (int i = 3; i >= 0; --i) value = value << 8 | static_cast<std::uint8_t>(b[at + i]);
        return static_cast<std::int64_t>(value);
    };
    for (std::int64_t riff = 0; riff + 12 <= size;) {
        header(riff);
        if (std::memcmp(b.data(), "RIFF", 4) != 0) break;
        const std::int64_t riffSize = u32(4);
        const std::int64_t riffEnd = riff + 8 + riffSize;
        for (std::int64_t at = riff + 12; at + 12 <= std::min(riffEnd, size);) {
            header(at);
            const std::int64_t listSize = u32(4);
            const std::int64_t end = at + 8 + listSize;
            if (std::memcmp(b.data(), "LIST", 4) == 0 && std::memcmp(b.data() + 8, "movi", 4) == 0) {
                for (std::int64_t p = at + 12; p + 8 <= std::min(end, size);) {
                    header(p);
                    const std::int64_t chunkSize = u32(4);
                    chunk(std::string_view(b.data(), 4), p + 8, chunkSize);
                    p += 8 + chunkSize + (chunkSize & 1);
                }
            }
            at = end + (listSize & 1);
        }
        riff = riffEnd + (riffSize & 1);
    }
}

std::string commandOutput(const std::string& command) {
    std::string text;
#ifndef _WIN32
    FILE* pipe = popen(command.c_str(), "r");
    if (pipe == nullptr) return text;
    char buffer[4096];
    std::size_t n = 0;
    while ((n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0) text.append(buffer, n);
    pclose(pipe);
#else
    (void)command;
#endif
    return text;
}

std::string shellQuoted(const std::string& text) {
    std::string quoted = "'";
    for (char c : text) quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return quoted + "'";
}

}  // namespace strovanik::testing
