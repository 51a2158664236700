#include "container/avi_header_set.h"

#include <algorithm>

#include "container/little_endian.h"
#include "container/text_encoding.h"

namespace strovanik::container {

AviMainHeader AviMainHeader::fromBytes(std::span<const std::uint8_t, kSize> bytes) {
    std::array<std::int32_t, 14> v{};
    for (std::size_t i = 0; i < v.size(); ++i) {
        v[i] = readInt32(std::span<const std::uint8_t, 4>(bytes.data() + 4 * i, 4));
    }
    AviMainHeader h;
    h.dwMicroSecPerFrame = v[0];
    h.dwMaxBytesPerSec = v[1];
    h.dwPaddingGranularity = v[2];
    h.dwFlags = v[3];
    h.dwTotalFrames = v[4];
    h.dwInitialFrames = v[5];
    h.dwStreams = v[6];
    h.dwSuggestedBufferSize = v[7];
    h.dwWidth = v[8];
    h.dwHeight = v[9];
    std::copy(v.begin() + 10, v.end(), h.dwReserved.begin());
    return h;
}

AviStreamRecord::AviStreamRecord(std::span<const std::uint8_t, kSize> bytes) {
    std::copy(bytes.begin(), bytes.end(), bytes_.begin());
}

FourCc AviStreamRecord::code(std::size_t at) const {
    FourCc c{};
    std::copy_n(bytes_.begin() + static_cast<std::ptrdiff_t>(at), 4, c.begin());
    return c;
}

std::int32_t AviStreamRecord::int32At(std::size_t at) const {
    return readInt32(std::span<const std::uint8_t, 4>(bytes_.data() + at, 4));
}

std::int16_t AviStreamRecord::int16At(std::size_t at) const {
    return readInt16(std::span<const std::uint8_t, 2>(bytes_.data() + at, 2));
}

void AviHeaderSet::addAudioStream(const AviStreamRecord& record) {
    if (audioState == kNoAudio) {
        audioStream1 = record;
        audioState = kOneAudio;
    } else {
        audioStream2 = record;
        audioState = kTwoOrMoreAudio;
    }
}

namespace {

// Pads with spaces to 35 characters (a Hangul syllable counts as one character).
std::string paddedWord(std::string_view word) {
    std::size_t characters = 0;
    for (const char c : word) {
        if ((static_cast<unsigned char>(c) & 0xC0) != 0x80) ++characters;
    }
    std::string text(word);
    if (characters < AviHeaderSet::kMakeInfoSize) {
        text.append(AviHeaderSet::kMakeInfoSize - characters, ' ');
    }
    return text;
}

}  // namespace

std::string normalizedMakeInfo(const AviHeaderSet& headers, std::string_view unknownWord,
                               std::string_view editingWord) {
    const auto& info = headers.makeInfo;
    if (std::all_of(info.begin(), info.begin() + 5, [](std::uint8_t b) { return b == 0; })) {
        return paddedWord(unknownWord);
    }
    if (std::all_of(info.begin(), info.end(), [](std::uint8_t b) { return b == ' '; })) {
        return paddedWord(editingWord);
    }
    return decodeCp949(info);
}

bool isVideoStream(const AviStreamRecord& record) {
    return upperCased(record.fccType()) == fourCc("VIDS");
}

bool isSoundStream(const AviStreamRecord& record) {
    return upperCased(record.fccType()) == fourCc("AUDS");
}

std::string fourCcText(FourCc code) { return decodeCp949(code); }

}  // namespace strovanik::container
