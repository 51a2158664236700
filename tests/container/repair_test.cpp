#include "container/repair.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <random>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "container/riff_walk.h"
#include "container/text_encoding.h"
#include "report/inspection.h"
#include "support/avi_writer.h"

// The repaired copy of files made here byte by byte: where damage is found and how far the
// search past it looks, which chunks are key frames, what the counts become, and what is
// refused. Each copy must pass the walk as complete.
namespace strovanik::testing {
namespace {

namespace fs = std::filesystem;
using container::RepairOptions;
using container::RepairResult;

// An MPEG-4 VOP of the coding type given (0 I, 1 P, 2 B) and `size` bytes.
Bytes vop(int type, std::size_t size = 40) {
    Bytes bytes(size, 0x33);
    bytes[0] = 0;
    bytes[1] = 0;
    bytes[2] = 1;
    bytes[3] = 0xB6;
    bytes[4] = static_cast<std::uint8_t>(type << 6);
    return bytes;
}

Bytes noise(std::size_t size, unsigned seed) {
    std::mt19937 random(seed);
    Bytes bytes(size);
    for (auto& b : bytes) b = static_cast<std::uint8_t>(random());
    return bytes;
}

// An AVI file: a video and a sound stream (one byte per sample), then the movie list of
// `parts` (chunks, or bytes that are none) and `idx1`.
Bytes aviFile(const std::vector<Bytes>& parts, const std::optional<Bytes>& idx1 = std::nullopt) {
    Bytes movi = text("movi");
    for (const Bytes& part : parts) movi.insert(movi.end(), part.begin(), part.end());
    const Bytes hdrl = list("hdrl", {chunk("avih", mainHeaderData({})), videoStreamList({}),
                                     audioStreamList({}), chunk("JUNK", text("kept as it is"))});
    const Bytes moviList =
        concat({text("LIST"), le32(static_cast<std::int32_t>(movi.size())), movi});
    return idx1 ? riff("AVI ", {hdrl, moviList, *idx1}) : riff("AVI ", {hdrl, moviList});
}

struct Repaired {
    RepairResult result;
    Bytes copy;
};

Repaired repaired(const Bytes& file, const RepairOptions& options = {}) {
    container::MemorySource source(file);
    std::stringstream out;
    Repaired r;
    r.result = container::writeRepairedCopy(source, out, options);
    const std::string bytes = out.str();
    r.copy.assign(bytes.begin(), bytes.end());
    return r;
}

report::Inspection inspected(const Bytes& bytes) {
    container::MemorySource source(bytes);
    return report::inspect(source);
}

// The flags of the copy's idx1 entries, in order.
std::vector<bool> idx1KeyFlags(const Bytes& copy) {
    const char* id = "idx1";
    auto at = std::search(copy.begin(), copy.end(), id, id + 4);
    std::vector<bool> flags;
    if (at == copy.end()) return flags;
    const auto size = static_cast<std::size_t>(at[4] | at[5] << 8 | at[6] << 16 | at[7] << 24);
    for (std::size_t i = 0; i < size / 16; ++i) flags.push_back((at[8 + 16 * i + 4] & 0x10) != 0);
    return flags;
}

struct Case {
    const char* name;
    std::vector<Bytes> parts;
    RepairOptions options;
    std::vector<std::int64_t> kept;  // chunks per stream
    std::vector<std::pair<std::int64_t, std::int64_t>>
        skipped;  // offset from the movie data, bytes
};

// Where the movie data starts in files made by aviFile: after the header list.
std::int64_t movieDataAt() {
    const Bytes file = aviFile({});
    const char* id = "movi";
    return std::search(file.begin(), file.end(), id, id + 4) - file.begin() + 4;
}

TEST(Repair, DamageIsPassedOverAndSaidWhereAndHowMuch) {
    const Bytes v = chunk("00dc", vop(0));
    const Bytes a = chunk("01wb", Bytes(100, 7));
    // Noise that holds a header of a known stream whose size leads nowhere.
    const Bytes lure = concat({noise(50, 1), text("00dc"), le32(30), noise(70, 2)});
    RepairOptions narrow;
    narrow.searchWindow = 64;
    RepairOptions wide;
    wide.searchWindow = 4096;
    const std::vector<Case> cases = {
        {"whole", {v, a, v, a}, {}, {2, 2}, {}},
        // A chunk followed by no chunk header may have lost its end to the damage: it goes too.
        {"noise between chunks", {v, a, noise(300, 3), v, a}, {}, {2, 1}, {{48, 408}}},
        {"a lure in the noise", {v, a, lure, v, a}, {}, {2, 1}, {{48, 236}}},
        {"noise over a chunk's end and the next header",
         {v, concat({Bytes(a.begin(), a.begin() + 50), noise(78, 4)}), v},
         {},
         {2, 0},
         {{48, 128}}},
        {"a chunk of no stream", {v, chunk("07dc", Bytes(8, 1)), a}, {}, {1, 1}, {{48, 16}}},
        {"JUNK and an index chunk",
         {v, chunk("JUNK", Bytes(9, 0)), chunk("ix00", Bytes(4, 0)), a},
         {},
         {1, 1},
         {}},
        {"noise past the search window", {v, a, noise(300, 5), v, a}, narrow, {1, 0}, {{48, 564}}},
        {"noise inside the search window", {v, a, noise(300, 5), v, a}, wide, {2, 1}, {{48, 408}}},
    };
    const std::int64_t movie = movieDataAt();
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const Repaired r = repaired(aviFile(c.parts), c.options);
        ASSERT_EQ(r.result.status, RepairResult::Status::Written) << r.result.problem;
        std::vector<std::int64_t> kept;
        for (const auto& s : r.result.streams) kept.push_back(s.chunks);
        EXPECT_EQ(kept, c.kept);
        std::vector<std::pair<std::int64_t, std::int64_t>> skipped;
        for (const auto& s : r.result.skipped) skipped.emplace_back(s.offset - movie, s.bytes);
        EXPECT_EQ(skipped, c.skipped);
        EXPECT_EQ(static_cast<std::int64_t>(r.copy.size()), r.result.length);
        const report::Inspection copy = inspected(r.copy);
        EXPECT_EQ(copy.verdict, report::Verdict::Complete) << copy.findings.front().english;
        EXPECT_EQ(copy.index, container::IndexKind::Idx1);
    }
}

TEST(Repair, KeyFramesComeFromTheOldIndexWhereItListsTheChunk) {
    // Four pictures: I, P, P, I by their data; the old index lists the first three only, and
    // calls the second a key frame.
    const std::vector<Bytes> pictures = {vop(0), vop(1), vop(1), vop(0)};
    std::vector<Bytes> parts;
    Bytes entries;
    std::int64_t offset = 4;
    const std::vector<std::uint32_t> oldFlags = {0x10, 0x10, 0};
    for (std::size_t i = 0; i < pictures.size(); ++i) {
        parts.push_back(chunk("00dc", pictures[i]));
        if (i < oldFlags.size()) {
            entries = concat({entries, text("00dc"), le32(static_cast<std::int32_t>(oldFlags[i])),
                              le32(static_cast<std::int32_t>(offset)),
                              le32(static_cast<std::int32_t>(pictures[i].size()))});
        }
        offset += static_cast<std::int64_t>(parts.back().size());
    }
    const struct {
        const char* name;
        std::optional<Bytes> idx1;
        std::vector<bool> keys;
    } cases[] = {
        {"from the data", std::nullopt, {true, false, false, true}},
        {"from the old index, then the data", chunk("idx1", entries), {true, true, false, true}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const Repaired r = repaired(aviFile(parts, c.idx1));
        ASSERT_EQ(r.result.status, RepairResult::Status::Written) << r.result.problem;
        EXPECT_EQ(idx1KeyFlags(r.copy), c.keys);
    }
}

TEST(Repair, CountsAreMadeTrueAndHeadersKept) {
    // The main header says 250 frames and the stream headers 1000 units: the copy holds 3
    // pictures and 3 × 100 bytes of sound at one byte a sample.
    const Bytes v = chunk("00dc", vop(0));
    const Bytes a = chunk("01wb", Bytes(100, 7));
    const Bytes file = aviFile({v, a, v, a, v, a});
    const Repaired r = repaired(file);
    ASSERT_EQ(r.result.status, RepairResult::Status::Written);
    container::MemorySource source(r.copy);
    const container::RiffWalk walk = container::walkRiff(source);
    ASSERT_TRUE(walk.mainHeader);
    EXPECT_EQ(walk.mainHeader->dwTotalFrames, 3);
    EXPECT_EQ(walk.mainHeader->dwFlags & 0x10, 0x10) << "the copy has an index";
    ASSERT_EQ(walk.streams.size(), 2u);
    EXPECT_EQ(walk.streams[0].record.dwLength(), 3);
    EXPECT_EQ(walk.streams[1].record.dwLength(), 300);
    EXPECT_DOUBLE_EQ(r.result.seconds, 3.0 / 25);
    // Before the movie data the copy is the original but for those four numbers.
    const auto movie = static_cast<std::size_t>(movieDataAt());
    std::size_t differing = 0;
    for (std::size_t i = 8; i < movie; ++i) differing += r.copy[i] != file[i] ? 1 : 0;
    EXPECT_LE(differing, 4u * 4);
    EXPECT_GT(differing, 0u);
    const std::string junk = "kept as it is";
    EXPECT_NE(std::search(r.copy.begin(), r.copy.end(), junk.begin(), junk.end()), r.copy.end());
}

TEST(Repair, AFileWithNothingToKeepIsRefusedWithAReason) {
    const Bytes v = chunk("00dc", vop(0));
    const Bytes noHeader = riff("AVI ", {list("movi", {v})});
    const Bytes noMovie =
        riff("AVI ", {list("hdrl", {chunk("avih", mainHeaderData({})), videoStreamList({})})});
    const Bytes onlyNoise = aviFile({noise(500, 9)});
    const Bytes notAvi = riff("WAVE", {chunk("fmt ", Bytes(16, 0))});
    Bytes cutInHeader = aviFile({v});
    cutInHeader.resize(100);
    for (const Bytes* file :
         {&noHeader, &noMovie, &onlyNoise, &notAvi, &std::as_const(cutInHeader)}) {
        const Repaired r = repaired(*file);
        EXPECT_EQ(r.result.status, RepairResult::Status::Refused);
        EXPECT_FALSE(r.result.problem.empty());
    }
}

TEST(Repair, AnOpenDmlCopyKeepsEveryChunkAcrossItsRiffs) {
    std::vector<Bytes> parts;
    for (int i = 0; i < 60; ++i) {
        parts.push_back(chunk("00dc", vop(i % 10 == 0 ? 0 : 1, 700)));
        parts.push_back(chunk("01wb", Bytes(333, 7)));
    }
    const Bytes file = aviFile(parts);
    RepairOptions options;
    options.openDmlAbove = 8192;
    const Repaired r = repaired(file, options);
    ASSERT_EQ(r.result.status, RepairResult::Status::Written) << r.result.problem;
    EXPECT_TRUE(r.result.openDml);
    EXPECT_GE(r.result.riffs, 8);
    container::MemorySource source(r.copy);
    const container::RiffWalk walk = container::walkRiff(source);
    EXPECT_EQ(walk.index, container::IndexKind::OpenDml);
    EXPECT_EQ(walk.parts.size(), static_cast<std::size_t>(r.result.riffs));
    for (const auto& part : walk.parts) EXPECT_LE(part.declaredEnd - part.offset, 8192);
    ASSERT_EQ(walk.streams.size(), 2u);
    EXPECT_EQ(walk.streams[0].presentChunks, 60);
    EXPECT_EQ(walk.streams[1].presentChunks, 60);
    ASSERT_TRUE(walk.odmlTotalFrames);
    EXPECT_EQ(*walk.odmlTotalFrames, 60);
    EXPECT_EQ(report::inspectWalk(walk, {}).verdict, report::Verdict::Complete);
}

#ifndef _WIN32
TEST(Repair, ACancelLeavesNoFileBehind) {
    TempFolder folder;
    std::vector<Bytes> parts;
    for (int i = 0; i < 12; ++i) parts.push_back(chunk("00dc", Bytes(1 << 20, 0x11)));
    container::MemorySource source(aviFile(parts));
    int told = 0;
    const container::RepairProgress stop = [&](std::int64_t done, std::int64_t total) {
        EXPECT_LE(done, total);
        return ++told < 2;
    };
    RepairResult result;
    std::string problem;
    const fs::path target = folder / "copy.avi";
    EXPECT_THROW(container::replaceFileWithRepairedCopy(container::pathToUtf8(target), source, {},
                                                        stop, result, problem),
                 container::RepairCancelled);
    EXPECT_EQ(told, 2);
    EXPECT_TRUE(fs::is_empty(folder.path()));
}
#endif

}  // namespace
}  // namespace strovanik::testing
