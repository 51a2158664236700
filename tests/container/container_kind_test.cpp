#include "container/container_kind.h"

#include <gtest/gtest.h>

#include <array>
#include <string>
#include <vector>

#include "support/avi_writer.h"

namespace strovanik::container {
namespace {

using testing::Bytes;
using testing::concat;
using testing::le32;
using testing::text;
using namespace std::string_view_literals;

// The first twelve bytes of a file, zeros in place of what a short file lacks.
Recognition recognise(const Bytes& file) {
    std::array<std::uint8_t, 12> first{};
    for (std::size_t i = 0; i < first.size() && i < file.size(); ++i) first[i] = file[i];
    return recogniseContainer(first);
}

struct KindCase {
    const char* name;
    Bytes firstBytes;
    ContainerKind kind;
};

class RecognitionTable : public ::testing::TestWithParam<KindCase> {};

TEST_P(RecognitionTable, DecidesTheKindFromTheFirstTwelveBytes) {
    EXPECT_EQ(recognise(GetParam().firstBytes).kind, GetParam().kind);
}

INSTANTIATE_TEST_SUITE_P(
    Signatures, RecognitionTable,
    ::testing::Values(
        KindCase{"empty", {}, ContainerKind::Unknown},
        KindCase{"three_bytes_of_riff", text("RIF"), ContainerKind::Unknown},
        KindCase{"riff_without_form_type", text("RIFF"), ContainerKind::Unknown},
        KindCase{"riff_of_eleven_bytes", text("RIFF\x10\0\0\0AVI"sv), ContainerKind::Unknown},
        KindCase{"riff_avi", text("RIFF\x10\0\0\0AVI "sv), ContainerKind::Avi},
        KindCase{"riff_avi_lower_case", text("RIFF\x10\0\0\0avi "sv), ContainerKind::Avi},
        KindCase{"riff_avi_mixed_case", text("RIFF\x10\0\0\0aVi "sv), ContainerKind::Avi},
        KindCase{"riff_avi_without_space", text("RIFF\x10\0\0\0AVI\0"sv), ContainerKind::Unknown},
        KindCase{"riff_avix_extension", text("RIFF\x10\0\0\0AVIX"sv), ContainerKind::Unknown},
        KindCase{"riff_wave", text("RIFF\x10\0\0\0WAVE"sv), ContainerKind::Unknown},
        KindCase{"riff_cdxa", text("RIFF\x10\0\0\0CDXA"sv), ContainerKind::VcdDat},
        KindCase{"riff_cdxa_lower_case", text("RIFF\x10\0\0\0cdxa"sv), ContainerKind::VcdDat},
        KindCase{"riff_in_lower_case", text("riff\x10\0\0\0AVI "sv), ContainerKind::Unknown},
        KindCase{"rifx_big_endian", text("RIFX\x10\0\0\0AVI "sv), ContainerKind::Unknown},
        KindCase{"asf_guid",
                 {0x30, 0x26, 0xB2, 0x75, 0x8E, 0x66, 0xCF, 0x11, 0xA6, 0xD9, 0, 0xAA},
                 ContainerKind::Asf},
        KindCase{"asf_guid_alone", {0x30, 0x26, 0xB2, 0x75}, ContainerKind::Asf},
        KindCase{"asf_guid_start_reversed", {0x75, 0xB2, 0x26, 0x30}, ContainerKind::Unknown},
        KindCase{"mpeg_pack_header",
                 {0x00, 0x00, 0x01, 0xBA, 0x44, 0, 4, 0, 4, 1, 1, 0x89},
                 ContainerKind::MpegProgram},
        KindCase{"mpeg_sequence_header",
                 {0x00, 0x00, 0x01, 0xB3, 0x14, 0, 0xF0, 0x13},
                 ContainerKind::Unknown},
        KindCase{"ogg_page", text("OggS\0\x02\0\0\0\0\0\0"sv), ContainerKind::Ogg},
        KindCase{"ogg_lower_case", text("oggs\0\x02\0\0\0\0\0\0"sv), ContainerKind::Unknown},
        KindCase{"ogg_short", text("OggS"), ContainerKind::Ogg},
        KindCase{"text_file", text("hello, world"), ContainerKind::Unknown}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(Recognition, RiffSizeIsBytesFiveToEightForEveryKind) {
    struct Case {
        Bytes first;
        std::int32_t riffSize;
    };
    const std::vector<Case> cases = {
        {concat({text("RIFF"), le32(734'003'192), text("AVI ")}), 734'003'192},
        {concat({text("RIFF"), le32(-2), text("AVI ")}), -2},  // held signed
        {concat({text("RIFF"), le32(36), text("WAVE")}), 36},
        {concat({text("RIFF"), le32(1'000'000), text("CDXA")}), 1'000'000},
        {concat({Bytes{0x30, 0x26, 0xB2, 0x75}, le32(0x11CF668E)}), 0x11CF668E},
        {concat({Bytes{0, 0, 1, 0xBA}, le32(0x01040044)}), 0x01040044},
        {concat({text("OggS"), le32(0x200)}), 0x200},
        {text("abcdefgh"), 0x68676665},
        {text("RIFF\x01\x02"sv), 0x0201},  // a short file: the missing bytes are zero
        {{}, 0},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(recognise(c.first).riffSize, c.riffSize);
    }
}

TEST(Recognition, RefusalMessagesAreTheKoreanTexts) {
    EXPECT_EQ(refusalMessage(ContainerKind::Ogg), "OGG 코덱의 동영상 정보는 알수없습니다.. 죄송^^");
    EXPECT_EQ(refusalMessage(ContainerKind::Asf), "ASF형식입니다. ASF파일의정보는 알수없습니다");
    EXPECT_EQ(refusalMessage(ContainerKind::MpegProgram),
              "MPG형식입니다. MPG파일의정보는 알수없습니다");
    EXPECT_EQ(refusalMessage(ContainerKind::VcdDat),
              "VCD의 DAT형식입니다. DAT파일의정보는 알수없습니다");
    EXPECT_EQ(refusalMessage(ContainerKind::Unknown), "AVI형식이 아니거나 알수없는 형식입니다");
    EXPECT_EQ(refusalMessage(ContainerKind::Avi), "");
}

TEST(Recognition, KindNamesAreTheCodesNames) {
    EXPECT_EQ(containerKindName(ContainerKind::Ogg), "Ogg");
    EXPECT_EQ(containerKindName(ContainerKind::Avi), "Avi");
    EXPECT_EQ(containerKindName(ContainerKind::Asf), "Asf");
    EXPECT_EQ(containerKindName(ContainerKind::MpegProgram), "MpegProgram");
    EXPECT_EQ(containerKindName(ContainerKind::VcdDat), "VcdDat");
    EXPECT_EQ(containerKindName(ContainerKind::Unknown), "Unknown");
}

}  // namespace
}  // namespace strovanik::container
