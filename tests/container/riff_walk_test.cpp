#include "container/riff_walk.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>

#include "report/inspection.h"
#include "support/avi_writer.h"

// The walk's bounds: what it reads, what it trusts of a size, and how it ends on files built to
// make it loop or read without end. OpenDML files are laid out here by hand.
namespace strovanik::testing {
namespace {

using container::IndexKind;
using container::RiffWalk;
using container::WalkTrouble;

RiffWalk walked(const Bytes& bytes, const container::WalkLimits& limits = {}) {
    container::MemorySource source(bytes);
    return container::walkRiff(source, limits);
}

Bytes videoHeaderList(const Bytes& extra = {}) {
    const Bytes strh = concat({code("vids"), code("XVID"), Bytes(12, 0), le32(1), le32(25), le32(0),
                               le32(5), Bytes(20, 0)});
    Bytes strl = concat({code("strl"), chunk("strh", strh), chunk("strf", Bytes(40, 0)), extra});
    const Bytes strlList =
        concat({code("LIST"), le32(static_cast<std::int32_t>(strl.size())), strl});
    return list("hdrl", {chunk("avih", mainHeaderData({})), strlList});
}

Bytes frames(int count, std::size_t size) {
    Bytes out;
    for (int i = 0; i < count; ++i) out = concat({out, chunk("00dc", Bytes(size, 0x5A))});
    return out;
}

void put32(Bytes& bytes, std::size_t at, std::int64_t value) {
    const Bytes v = le32(static_cast<std::int32_t>(value));
    std::copy(v.begin(), v.end(), bytes.begin() + static_cast<std::ptrdiff_t>(at));
}

// What an OpenDML file's indexes declare of their entries.
struct IndexShape {
    std::int16_t superLongs = 4;     // longs an entry of the super index
    std::int16_t standardLongs = 2;  // longs an entry of each standard index, as laid out
    std::uint8_t subType = 0;        // of both; 1: frames of two fields
};

// An OpenDML file: 3 frames in the AVI RIFF, 2 in an AVIX one, each RIFF's movie list ending in
// a standard index, and a super index in the stream list naming the standard indexes in the
// order `order` gives (an entry named twice makes a loop). A field index's entries locate the
// second field of each frame too, half way into it.
Bytes openDmlFile(const std::vector<int>& order, const IndexShape& shape = {}) {
    const std::size_t superEntry = 4 * static_cast<std::size_t>(shape.superLongs);
    const std::size_t entry = 4 * static_cast<std::size_t>(shape.standardLongs);
    const std::size_t superSize = 24 + superEntry * order.size();
    const Bytes hdrl = videoHeaderList(chunk("indx", Bytes(superSize, 0)));
    const auto standardIndex = [&](int count) {
        return chunk("ix00", concat({le16(shape.standardLongs), Bytes{shape.subType, 1},
                                     le32(count), code("00dc"), Bytes(12, 0),
                                     Bytes(entry * static_cast<std::size_t>(count), 0)}));
    };
    const Bytes first = riff("AVI ", {hdrl, list("movi", {frames(3, 10), standardIndex(3)})});
    const Bytes second = riff("AVIX", {list("movi", {frames(2, 10), standardIndex(2)})});
    Bytes file = concat({first, second});

    // Fill in the offsets now that every chunk has its place.
    const std::size_t firstMovi = 12 + hdrl.size() + 12;  // the first chunk of each movie list
    const std::size_t secondMovi = first.size() + 12 + 12;
    const std::size_t chunkSpan = 8 + 10;
    const std::size_t indexAt[] = {firstMovi + 3 * chunkSpan, secondMovi + 2 * chunkSpan};
    const std::size_t moviStart[] = {firstMovi, secondMovi};
    const int counts[] = {3, 2};
    for (int i = 0; i < 2; ++i) {
        put32(file, indexAt[i] + 8 + 12, 0);  // base offset: the start of the file
        for (int k = 0; k < counts[i]; ++k) {
            const std::size_t at = indexAt[i] + 8 + 24 + entry * static_cast<std::size_t>(k);
            const std::size_t dataAt = moviStart[i] + k * chunkSpan + 8;
            put32(file, at, static_cast<std::int64_t>(dataAt));
            put32(file, at + 4, 10);
            if (entry >= 12) put32(file, at + 8, static_cast<std::int64_t>(dataAt + 5));
        }
    }
    const std::size_t superAt = 12 + 12 + (8 + 56) + 12 + (8 + 56) + (8 + 40) + 8;
    Bytes header =
        concat({le16(shape.superLongs), Bytes{shape.subType, 0},
                le32(static_cast<std::int32_t>(order.size())), code("00dc"), Bytes(12, 0)});
    std::copy(header.begin(), header.end(), file.begin() + static_cast<std::ptrdiff_t>(superAt));
    for (std::size_t e = 0; e < order.size(); ++e) {
        put32(file, superAt + 24 + superEntry * e, static_cast<std::int64_t>(indexAt[order[e]]));
    }
    return file;
}

TEST(RiffWalk, OpenDmlIndexesCoverEveryRiff) {
    const RiffWalk walk = walked(openDmlFile({0, 1}));
    EXPECT_EQ(walk.trouble, WalkTrouble::None);
    ASSERT_EQ(walk.parts.size(), 2u);
    EXPECT_EQ(walk.parts[1].formType, container::fourCc("AVIX"));
    EXPECT_EQ(walk.index, IndexKind::OpenDml);
    ASSERT_EQ(walk.streams.size(), 1u);
    EXPECT_EQ(walk.streams[0].indexedChunks, 5);
    EXPECT_EQ(walk.streams[0].presentChunks, 5);
    EXPECT_EQ(walk.streams[0].firstRiffChunks, 3);
    EXPECT_FALSE(walk.movieWalked);
}

// A standard index named twice is read once, and the repeat makes the walk count the chunks
// itself.
TEST(RiffWalk, AStandardIndexNamedTwiceIsReadOnce) {
    const RiffWalk walk = walked(openDmlFile({0, 0, 1}));
    EXPECT_EQ(walk.streams[0].indexedChunks, 5);
    EXPECT_EQ(walk.indexEntriesMismatched, 1);
    EXPECT_TRUE(walk.movieWalked);
    EXPECT_EQ(walk.streams[0].presentChunks, 5);
}

// Index entries are read at the size their header declares, where their type has entries of
// that size; an index that declares another size is not read, and the movie lists are walked.
TEST(RiffWalk, IndexEntriesAreReadAtTheirDeclaredSize) {
    const struct {
        const char* what;
        IndexShape shape;
        std::int64_t unread;  // indexes not read
        std::optional<std::int64_t> indexed;
    } cases[] = {
        {"standard indexes", {4, 2, 0}, 0, 5},
        {"field indexes, 12 bytes an entry", {4, 3, 1}, 0, 5},
        {"standard indexes of 12 bytes an entry", {4, 3, 0}, 2, 0},
        {"field indexes of 8 bytes an entry", {4, 2, 1}, 2, 0},
        {"a super index of 8 bytes an entry", {2, 2, 0}, 1, std::nullopt},
        {"a super index of 24 bytes an entry", {6, 2, 0}, 1, std::nullopt},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const Bytes file = openDmlFile({0, 1}, c.shape);
        const RiffWalk walk = walked(file);
        ASSERT_EQ(walk.streams.size(), 1u);
        EXPECT_EQ(walk.unreadIndexes.count, c.unread);
        EXPECT_EQ(walk.streams[0].indexedChunks, c.indexed);
        EXPECT_EQ(walk.streams[0].presentChunks, 5);
        EXPECT_EQ(walk.movieWalked, c.unread > 0);
        EXPECT_EQ(walk.indexEntriesMismatched + walk.indexEntriesPastEnd, 0);
        if (c.unread > 0) {
            EXPECT_EQ(walk.unreadIndexes.longsPerEntry,
                      c.unread == 1 ? c.shape.superLongs : c.shape.standardLongs);
        }
        // An index that cannot be read is a fault of the file, which the inspection names.
        container::MemorySource source(file);
        const report::Inspection in = report::inspect(source);
        const bool named = std::any_of(in.findings.begin(), in.findings.end(), [](const auto& f) {
            return f.code == report::FindingCode::IndexEntrySize;
        });
        EXPECT_EQ(named, c.unread > 0);
    }
}

// Sizes are claims: the walk reads chunk headers and indexes only, however large the data,
// and a size beyond the file is cut to what the file holds.
TEST(RiffWalk, ReadsHeadersAndIndexesOnly) {
    const Bytes big = riff("AVI ", {videoHeaderList(), list("movi", {frames(5, 1'000'000)})});
    const RiffWalk walk = walked(big);
    EXPECT_EQ(walk.streams[0].presentChunks, 5);
    EXPECT_LT(walk.bytesRead, 6 * 4096);

    Bytes absurd = riff("AVI ", {videoHeaderList(), chunk("idx1", Bytes(32, 0))});
    put32(absurd, 4, 0x7FFF'FFF0);                       // the RIFF claims 2 GiB
    put32(absurd, absurd.size() - 32 - 4, 0x7FFF'FF00);  // and so does its index
    const RiffWalk cut = walked(absurd);
    EXPECT_TRUE(cut.endsInsideChunk);
    EXPECT_GT(cut.declaredEnd(), cut.fileSize);
    EXPECT_LE(cut.bytesRead, 3 * static_cast<std::int64_t>(absurd.size()));
}

TEST(RiffWalk, StopsAtItsLimits) {
    const Bytes many = riff("AVI ", {videoHeaderList(), list("movi", {frames(100, 2)})});
    const struct {
        container::WalkLimits limits;
        WalkTrouble trouble;
    } cases[] = {
        {{}, WalkTrouble::None},
        {{50, 1000}, WalkTrouble::StepLimit},
    };
    for (const auto& c : cases) {
        const RiffWalk walk = walked(many, c.limits);
        EXPECT_EQ(walk.trouble, c.trouble);
        EXPECT_LE(walk.steps, c.limits.maxSteps + 1);
    }
    // An index longer than the limit on index entries is not read.
    Bytes indexed = riff("AVI ", {videoHeaderList(), list("movi", {frames(3, 2)}),
                                  chunk("idx1", Bytes(16 * 30, 0))});
    EXPECT_EQ(walked(indexed, {1000, 10}).trouble, WalkTrouble::StepLimit);
}

// Nesting deeper than the walk's stated bound stops it at its limit, saying so, with the
// frame above the nesting counted; up to the bound the frame at the bottom is found.
TEST(RiffWalk, RecListsNestedBeyondTheBoundStopTheWalkAtItsLimit) {
    const struct {
        std::size_t depth;
        std::int64_t maxDepth;
        WalkTrouble trouble;
        std::int64_t frames;
    } cases[] = {
        {0, 0, WalkTrouble::None, 2},
        {10, 10, WalkTrouble::None, 2},
        {11, 10, WalkTrouble::StepLimit, 1},
        {100'000, 99'999, WalkTrouble::StepLimit, 1},
        {100'001, container::WalkLimits{}.maxListDepth, WalkTrouble::StepLimit, 1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.depth);
        const Bytes file = riff(
            "AVI ", {videoHeaderList(),
                     list("movi", {frames(1, 16), nestedLists("rec ", c.depth, frames(1, 16))})});
        container::WalkLimits limits;
        limits.maxListDepth = c.maxDepth;
        const RiffWalk walk = walked(file, limits);
        EXPECT_EQ(walk.trouble, c.trouble);
        ASSERT_EQ(walk.streams.size(), 1u);
        EXPECT_EQ(walk.streams[0].presentChunks, c.frames);
    }
}

// The movie chunks one at a time, in file order: `rec ` lists looked into, other lists passed
// over, every chunk with its stream number and the part of its data the file holds.
TEST(MovieChunks, HandsOutTheChunksInFileOrder) {
    Bytes file =
        riff("AVI ", {videoHeaderList(),
                      list("movi", {chunk("00dc", Bytes(4, 1)),
                                    list("rec ", {chunk("01wb", Bytes(2, 2)), chunk("JUNK", {})}),
                                    list("abcd", {chunk("00dc", Bytes(4, 3))}),
                                    chunk("ix00", Bytes(8, 0)), chunk("00dc", Bytes(100, 4))})});
    file.resize(file.size() - 60);  // the last frame is cut
    const struct {
        const char* id;
        std::optional<int> stream;
        std::int64_t size;
        std::int64_t presentSize;
    } expected[] = {
        {"00dc", 0, 4, 4},
        {"01wb", 1, 2, 2},
        {"JUNK", std::nullopt, 0, 0},
        {"ix00", std::nullopt, 8, 8},
        {"00dc", 0, 100, 40},
    };
    container::MemorySource source(file);
    container::ChunkReader reader(source, {});
    const RiffWalk walk = container::walkStructure(reader);
    container::MovieChunks chunks(reader, walk.movieLists);
    for (const auto& e : expected) {
        SCOPED_TRACE(e.id);
        const auto chunk = chunks.next();
        ASSERT_TRUE(chunk.has_value());
        EXPECT_EQ(chunk->id, container::fourCc(e.id));
        EXPECT_EQ(chunk->stream, e.stream);
        EXPECT_EQ(chunk->size, e.size);
        EXPECT_EQ(chunk->presentSize, e.presentSize);
        EXPECT_EQ(file[static_cast<std::size_t>(chunk->dataAt - 8)], e.id[0]);
    }
    EXPECT_FALSE(chunks.next().has_value());
    EXPECT_EQ(chunks.trouble(), WalkTrouble::None);
    EXPECT_TRUE(reader.endsInsideChunk());
}

// A reader that has what it needs stops: taking the first chunks of a long movie list costs a
// step each, not a walk of the list.
TEST(MovieChunks, StopsWhenItsReaderStops) {
    const Bytes file = riff("AVI ", {videoHeaderList(), list("movi", {frames(1'000, 100)})});
    container::MemorySource source(file);
    container::ChunkReader reader(source, {});
    const RiffWalk walk = container::walkStructure(reader);
    const std::int64_t structureSteps = reader.steps();
    container::MovieChunks chunks(reader, walk.movieLists);
    for (int i = 0; i < 3; ++i) ASSERT_TRUE(chunks.next().has_value());
    EXPECT_EQ(reader.steps(), structureSteps + 3);
    EXPECT_LT(reader.bytesRead(), 3 * 4096);
}

TEST(RiffWalk, StreamNumbersOfChunkIds) {
    const struct {
        const char* id;
        std::optional<int> number;
    } cases[] = {{"00dc", 0},
                 {"01wb", 1},
                 {"99dc", 99},
                 {"ix00", std::nullopt},
                 {"rec ", std::nullopt},
                 {"0xdc", std::nullopt}};
    for (const auto& c : cases) {
        EXPECT_EQ(container::streamNumberOf(container::fourCc(c.id)), c.number) << c.id;
    }
}

}  // namespace
}  // namespace strovanik::testing
