// What the inspection says the streams are, on files made by ffmpeg's encoders: each identity,
// the findings drawn from the first frames, and the --check line that names the streams.
#ifndef _WIN32

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <set>
#include <string>

#include "container/file_source.h"
#include "report/analysis.h"
#include "report/check_text.h"
#include "report/inspection.h"
#include "support/avi_writer.h"
#include "support/plain_walk.h"

namespace strovanik::testing {
namespace {

namespace fs = std::filesystem;

bool haveFfmpeg() { return std::system("ffmpeg -version >/dev/null 2>&1") == 0; }

bool make(const fs::path& file, const std::string& options) {
    const std::string command =
        "ffmpeg -nostdin -loglevel error -y" + options + " '" + file.string() + "'";
    return std::system(command.c_str()) == 0;
}

std::set<std::string> codesOf(const report::Inspection& in) {
    std::set<std::string> codes;
    for (const auto& f : in.findings) codes.insert(std::string(report::findingCodeName(f.code)));
    return codes;
}

std::string checkLine(const fs::path& file) {
    auto opened = container::FileSource::open(file.string());
    report::AnalysisRequest request;
    request.fileSize = opened.source->size();
    request.inspect = true;
    const report::FileResult result = report::examine(*opened.source, request);
    const std::string text = report::checkText("f", result, report::ReportLayout::English);
    return text.substr(0, text.find('\n'));
}

TEST(StreamIdentityTruth, EncodersFilesAreNamedByWhatTheyHold) {
    if (!haveFfmpeg()) GTEST_SKIP() << "ffmpeg is not installed";
    TempFolder folder;
    const std::string picture = " -f lavfi -i testsrc=size=160x120:rate=25";
    const std::string stereo = " -f lavfi -i sine=sample_rate=48000,aformat=channel_layouts=stereo";
    const std::string surround = " -f lavfi -i sine=sample_rate=48000,aformat=channel_layouts=5.1";
    const struct {
        const char* name;
        std::string options;
        const char* video;    // format and profile
        const char* encoder;  // the video encoder's name
        bool packed;
        const char* sound;  // format and channel layout
        const char* mode;   // "cbr" or "vbr", or "" where the frames do not say
        std::set<std::string> codes;
        const char* line;  // what the --check line names
    } cases[] = {
        {"xvid_mp3.avi",
         picture + stereo + " -t 2 -c:v libxvid -bf 2 -c:a libmp3lame -b:a 128k",
         "mpeg4-visual Advanced Simple@L5",
         "Xvid",
         true,
         "mp3 2.0",
         "cbr",
         {"packed-bitstream", "bitrate-mode-mismatch"},
         "MPEG-4 Visual Advanced Simple@L5 (Xvid "},
        {"x264_aac.avi",
         picture + stereo + " -t 2 -pix_fmt yuv420p -c:v libx264 -profile:v high -c:a aac",
         "h264 High@L1.1",
         "x264",
         false,
         "aac 2.0",
         "",
         // AAC in AVI has no frame headers, and its chunk sizes vary at any rate control:
         // nothing tells the mode, and no finding claims one.
         {"codec-name-mismatch"},
         "H.264 High@L1.1 (x264 core "},
        {"fmp4_ac3.avi",
         picture + surround + " -t 2 -c:v mpeg4 -c:a ac3 -b:a 384k",
         "mpeg4-visual Simple@L1",
         "libavcodec",
         false,
         "ac3 5.1",
         "cbr",
         {"codec-name-mismatch"},
         " + AC-3 5.1 384 kb/s CBR"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const fs::path file = folder / c.name;
        ASSERT_TRUE(make(file, c.options + " -map 0:v -map 1:a"));
        auto opened = container::FileSource::open(file.string());
        const report::Inspection in = report::inspect(*opened.source);
        ASSERT_EQ(in.streams.size(), 2u);
        const auto& video = in.streams[0].bitstream;
        const auto& sound = in.streams[1].bitstream;
        ASSERT_TRUE(video && sound);
        EXPECT_EQ(video->format + " " + video->profile.value_or("?"), c.video);
        EXPECT_EQ(video->encoder ? video->encoder->name : "", c.encoder);
        EXPECT_EQ(video->packedBitstream.value_or(false), c.packed);
        EXPECT_EQ(sound->format + " " + sound->channelLayout.value_or("?"), c.sound);
        const std::string mode = !sound->bitrateMode                                       ? ""
                                 : *sound->bitrateMode == bitstream::BitrateMode::Constant ? "cbr"
                                                                                           : "vbr";
        EXPECT_EQ(mode, c.mode);
        EXPECT_EQ(codesOf(in), c.codes);
        EXPECT_NE(checkLine(file).find(c.line), std::string::npos) << checkLine(file);
    }
}

// A constant 192 kb/s AC-3 stream whose chunks are cut across its frames, as some writers cut
// sound by time: its chunk sizes vary, its frame headers do not, and the frames decide.
TEST(StreamIdentityTruth, ConstantAc3InChunksOfVaryingSizeIsConstant) {
    if (!haveFfmpeg()) GTEST_SKIP() << "ffmpeg is not installed";
    TempFolder folder;
    const fs::path raw = folder / "sound.ac3";
    ASSERT_TRUE(make(raw, " -f lavfi -i sine=sample_rate=48000 -t 2 -c:a ac3 -b:a 192k"));
    const Bytes frames = readFile(raw);
    Bytes movie;
    std::size_t chunks = 0;
    for (std::size_t at = 0, i = 0; at < frames.size(); ++i) {
        const std::size_t size = std::min<std::size_t>(i % 2 == 0 ? 1000 : 536, frames.size() - at);
        const Bytes c =
            chunk("00wb", Bytes(frames.begin() + static_cast<std::ptrdiff_t>(at),
                                frames.begin() + static_cast<std::ptrdiff_t>(at + size)));
        movie.insert(movie.end(), c.begin(), c.end());
        at += size;
        ++chunks;
    }
    AudioPlan plan;
    plan.formatTag = 0x2000;
    plan.channels = 1;
    plan.avgBytesPerSec = 24'000;
    plan.blockAlign = 1;  // no "(VBR)" mark in the report
    const Bytes hdrl = list("hdrl", {chunk("avih", mainHeaderData({})), audioStreamList(plan)});
    const Bytes movi = concat(
        {code("LIST"), le32(static_cast<std::int32_t>(movie.size() + 4)), code("movi"), movie});
    container::MemorySource source(riff("AVI ", {hdrl, movi}));
    const report::Inspection in = report::inspect(source);
    ASSERT_EQ(in.streams.size(), 1u);
    EXPECT_TRUE(in.streams[0].vbr);  // the chunk sizes do vary
    ASSERT_TRUE(in.streams[0].bitstream);
    EXPECT_EQ(in.streams[0].bitstream->bitrateMode, bitstream::BitrateMode::Constant);
    EXPECT_EQ(in.streams[0].bitstream->bitrateKbps, 192.0);
    EXPECT_EQ(codesOf(in).count("bitrate-mode-mismatch"), 0u);
    EXPECT_GT(chunks, 2u);
}

// Chunks whose bytes are no format at all, zeros as a disk fault leaves them or noise, are not
// called another format; frames of another format are, by its name.
TEST(StreamIdentityTruth, ChunksOfNoFormatAreNotCalledAnotherFormat) {
    if (!haveFfmpeg()) GTEST_SKIP() << "ffmpeg is not installed";
    TempFolder folder;
    const std::string sources =
        " -f lavfi -i testsrc=size=160x120:rate=25 -f lavfi -i "
        "sine=sample_rate=48000 -t 3 -c:v mpeg4 -vtag XVID";
    enum class Data { AsWritten, Zeros, Noise };
    const struct {
        const char* name;
        std::string sound;       // the encoder's options
        std::uint16_t soundTag;  // the format tag the header is given, 0 for the encoder's
        Data data;               // what the streams' chunks are made
        std::vector<std::string> said;
        std::string unsaid;
    } cases[] = {
        {"zeros",
         " -c:a libmp3lame",
         0,
         Data::Zeros,
         {"unreadable-frames: stream 0: XVID declares MPEG-4 Visual, but its first 64 chunks hold "
          "no frame of any format known here (64 of them hold only zeros)",
          "unreadable-frames: stream 1: 85 declares MPEG Audio Layer 3, but its first 64 chunks "
          "hold no frame of any format known here (64 of them hold only zeros)"},
         "not-as-declared"},
        {"noise",
         " -c:a libmp3lame",
         0,
         Data::Noise,
         {"unreadable-frames: stream 0: XVID declares MPEG-4 Visual, but its first 64 chunks hold "
          "no frame of any format known here (0 of them hold only zeros)",
          "unreadable-frames: stream 1: 85 declares MPEG Audio Layer 3, but its first 64 chunks "
          "hold no frame of any format known here (0 of them hold only zeros)"},
         "not-as-declared"},
        {"AC-3 under MP3's tag",
         " -c:a ac3",
         0x55,
         Data::AsWritten,
         {"not-as-declared: stream 1: 85 declares MPEG Audio Layer 3, but its first 64 chunks are "
          "AC-3"},
         "unreadable-frames"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const fs::path file = folder / "file.avi";
        ASSERT_TRUE(make(file, sources + c.sound));
        Bytes bytes = readFile(file);
        std::uint32_t noise = 2463534242u;
        walkMovieChunks(file, [&](std::string_view id, std::int64_t dataAt, std::int64_t size) {
            if (c.data == Data::AsWritten || (id.substr(2) != "dc" && id.substr(2) != "wb")) return;
            for (auto i = static_cast<std::size_t>(dataAt);
                 i < std::min(bytes.size(), static_cast<std::size_t>(dataAt + size)); ++i) {
                noise ^= noise << 13;
                noise ^= noise >> 17;
                noise ^= noise << 5;
                bytes[i] = c.data == Data::Zeros ? 0 : static_cast<std::uint8_t>(noise);
            }
        });
        if (c.soundTag != 0) {
            // The second stream format is the sound's: its tag opens its data.
            const std::string text(bytes.begin(), bytes.end());
            const std::size_t strf = text.find("strf", text.find("strf") + 4);
            ASSERT_NE(strf, std::string::npos);
            bytes[strf + 8] = static_cast<std::uint8_t>(c.soundTag & 0xFF);
            bytes[strf + 9] = static_cast<std::uint8_t>(c.soundTag >> 8);
        }
        writeFile(file, bytes);

        auto opened = container::FileSource::open(file.string());
        const report::Inspection in = report::inspect(*opened.source);
        std::string findings;
        for (const auto& f : in.findings) {
            findings += std::string(report::findingCodeName(f.code)) + ": " + f.english + "\n";
            EXPECT_FALSE(f.korean.empty() || f.korean.find('{') != std::string::npos) << f.korean;
        }
        for (const std::string& sentence : c.said) {
            EXPECT_NE(findings.find(sentence), std::string::npos) << findings;
        }
        EXPECT_EQ(codesOf(in).count(c.unsaid), 0u) << findings;
        EXPECT_EQ(in.verdict, report::Verdict::Complete);
    }
}

}  // namespace
}  // namespace strovanik::testing

#endif
