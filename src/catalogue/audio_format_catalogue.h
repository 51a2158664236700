#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace strovanik::catalogue {

// Number of format tags the audio catalogue knows.
std::size_t audioFormatCount();

// The description the reports show after their audio codec label; a tag that is not in the
// catalogue gives its unsigned decimal number followed by " Unknown".
std::string describeAudioFormat(std::uint16_t wFormatTag);

}  // namespace strovanik::catalogue
