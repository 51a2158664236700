// The edges of each sound header reader: cut headers, wrong sync words, reserved codes, and the
// fields that only some streams use, written bit by bit in the order the standards list them.
#include <gtest/gtest.h>

#include <algorithm>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "bitstream/aac.h"
#include "bitstream/ac3.h"
#include "bitstream/dts.h"
#include "bitstream/mpeg_audio.h"
#include "bitstream/pcm.h"
#include "bitstream/wave_format.h"
#include "support/chunk_file.h"

namespace strovanik::bitstream {
namespace {

using Bytes = std::vector<std::uint8_t>;

const std::filesystem::path kData =
    std::filesystem::path(STROVANIK_SOURCE_DIR) / "tests" / "bitstream" / "data";

// "0101 1" → the bits, most significant first, padded with zeros to whole bytes; spaces are
// only for the reader.
Bytes fromBits(std::string_view bits) {
    Bytes out;
    int count = 0;
    for (const char c : bits) {
        if (c == ' ') continue;
        if (count % 8 == 0) out.push_back(0);
        if (c == '1') out.back() |= static_cast<std::uint8_t>(0x80 >> (count % 8));
        ++count;
    }
    return out;
}

Bytes allChunks(const testing::StoredStream& stream) {
    Bytes all;
    for (const auto& chunk : stream.chunks) all.insert(all.end(), chunk.begin(), chunk.end());
    return all;
}

TEST(MpegAudioHeader, LengthsAndReservedCodes) {
    struct Case {
        const char* what;
        Bytes header;
        int frameBytes;  // 0: not a header
    };
    // clang-format off
    const Case cases[] = {
        {"MPEG-1 layer 3, 128 kb/s, 44.1 kHz",   {0xFF, 0xFB, 0x90, 0x64}, 417},
        {"the same with a padding byte",         {0xFF, 0xFB, 0x92, 0x64}, 418},
        {"MPEG-1 layer 1, 32 kb/s, 44.1 kHz",    {0xFF, 0xFF, 0x10, 0x00}, 32},
        {"MPEG-2.5 layer 3, 8 kb/s, 8 kHz",      {0xFF, 0xE3, 0x18, 0x00}, 72},
        {"MPEG-2 layer 2, 160 kb/s, 24 kHz",     {0xFF, 0xF5, 0xE4, 0x00}, 960},
        {"reserved version",                     {0xFF, 0xEB, 0x90, 0x64}, 0},
        {"reserved layer",                       {0xFF, 0xF9, 0x90, 0x64}, 0},
        {"free format rate",                     {0xFF, 0xFB, 0x00, 0x64}, 0},
        {"bit-rate index 15",                    {0xFF, 0xFB, 0xF0, 0x64}, 0},
        {"reserved sample rate",                 {0xFF, 0xFB, 0x9C, 0x64}, 0},
        {"reserved emphasis",                    {0xFF, 0xFB, 0x90, 0x66}, 0},
        {"a sync word one bit short",            {0xFF, 0xDB, 0x90, 0x64}, 0},
        {"cut after three bytes",                {0xFF, 0xFB, 0x90}, 0},
    };
    // clang-format on
    for (const Case& c : cases) {
        const auto frame = readMpegAudioFrameHeader(c.header);
        EXPECT_EQ(frame ? frame->frameBytes : 0, c.frameBytes) << c.what;
    }
}

// A Xing, "Info" or VBRI header written into the first frame of a constant-rate LAME stream
// from ffmpeg (whose AVI frames carry none): what decides the mode, and the frame is no sound.
TEST(MpegAudioHeader, TheFirstFramesTagDecidesTheMode) {
    const auto stream = testing::readStoredStream(kData / "mp3_cbr_192.chunks");
    const Bytes frames = allChunks(stream);
    const auto plain = identifyMpegAudio(frames);
    ASSERT_TRUE(plain.has_value());
    constexpr std::size_t kTagAt = 4 + 32;  // MPEG-1 stereo: after the side information
    const Bytes lameVbr = {'L', 'A', 'M', 'E', '3', '.', '9', '9', 'r', 0x03};
    struct Case {
        const char* what;
        Bytes tag;
        BitrateMode mode;
        const char* basis;
        const char* encoder;  // nullptr: none
    };
    const auto xing = [&](std::string_view id, std::uint8_t flags, const Bytes& rest) {
        Bytes tag(id.begin(), id.end());
        tag.insert(tag.end(), {0, 0, 0, flags});
        tag.insert(tag.end(), rest.begin(), rest.end());
        return tag;
    };
    Bytes framesAndLame{0, 0, 0, 40};  // frames field, then the LAME tag
    framesAndLame.insert(framesAndLame.end(), lameVbr.begin(), lameVbr.end());
    const Case cases[] = {
        {"Xing alone", xing("Xing", 0, {}), BitrateMode::Variable, "Xing header", nullptr},
        {"Info alone", xing("Info", 0, {}), BitrateMode::Constant, "frame headers", nullptr},
        {"Xing with LAME's VBR method", xing("Xing", 1, framesAndLame), BitrateMode::Variable,
         "LAME tag", "LAME3.99r"},
        {"VBRI",
         {'V', 'B', 'R', 'I', 0, 1, 0, 0, 0, 0, 0, 0, 0x10, 0, 0, 0, 0, 40},
         BitrateMode::Variable,
         "VBRI header",
         nullptr},
    };
    for (const Case& c : cases) {
        Bytes tagged = frames;
        std::copy(c.tag.begin(), c.tag.end(), tagged.begin() + kTagAt);
        const auto id = identifyMpegAudio(tagged);
        ASSERT_TRUE(id.has_value()) << c.what;
        EXPECT_EQ(id->bitrateMode, c.mode) << c.what;
        EXPECT_EQ(id->bitrateBasis, c.basis) << c.what;
        EXPECT_EQ(id->framesRead, plain->framesRead - 1)
            << c.what << ": the tag's frame is no sound";
        EXPECT_EQ(id->encoder ? id->encoder->text : "", c.encoder ? c.encoder : "") << c.what;
    }
}

// A sync word is believed only when the frames chain into more headers.
TEST(MpegAudioHeader, ALoneSyncWordIsNotBelieved) {
    const Bytes header{0xFF, 0xFB, 0x90, 0x64};  // 417 bytes a frame
    const auto frames = [&](int count, std::size_t tail) {
        Bytes bytes;
        for (int i = 0; i < count; ++i) {
            bytes.insert(bytes.end(), header.begin(), header.end());
            bytes.resize(bytes.size() + 413, 0x55);
        }
        bytes.resize(bytes.size() + tail, 0x55);
        return bytes;
    };
    Bytes afterLead(100 + 417, 0x55);
    std::copy(header.begin(), header.end(), afterLead.begin() + 100);
    struct Case {
        const char* what;
        Bytes bytes;
        int framesRead;  // 0: not identified
    };
    const Case cases[] = {
        {"one frame, then more bytes", frames(1, 1000), 0},
        {"one frame that ends the bytes", frames(1, 0), 0},
        {"bytes, then one frame that ends them", afterLead, 0},
        {"two frames, then more bytes", frames(2, 1000), 0},
        {"three frames", frames(3, 0), 3},
        {"two frames that end the bytes", frames(2, 0), 2},
        {"two frames and the start of a third", frames(2, 3), 2},
    };
    for (const Case& c : cases) {
        const auto id = identifyMpegAudio(c.bytes);
        EXPECT_EQ(id ? id->framesRead : 0, c.framesRead) << c.what;
    }
}

TEST(Ac3Header, RatesLengthsAndReservedCodes) {
    struct Case {
        const char* what;
        Bytes header;
        int frameBytes;  // 0: not a header
        double kbps;
        const char* layout;
    };
    // syncword, crc1, fscod, frmsizecod, bsid, bsmod, acmod, [mix levels], lfeon
    // clang-format off
    const Case cases[] = {
        {"48 kHz, 192 kb/s, 3/2 with LFE",
         fromBits("0000 1011 0111 0111  0000 0000 0000 0000  00 010100  01000 000  111 00 00 1"), 768, 192, "5.1"},
        {"44.1 kHz, the odd code: one word more",
         fromBits("0000 1011 0111 0111  0000 0000 0000 0000  01 000001  01000 000  010 00 0"), 140, 32, "2.0"},
        {"44.1 kHz, the even code",
         fromBits("0000 1011 0111 0111  0000 0000 0000 0000  01 000000  01000 000  010 00 0"), 138, 32, "2.0"},
        {"half-rate form (bsid 9)",
         fromBits("0000 1011 0111 0111  0000 0000 0000 0000  00 010100  01001 000  001 0"), 768, 96, "1.0"},
        {"E-AC-3, 6 blocks, 48 kHz, 2/0",
         fromBits("0000 1011 0111 0111  00 000 00010111111  00 11  010 0  10000"), 384, 96, "2.0"},
        {"E-AC-3, the reduced rates: 24 kHz and 6 blocks",
         fromBits("0000 1011 0111 0111  00 000 00010111111  11 00  001 1  10000"), 384, 48, "1.1"},
        {"reserved sample rate", fromBits("0000 1011 0111 0111  0000 0000 0000 0000  11 010100  01000 000  010 00 0"), 0, 0, nullptr},
        {"frame size code 38", fromBits("0000 1011 0111 0111  0000 0000 0000 0000  00 100110  01000 000  010 00 0"), 0, 0, nullptr},
        {"bsid between the forms", fromBits("0000 1011 0111 0111  0000 0000 0000 0000  00 010100  10001 000  010 00 0"), 0, 0, nullptr},
        {"E-AC-3 stream type 3", fromBits("0000 1011 0111 0111  11 000 00010111111  00 11  010 0  10000"), 0, 0, nullptr},
        {"wrong sync word", fromBits("0000 1011 0111 0110  0000 0000 0000 0000  00 010100  01000 000  010 00 0"), 0, 0, nullptr},
        {"cut after the sync word", fromBits("0000 1011 0111 0111  0000 0000"), 0, 0, nullptr},
    };
    // clang-format on
    for (const Case& c : cases) {
        Bytes header = c.header;
        if (header.size() > 3) header.resize(std::max<std::size_t>(header.size(), 8), 0);
        const auto frame = readAc3FrameHeader(header);
        EXPECT_EQ(frame ? frame->frameBytes : 0, c.frameBytes) << c.what;
        if (!frame) continue;
        EXPECT_DOUBLE_EQ(frame->bitrateKbps, c.kbps) << c.what;
        EXPECT_EQ(std::to_string(frame->fullRangeChannels()) + (frame->lfe ? ".1" : ".0"), c.layout)
            << c.what;
    }
}

// DTS in 16-bit little-endian words, as S/PDIF passes it, is the same stream.
TEST(DtsHeader, EitherByteOrderAndReservedCodes) {
    const auto stream = testing::readStoredStream(kData / "dts_surround.chunks");
    Bytes bigEndian = allChunks(stream);
    bigEndian.resize(bigEndian.size() & ~std::size_t{1});
    Bytes littleEndian = bigEndian;
    for (std::size_t i = 0; i + 1 < littleEndian.size(); i += 2)
        std::swap(littleEndian[i], littleEndian[i + 1]);
    const auto big = identifyDts(bigEndian);
    const auto little = identifyDts(littleEndian);
    ASSERT_TRUE(big && little);
    EXPECT_EQ(little->channelLayout, big->channelLayout);
    EXPECT_EQ(little->sampleRate, big->sampleRate);
    EXPECT_EQ(little->framesRead, big->framesRead);

    // sync, frame type, deficit, CRC, NBLKS, FSIZE, AMODE, SFREQ, RATE, 10 flag bits, LFF
    const auto header = [](std::string_view nblks, std::string_view fsize, std::string_view sfreq,
                           std::string_view lff) {
        return fromBits("0111 1111 1111 1110 1000 0000 0000 0001  1 11111 0 " + std::string(nblks) +
                        " " + std::string(fsize) + " 001001 " + std::string(sfreq) +
                        " 01111 0000000000 " + std::string(lff) + " 0000 0000 0000 0000");
    };
    struct Case {
        const char* what;
        Bytes bytes;
        int frameBytes;
    };
    const Case cases[] = {
        {"a core frame", header("0001111", "00001111111111", "1101", "01"), 1024},
        {"too few blocks", header("0000100", "00001111111111", "1101", "01"), 0},
        {"a frame below 96 bytes", header("0001111", "00000001011110", "1101", "01"), 0},
        {"reserved sample rate", header("0001111", "00001111111111", "0100", "01"), 0},
        {"reserved LFE code", header("0001111", "00001111111111", "1101", "11"), 0},
        {"cut in the header", Bytes(bigEndian.begin(), bigEndian.begin() + 9), 0},
    };
    for (const Case& c : cases) {
        const auto frame = readDtsFrameHeader(c.bytes);
        EXPECT_EQ(frame ? frame->frameBytes : 0, c.frameBytes) << c.what;
    }
}

// AudioSpecificConfig in the order of ISO/IEC 14496-3: HE-AAC and HE-AACv2 as Debian's ffmpeg
// cannot write them, signalled both ways.
TEST(AacConfig, ObjectTypesExtensionsAndReservedCodes) {
    struct Case {
        const char* what;
        const char* bits;
        const char* profile;  // nullptr: not a configuration
        int sampleRate;
        int channels;
    };
    // clang-format off
    const Case cases[] = {
        // object type, frequency index, channel configuration, [extension], GASpecificConfig 000
        {"LC, 44.1 kHz, stereo",            "00010 0100 0010 000",                      "AAC LC",   44100, 2},
        {"LC, 5.1",                         "00010 0011 0110 000",                      "AAC LC",   48000, 6},
        {"LC with a rate of its own",       "00010 1111 000000000101110111000000 0010 000", "AAC LC", 24000, 2},
        {"SBR first: HE-AAC at twice the core's rate",
                                            "00101 0110 0010 0011 00010 000",           "HE-AAC",   48000, 2},
        {"PS first: HE-AACv2, a mono core made stereo",
                                            "11101 0110 0001 0011 00010 000",           "HE-AACv2", 48000, 2},
        {"SBR after the core (sync extension 0x2B7)",
                                            "00010 0110 0010 000 01010110111 00101 1 0011", "HE-AAC", 48000, 2},
        {"PS after it too (sync extension 0x548)",
                                            "00010 0110 0001 000 01010110111 00101 1 0011 10101001000 1", "HE-AACv2", 48000, 2},
        {"SBR said absent, as ffmpeg writes",
                                            "00010 0100 0010 000 01010110111 00101 0",  "AAC LC",   44100, 2},
        {"channels from the program config element: front SCE and CPE, one LFE",
                                            "00010 0011 0000 000  0000 01 0011 0010 0000 0000 01 000 0000 0 0 0  0 0000 1 0001  0000",
                                                                                        "AAC LC",   48000, 4},
        {"escaped object type (not AAC)",   "11111 000001 0100 0010 000",               nullptr,    0,     0},
        {"object type 0",                   "00000 0100 0010 000",                      nullptr,    0,     0},
        {"reserved frequency index",        "00010 1101 0010 000",                      nullptr,    0,     0},
        {"reserved channel configuration",  "00010 0100 1000 000",                      nullptr,    0,     0},
        {"cut in the frequency index",      "00010 01",                                 nullptr,    0,     0},
    };
    // clang-format on
    for (const Case& c : cases) {
        const Bytes bytes = fromBits(c.bits);
        const auto config = readAudioSpecificConfig(
            std::span(bytes).first(std::string_view(c.bits).size() < 8 ? 1 : bytes.size()));
        ASSERT_EQ(config.has_value(), c.profile != nullptr) << c.what;
        if (!config) continue;
        const auto id = identifyAacConfig(*config);
        EXPECT_EQ(id->profile, c.profile) << c.what;
        EXPECT_EQ(id->sampleRate, c.sampleRate) << c.what;
        EXPECT_EQ(id->channels, c.channels) << c.what;
    }
}

TEST(AdtsHeader, SyncLayerAndLength) {
    struct Case {
        const char* what;
        const char* bits;
        int frameBytes;
    };
    // sync, ID, layer, protection absent, profile, frequency index, private, channels,
    // 4 bits, frame length, buffer fullness, raw blocks
    const Case cases[] = {
        {"LC, 44.1 kHz, stereo",
         "111111111111 0 00 1 01 0100 0 010 0000 0000100000000 11111111111 00", 256},
        {"layer 1", "111111111111 0 01 1 01 0100 0 010 0000 0000100000000 11111111111 00", 0},
        {"reserved frequency index",
         "111111111111 0 00 1 01 1101 0 010 0000 0000100000000 11111111111 00", 0},
        {"a length shorter than the header",
         "111111111111 0 00 1 01 0100 0 010 0000 0000000000110 11111111111 00", 0},
    };
    for (const Case& c : cases) {
        const auto frame = readAdtsHeader(fromBits(c.bits));
        EXPECT_EQ(frame ? frame->frameBytes : 0, c.frameBytes) << c.what;
    }
}

TEST(PcmFormat, FormatRecordsAndChannelMasks) {
    const auto record = [](std::uint16_t tag, std::uint16_t channels,
                           std::optional<std::uint32_t> mask, std::uint8_t subFormat = 1,
                           std::size_t keep = 40) {
        Bytes r{static_cast<std::uint8_t>(tag),
                static_cast<std::uint8_t>(tag >> 8),
                static_cast<std::uint8_t>(channels),
                0,
                0x80,
                0xBB,
                0,
                0,
                0,
                0,
                0,
                0,
                static_cast<std::uint8_t>(channels * 2),
                0,
                16,
                0};
        if (mask) {
            r.insert(r.end(), {22, 0, 16, 0});
            for (int i = 0; i < 4; ++i) r.push_back(static_cast<std::uint8_t>(*mask >> (8 * i)));
            r.insert(r.end(),
                     {subFormat, 0, 0, 0, 0, 0, 0x10, 0, 0x80, 0, 0, 0xAA, 0, 0x38, 0x9B, 0x71});
        }
        r.resize(std::min(r.size(), keep));
        return r;
    };
    struct Case {
        const char* what;
        Bytes record;
        const char* layout;  // "": no layout; nullptr: not PCM
    };
    const Case cases[] = {
        {"stereo", record(1, 2, {}), "2.0"},
        {"mono", record(1, 1, {}), "1.0"},
        {"six channels without a mask", record(1, 6, {}), ""},
        {"extensible 5.1", record(0xFFFE, 6, 0x3F), "5.1"},
        {"extensible 7.1", record(0xFFFE, 8, 0x63F), "7.1"},
        {"a mask of fewer speakers than channels", record(0xFFFE, 6, 0x3), ""},
        {"extensible of another sub-format (IEEE float)", record(0xFFFE, 2, 0x3, 3), nullptr},
        {"extensible cut before its GUID", record(0xFFFE, 2, 0x3, 1, 30), nullptr},
        {"a record shorter than 16 bytes", record(1, 2, {}, 1, 14), nullptr},
        {"no channels", record(1, 0, {}), nullptr},
    };
    for (const Case& c : cases) {
        const auto format = readWaveFormat(c.record);
        const auto id = format ? identifyPcm(*format) : std::nullopt;
        ASSERT_EQ(id.has_value(), c.layout != nullptr) << c.what;
        if (id) {
            EXPECT_EQ(id->channelLayout.value_or(""), c.layout) << c.what;
        }
    }
}

}  // namespace
}  // namespace strovanik::bitstream
