#pragma once

#include <cstdint>
#include <span>
#include <string_view>

namespace strovanik::container {

enum class ContainerKind { Ogg, Avi, Asf, MpegProgram, VcdDat, Unknown };

struct Recognition {
    ContainerKind kind = ContainerKind::Unknown;
    std::int32_t riffSize = 0;  // bytes 5 to 8 of the file, for every kind
};

// Decides the kind from the first twelve bytes of a file; a shorter file is given with
// zeros in place of the missing bytes.
Recognition recogniseContainer(std::span<const std::uint8_t, 12> firstBytes);

// The Korean message shown for a kind whose information cannot be shown (empty for Avi).
std::string_view refusalMessage(ContainerKind kind);

// The kind's name as the code spells it ("Avi", "MpegProgram", ...).
std::string_view containerKindName(ContainerKind kind);

}  // namespace strovanik::container
