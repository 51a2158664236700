#include "bitstream/bit_reader.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

namespace strovanik::bitstream {
namespace {

using Bytes = std::vector<std::uint8_t>;

TEST(BitReader, ReadsFieldsAcrossByteBoundaries) {
    const Bytes bytes{0b1011'0011, 0b0101'1100, 0xff, 0x00, 0x12, 0x34, 0x56, 0x78};
    BitReader reader(bytes);
    EXPECT_EQ(reader.bits(1), 1u);
    EXPECT_EQ(reader.bits(3), 0b011u);
    EXPECT_EQ(reader.bits(6), 0b0011'01u);  // four bits of the first byte, two of the second
    EXPECT_FALSE(reader.byteAligned());
    reader.alignToByte();
    EXPECT_EQ(reader.bits(0), 0u);
    EXPECT_EQ(reader.bits(16), 0xff00u);
    EXPECT_EQ(reader.bits(32), 0x12345678u);
    EXPECT_TRUE(reader.ok());
    EXPECT_EQ(reader.bitsLeft(), 0);
}

TEST(BitReader, AReadPastTheEndGivesZeroAndFailsForGood) {
    struct Case {
        const char* what;
        int before;   // bits read first, all present
        int reading;  // then this many, running past the end
    };
    const Case cases[] = {
        {"one bit too many", 16, 1},
        {"a wide read that starts inside", 9, 32},
        {"an empty span", 0, 1},
        {"a count beyond 32", 0, 33},
    };
    for (const Case& c : cases) {
        const Bytes bytes = c.before == 0 && c.reading == 1 ? Bytes{} : Bytes{0xff, 0xff};
        BitReader reader(bytes);
        if (c.before > 0) reader.bits(c.before);
        ASSERT_TRUE(reader.ok()) << c.what;
        EXPECT_EQ(reader.bits(c.reading), 0u) << c.what;
        EXPECT_FALSE(reader.ok()) << c.what;
        reader.alignToByte();
        EXPECT_EQ(reader.bits(1), 0u) << c.what << ": a failed reader reads nothing more";
        EXPECT_FALSE(reader.ok()) << c.what;
    }
}

TEST(BitReader, SkipsWithinAndBeyondTheSpan) {
    const Bytes bytes{0x00, 0x00, 0x00, 0x0f};
    BitReader reader(bytes);
    reader.skip(28);
    EXPECT_EQ(reader.bits(4), 0xfu);
    EXPECT_TRUE(reader.ok());

    BitReader far(bytes);
    far.skip(std::int64_t{1} << 40);
    EXPECT_FALSE(far.ok());
    BitReader backwards(bytes);
    backwards.skip(-1);
    EXPECT_FALSE(backwards.ok());
}

TEST(BitReader, ExpGolombCodes) {
    struct Case {
        Bytes bytes;
        std::uint32_t unsignedValue;
        std::int32_t signedValue;
    };
    // 1 → 0; 010 → 1; 011 → 2; 00100 → 3; 0000 0000 1xxx xxxx x → 255 + x
    const Case cases[] = {
        {{0b1000'0000}, 0, 0},
        {{0b0100'0000}, 1, 1},
        {{0b0110'0000}, 2, -1},
        {{0b0010'0000}, 3, 2},
        {{0b0000'0000, 0b1000'0000, 0b0000'0000}, 255, 128},
        // 31 zeros, then 1 and 31 ones: the largest value there is
        {{0, 0, 0, 0b0000'0001, 0xff, 0xff, 0xff, 0xff}, 0xffff'fffeu, -0x7fff'ffff},
    };
    for (const Case& c : cases) {
        BitReader u(c.bytes);
        EXPECT_EQ(u.unsignedExpGolomb(), c.unsignedValue);
        EXPECT_TRUE(u.ok());
        BitReader s(c.bytes);
        EXPECT_EQ(s.signedExpGolomb(), c.signedValue);
    }
}

TEST(BitReader, ExpGolombWithTooManyZerosOrNoEndFails) {
    const Bytes tooLong{0, 0, 0, 0, 0xff, 0xff, 0xff, 0xff, 0xff};  // 32 leading zeros
    BitReader reader(tooLong);
    EXPECT_EQ(reader.unsignedExpGolomb(), 0u);
    EXPECT_FALSE(reader.ok());

    const Bytes cut{0b0000'0100};  // five zeros, a one, then the span ends
    BitReader short_(cut);
    EXPECT_EQ(short_.unsignedExpGolomb(), 0u);
    EXPECT_FALSE(short_.ok());
}

TEST(BitReader, DropsEmulationPreventionBytesOnlyWhenAsked) {
    // 00 00 03 01: the payload is 00 00 01; a 03 not after two zeros is data.
    const Bytes bytes{0x00, 0x00, 0x03, 0x01, 0x03, 0x00, 0x00, 0x03};
    BitReader payload(bytes, BitReader::Bytes::WithoutEmulationPrevention);
    EXPECT_EQ(payload.bits(24), 0x000001u);
    EXPECT_EQ(payload.bits(8), 0x03u);
    EXPECT_EQ(payload.bits(16), 0x0000u);
    EXPECT_EQ(payload.bits(1), 0u);  // only the dropped 03 was left
    EXPECT_FALSE(payload.ok());

    BitReader plain(bytes);
    EXPECT_EQ(plain.bits(32), 0x00000301u);

    // Skipping whole bytes drops them too.
    BitReader skipped(bytes, BitReader::Bytes::WithoutEmulationPrevention);
    skipped.skip(16);
    EXPECT_EQ(skipped.bits(8), 0x01u);
}

}  // namespace
}  // namespace strovanik::bitstream
