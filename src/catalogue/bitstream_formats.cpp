#include "catalogue/bitstream_formats.h"

#include <algorithm>
#include <array>
#include <iterator>

namespace strovanik::catalogue {

namespace {

constexpr std::array<std::string_view, 1> kMpeg4Visual = {"mpeg4-visual"};
constexpr std::array<std::string_view, 2> kMpegAudio12 = {"mp1", "mp2"};
constexpr std::array<std::string_view, 1> kMp3 = {"mp3"};
constexpr std::array<std::string_view, 1> kAc3 = {"ac3"};
constexpr std::array<std::string_view, 1> kDts = {"dts"};
constexpr std::array<std::string_view, 1> kPcm = {"pcm"};

struct VideoEntry {
    std::string_view key;  // upper case, as the catalogue looks it up
    std::span<const std::string_view> formats;
};

// "DIVX" names DivX 4 and 5, both MPEG-4 Visual, whatever its compression code. The DivX 3 and
// Microsoft MPEG-4 entries stand for formats of their own, not MPEG-4 Visual.
constexpr VideoEntry kVideo[] = {
    {"3IV2", kMpeg4Visual},
    {"DIVX", kMpeg4Visual},
    {"DX50", kMpeg4Visual},
    {"XVID", kMpeg4Visual},
};

struct AudioEntry {
    std::uint16_t tag;
    std::span<const std::string_view> formats;
};

constexpr AudioEntry kAudio[] = {
    {1, kPcm}, {80, kMpegAudio12}, {85, kMp3}, {8192, kAc3}, {8193, kDts},
};

}  // namespace

std::span<const std::string_view> videoCodecFormats(container::FourCc fccHandler) {
    const container::FourCc key = container::upperCased(fccHandler);
    const std::string_view keyText(reinterpret_cast<const char*>(key.data()), key.size());
    const auto* found = std::find_if(std::begin(kVideo), std::end(kVideo),
                                     [&](const VideoEntry& e) { return e.key == keyText; });
    return found == std::end(kVideo) ? std::span<const std::string_view>{} : found->formats;
}

std::span<const std::string_view> audioFormatFormats(std::uint16_t wFormatTag) {
    const auto* found = std::find_if(std::begin(kAudio), std::end(kAudio),
                                     [&](const AudioEntry& e) { return e.tag == wFormatTag; });
    return found == std::end(kAudio) ? std::span<const std::string_view>{} : found->formats;
}

}  // namespace strovanik::catalogue
