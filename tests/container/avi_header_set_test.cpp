#include "container/avi_header_set.h"

#include <gtest/gtest.h>

#include <array>
#include <string>
#include <vector>

#include "support/avi_writer.h"

namespace strovanik::container {
namespace {

using namespace std::string_literals;
using testing::Bytes;
using testing::concat;
using testing::le16;
using testing::le32;

TEST(AviMainHeader, FourteenSignedNumbersInOrder) {
    Bytes bytes;
    for (std::int32_t i = 0; i < 14; ++i) {
        const Bytes v = le32(i == 9 ? -2 : 0x01010101 * (i + 1));
        bytes.insert(bytes.end(), v.begin(), v.end());
    }
    const auto h = AviMainHeader::fromBytes(std::span<const std::uint8_t, 56>(bytes.data(), 56));
    EXPECT_EQ(h.dwMicroSecPerFrame, 0x01010101);
    EXPECT_EQ(h.dwMaxBytesPerSec, 0x02020202);
    EXPECT_EQ(h.dwPaddingGranularity, 0x03030303);
    EXPECT_EQ(h.dwFlags, 0x04040404);
    EXPECT_EQ(h.dwTotalFrames, 0x05050505);
    EXPECT_EQ(h.dwInitialFrames, 0x06060606);
    EXPECT_EQ(h.dwStreams, 0x07070707);
    EXPECT_EQ(h.dwSuggestedBufferSize, 0x08080808);
    EXPECT_EQ(h.dwWidth, 0x09090909);
    EXPECT_EQ(h.dwHeight, -2);
    EXPECT_EQ(h.dwReserved,
              (std::array<std::int32_t, 4>{0x0B0B0B0B, 0x0C0C0C0C, 0x0D0D0D0D, 0x0E0E0E0E}));
}

AviStreamRecord recordOf(const Bytes& bytes) {
    return AviStreamRecord(std::span<const std::uint8_t, 84>(bytes.data(), 84));
}

TEST(AviStreamRecord, FieldsAtTheirOffsetsInBothViews) {
    const Bytes bytes = concat({testing::code("vids"),
                                testing::code("xvid"),
                                le32(1),
                                le32(2),
                                le32(3),
                                le32(4),
                                le32(5),
                                le32(6),
                                le32(7),
                                le32(8),
                                le32(9),
                                le32(10),
                                le32(11),
                                le32(12),
                                testing::code("strf"),
                                le32(40),
                                le16(-21),
                                le16(-22),
                                le32(-23),
                                le32(-24),
                                le16(1152),
                                le16(-26),
                                testing::code("DX50")});
    ASSERT_EQ(bytes.size(), 84u);
    const AviStreamRecord r = recordOf(bytes);
    EXPECT_EQ(r.fccType(), fourCc("vids"));
    EXPECT_EQ(r.fccHandler(), fourCc("xvid"));
    EXPECT_EQ(r.dwFlags(), 1);
    EXPECT_EQ(r.dwPriorityLanguage(), 2);
    EXPECT_EQ(r.dwInitialFrames(), 3);
    EXPECT_EQ(r.dwScale(), 4);
    EXPECT_EQ(r.dwRate(), 5);
    EXPECT_EQ(r.dwStart(), 6);
    EXPECT_EQ(r.dwLength(), 7);
    EXPECT_EQ(r.dwSuggestedBufferSize(), 8);
    EXPECT_EQ(r.dwQuality(), 9);
    EXPECT_EQ(r.dwSampleSize(), 10);
    EXPECT_EQ(r.rcFrameLeftTop(), 11);
    EXPECT_EQ(r.rcFrameRightBottom(), 12);
    EXPECT_EQ(r.strfId(), fourCc("strf"));
    EXPECT_EQ(r.strfSize(), 40);
    // Video view.
    EXPECT_EQ(r.biSizeLow(), -21);
    EXPECT_EQ(r.biSizeHigh(), -22);
    EXPECT_EQ(r.biWidth(), -23);
    EXPECT_EQ(r.biHeight(), -24);
    EXPECT_EQ(r.biPlanes(), 1152);
    EXPECT_EQ(r.biBitCount(), -26);
    EXPECT_EQ(r.biCompression(), fourCc("DX50"));
    // Audio view of the same bytes.
    EXPECT_EQ(r.wFormatTag(), -21);
    EXPECT_EQ(r.nChannels(), -22);
    EXPECT_EQ(r.nSamplesPerSec(), -23);
    EXPECT_EQ(r.nAvgBytesPerSec(), -24);
    EXPECT_EQ(r.nBlockAlign(), 1152);
    EXPECT_EQ(r.wBitsPerSample(), -26);
    EXPECT_EQ(r.cbSizeAndExtra(), fourCc("DX50"));
    EXPECT_TRUE(std::equal(bytes.begin(), bytes.end(), r.bytes().begin()));
}

TEST(AviHeaderSet, StartsAllZeroWithNoAudio) {
    const AviHeaderSet h;
    EXPECT_EQ(h.audioState, 1);
    EXPECT_EQ(h.mainHeader.dwMicroSecPerFrame, 0);
    EXPECT_EQ(h.mainHeader.dwHeight, 0);
    EXPECT_EQ(h.audioStream1.fccType(), FourCc{});
    EXPECT_EQ(h.audioStream1.wFormatTag(), 0);
    EXPECT_EQ(h.videoStream.fccHandler(), FourCc{});
    for (const std::uint8_t b : h.makeInfo) EXPECT_EQ(b, 0);
}

// A make-info field of 35 bytes from text, NUL-filled.
AviHeaderSet withMakeInfo(std::string_view bytes) {
    AviHeaderSet h;
    for (std::size_t i = 0; i < bytes.size() && i < h.makeInfo.size(); ++i) {
        h.makeInfo[i] = static_cast<std::uint8_t>(bytes[i]);
    }
    return h;
}

TEST(NormalizedMakeInfo, Table) {
    const std::string spaces35(35, ' ');
    const std::string full = "Encoded with a writer of 35 bytes!!";
    ASSERT_EQ(full.size(), 35u);
    struct Case {
        const char* name;
        std::string field;
        std::string english;
        std::string korean;
    };
    const std::vector<Case> cases = {
        {"never_filled", "", "unknown" + std::string(28, ' '), "알수없음" + std::string(31, ' ')},
        {"first_five_nul_then_text", "\0\0\0\0\0later text"s, "unknown" + std::string(28, ' '),
         "알수없음" + std::string(31, ' ')},
        {"thirty_five_spaces", spaces35, "editing" + std::string(28, ' '),
         "편집됨" + std::string(32, ' ')},
        {"thirty_four_spaces_then_nul", std::string(34, ' '), std::string(34, ' ') + "\0"s,
         std::string(34, ' ') + "\0"s},
        {"first_nul_but_not_first_five", "\0\0\0\0Xabc"s, "\0\0\0\0Xabc"s + std::string(27, '\0'),
         "\0\0\0\0Xabc"s + std::string(27, '\0')},
        {"text_then_nuls", "MakeAvi 1.0", "MakeAvi 1.0" + std::string(24, '\0'),
         "MakeAvi 1.0" + std::string(24, '\0')},
        {"full_text", full, full, full},
        {"cp949_text", "\xC7\xD1\xB1\xDB v2", "한글 v2" + std::string(28, '\0'),
         "한글 v2" + std::string(28, '\0')},
        {"invalid_cp949",
         "\xFF"
         "abc",
         "\xEF\xBF\xBD"
         "abc" +
             std::string(31, '\0'),
         "\xEF\xBF\xBD"
         "abc" +
             std::string(31, '\0')},
    };
    for (const Case& c : cases) {
        const AviHeaderSet h = withMakeInfo(c.field);
        EXPECT_EQ(normalizedMakeInfo(h, "unknown", "editing"), c.english) << c.name;
        EXPECT_EQ(normalizedMakeInfo(h, "알수없음", "편집됨"), c.korean) << c.name;
    }
}

TEST(NormalizedMakeInfo, LeavesTheFieldAsRead) {
    const AviHeaderSet h = withMakeInfo("");
    (void)normalizedMakeInfo(h, "unknown", "editing");
    for (const std::uint8_t b : h.makeInfo) EXPECT_EQ(b, 0);
}

TEST(FourCcText, DecodesAsRead) {
    EXPECT_EQ(fourCcText(fourCc("Abc1")), "Abc1");
    EXPECT_EQ(fourCcText(fourCc("DIB")), "DIB\0"s);
    EXPECT_EQ(fourCcText(FourCc{0xB0, 0xA1, 0xC7, 0xD1}), "가한");
    EXPECT_EQ(fourCcText(FourCc{'a', 0xB0, 0xA1, 0xFF}), "a가\xEF\xBF\xBD");
}

}  // namespace
}  // namespace strovanik::container
