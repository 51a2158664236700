#include "report/inspection.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <set>
#include <string>
#include <vector>

#include "support/avi_writer.h"

// The inspection of whole files: each verdict and each finding, from files laid out by hand
// with a video stream of 25 frames a second and a sound stream of 4-byte samples.
namespace strovanik::testing {
namespace {

using report::Inspection;
using report::Verdict;

enum class IndexShape { Idx1, None, PastEnd, WrongIds };

struct Shape {
    int frames = 10;  // video chunks of 100 bytes
    std::vector<std::int32_t> sound = std::vector<std::int32_t>(10, 400);
    std::int16_t blockAlign = 4;               // 1152 gives the report's "(VBR)"
    std::optional<std::int32_t> headerFrames;  // avih: the frame count, by default `frames`
    std::optional<std::int32_t> videoLength;   // strh: the length, by default `frames`
    IndexShape index = IndexShape::Idx1;
    std::string writer;  // INFO ISFT when set
    int avixFrames = 0;  // frames in a second RIFF (AVIX)
    // The video handler: by default one that names no format the first frames are held to,
    // as the chunks here are filler bytes.
    std::string handler = "MJPG";
    Bytes movieHead;  // before the movie list's first chunk, in no index
    Bytes tail;       // after the index, in the first RIFF
};

Bytes streamList(std::string_view type, std::string_view handler, std::int32_t scale,
                 std::int32_t rate, std::int32_t length, std::int32_t sampleSize,
                 const Bytes& format) {
    const Bytes strh =
        concat({code(type), code(handler), le32(0), le32(0), le32(0), le32(scale), le32(rate),
                le32(0), le32(length), le32(0), le32(-1), le32(sampleSize), le32(0), le32(0)});
    return list("strl", {chunk("strh", strh), chunk("strf", format)});
}

struct Movie {
    Bytes list;
    Bytes idx1;  // entries, offsets from the list's type
};

// Video and sound chunks in turn, as writers interleave them.
Movie movie(int frames, const std::vector<std::int32_t>& sound, const Bytes& head = {}) {
    Bytes children = head;
    Bytes entries;
    const auto add = [&](std::string_view id, std::int32_t size) {
        const std::int32_t offset = static_cast<std::int32_t>(children.size()) + 4;
        entries = concat({entries, code(id), le32(0x10), le32(offset), le32(size)});
        children = concat({children, chunk(id, Bytes(static_cast<std::size_t>(size), 0x5A))});
    };
    for (std::size_t i = 0; i < std::max<std::size_t>(frames, sound.size()); ++i) {
        if (i < static_cast<std::size_t>(frames)) add("00dc", 100);
        if (i < sound.size()) add("01wb", sound[i]);
    }
    return {concat({code("LIST"), le32(static_cast<std::int32_t>(children.size() + 4)),
                    code("movi"), children}),
            entries};
}

Bytes fileOf(const Shape& s) {
    std::int32_t soundBytes = 0;
    for (std::int32_t size : s.sound) soundBytes += size;
    MainHeaderPlan main;
    main.totalFrames = s.headerFrames.value_or(s.frames);
    const Bytes videoFormat =
        concat({le32(40), le32(320), le32(240), le16(1), le16(24), code("XVID"), Bytes(20, 0)});
    const Bytes soundFormat =
        concat({le16(1), le16(2), le32(2500), le32(10'000), le16(s.blockAlign), le16(16), le16(0)});
    const Bytes hdrl =
        list("hdrl", {chunk("avih", mainHeaderData(main)),
                      streamList("vids", s.handler, 1, 25,
                                 s.videoLength.value_or(s.frames + s.avixFrames), 0, videoFormat),
                      streamList("auds", "", 1, 2500, soundBytes / 4, 4, soundFormat)});
    const Movie m = movie(s.frames, s.sound, s.movieHead);
    Bytes entries = m.idx1;
    if (s.index == IndexShape::PastEnd) {
        std::copy_n(le32(0x00FFFFFF).begin(), 4, entries.begin() + 8);
    } else if (s.index == IndexShape::WrongIds) {
        std::copy_n(code("01wb").begin(), 4, entries.begin());  // names a sound chunk
    }
    const Bytes info = s.writer.empty() ? Bytes{} : list("INFO", {chunk("ISFT", text(s.writer))});
    const Bytes index = s.index == IndexShape::None ? Bytes{} : chunk("idx1", entries);
    Bytes bytes = riff("AVI ", {hdrl, info, m.list, index, s.tail});
    if (s.avixFrames > 0) bytes = concat({bytes, riff("AVIX", {movie(s.avixFrames, {}).list})});
    return bytes;
}

Inspection inspected(const Bytes& bytes) {
    container::MemorySource source(bytes);
    return report::inspect(source);
}

Bytes cut(Bytes bytes, std::size_t length) {
    bytes.resize(length);
    return bytes;
}

// Where the movie list's type stands.
std::size_t moviOffset(const Bytes& bytes) {
    const Bytes movi = code("movi");
    return static_cast<std::size_t>(
        std::search(bytes.begin(), bytes.end(), movi.begin(), movi.end()) - bytes.begin());
}

std::set<std::string> codesOf(const Inspection& in) {
    std::set<std::string> codes;
    for (const auto& f : in.findings) codes.insert(std::string(report::findingCodeName(f.code)));
    return codes;
}

TEST(Inspection, VerdictsAndFindings) {
    Shape vbrMarked;
    vbrMarked.blockAlign = 1152;
    Shape varying;
    varying.sound = {400, 100, 400, 200, 400, 100};
    Shape shortHeader;
    shortHeader.headerFrames = 8;
    Shape longStream;
    longStream.videoLength = 12;
    Shape noIndex;
    noIndex.index = IndexShape::None;
    Shape pastEnd;
    pastEnd.index = IndexShape::PastEnd;
    Shape wrongIds;
    wrongIds.index = IndexShape::WrongIds;
    Shape twoRiffs;
    twoRiffs.avixFrames = 5;
    Shape declaredXvid;
    declaredXvid.handler = "XVID";
    const Bytes whole = fileOf({});
    Bytes conflict = whole;
    // The movie list claims 4 bytes fewer than its last chunk needs.
    const std::size_t moviAt = moviOffset(conflict);
    const Bytes shorter =
        le32(static_cast<std::int32_t>(conflict[moviAt - 4] + (conflict[moviAt - 3] << 8) - 4));
    std::copy_n(shorter.begin(), 2, conflict.begin() + moviAt - 4);
    Bytes garbage = fileOf(noIndex);
    // The second chunk's id and size: an id of no text whose size overruns the list.
    std::fill_n(garbage.begin() + moviAt + 4 + 108, 8, 0x81);

    const struct {
        const char* name;
        Bytes bytes;
        Verdict verdict;
        std::set<std::string> codes;
    } cases[] = {
        {"whole", whole, Verdict::Complete, {}},
        {"vbr mark, constant chunks",
         fileOf(vbrMarked),
         Verdict::Complete,
         {"bitrate-mode-mismatch"}},
        {"no mark, varying chunks", fileOf(varying), Verdict::Complete, {"bitrate-mode-mismatch"}},
        {"XVID, no MPEG-4 start code",
         fileOf(declaredXvid),
         Verdict::Complete,
         {"unreadable-frames"}},
        {"stream longer than its index",
         fileOf(longStream),
         Verdict::Complete,
         {"stream-length-mismatch"}},
        {"first RIFF only", fileOf(twoRiffs), Verdict::Complete, {"first-riff-only"}},
        {"header frames short", fileOf(shortHeader), Verdict::Damaged, {"frame-count-mismatch"}},
        {"no index", fileOf(noIndex), Verdict::Damaged, {"no-index"}},
        {"index past the end", fileOf(pastEnd), Verdict::Damaged, {"index-past-end"}},
        {"index names other chunks",
         fileOf(wrongIds),
         Verdict::Damaged,
         {"index-wrong-chunk", "frame-count-mismatch"}},
        {"chunk larger than its list", conflict, Verdict::Damaged, {"size-conflict"}},
        {"no chunk where one should be", garbage, Verdict::Damaged, {"structure-lost"}},
        {"cut in the movie data",
         cut(whole, whole.size() - 500),
         Verdict::Truncated,
         {"truncated"}},
        {"cut inside a chunk header",
         cut(whole, moviAt + 4 + 3),
         Verdict::Truncated,
         {"truncated"}},
        {"cut in the header list",
         cut(whole, 100),
         Verdict::Truncated,
         {"truncated", "no-header-list"}},
    };
    for (const auto& c : cases) {
        const Inspection in = inspected(c.bytes);
        EXPECT_EQ(in.verdict, c.verdict) << c.name;
        EXPECT_EQ(codesOf(in), c.codes) << c.name;
        bool notesOnly = true;
        for (const auto& f : in.findings) {
            EXPECT_FALSE(f.english.empty() || f.korean.empty()) << c.name;
            notesOnly = notesOnly && report::isNote(f.code);
        }
        EXPECT_EQ(notesOnly, c.verdict == Verdict::Complete) << c.name;
    }
}

TEST(Inspection, FiguresOfAWholeFile) {
    Shape s;
    s.writer = "Test Writer 1.0";
    const Inspection in = inspected(fileOf(s));
    EXPECT_EQ(in.index, container::IndexKind::Idx1);
    EXPECT_EQ(in.writer, "Test Writer 1.0");
    EXPECT_DOUBLE_EQ(in.durationSeconds, 0.4);
    EXPECT_DOUBLE_EQ(in.playableSeconds, 0.4);
    EXPECT_DOUBLE_EQ(in.presentPercent, 100);
    ASSERT_EQ(in.streams.size(), 2u);
    const auto& video = in.streams[0];
    EXPECT_EQ(video.type, "vids");
    EXPECT_EQ(video.handler, "MJPG");
    EXPECT_FALSE(video.formatTag);
    EXPECT_EQ(video.indexedChunks, 10);
    EXPECT_EQ(video.presentChunks, 10);
    EXPECT_EQ(video.bytes, 1000);
    EXPECT_DOUBLE_EQ(*video.bitrateKbps, 1000 * 8 / 1000.0 / 0.4);
    const auto& sound = in.streams[1];
    EXPECT_EQ(sound.formatTag, 1);
    EXPECT_EQ(sound.headerLength, 1000);  // 4,000 bytes of 4-byte samples
    EXPECT_DOUBLE_EQ(sound.durationSeconds, 0.4);
    EXPECT_FALSE(sound.vbr);
}

// A file cut half way plays what is left, and says how much is missing.
TEST(Inspection, ACutFileSaysWhatIsMissingAndWhatPlays) {
    Shape noSound;
    noSound.sound.clear();
    noSound.frames = 20;
    const Bytes whole = fileOf(noSound);
    // Keep the header list and 8 whole frames (108 bytes each) of the movie list.
    const std::size_t moviAt = moviOffset(whole);
    const Bytes part = cut(whole, moviAt + 4 + 8 * 108 + 50);
    const Inspection in = inspected(part);
    EXPECT_EQ(in.verdict, Verdict::Truncated);
    EXPECT_DOUBLE_EQ(in.playableSeconds, 8 / 25.0);
    EXPECT_EQ(in.streams[0].presentChunks, 8);
    EXPECT_FALSE(in.streams[0].indexedChunks);  // the index was at the end
    EXPECT_NEAR(in.presentPercent, 100.0 * part.size() / whole.size(), 1e-9);
    ASSERT_FALSE(in.findings.empty());
    const std::size_t missing = whole.size() - part.size();
    ASSERT_TRUE(missing >= 1000 && missing < 10'000);
    const std::string grouped =
        std::to_string(missing / 1000) + "," + std::to_string(missing % 1000 + 1000).substr(1);
    EXPECT_EQ(in.findings[0].english.rfind("the file ends " + grouped + " bytes (", 0), 0u)
        << in.findings[0].english;
    EXPECT_NE(in.findings[0].english.find("it plays 0.32 s of 0.80 s"), std::string::npos)
        << in.findings[0].english;
    EXPECT_NE(in.findings[0].korean.find("0.80초 중 0.32초"), std::string::npos);
}

// A chunk whose id is no text is walked past where its size fits and the chunks after it close
// the list; where they do not, the structure is lost there, as before.
TEST(Inspection, AnUnknownChunkIdIsNoDamageWhereTheSizesHold) {
    const Bytes zeroId = code("");  // four zero bytes
    Shape editorsTail;
    // What a video editor writes after the index: INFO with one chunk of a zero id, then a
    // list of its own.
    editorsTail.tail = concat(
        {list("INFO", {chunk("", text("abc"))}), list("PRMI", {chunk("PRMD", Bytes(12, 0x21))})});
    Shape overrunningTail;
    overrunningTail.tail = concat({code("LIST"), le32(4 + 8 + 6), code("INFO"), zeroId, le32(40),
                                   Bytes(6, 0), list("PRMI", {})});
    Shape leadingToChunk;
    leadingToChunk.index = IndexShape::None;
    leadingToChunk.movieHead = chunk("\x01\x02\x03\x04", Bytes(10, 0x21));
    Shape leadingIntoData;
    leadingIntoData.index = IndexShape::None;
    // Its size takes the walk into the data of the first video chunk.
    leadingIntoData.movieHead = concat({zeroId, le32(10 + 16), Bytes(10, 0x21)});
    Shape twoInARow;
    twoInARow.tail = list("INFO", {chunk("", Bytes(4, 1)), chunk("", Bytes(5, 2))});

    const struct {
        const char* name;
        Shape shape;
        Verdict verdict;
        std::set<std::string> codes;
        std::int64_t unknown;
        std::int64_t videoChunks;  // present, as counted up to where the walk lost its way
    } cases[] = {
        {"zero id in INFO after the index", editorsTail, Verdict::Complete, {}, 1, 10},
        {"two zero ids closing their list", twoInARow, Verdict::Complete, {}, 2, 10},
        {"zero id larger than its list",
         overrunningTail,
         Verdict::Damaged,
         {"structure-lost"},
         0,
         10},
        {"unprintable id in the movie data, then a chunk",
         leadingToChunk,
         Verdict::Damaged,
         {"no-index"},
         1,
         10},
        {"zero id whose size leads into another chunk's data",
         leadingIntoData,
         Verdict::Damaged,
         {"structure-lost"},
         0,
         0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const Inspection in = inspected(fileOf(c.shape));
        EXPECT_EQ(in.verdict, c.verdict);
        EXPECT_EQ(codesOf(in), c.codes);
        EXPECT_EQ(in.unknownChunks, c.unknown);
        EXPECT_EQ(in.streams.at(0).presentChunks, c.videoChunks);
    }
}

}  // namespace
}  // namespace strovanik::testing

namespace strovanik::testing {
namespace {

// The format record's channel count is unsigned: a count of 65,535 is said as such, never as -1.
TEST(Inspection, ChannelCountsOfTheFormatRecordAgainstTheFrames) {
    // Three MPEG audio frames of 417 bytes, joint stereo.
    Bytes frames(3 * 417, 0x55);
    for (std::size_t at = 0; at < frames.size(); at += 417) {
        const Bytes header{0xFF, 0xFB, 0x90, 0x64};
        std::copy(header.begin(), header.end(), frames.begin() + static_cast<std::ptrdiff_t>(at));
    }
    const struct {
        std::int16_t channels;
        const char* said;  // nullptr: no finding
    } cases[] = {
        {2, nullptr},
        {1, "the format header says 1 channels, its frames hold 2"},
        {-1, "the format header says 65535 channels, its frames hold 2"},
        {-32768, "the format header says 32768 channels, its frames hold 2"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.channels);
        MainHeaderPlan main;
        main.streams = 1;
        AudioPlan sound;
        sound.channels = c.channels;
        const Inspection in = inspected(riff(
            "AVI ", {list("hdrl", {chunk("avih", mainHeaderData(main)), audioStreamList(sound)}),
                     list("movi", {chunk("00wb", frames)})}));
        const auto found = std::find_if(in.findings.begin(), in.findings.end(), [](const auto& f) {
            return f.code == report::FindingCode::ChannelsMismatch;
        });
        ASSERT_EQ(found != in.findings.end(), c.said != nullptr);
        if (c.said != nullptr) {
            EXPECT_NE(found->english.find(c.said), std::string::npos) << found->english;
        }
    }
}

}  // namespace
}  // namespace strovanik::testing
