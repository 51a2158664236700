#include <gtest/gtest.h>

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "bitstream/h264.h"
#include "bitstream/mpeg4_visual.h"
#include "bitstream/stream_identity.h"
#include "support/chunk_file.h"

namespace strovanik::bitstream {
namespace {

using testing::Bytes;

std::vector<Bytes> fixture(const std::string& name) {
    const auto chunks = testing::readChunkFile(std::filesystem::path(STROVANIK_SOURCE_DIR) /
                                               "tests" / "bitstream" / "data" / (name + ".chunks"));
    EXPECT_FALSE(chunks.empty()) << name << ": run tests/bitstream/make_video_fixtures.sh";
    return chunks;
}

// The first chunks of real encoders' streams (tests/bitstream/make_video_fixtures.sh), and what
// ffprobe and mediainfo say of the whole files.
TEST(VideoIdentity, FirstChunksOfRealEncoders) {
    struct Case {
        const char* fixture;
        const char* format;
        const char* profile;
        const char* encoder;
        const char* version;
        int bFrames;
        bool packed;
        bool quarterPel;
        int gmcWarpPoints;
        bool mpegQuantisation;
        // mediainfo calls Xvid's interlaced coding progressive; the layer's flag says otherwise.
        bool interlaced;
    };
    const Case cases[] = {
        // clang-format off
        {"xvid_packed",              "mpeg4-visual", "Advanced Simple@L5", "Xvid",       "69",        2, true,  false, 0, false, false},
        {"xvid_unpacked",            "mpeg4-visual", "Advanced Simple@L5", "Xvid",       "69",        2, false, false, 0, false, false},
        {"xvid_simple",              "mpeg4-visual", "Simple@L3",          "Xvid",       "69",        0, false, false, 0, false, false},
        {"xvid_gmc_qpel",            "mpeg4-visual", "Advanced Simple@L5", "Xvid",       "69",        1, true,  true,  3, false, false},
        {"mencoder_xvid_packed",     "mpeg4-visual", "Advanced Simple@L5", "Xvid",       "69",        2, true,  false, 0, false, false},
        {"mencoder_xvid_mpeg_quant", "mpeg4-visual", "Advanced Simple@L5", "Xvid",       "69",        1, false, false, 0, true, true},
        {"lavc_bframes",             "mpeg4-visual", "Advanced Simple@L1", "libavcodec", "59.37.100", 2, false, false, 0, false, false},
        {"lavc_qpel",                "mpeg4-visual", "Advanced Simple@L1", "libavcodec", "59.37.100", 1, false, true,  0, false, false},
        {"lavc_fmp4",                "mpeg4-visual", "Simple@L1",          "libavcodec", "59.37.100", 0, false, false, 0, false, false},
        // clang-format on
    };
    for (const Case& c : cases) {
        const auto chunks = fixture(c.fixture);
        const auto id = identifyVideo(testing::prefixOf(chunks));
        ASSERT_TRUE(id) << c.fixture;
        EXPECT_EQ(id->format, c.format) << c.fixture;
        EXPECT_EQ(id->profile, c.profile) << c.fixture;
        ASSERT_TRUE(id->encoder) << c.fixture;
        EXPECT_EQ(id->encoder->name, c.encoder) << c.fixture;
        EXPECT_EQ(id->encoder->version, c.version) << c.fixture;
        EXPECT_EQ(id->bFrames, c.bFrames) << c.fixture;
        EXPECT_EQ(id->packedBitstream, c.packed) << c.fixture;
        EXPECT_EQ(id->quarterPel, c.quarterPel) << c.fixture;
        EXPECT_EQ(id->gmcWarpPoints, c.gmcWarpPoints) << c.fixture;
        EXPECT_EQ(id->mpegQuantisation, c.mpegQuantisation) << c.fixture;
        EXPECT_EQ(id->interlaced, c.interlaced) << c.fixture;
        EXPECT_EQ(id->width, 64) << c.fixture;
        EXPECT_EQ(id->height, 48) << c.fixture;
        EXPECT_GE(id->framesRead, 8) << c.fixture;
        EXPECT_FALSE(id->cabac) << c.fixture << ": no H.264 field";
    }
}

TEST(VideoIdentity, FirstChunksOfX264) {
    struct Case {
        const char* fixture;
        const char* profile;
        bool cabac;
        int refFrames;
        bool bFrames;
        bool interlaced;
        int height;
        int bitDepth;
    };
    const Case cases[] = {
        // clang-format off
        {"x264_baseline",   "Constrained Baseline@L1", false, 3, false, false, 42,  8},
        {"x264_main",       "Main@L1",                 true,  4, true,  false, 42,  8},
        {"x264_high",       "High@L3.1",               true,  4, true,  false, 42,  8},
        {"x264_high10",     "High 10@L1",              true,  4, true,  false, 42, 10},
        {"x264_interlaced", "High@L2.1",               true,  4, false, true,  44,  8},
        // clang-format on
    };
    for (const Case& c : cases) {
        const auto chunks = fixture(c.fixture);
        const auto id = identifyVideo(testing::prefixOf(chunks));
        ASSERT_TRUE(id) << c.fixture;
        EXPECT_EQ(id->format, "h264") << c.fixture;
        EXPECT_EQ(id->profile, c.profile) << c.fixture;
        EXPECT_EQ(id->cabac, c.cabac) << c.fixture;
        EXPECT_EQ(id->refFrames, c.refFrames) << c.fixture;
        ASSERT_TRUE(id->bFrames) << c.fixture;
        EXPECT_EQ(*id->bFrames > 0, c.bFrames) << c.fixture;
        EXPECT_EQ(id->interlaced, c.interlaced) << c.fixture;
        EXPECT_EQ(id->width, 64) << c.fixture;
        EXPECT_EQ(id->height, c.height) << c.fixture;
        EXPECT_EQ(id->bitDepth, c.bitDepth) << c.fixture;
        EXPECT_EQ(id->chromaFormat, "4:2:0") << c.fixture;
        ASSERT_TRUE(id->encoder) << c.fixture;
        EXPECT_EQ(id->encoder->name, "x264") << c.fixture;
        EXPECT_EQ(id->encoder->version, "core 164 r3095") << c.fixture;
        EXPECT_TRUE(id->encoder->text.starts_with("x264 - core 164 r3095 ")) << c.fixture;
        ASSERT_TRUE(id->settings) << c.fixture;
        EXPECT_TRUE(id->settings->starts_with(c.cabac ? "cabac=1 ref=" : "cabac=0 ref="))
            << c.fixture;
        EXPECT_FALSE(id->quarterPel) << c.fixture << ": no MPEG-4 Visual field";
    }
}

// Each format's parser takes only its own bytes, and bytes of neither are no video known here.
TEST(VideoIdentity, RecognisesByTheBytesOnly) {
    const auto xvid = fixture("xvid_packed");
    const auto x264 = fixture("x264_main");
    EXPECT_FALSE(h264::identify(testing::prefixOf(xvid)));
    EXPECT_FALSE(mpeg4::identify(testing::prefixOf(x264)));

    const std::vector<Bytes> none[] = {
        {},
        {{}, {}},
        {{0x00, 0x00, 0x01}},  // a start code without its code byte
        {{0xFF, 0xD8, 0xFF, 0xE0, 0x00, 0x10, 'J', 'F', 'I', 'F'}},  // a JPEG picture
        {{0x12, 0x00, 0x00, 0x01, 0xB6, 0x10}},        // a VOP start code inside other data
        {{0x00, 0x00, 0x01, 0x65, 0x88, 0x84}},        // an H.264 slice with no parameter sets
        {{0x00, 0x00, 0x01, 0x67, 0x07, 0x00, 0x0A}},  // an SPS of no profile there is
    };
    for (const auto& chunks : none) EXPECT_FALSE(identifyVideo(testing::prefixOf(chunks)));
}

// Whatever is left of a stream's first chunk once it is cut short, what is known stays true.
TEST(VideoIdentity, CutFirstChunksSayNothingFalse) {
    for (const char* name : {"xvid_gmc_qpel", "x264_interlaced", "mencoder_xvid_mpeg_quant"}) {
        const auto chunks = fixture(name);
        const auto whole = identifyVideo(testing::prefixOf({chunks.front()}));
        ASSERT_TRUE(whole) << name;
        for (std::size_t length = 0; length < chunks.front().size(); ++length) {
            const Bytes cut(chunks.front().begin(),
                            chunks.front().begin() + static_cast<std::ptrdiff_t>(length));
            const auto id = identifyVideo(testing::prefixOf({cut}));
            if (!id) continue;
            const auto same = [&](const auto& part, const auto& full, const char* field) {
                if (part) {
                    EXPECT_EQ(part, full) << name << " cut to " << length << ": " << field;
                }
            };
            EXPECT_EQ(id->format, whole->format) << name;
            same(id->profile, whole->profile, "profile");
            same(id->width, whole->width, "width");
            same(id->height, whole->height, "height");
            same(id->interlaced, whole->interlaced, "interlaced");
            same(id->quarterPel, whole->quarterPel, "quarterPel");
            same(id->gmcWarpPoints, whole->gmcWarpPoints, "gmcWarpPoints");
            same(id->mpegQuantisation, whole->mpegQuantisation, "mpegQuantisation");
            same(id->refFrames, whole->refFrames, "refFrames");
            same(id->cabac, whole->cabac, "cabac");
            // Cut before Xvid's own string, its DivX compatibility string may be all there is;
            // but no encoder's version is ever cut short.
            if (id->encoder && id->encoder->name == whole->encoder->name) {
                EXPECT_EQ(id->encoder, whole->encoder) << name << " cut to " << length;
            }
        }
    }
}

}  // namespace
}  // namespace strovanik::bitstream
