#pragma once

#include <cstdint>
#include <span>
#include <string_view>

#include "container/four_cc.h"

// Which bitstream formats the catalogues' names stand for, so that a stream's name can be held
// against what its first frames are. The formats are the bitstream parsers' names
// ("mpeg4-visual", "mp3", "ac3"). An entry not listed stands for none of them: "H264" is in the
// video catalogue as an old conferencing codec, and a code the catalogue does not know is
// "Unknown", whatever the stream holds.
namespace strovanik::catalogue {

// The formats the video catalogue's entry for this handler code stands for.
std::span<const std::string_view> videoCodecFormats(container::FourCc fccHandler);

// The formats the audio catalogue's entry for this format tag stands for.
std::span<const std::string_view> audioFormatFormats(std::uint16_t wFormatTag);

}  // namespace strovanik::catalogue
