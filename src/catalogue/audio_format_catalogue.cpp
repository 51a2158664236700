#include "catalogue/audio_format_catalogue.h"

#include <algorithm>
#include <iterator>
#include <string_view>

namespace strovanik::catalogue {

namespace {

struct Entry {
    std::uint16_t tag;
    std::string_view description;
};

constexpr Entry kAudioFormats[] = {
#include "catalogue/audio_format_table.inc"
};

}  // namespace

std::size_t audioFormatCount() { return std::size(kAudioFormats); }

std::string describeAudioFormat(std::uint16_t wFormatTag) {
    const auto* found = std::find_if(std::begin(kAudioFormats), std::end(kAudioFormats),
                                     [&](const Entry& e) { return e.tag == wFormatTag; });
    if (found != std::end(kAudioFormats)) return std::string(found->description);
    return std::to_string(wFormatTag) + " Unknown";
}

}  // namespace strovanik::catalogue
