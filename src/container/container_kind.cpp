#include "container/container_kind.h"

#include <algorithm>

#include "container/four_cc.h"
#include "container/little_endian.h"

namespace strovanik::container {

namespace {

// First words of the known signatures, as signed little-endian numbers.
constexpr std::int32_t kRiffWord = 1179011410;    // "RIFF"
constexpr std::int32_t kAsfWord = 1974609456;     // 30 26 B2 75, the ASF header GUID's start
constexpr std::int32_t kMpegPackWord = -1174339584;  // 00 00 01 BA, the MPEG pack start code
constexpr std::int32_t kOggWord = 1399285583;     // "OggS", an Ogg page's capture pattern

}  // namespace

Recognition recogniseContainer(std::span<const std::uint8_t, 12> firstBytes) {
    Recognition result;
    const std::int32_t firstWord = readInt32(firstBytes.subspan<0, 4>());
    result.riffSize = readInt32(firstBytes.subspan<4, 4>());
    FourCc formType{};
    std::copy_n(firstBytes.begin() + 8, 4, formType.begin());
    formType = upperCased(formType);

    if (firstWord == kRiffWord) {
        result.kind = ContainerKind::Avi;
        if (formType != fourCc("AVI ")) result.kind = ContainerKind::Unknown;
        if (formType == fourCc("CDXA")) result.kind = ContainerKind::VcdDat;
    } else if (firstWord == kAsfWord) {
        result.kind = ContainerKind::Asf;
    } else if (firstWord == kMpegPackWord) {
        result.kind = ContainerKind::MpegProgram;
    } else if (firstWord == kOggWord) {
        result.kind = ContainerKind::Ogg;
    }
    return result;
}

std::string_view refusalMessage(ContainerKind kind) {
    switch (kind) {
        case ContainerKind::Ogg:
            return "OGG 코덱의 동영상 정보는 알수없습니다.. 죄송^^";
        case ContainerKind::Asf:
            return "ASF형식입니다. ASF파일의정보는 알수없습니다";
        case ContainerKind::MpegProgram:
            return "MPG형식입니다. MPG파일의정보는 알수없습니다";
        case ContainerKind::VcdDat:
            return "VCD의 DAT형식입니다. DAT파일의정보는 알수없습니다";
        case ContainerKind::Unknown:
            return "AVI형식이 아니거나 알수없는 형식입니다";
        case ContainerKind::Avi:
            break;
    }
    return {};
}

std::string_view containerKindName(ContainerKind kind) {
    switch (kind) {
        case ContainerKind::Ogg: return "Ogg";
        case ContainerKind::Avi: return "Avi";
        case ContainerKind::Asf: return "Asf";
        case ContainerKind::MpegProgram: return "MpegProgram";
        case ContainerKind::VcdDat: return "VcdDat";
        case ContainerKind::Unknown: return "Unknown";
    }
    return "Unknown";
}

}  // namespace strovanik::container
