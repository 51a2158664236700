#include "bitstream/h264.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <optional>
#include <string>
#include <vector>

#include "support/bit_writer.h"

namespace strovanik::bitstream::h264 {
namespace {

using Bytes = std::vector<std::uint8_t>;
using testing::BitWriter;

TEST(H264, ProfileAndLevelNames) {
    struct Case {
        int profileIdc;
        std::uint8_t constraintFlags;
        int levelIdc;
        std::optional<std::string> name;
    };
    const Case cases[] = {
        {66, 0x40, 30, "Constrained Baseline@L3"},
        {66, 0x00, 31, "Baseline@L3.1"},
        {66, 0x10, 11, "Baseline@L1b"},  // level 1b: 11 with constraint_set3 before High
        {77, 0x00, 9, "Main@L1b"},       // and its own level_idc 9
        {100, 0x10, 11, "High@L1.1"},    // from High on, constraint_set3 says nothing of 1b
        {110, 0x10, 40, "High 10 Intra@L4"},
        {244, 0x00, 51, "High 4:4:4 Predictive@L5.1"},
        {0, 0x00, 30, std::nullopt},
        {255, 0x00, 30, std::nullopt},
    };
    for (const Case& c : cases) {
        SequenceParameterSet sps;
        sps.profileIdc = c.profileIdc;
        sps.constraintFlags = c.constraintFlags;
        sps.levelIdc = c.levelIdc;
        EXPECT_EQ(profileAndLevelName(sps), c.name) << c.profileIdc << " " << c.levelIdc;
    }
}

// A sequence parameter set with the fields the cases change; the rest as x264 writes them.
struct SpsPlan {
    int profileIdc = 100;
    std::uint32_t levelIdc = 30;
    std::uint32_t id = 0;
    std::uint32_t chromaFormatIdc = 1;
    std::uint32_t bitDepthMinus8 = 0;
    std::uint32_t picOrderCntType = 0;
    std::uint32_t refFrames = 4;
    std::uint32_t widthMbs = 4;
    std::uint32_t heightMapUnits = 3;
    bool frameMbsOnly = true;
    std::uint32_t cropBottom = 0;  // in crop units
};

Bytes spsPayload(const SpsPlan& plan) {
    BitWriter w;
    w.bits(static_cast<std::uint32_t>(plan.profileIdc), 8).bits(0, 8).bits(plan.levelIdc, 8);
    w.ue(plan.id);
    if (plan.profileIdc >= 100) {
        w.ue(plan.chromaFormatIdc);
        if (plan.chromaFormatIdc == 3) w.flag(false);
        w.ue(plan.bitDepthMinus8).ue(plan.bitDepthMinus8).flag(false).flag(false);
    }
    w.ue(0).ue(plan.picOrderCntType);
    if (plan.picOrderCntType == 0) w.ue(2);
    w.ue(plan.refFrames).flag(false).ue(plan.widthMbs - 1).ue(plan.heightMapUnits - 1);
    w.flag(plan.frameMbsOnly);
    if (!plan.frameMbsOnly) w.flag(false);
    w.flag(true).flag(plan.cropBottom != 0);
    if (plan.cropBottom != 0) w.ue(0).ue(0).ue(0).ue(plan.cropBottom);
    w.flag(false);  // no VUI
    return testing::withEmulationPrevention(w.trailing());
}

TEST(H264, SequenceParameterSetEdges) {
    struct Case {
        const char* what;
        SpsPlan plan;
        bool read;
        int width;
        int height;
    };
    const auto plan = [](auto change) {
        SpsPlan p;
        change(p);
        return p;
    };
    const Case cases[] = {
        {"plain", {}, true, 64, 48},
        {"cropped 4:2:0: two lines a unit", plan([](SpsPlan& p) { p.cropBottom = 3; }), true, 64,
         42},
        {"cropped fields: four lines a unit",
         plan([](SpsPlan& p) { p.frameMbsOnly = false, p.cropBottom = 1; }), true, 64, 92},
        {"cropped 4:4:4: one line a unit",
         plan([](SpsPlan& p) { p.chromaFormatIdc = 3, p.cropBottom = 3; }), true, 64, 45},
        {"a cropping that leaves nothing is ignored", plan([](SpsPlan& p) { p.cropBottom = 24; }),
         true, 64, 48},
        {"the widest picture the parser takes", plan([](SpsPlan& p) { p.widthMbs = 1024; }), true,
         16384, 48},
        {"wider still", plan([](SpsPlan& p) { p.widthMbs = 1025; }), false, 0, 0},
        {"chroma_format_idc 4", plan([](SpsPlan& p) { p.chromaFormatIdc = 4; }), false, 0, 0},
        {"15-bit samples", plan([](SpsPlan& p) { p.bitDepthMinus8 = 7; }), false, 0, 0},
        {"17 reference frames", plan([](SpsPlan& p) { p.refFrames = 17; }), false, 0, 0},
        {"pic_order_cnt_type 3", plan([](SpsPlan& p) { p.picOrderCntType = 3; }), false, 0, 0},
        // Flags and level zero, then the eight zeros of the Exp-Golomb code of 255: 00 00 03 00.
        {"emulation bytes in the payload",
         plan([](SpsPlan& p) { p.profileIdc = 66, p.levelIdc = 0, p.id = 255; }), true, 64, 48},
    };
    EXPECT_EQ((Bytes{spsPayload(cases[std::size(cases) - 1].plan)}.at(3)), 0x03)
        << "the last case holds an emulation byte";
    for (const Case& c : cases) {
        const auto sps = readSequenceParameterSet(spsPayload(c.plan));
        ASSERT_EQ(sps.has_value(), c.read) << c.what;
        if (!sps) continue;
        EXPECT_EQ(sps->width, c.width) << c.what;
        EXPECT_EQ(sps->height, c.height) << c.what;
    }
}

TEST(H264, EncoderSeiEdges) {
    const Bytes uuid = {0xdc, 0x45, 0xe9, 0xbd, 0xe6, 0xd9, 0x48, 0xb7,
                        0x96, 0x2c, 0xd8, 0x20, 0xd9, 0x23, 0xee, 0xef};
    const std::string text =
        "x264 - core 160 r3011 cc7d - H.264/MPEG-4 AVC codec - options: cabac=1 ref=3";
    const auto message = [](int type, std::size_t size, const Bytes& body) {
        Bytes out;
        for (int t = type;; t -= 255) {
            out.push_back(static_cast<std::uint8_t>(std::min(t, 255)));
            if (t < 255) break;
        }
        for (auto s = static_cast<int>(size);; s -= 255) {
            out.push_back(static_cast<std::uint8_t>(std::min(s, 255)));
            if (s < 255) break;
        }
        out.insert(out.end(), body.begin(), body.end());
        return out;
    };
    // Built in one piece: mingw's GCC at -O3 mistakes an insert after a copy for an overrun.
    Bytes x264Body(uuid.size() + text.size() + 1, 0);
    std::copy(uuid.begin(), uuid.end(), x264Body.begin());
    std::copy(text.begin(), text.end(), x264Body.begin() + static_cast<std::ptrdiff_t>(uuid.size()));
    Bytes otherBody = x264Body;
    otherBody[0] ^= 1;
    // Then 00 00 03 01: 00 00 01 with an emulation byte, which the message's size may count.
    Bytes escapedBody(uuid.size() + text.size() + 4, 0);
    std::copy(x264Body.begin(), x264Body.end(), escapedBody.begin());
    escapedBody[escapedBody.size() - 2] = 0x03;
    escapedBody[escapedBody.size() - 1] = 0x01;
    const auto sei = [](std::initializer_list<Bytes> messages) {
        Bytes out;
        for (const Bytes& m : messages) out.insert(out.end(), m.begin(), m.end());
        out.push_back(0x80);  // rbsp stop bit
        return out;
    };

    struct Case {
        const char* what;
        Bytes payload;
        bool found;
    };
    const Case cases[] = {
        {"x264's message", sei({message(5, x264Body.size(), x264Body)}), true},
        {"after a message of another type (a size over 255)",
         sei({message(1, 300, Bytes(300, 0x11)), message(5, x264Body.size(), x264Body)}), true},
        {"another encoder's identifier", sei({message(5, otherBody.size(), otherBody)}), false},
        {"a size beyond the payload", sei({message(5, x264Body.size() + 2, x264Body)}), false},
        {"a size beyond the payload but for an emulation byte",
         sei({message(5, escapedBody.size() + 1, escapedBody)}), false},
        {"a size that leaves the emulation byte out",
         sei({message(5, escapedBody.size() - 1, escapedBody)}), true},
        {"types of 255 to the end", Bytes(40, 0xFF), false},
        {"empty", {}, false},
    };
    for (const Case& c : cases) {
        const auto found = readEncoderSei(c.payload);
        ASSERT_EQ(found.has_value(), c.found) << c.what;
        if (!found) continue;
        EXPECT_EQ(found->encoder.name, "x264") << c.what;
        EXPECT_EQ(found->encoder.version, "core 160 r3011") << c.what;
        EXPECT_EQ(found->encoder.text, text) << c.what;
        EXPECT_EQ(found->settings, "cabac=1 ref=3") << c.what;
    }
}

TEST(H264, SliceStarts) {
    struct Case {
        std::uint32_t firstMb;
        std::uint32_t sliceType;
        std::optional<SliceType> type;
    };
    const Case cases[] = {
        {0, 0, SliceType::P},  {0, 6, SliceType::B},  {7, 7, SliceType::I},
        {0, 9, SliceType::Si}, {0, 10, std::nullopt},
    };
    for (const Case& c : cases) {
        const auto slice = readSliceStart(BitWriter().ue(c.firstMb).ue(c.sliceType).trailing());
        ASSERT_EQ(slice.has_value(), c.type.has_value()) << c.sliceType;
        if (!slice) continue;
        EXPECT_EQ(slice->type, *c.type) << c.sliceType;
        EXPECT_EQ(slice->firstMbInSlice, c.firstMb) << c.sliceType;
    }
    EXPECT_FALSE(readSliceStart({}));
}

}  // namespace
}  // namespace strovanik::bitstream::h264
