#include "bitstream/mpeg4_visual.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "support/bit_writer.h"
#include "support/chunk_file.h"

namespace strovanik::bitstream::mpeg4 {
namespace {

using Bytes = std::vector<std::uint8_t>;
using testing::BitWriter;

Bytes text(std::string_view s) { return Bytes(s.begin(), s.end()); }

TEST(Mpeg4Visual, UserDataNamesTheEncoder) {
    struct Case {
        Bytes payload;
        std::optional<EncoderName> encoder;
        bool packed;
    };
    const Case cases[] = {
        {text("XviD0063"), EncoderName{"Xvid", "63", "XviD0063"}, false},
        {text("DivX503b1393p"), EncoderName{"DivX", "5.0.3 build 1393", "DivX503b1393p"}, true},
        {text("DivX503Build1393"), EncoderName{"DivX", "5.0.3 build 1393", "DivX503Build1393"},
         false},
        {text("Lavc59.37.100"), EncoderName{"libavcodec", "59.37.100", "Lavc59.37.100"}, false},
        // The string ends where the printable bytes do.
        {{'X', 'v', 'i', 'D', '0', '0', '5', '0', 0xFF, '1'},
         EncoderName{"Xvid", "50", "XviD0050"},
         false},
        {{}, std::nullopt, false},
        {text("XviD"), std::nullopt, false},
        {text("xvid0063"), std::nullopt, false},
        {text("DivX503"), std::nullopt, false},
        {text("DivXb1393"), std::nullopt, false},
        {text("DivX503b"), std::nullopt, false},
        {text("Lavc"), std::nullopt, false},
        {text("FFmpeg"), std::nullopt, false},
    };
    for (const Case& c : cases) {
        const auto encoder = encoderFromUserData(c.payload);
        const std::string what(c.payload.begin(), c.payload.end());
        EXPECT_EQ(encoder, c.encoder) << what;
        if (encoder) {
            EXPECT_EQ(marksPackedBitstream(*encoder), c.packed) << what;
        }
    }
}

TEST(Mpeg4Visual, ProfileNamesAtTheEdgesOfTheTables) {
    const std::pair<std::uint8_t, std::optional<std::string>> levels[] = {
        {0x08, "Simple@L0"},  {0xF0, "Advanced Simple@L0"}, {0xF7, "Advanced Simple@L3b"},
        {0x00, std::nullopt}, {0x07, std::nullopt},         {0xF6, std::nullopt},
        {0xFF, std::nullopt},
    };
    for (const auto& [indication, name] : levels)
        EXPECT_EQ(profileAndLevelName(indication), name) << int{indication};
    const std::pair<int, std::optional<std::string>> types[] = {
        {0, std::nullopt}, {1, "Simple"}, {17, "Advanced Simple"}, {19, std::nullopt}};
    for (const auto& [type, name] : types) EXPECT_EQ(objectTypeName(type), name) << type;
}

// An object layer with the fields the cases change.
struct LayerPlan {
    int verid = 2;  // written in the layer; 1 has neither GMC nor quarter-pel
    int shape = 0;
    std::uint32_t resolution = 25;
    int sprite = 0;
    int warpingPoints = 0;
    bool mpegQuant = false;
    bool loadMatrices = false;
    bool quarterSample = false;
    std::size_t cutAfterBits = 0;  // 0: whole
};

Bytes layerPayload(const LayerPlan& p) {
    BitWriter w;
    w.flag(false).bits(0x11, 8);  // random access; Advanced Simple
    w.flag(true).bits(static_cast<std::uint32_t>(p.verid), 4).bits(1, 3);
    w.bits(1, 4).flag(false);  // square pixels; no control parameters
    w.bits(static_cast<std::uint32_t>(p.shape), 2);
    w.flag(true).bits(p.resolution, 16).flag(true).flag(false);
    if (p.shape == 0) w.flag(true).bits(176, 13).flag(true).bits(144, 13).flag(true);
    if (p.shape != 2) {
        w.flag(false).flag(true).bits(static_cast<std::uint32_t>(p.sprite), p.verid == 1 ? 1 : 2);
        if (p.sprite == 1) w.bits(0, 4 * 14);
        if (p.sprite != 0) w.bits(static_cast<std::uint32_t>(p.warpingPoints), 6).bits(0, 3);
        if (p.sprite == 1) w.flag(false);
        if (p.verid != 1 && p.shape != 0) w.flag(false);
        w.flag(false).flag(p.mpegQuant);
        if (p.mpegQuant) {
            w.flag(p.loadMatrices);
            if (p.loadMatrices) w.bits(8, 8).bits(16, 8).bits(0, 8);  // ends early at a zero
            w.flag(p.loadMatrices);
            if (p.loadMatrices) {
                for (int i = 0; i < 64; ++i) w.bits(16 + static_cast<std::uint32_t>(i), 8);
            }
        }
        if (p.verid != 1) w.flag(p.quarterSample);
    }
    Bytes bytes = w.trailing();
    if (p.cutAfterBits > 0) bytes.resize(p.cutAfterBits / 8);
    return bytes;
}

TEST(Mpeg4Visual, ObjectLayerEdges) {
    struct Case {
        const char* what;
        LayerPlan plan;
        bool read;
        std::optional<int> width;
        std::optional<SpriteMode> sprite;
        int warpingPoints;
        std::optional<bool> mpegQuantisation;
        std::optional<bool> quarterSample;
    };
    const auto plan = [](auto change) {
        LayerPlan p;
        change(p);
        return p;
    };
    const Case cases[] = {
        {"plain", {}, true, 176, SpriteMode::None, 0, false, false},
        {"version 1 has no quarter-pel field", plan([](LayerPlan& p) { p.verid = 1; }), true, 176,
         SpriteMode::None, 0, false, false},
        {"GMC with quarter-pel",
         plan([](LayerPlan& p) { p.sprite = 2, p.warpingPoints = 3, p.quarterSample = true; }),
         true, 176, SpriteMode::Gmc, 3, false, true},
        {"a static sprite, its size and place read past",
         plan([](LayerPlan& p) { p.verid = 1, p.sprite = 1, p.warpingPoints = 4; }), true, 176,
         SpriteMode::Static, 4, false, false},
        {"MPEG matrices read past",
         plan([](LayerPlan& p) { p.mpegQuant = p.loadMatrices = p.quarterSample = true; }), true,
         176, SpriteMode::None, 0, true, true},
        {"binary-only shape: no size, no coding tools", plan([](LayerPlan& p) { p.shape = 2; }),
         true, std::nullopt, std::nullopt, 0, std::nullopt, std::nullopt},
        {"cut after the size", plan([](LayerPlan& p) { p.cutAfterBits = 72; }), true, 176,
         std::nullopt, 0, std::nullopt, std::nullopt},
        {"no time resolution", plan([](LayerPlan& p) { p.resolution = 0; }), false, std::nullopt,
         std::nullopt, 0, std::nullopt, std::nullopt},
        {"cut in the time fields", plan([](LayerPlan& p) { p.cutAfterBits = 32; }), false,
         std::nullopt, std::nullopt, 0, std::nullopt, std::nullopt},
    };
    for (const Case& c : cases) {
        const auto layer = readVideoObjectLayer(layerPayload(c.plan), 1);
        ASSERT_EQ(layer.has_value(), c.read) << c.what;
        if (!layer) continue;
        EXPECT_EQ(layer->width, c.width) << c.what;
        EXPECT_EQ(layer->sprite, c.sprite) << c.what;
        EXPECT_EQ(layer->warpingPoints, c.warpingPoints) << c.what;
        EXPECT_EQ(layer->mpegQuantisation, c.mpegQuantisation) << c.what;
        EXPECT_EQ(layer->quarterSample, c.quarterSample) << c.what;
    }
}

TEST(Mpeg4Visual, VopHeaders) {
    VideoObjectLayer layer;
    layer.timeIncrementBits = 5;
    const auto vop = [](int type, int seconds, bool coded) {
        BitWriter w;
        w.bits(static_cast<std::uint32_t>(type), 2);
        for (int i = 0; i < seconds; ++i) w.flag(true);
        w.flag(false).flag(true).bits(7, 5).flag(true).flag(coded);
        return w.trailing();
    };
    struct Case {
        const char* what;
        Bytes payload;
        const VideoObjectLayer* layer;
        std::optional<VopType> type;
        std::optional<bool> coded;
    };
    const Case cases[] = {
        {"a B-VOP", vop(2, 0, true), &layer, VopType::B, true},
        {"a placeholder", vop(1, 1, false), &layer, VopType::P, false},
        {"no layer yet: the type only", vop(1, 0, false), nullptr, VopType::P, std::nullopt},
        {"a gap of more than a minute", vop(1, 61, false), &layer, VopType::P, std::nullopt},
        {"cut before vop_coded", Bytes{0x40}, &layer, VopType::P, std::nullopt},
        {"empty", {}, &layer, std::nullopt, std::nullopt},
    };
    for (const Case& c : cases) {
        const auto header = readVop(c.payload, c.layer);
        ASSERT_EQ(header.has_value(), c.type.has_value()) << c.what;
        if (!header) continue;
        EXPECT_EQ(header->type, *c.type) << c.what;
        EXPECT_EQ(header->coded, c.coded) << c.what;
    }
}

// Packed bitstream is told by its chunks, two VOPs in one and small placeholders after; DivX's
// mark decides only where no B-frame was read.
TEST(Mpeg4Visual, PackedBitstreamByChunksOrMark) {
    const auto chunksOf = [](const char* name) {
        return testing::readChunkFile(std::filesystem::path(STROVANIK_SOURCE_DIR) / "tests" /
                                      "bitstream" / "data" / (std::string(name) + ".chunks"));
    };
    // Writes over the DivX string's last character: "…1393p" or "…139p".
    const auto remark = [](std::vector<Bytes> chunks, std::string_view from, std::string_view to) {
        for (Bytes& chunk : chunks) {
            const auto at = std::search(chunk.begin(), chunk.end(), from.begin(), from.end());
            if (at != chunk.end()) std::copy(to.begin(), to.end(), at);
        }
        return chunks;
    };
    const auto withoutPlaceholders = [](std::vector<Bytes> chunks) {
        std::erase_if(chunks, [](const Bytes& chunk) { return chunk.size() <= 8; });
        return chunks;
    };
    const auto packed = chunksOf("mencoder_xvid_packed");
    const auto unpacked = chunksOf("xvid_unpacked");
    struct Case {
        const char* what;
        std::vector<Bytes> chunks;
        bool packed;
        int bFrames;
    };
    const Case cases[] = {
        {"as written", packed, true, 2},
        {"without the mark", remark(packed, "1393p", std::string_view("1393\0", 5)), true, 2},
        {"two VOPs in a chunk, but no placeholders", withoutPlaceholders(packed), false, 2},
        {"unpacked by ffmpeg's filter", unpacked, false, 2},
        {"unpacked, with a mark left behind", remark(unpacked, "1393", "139p"), false, 2},
        {"no B-frame read: the mark", {packed.front()}, true, 0},
    };
    for (const Case& c : cases) {
        const auto id = identify(testing::prefixOf(c.chunks));
        ASSERT_TRUE(id) << c.what;
        EXPECT_EQ(id->packedBitstream, c.packed) << c.what;
        EXPECT_EQ(id->bFrames, c.bFrames) << c.what;
    }
}

}  // namespace
}  // namespace strovanik::bitstream::mpeg4
