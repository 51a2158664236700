#include "container/first_frames.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "bitstream/start_code_scan.h"
#include "support/avi_writer.h"

// The bounds of the first-frames reader at their edges: the chunk count, the byte budget, a
// chunk cut by the end of the file, and a stream the movie list never holds.
namespace strovanik::testing {
namespace {

using container::FirstFrames;

// A video stream and a sound stream, then `movie` as the data of the movie list, cut to
// `keep` bytes of the whole file when given.
Bytes twoStreamFile(const Bytes& movie, std::optional<std::size_t> keep = std::nullopt,
                    const AudioPlan& sound = {}) {
    const Bytes hdrl = list(
        "hdrl", {chunk("avih", mainHeaderData({})), videoStreamList({}), audioStreamList(sound)});
    const Bytes movi = concat(
        {code("LIST"), le32(static_cast<std::int32_t>(movie.size() + 4)), code("movi"), movie});
    Bytes file =
        concat({code("RIFF"), le32(static_cast<std::int32_t>(4 + hdrl.size() + movi.size())),
                code("AVI "), hdrl, movi});
    if (keep) file.resize(*keep);
    return file;
}

// `count` chunks of each id in turn, each of `size` bytes, the bytes of the i-th all (i & 0xFF).
Bytes interleaved(std::initializer_list<std::string_view> ids, int count, std::size_t size) {
    Bytes out;
    for (int i = 0; i < count; ++i) {
        for (const std::string_view id : ids) {
            const Bytes c = chunk(id, Bytes(size, static_cast<std::uint8_t>(i)));
            out.insert(out.end(), c.begin(), c.end());
        }
    }
    return out;
}

struct Taken {
    std::size_t chunks = 0;
    std::int64_t bytes = 0;
    std::size_t lastChunk = 0;
};

// What was read of the stream's chunks in the file.
Taken taken(const FirstFrames& frames, std::size_t stream) {
    Taken t;
    for (const std::int64_t length : frames.lengths(stream)) {
        ++t.chunks;
        t.bytes += length;
        t.lastChunk = static_cast<std::size_t>(length);
    }
    return t;
}

struct Case {
    const char* name;
    Bytes file;
    Taken video;
    Taken sound;
    bool headerBoundReached;
};

TEST(FirstFrames, KeepsToItsBoundsAtTheirEdges) {
    constexpr std::int64_t kMiB = FirstFrames::kMaxBytes;
    const Bytes big = interleaved({"00dc"}, 3, 400 * 1024);
    AudioPlan pcm;
    pcm.formatTag = 1;
    pcm.blockAlign = 4;
    const Case cases[] = {
        {"64 chunks of 65 taken",
         twoStreamFile(interleaved({"00dc", "01wb"}, 65, 10)),
         {64, 640, 10},
         {64, 640, 10},
         false},
        {"63 chunks all taken",
         twoStreamFile(interleaved({"00dc", "01wb"}, 63, 10)),
         {63, 630, 10},
         {63, 630, 10},
         false},
        {"1 MiB cut inside the third chunk",
         twoStreamFile(big),
         {3, kMiB, static_cast<std::size_t>(kMiB - 800 * 1024)},
         {},
         false},
        {"PCM sound is known from its record: none of its chunks is read",
         twoStreamFile(interleaved({"00dc", "01wb"}, 3, 10), std::nullopt, pcm),
         {3, 30, 10},
         {},
         false},
        {"the movie list holds video only",
         twoStreamFile(interleaved({"00dc"}, 5000, 2)),
         {64, 128, 2},
         {},
         true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        container::MemorySource source(c.file);
        container::ChunkReader reader(source, {});
        const container::RiffWalk walk = container::walkRiff(reader);
        const FirstFrames frames = container::readFirstFrames(reader, walk);
        const Taken video = taken(frames, 0);
        const Taken sound = taken(frames, 1);
        EXPECT_EQ(video.chunks, c.video.chunks);
        EXPECT_EQ(video.bytes, c.video.bytes);
        EXPECT_EQ(video.lastChunk, c.video.lastChunk);
        EXPECT_EQ(sound.chunks, c.sound.chunks);
        EXPECT_EQ(sound.bytes, c.sound.bytes);
        EXPECT_EQ(frames.headersSeen() == FirstFrames::kMaxHeaders, c.headerBoundReached);
        // Every view holds the file's own bytes at the place it names: the sound chunk's as
        // they are, the video chunk's as much as the parsers read.
        for (std::size_t s = 0; s < 2; ++s) {
            const auto& chunks = frames.prefix(s).chunks;
            ASSERT_EQ(chunks.size(), frames.offsets(s).size());
            ASSERT_EQ(chunks.size(), frames.lengths(s).size());
            for (std::size_t i = 0; i < chunks.size(); ++i) {
                const auto at = c.file.begin() + frames.offsets(s)[i];
                Bytes expected(at, at + frames.lengths(s)[i]);
                if (s == 0) {
                    Bytes part;
                    bitstream::appendReadPart(expected, part);
                    expected = part;
                }
                EXPECT_TRUE(std::equal(chunks[i].begin(), chunks[i].end(), expected.begin(),
                                       expected.end()));
            }
        }
    }
}

TEST(FirstFrames, TakesOnlyWhatLiesInsideACutFile) {
    const Bytes whole = twoStreamFile(interleaved({"00dc", "01wb"}, 2, 100));
    // Cut 30 bytes into the last chunk's data: 30 of its 100 bytes remain.
    const Bytes cut(whole.begin(), whole.end() - 70);
    container::MemorySource source(cut);
    container::ChunkReader reader(source, {});
    const container::RiffWalk walk = container::walkRiff(reader);
    const FirstFrames frames = container::readFirstFrames(reader, walk);
    const Taken sound = taken(frames, 1);
    EXPECT_EQ(sound.chunks, 2u);
    EXPECT_EQ(sound.lastChunk, 30u);
}

}  // namespace
}  // namespace strovanik::testing
