#include "catalogue/video_codec_catalogue.h"

#include <algorithm>
#include <array>
#include <string_view>

#include "container/avi_header_set.h"

namespace strovanik::catalogue {

namespace {

using container::FourCc;
using container::fourCc;

struct Entry {
    std::string_view key;
    std::string_view description;
};

constexpr Entry kVideoCodecs[] = {
#include "catalogue/video_codec_table.inc"
};

}  // namespace

std::size_t videoCodecCount() { return std::size(kVideoCodecs) + 1; }

std::string describeVideoCodec(FourCc fccHandler, FourCc biCompression) {
    const FourCc key = container::upperCased(fccHandler);
    if (key == fourCc("DIVX")) {
        // The compression code is compared as read, letter case included.
        if (biCompression == fourCc("DIVX")) return " DivX Codec V4.xx";
        if (biCompression == fourCc("DX50")) return " DivX Codec V5.xx";
        return " DivX Codec Unknown Ver";
    }
    const std::string_view keyText(reinterpret_cast<const char*>(key.data()), key.size());
    const auto* found = std::find_if(std::begin(kVideoCodecs), std::end(kVideoCodecs),
                                     [&](const Entry& e) { return e.key == keyText; });
    if (found != std::end(kVideoCodecs)) return std::string(found->description);
    if (key == FourCc{}) return " Uncompressed";
    return container::fourCcText(fccHandler) + " Unknown ";
}

}  // namespace strovanik::catalogue
