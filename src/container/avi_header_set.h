#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>

#include "container/four_cc.h"

namespace strovanik::container {

// The data of the avih chunk: fourteen signed 32-bit numbers.
struct AviMainHeader {
    static constexpr std::size_t kSize = 56;

    std::int32_t dwMicroSecPerFrame = 0;
    std::int32_t dwMaxBytesPerSec = 0;
    std::int32_t dwPaddingGranularity = 0;
    std::int32_t dwFlags = 0;
    std::int32_t dwTotalFrames = 0;
    std::int32_t dwInitialFrames = 0;
    std::int32_t dwStreams = 0;
    std::int32_t dwSuggestedBufferSize = 0;
    std::int32_t dwWidth = 0;
    std::int32_t dwHeight = 0;
    std::array<std::int32_t, 4> dwReserved{};

    static AviMainHeader fromBytes(std::span<const std::uint8_t, kSize> bytes);
};

// A stream header (strh data, 56 bytes), the strf chunk header and the first 20 bytes of
// the stream format, read in one piece. The format bytes have two sets of names: the
// BITMAPINFOHEADER names for a video stream and the WAVEFORMATEX names for an audio stream.
// The record keeps the bytes; the accessors are the two views.
class AviStreamRecord {
public:
    static constexpr std::size_t kSize = 84;
    // The stream header's data comes first; the strf chunk's header stands right after it, and
    // the format's first bytes after that.
    static constexpr std::size_t kStreamHeaderSize = 56;
    static constexpr std::size_t kFormatChunkAt = kStreamHeaderSize;
    static constexpr std::size_t kFormatAt = kFormatChunkAt + 8;
    // Where the record starts in a stream list laid out as usual: after the list's header (12
    // bytes) and the strh chunk's header (8).
    static constexpr std::size_t kPlaceInStreamList = 20;

    AviStreamRecord() = default;
    explicit AviStreamRecord(std::span<const std::uint8_t, kSize> bytes);

    std::span<const std::uint8_t, kSize> bytes() const { return bytes_; }

    // Stream header.
    FourCc fccType() const { return code(0); }
    FourCc fccHandler() const { return code(4); }
    std::int32_t dwFlags() const { return int32At(8); }
    std::int32_t dwPriorityLanguage() const { return int32At(12); }
    std::int32_t dwInitialFrames() const { return int32At(16); }
    std::int32_t dwScale() const { return int32At(20); }
    std::int32_t dwRate() const { return int32At(24); }
    std::int32_t dwStart() const { return int32At(28); }
    std::int32_t dwLength() const { return int32At(32); }
    std::int32_t dwSuggestedBufferSize() const { return int32At(36); }
    std::int32_t dwQuality() const { return int32At(40); }
    std::int32_t dwSampleSize() const { return int32At(44); }
    std::int32_t rcFrameLeftTop() const { return int32At(48); }
    std::int32_t rcFrameRightBottom() const { return int32At(52); }
    FourCc strfId() const { return code(kFormatChunkAt); }
    std::int32_t strfSize() const { return int32At(kFormatChunkAt + 4); }

    // Video view of the format.
    std::int16_t biSizeLow() const { return int16At(kFormatAt); }
    std::int16_t biSizeHigh() const { return int16At(kFormatAt + 2); }
    std::int32_t biWidth() const { return int32At(kFormatAt + 4); }
    std::int32_t biHeight() const { return int32At(kFormatAt + 8); }
    std::int16_t biPlanes() const { return int16At(kFormatAt + 12); }
    std::int16_t biBitCount() const { return int16At(kFormatAt + 14); }
    FourCc biCompression() const { return code(kFormatAt + 16); }

    // Audio view of the same bytes.
    std::int16_t wFormatTag() const { return int16At(kFormatAt); }
    std::int16_t nChannels() const { return int16At(kFormatAt + 2); }
    std::int32_t nSamplesPerSec() const { return int32At(kFormatAt + 4); }
    std::int32_t nAvgBytesPerSec() const { return int32At(kFormatAt + 8); }
    std::int16_t nBlockAlign() const { return int16At(kFormatAt + 12); }
    std::int16_t wBitsPerSample() const { return int16At(kFormatAt + 14); }
    FourCc cbSizeAndExtra() const { return code(kFormatAt + 16); }

private:
    FourCc code(std::size_t at) const;
    std::int32_t int32At(std::size_t at) const;
    std::int16_t int16At(std::size_t at) const;

    std::array<std::uint8_t, kSize> bytes_{};
};

// Everything the header scan gathers from one AVI file; all zero when nothing was found.
struct AviHeaderSet {
    static constexpr std::size_t kMakeInfoSize = 35;

    AviMainHeader mainHeader;
    AviStreamRecord videoStream;
    AviStreamRecord audioStream1;
    AviStreamRecord audioStream2;
    std::array<std::uint8_t, kMakeInfoSize> makeInfo{};  // the bytes of the JUNK chunk
    std::int16_t audioState = kNoAudio;

    // The audio state's values, as the reports have always counted sound streams.
    static constexpr std::int16_t kNoAudio = 1;
    static constexpr std::int16_t kOneAudio = 3;
    static constexpr std::int16_t kTwoOrMoreAudio = 2;

    // A sound stream list found by the scan: the first fills the first record, every later
    // one replaces the second.
    void addAudioStream(const AviStreamRecord& record);
    bool hasSecondAudio() const { return audioState == kTwoOrMoreAudio; }
};

// The make-info text as the reports show it, in UTF-8: the unknown word when the field's
// first five bytes are zero, the editing word when it holds 35 spaces (either padded with
// spaces to 35 characters), otherwise the 35 bytes as read, NUL characters included.
std::string normalizedMakeInfo(const AviHeaderSet& headers, std::string_view unknownWord,
                               std::string_view editingWord);

// Whether a stream is video ("vids") or sound ("auds"), its type read in any letter case.
bool isVideoStream(const AviStreamRecord& record);
bool isSoundStream(const AviStreamRecord& record);

// The text of a four-character code as read (CP949 for bytes of 0x80 and above).
std::string fourCcText(FourCc code);

}  // namespace strovanik::container
