#pragma once

#include <cstddef>
#include <string>

#include "container/four_cc.h"

namespace strovanik::catalogue {

// Number of keys the video codec catalogue knows, "DIVX" included.
std::size_t videoCodecCount();

// The description the reports show after their compression label. Catalogue texts begin
// with a space; an unknown code gives the code as read followed by " Unknown " (and may
// then hold a NUL character, where the reports end the inserted text).
std::string describeVideoCodec(container::FourCc fccHandler, container::FourCc biCompression);

}  // namespace strovanik::catalogue
