#pragma once

#include <string>
#include <string_view>

#include "container/avi_header_set.h"
#include "report/derived_measures.h"
#include "report/number_text.h"

// Words and pieces the two Korean layouts share.
namespace strovanik::report {

inline constexpr std::string_view kUnknownWord = "알수없음";
inline constexpr std::string_view kEditingWord = "편집됨";
inline constexpr std::string_view kNoSoundHeading = "  사운드(소리) 정보 - 없음 ";

// The channel count as the Korean layouts write it: a surround count with ".1" after it.
inline std::string koreanChannelCount(const container::AviStreamRecord& audio) {
    const std::int16_t channels = audio.nChannels();
    if (DerivedMeasures::channelClass(audio) == ChannelClass::Surround) {
        return spacedForm(static_cast<double>(channels) + 0.1);
    }
    return spacedForm(std::int64_t{channels});
}

}  // namespace strovanik::report
