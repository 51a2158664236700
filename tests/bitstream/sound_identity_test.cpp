// The sound identity of real first chunks, written by ffmpeg's, mencoder's and LAME's writers
// (tests/bitstream/make_sound_fixtures.sh), against what each was asked to write.
#include <gtest/gtest.h>

#include <optional>
#include <string>

#include "bitstream/stream_identity.h"
#include "support/chunk_file.h"

namespace strovanik::bitstream {
namespace {

using testing::readStoredStream;

const std::filesystem::path kData =
    std::filesystem::path(STROVANIK_SOURCE_DIR) / "tests" / "bitstream" / "data";

struct Expected {
    const char* file;
    const char* format;
    const char* profile;  // nullptr: none
    int channels;
    const char* layout;
    int sampleRate;
    std::optional<BitrateMode> mode;
    double kbps;              // the rate asked for where it is constant; 0: not checked
    const char* basis;        // nullptr: not checked
    const char* encoderText;  // nullptr: none
};

constexpr auto kCbr = BitrateMode::Constant;
constexpr auto kVbr = BitrateMode::Variable;

// clang-format off
const Expected kStreams[] = {
    // file               format  profile           ch layout  rate   mode  kb/s  basis                encoder
    {"mp3_cbr_192",       "mp3",  "MPEG-1 Layer 3", 2, "2.0",  44100, kCbr, 192,  "frame headers",     nullptr},
    {"mp3_vbr_q2",        "mp3",  "MPEG-1 Layer 3", 2, "2.0",  44100, kVbr, 0,    "frame headers",     nullptr},
    {"mp3_abr_160",       "mp3",  "MPEG-1 Layer 3", 2, "2.0",  44100, kVbr, 0,    "frame headers",     nullptr},
    {"mp3_mono_22k",      "mp3",  "MPEG-2 Layer 3", 1, "1.0",  22050, kCbr, 32,   "frame headers",     nullptr},
    {"mencoder_mp3_cbr",  "mp3",  "MPEG-1 Layer 3", 2, "2.0",  44100, kCbr, 128,  "frame headers",     "LAME3.100"},
    {"mencoder_mp3_vbr",  "mp3",  "MPEG-1 Layer 3", 2, "2.0",  44100, kVbr, 0,    "frame headers",     nullptr},
    {"lame_cbr_192",      "mp3",  "MPEG-1 Layer 3", 2, "2.0",  44100, kCbr, 192,  "LAME tag",          "LAME3.100"},
    {"lame_vbr_v2",       "mp3",  "MPEG-1 Layer 3", 2, "2.0",  44100, kVbr, 0,    nullptr,             "LAME3.100"},
    {"lame_abr_160",      "mp3",  "MPEG-1 Layer 3", 2, "2.0",  44100, kVbr, 0,    nullptr,             "LAME3.100"},
    {"mp2_stereo",        "mp2",  "MPEG-1 Layer 2", 2, "2.0",  48000, kCbr, 192,  "frame headers",     nullptr},
    {"ac3_stereo",        "ac3",  "AC-3",           2, "2.0",  48000, kCbr, 192,  "frame headers",     nullptr},
    {"ac3_surround",      "ac3",  "AC-3",           6, "5.1",  48000, kCbr, 448,  "frame headers",     nullptr},
    {"eac3_stereo",       "eac3", "E-AC-3",         2, "2.0",  48000, kCbr, 96,   "frame headers",     nullptr},
    {"dts_surround",      "dts",  "DTS",            6, "5.1",  48000, kCbr, 0,    "frame headers",     nullptr},
    {"aac_lc",            "aac",  "AAC LC",         2, "2.0",  44100, {},   0,    nullptr,             nullptr},
    {"aac_adts",          "aac",  "AAC LC",         2, "2.0",  44100, kVbr, 0,    "ADTS buffer fullness", nullptr},
    {"pcm_stereo",        "pcm",  nullptr,          2, "2.0",  44100, kCbr, 1411.2, "format block",    nullptr},
    {"pcm_surround",      "pcm",  nullptr,          6, "5.1",  48000, kCbr, 4608, "format block",      nullptr},
};
// clang-format on

void expectIdentity(const Expected& e, const std::optional<StreamIdentity>& id,
                    const std::string& how) {
    const std::string what = std::string(e.file) + how;
    ASSERT_TRUE(id.has_value()) << what;
    EXPECT_EQ(id->format, e.format) << what;
    EXPECT_EQ(id->profile, e.profile ? std::optional<std::string>(e.profile) : std::nullopt)
        << what;
    EXPECT_EQ(id->channels, e.channels) << what;
    EXPECT_EQ(id->channelLayout, e.layout) << what;
    EXPECT_EQ(id->sampleRate, e.sampleRate) << what;
    EXPECT_EQ(id->bitrateMode, e.mode) << what;
    if (e.kbps > 0) {
        EXPECT_DOUBLE_EQ(id->bitrateKbps.value_or(0), e.kbps) << what;
    }
    if (e.mode == kVbr && id->bitrateKbps) {
        EXPECT_GT(*id->bitrateKbps, 32) << what;
        EXPECT_LT(*id->bitrateKbps, 320) << what;
    }
    if (e.basis) {
        EXPECT_EQ(id->bitrateBasis, e.basis) << what;
    }
    if (e.encoderText) {
        ASSERT_TRUE(id->encoder.has_value()) << what;
        EXPECT_EQ(id->encoder->text, e.encoderText) << what;
        EXPECT_EQ(id->encoder->name, "LAME") << what;
        EXPECT_EQ(id->encoder->version, "3.100") << what;
    }
    // Framed formats count the frames whose headers were read; PCM has none.
    EXPECT_EQ(id->framesRead > 0, e.mode.has_value() && std::string(e.format) != "pcm") << what;
}

TEST(SoundIdentity, RealFirstChunksAreWhatTheEncoderWasAskedFor) {
    for (const Expected& e : kStreams) {
        const auto stream = readStoredStream(kData / (std::string(e.file) + ".chunks"));
        ASSERT_FALSE(stream.chunks.empty()) << e.file << ": run tests/bitstream/make_sound_fixtures.sh";
        expectIdentity(e, identifyAudio(stream.prefix(), stream.formatBlock), "");
    }
}

// Writers cut the sound into chunks regardless of the frames; a frame, or a header, that
// straddles two chunks is read as one.
TEST(SoundIdentity, TheChunksEdgesDoNotMatter) {
    for (const Expected& e : kStreams) {
        const auto stream = readStoredStream(kData / (std::string(e.file) + ".chunks"));
        const auto asStored = identifyAudio(stream.prefix(), stream.formatBlock);
        for (const std::size_t size : {1, 3, 333, 4096}) {
            const auto recut = testing::recut(stream, size);
            const auto id = identifyAudio(recut.prefix(), recut.formatBlock);
            const std::string how = " in chunks of " + std::to_string(size);
            expectIdentity(e, id, how);
            EXPECT_EQ(id->framesRead, asStored->framesRead) << e.file << how;
            EXPECT_EQ(id->bitrateKbps, asStored->bitrateKbps) << e.file << how;
        }
    }
}

// The bytes decide, not the format record: a record that says AAC over MP3 frames, or none at
// all, still gives MP3; a stream whose frames start inside the first chunk is found there.
TEST(SoundIdentity, TheBytesDecideOverTheFormatRecord) {
    const auto mp3 = readStoredStream(kData / "mp3_cbr_192.chunks");
    const auto aac = readStoredStream(kData / "aac_lc.chunks");
    struct Case {
        const char* what;
        const std::vector<std::uint8_t>& formatBlock;
        std::vector<std::uint8_t> lead;  // bytes put before the first chunk
    };
    const std::vector<std::uint8_t> none;
    const Case cases[] = {
        {"an AAC record over MP3 frames", aac.formatBlock, {}},
        {"no format record", none, {}},
        {"a frame's tail before the first header", mp3.formatBlock, {0xFF, 0xFB, 0x12, 0x00, 0xFF}},
    };
    for (const Case& c : cases) {
        auto stream = mp3;
        stream.chunks.front().insert(stream.chunks.front().begin(), c.lead.begin(), c.lead.end());
        const auto id = identifyAudio(stream.prefix(), c.formatBlock);
        ASSERT_TRUE(id.has_value()) << c.what;
        EXPECT_EQ(id->format, "mp3") << c.what;
        EXPECT_DOUBLE_EQ(id->bitrateKbps.value_or(0), 192) << c.what;
    }
    // AAC's chunks have no sync words: without its configuration nothing is known.
    EXPECT_FALSE(identifyAudio(aac.prefix(), none).has_value());
    EXPECT_FALSE(identifyAudio({}, none).has_value());
}

}  // namespace
}  // namespace strovanik::bitstream
