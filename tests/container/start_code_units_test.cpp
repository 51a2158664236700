#include "container/start_code_units.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "support/avi_writer.h"

namespace strovanik::container {
namespace {

using testing::Bytes;
using testing::concat;
using Span = std::pair<std::int64_t, std::int64_t>;

std::vector<Span> keptSpans(const Bytes& bytes, StartCodeFamily family, std::int64_t offset = 0,
                            std::int64_t length = -1) {
    MemorySource source(bytes);
    std::vector<Span> spans;
    forEachKeptSpan(source, offset, length < 0 ? static_cast<std::int64_t>(bytes.size()) : length,
                    family, [&](std::int64_t at, std::int64_t n) { spans.emplace_back(at, n); });
    return spans;
}

TEST(StartCodeUnits, FamilyComesFromTheCompressionThenTheHandlerInAnyCase) {
    struct Case {
        const char* compression;
        const char* handler;
        StartCodeFamily family;
    };
    const std::vector<Case> cases = {
        {"H264", "", StartCodeFamily::H264},
        {"avc1", "", StartCodeFamily::H264},
        {"XVID", "", StartCodeFamily::Mpeg4Visual},
        {"dx50", "divx", StartCodeFamily::Mpeg4Visual},
        {"\0\0\0\0", "FMP4", StartCodeFamily::Mpeg4Visual},  // no compression code: the handler
        {"DIV3", "", StartCodeFamily::None},                  // MPEG-4 version 3 has no start codes
        {"MJPG", "H264", StartCodeFamily::H264},              // an unknown compression
        {"", "", StartCodeFamily::None},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.compression) + "/" + c.handler);
        EXPECT_EQ(startCodeFamilyOf(fourCc(c.compression), fourCc(c.handler)), c.family);
    }
}

TEST(StartCodeUnits, KeepsStartCodesAndConfigurationUnitsWhole) {
    // H.264: SPS (67), PPS (68), SEI (06), then an IDR slice (65) and a slice (41).
    const Bytes h264 = concat({{0, 0, 0, 1, 0x67, 9, 9}, {0, 0, 1, 0x68, 8}, {0, 0, 1, 0x06, 7, 7},
                               {0, 0, 1, 0x65, 5, 5, 5}, {0, 0, 1, 0x41, 4}});
    EXPECT_EQ(keptSpans(h264, StartCodeFamily::H264),
              (std::vector<Span>{{1, 6}, {7, 5}, {12, 6}, {18, 3}, {25, 3}}));
    // MPEG-4 visual: visual object sequence (B0), visual object (B5), VOL (20), user data
    // (B2), GOV (B3), then a VOP (B6).
    const Bytes mpeg4 = concat({{0, 0, 1, 0xB0, 1}, {0, 0, 1, 0xB5, 2}, {0, 0, 1, 0x20, 3, 3},
                                {0, 0, 1, 0xB2, 'x'}, {0, 0, 1, 0xB3, 4}, {0, 0, 1, 0xB6, 6, 6}});
    EXPECT_EQ(keptSpans(mpeg4, StartCodeFamily::Mpeg4Visual),
              (std::vector<Span>{{0, 5}, {5, 5}, {10, 6}, {16, 5}, {21, 5}, {26, 3}}));
    // A stream of no start-code family keeps nothing.
    EXPECT_EQ(keptSpans(mpeg4, StartCodeFamily::None), std::vector<Span>{});
}

TEST(StartCodeUnits, EdgesOfTheRangeAndLookAlikes) {
    struct Case {
        const char* name;
        Bytes bytes;
        std::int64_t offset;
        std::int64_t length;
        std::vector<Span> kept;
    };
    const std::vector<Case> cases = {
        {"no start code", {1, 0, 1, 0, 0, 2, 0, 1}, 0, -1, {}},
        {"start code at the very end, no type", {9, 0, 0, 1}, 0, -1, {{1, 3}}},
        {"start code cut by the range's end", {0, 0, 1, 0x65}, 0, 2, {}},
        {"configuration unit runs to the range's end", {0, 0, 1, 0x67, 1, 2, 3}, 0, 5, {{0, 5}}},
        {"range inside the data", {0, 0, 1, 0x67, 0, 0, 1, 0x65, 0, 0, 1, 0x68}, 4, 8, {{4, 3}, {8, 4}}},
        {"zeros before a start code belong to nothing", {0, 0, 0, 0, 0, 1, 0x41}, 0, -1, {{3, 3}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(keptSpans(c.bytes, StartCodeFamily::H264, c.offset, c.length), c.kept);
    }
}

TEST(StartCodeUnits, UnitsAcrossReadBlocksAreSeenWhole) {
    // The range is read in blocks of 1 MiB: put start codes on every place around the first
    // block's end, one at a time, and a configuration unit that spans two blocks.
    constexpr std::int64_t kBlock = 1 << 20;
    for (std::int64_t at = kBlock - 5; at <= kBlock + 1; ++at) {
        SCOPED_TRACE(at);
        Bytes bytes(static_cast<std::size_t>(3 * kBlock), 0x55);
        const auto put = [&](std::int64_t where, std::uint8_t type) {
            bytes[static_cast<std::size_t>(where)] = 0;
            bytes[static_cast<std::size_t>(where + 1)] = 0;
            bytes[static_cast<std::size_t>(where + 2)] = 1;
            bytes[static_cast<std::size_t>(where + 3)] = type;
        };
        put(at, 0x67);              // an SPS that runs into the next block
        put(2 * kBlock + 10, 0x41);  // a slice
        EXPECT_EQ(keptSpans(bytes, StartCodeFamily::H264),
                  (std::vector<Span>{{at, 2 * kBlock + 10 - at}, {2 * kBlock + 10, 3}}));
        put(at, 0x41);
        EXPECT_EQ(keptSpans(bytes, StartCodeFamily::H264),
                  (std::vector<Span>{{at, 3}, {2 * kBlock + 10, 3}}));
    }
}

}  // namespace
}  // namespace strovanik::container
