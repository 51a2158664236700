#include "bitstream/start_code_scan.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "bitstream/stream_identity.h"
#include "support/chunk_file.h"

// What the first-frames reader keeps of a video chunk: the edges of the rule, and that the
// parsers read the same from it as from the whole chunk.
namespace strovanik::bitstream {
namespace {

using testing::Bytes;

// A unit: its start code, its code byte, then `length` bytes of `fill`.
Bytes unit(std::uint8_t code, std::size_t length, std::uint8_t fill = 0xAA) {
    // Made at its full length at once: mingw's GCC at -O3 takes an insert after four bytes
    // for an overrun.
    Bytes out(4 + length, fill);
    out[0] = 0;
    out[1] = 0;
    out[2] = 1;
    out[3] = code;
    return out;
}

Bytes joined(std::initializer_list<Bytes> parts) {
    Bytes out;
    for (const Bytes& part : parts) out.insert(out.end(), part.begin(), part.end());
    return out;
}

Bytes head(const Bytes& bytes, std::size_t length) {
    return Bytes(bytes.begin(), bytes.begin() + static_cast<std::ptrdiff_t>(length));
}

TEST(StartCodeScan, KeepsEveryUnitAndThePicturesHeads) {
    constexpr std::size_t kHead = kPictureHead;
    const Bytes vop = unit(0xB6, 3000);
    const Bytes userData = unit(0xB2, 3000, 'X');
    const Bytes sei = unit(0x06, 3000, 'S');
    const Bytes slice = unit(0x65, 3000);  // an H.264 IDR slice, nal_ref_idc 3
    const Bytes sps = unit(0x67, 20, 0x42);
    struct Case {
        const char* name;
        Bytes chunk;
        Bytes kept;
    } cases[] = {
        {"empty", {}, {}},
        {"no start code, short", Bytes(100, 7), Bytes(100, 7)},
        {"no start code, long: its head", Bytes(3000, 7), Bytes(kHead, 7)},
        {"a short picture whole", unit(0xB6, kHead), unit(0xB6, kHead)},
        {"a picture one byte past its head", unit(0xB6, kHead + 1), unit(0xB6, kHead)},
        {"a long picture: its head", vop, head(vop, 4 + kHead)},
        {"user data whole, then a picture's head", joined({userData, vop}),
         joined({userData, head(vop, 4 + kHead)})},
        {"a picture's head, then user data whole", joined({vop, userData}),
         joined({head(vop, 4 + kHead), userData})},
        {"H.264 four-byte start codes: the leading zero, a parameter set, a slice's head",
         joined({{0}, sps, {0}, slice}), joined({{0}, sps, {0}, head(slice, 4 + kHead)})},
        {"an SEI whole", sei, sei},
        {"a long lead before the first unit: its head, then the unit",
         joined({Bytes(1000, 7), sps}), joined({Bytes(kHead, 7), sps})},
        {"a start code without its code byte at the end belongs to the unit before",
         joined({unit(0xB6, 10), {0, 0, 1}}), joined({unit(0xB6, 10), {0, 0, 1}})},
    };
    for (const Case& c : cases) {
        Bytes kept = {9};  // appended to, never replaced
        appendReadPart(c.chunk, kept);
        EXPECT_EQ(Bytes(kept.begin() + 1, kept.end()), c.kept) << c.name;
        EXPECT_EQ(kept.front(), 9) << c.name;
    }
}

// The first chunks of real encoders (tests/bitstream/make_video_fixtures.sh): what is kept of
// each chunk says all that the whole chunks say, with their pictures cut to their heads.
TEST(StartCodeScan, WhatIsKeptIsIdentifiedAsTheWholeChunks) {
    const std::filesystem::path data =
        std::filesystem::path(STROVANIK_SOURCE_DIR) / "tests" / "bitstream" / "data";
    int identified = 0;
    std::size_t cut = 0;
    for (const char* name :
         {"lavc_bframes", "lavc_fmp4", "lavc_interlaced", "lavc_qpel", "mencoder_xvid_mpeg_quant",
          "mencoder_xvid_packed", "x264_baseline", "x264_high", "x264_high10", "x264_interlaced",
          "x264_main", "xvid_gmc_qpel", "xvid_packed", "xvid_simple", "xvid_unpacked"}) {
        const std::vector<Bytes> chunks = testing::readChunkFile(data / (std::string(name) + ".chunks"));
        ASSERT_FALSE(chunks.empty()) << name << ": run tests/bitstream/make_video_fixtures.sh";
        std::vector<Bytes> kept(chunks.size());
        for (std::size_t i = 0; i < chunks.size(); ++i) {
            appendReadPart(chunks[i], kept[i]);
            EXPECT_LE(kept[i].size(), chunks[i].size()) << name;
            cut += chunks[i].size() - kept[i].size();
        }
        const auto whole = identifyVideo(testing::prefixOf(chunks));
        EXPECT_EQ(identifyVideo(testing::prefixOf(kept)), whole) << name;
        if (whole) ++identified;
    }
    EXPECT_EQ(identified, 15);
    EXPECT_GT(cut, 0u);  // some pictures were long enough to be cut
}

}  // namespace
}  // namespace strovanik::bitstream
