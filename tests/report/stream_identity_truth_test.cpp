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

}  // namespace
}  // namespace strovanik::testing

#endif
