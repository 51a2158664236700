#include "container/avi_header_scan.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <limits>
#include <optional>
#include <random>
#include <string>
#include <vector>

#include "support/avi_writer.h"

namespace strovanik::container {
namespace {

using namespace std::string_literals;
using testing::AudioPlan;
using testing::AviPlan;
using testing::Bytes;
using testing::chunk;
using testing::concat;
using testing::le32;
using testing::list;
using testing::text;
using testing::VideoPlan;

std::optional<AviHeaderSet> scan(const Bytes& file) {
    MemorySource source(file);
    return scanAviHeaders(source);
}

AviHeaderSet scanned(const Bytes& file) {
    auto headers = scan(file);
    if (!headers) {
        ADD_FAILURE() << "the scan gave up";
        return {};
    }
    return *headers;
}

void put(Bytes& file, std::size_t offset, const Bytes& bytes) {
    if (file.size() < offset + bytes.size()) file.resize(offset + bytes.size(), 0);
    std::copy(bytes.begin(), bytes.end(), file.begin() + static_cast<std::ptrdiff_t>(offset));
}

std::string makeInfoOf(const AviHeaderSet& h) {
    return std::string(h.makeInfo.begin(), h.makeInfo.end());
}

// The 35 bytes the make-info field holds after reading `textBytes` and what follows it.
std::string field35(std::string_view textBytes) {
    std::string f(textBytes.substr(0, 35));
    f.resize(35, '\0');
    return f;
}

// A main header that says which list it came from.
Bytes hdrlList(std::int32_t marker, std::string_view type = "hdrl") {
    return list(type, {chunk("avih", testing::mainHeaderData({.totalFrames = marker}))});
}

const Bytes kRiffHead = concat({text("RIFF"), le32(0), text("AVI ")});

// ---------------------------------------------------------------------------------------
// The standard layout.

TEST(AviHeaderScan, StandardFileInUpperAndLowerCase) {
    for (const bool lowerCase : {false, true}) {
        AviPlan plan;
        plan.lowerCase = lowerCase;
        plan.main = {
            .microSecPerFrame = 41'708, .totalFrames = 143'856, .width = 640, .height = 272};
        plan.video = VideoPlan{.handler = "xvid", .compression = "XVID", .quality = 9'000};
        plan.audio = {AudioPlan{.formatTag = 0x55, .channels = 2, .samplesPerSec = 48'000}};
        const AviHeaderSet h = scanned(buildAvi(plan));
        SCOPED_TRACE(lowerCase ? "lower case" : "upper case");
        EXPECT_EQ(h.mainHeader.dwMicroSecPerFrame, 41'708);
        EXPECT_EQ(h.mainHeader.dwTotalFrames, 143'856);
        EXPECT_EQ(h.mainHeader.dwWidth, 640);
        EXPECT_EQ(h.mainHeader.dwHeight, 272);
        EXPECT_EQ(h.videoStream.fccHandler(), fourCc("xvid"));
        EXPECT_EQ(h.videoStream.biCompression(), fourCc("XVID"));
        EXPECT_EQ(h.videoStream.dwQuality(), 9'000);
        EXPECT_EQ(h.videoStream.biBitCount(), 24);
        EXPECT_EQ(h.audioStream1.fccType(), fourCc("auds"));
        EXPECT_EQ(h.audioStream1.wFormatTag(), 0x55);
        EXPECT_EQ(h.audioStream1.nSamplesPerSec(), 48'000);
        EXPECT_EQ(h.audioState, 3);
        EXPECT_EQ(h.audioStream2.fccType(), FourCc{});
        EXPECT_EQ(makeInfoOf(h), std::string(35, '\0'));
    }
}

TEST(AviHeaderScan, ReadsTheRecordsAtTheirFixedDistances) {
    // The worked layout: header list at offset 12, main header from offset 32, first stream
    // list at offset 88 with its record from offset 108 to 191.
    AviPlan plan;
    const Bytes file = buildAvi(plan);
    ASSERT_EQ(std::string(file.begin() + 12, file.begin() + 16), "LIST");
    ASSERT_EQ(std::string(file.begin() + 88, file.begin() + 92), "LIST");
    const AviHeaderSet h = scanned(file);
    EXPECT_TRUE(
        std::equal(h.videoStream.bytes().begin(), h.videoStream.bytes().end(), file.begin() + 108));
    EXPECT_EQ(
        h.mainHeader.dwMicroSecPerFrame,
        static_cast<std::int32_t>(file[32] | file[33] << 8 | file[34] << 16 | file[35] << 24));
}

TEST(AviHeaderScan, ChunkIdsAndSizesAreNotChecked) {
    // A header list whose first chunk is not avih, and a stream list whose strh is short:
    // the records still come from the fixed distances.
    Bytes file = kRiffHead;
    const Bytes oddHeader =
        list("hdrl", {chunk("zzzz", testing::mainHeaderData({.totalFrames = 77}))});
    const Bytes shortStrh =
        list("strl", {chunk("strh", concat({text("vids"), text("MJPG"), Bytes(8, 0)})),
                      chunk("strf", Bytes(40, 0x11))});
    file = concat({file, oddHeader, shortStrh, list("movi", {})});
    const AviHeaderSet h = scanned(file);
    EXPECT_EQ(h.mainHeader.dwTotalFrames, 77);
    EXPECT_EQ(h.videoStream.fccHandler(), fourCc("MJPG"));
    // The format's fields came from the strf chunk's header and data, 40 bytes early.
    EXPECT_EQ(h.videoStream.dwQuality(), 0x11111111);
}

TEST(AviHeaderScan, NothingFoundLeavesEverythingZero) {
    for (const Bytes& file : {kRiffHead, concat({kRiffHead, Bytes(5000, 0x20)}),
                              concat({kRiffHead, list("movi", {}), hdrlList(5)})}) {
        const AviHeaderSet h = scanned(file);
        EXPECT_EQ(h.mainHeader.dwTotalFrames, 0);
        EXPECT_EQ(h.videoStream.fccHandler(), FourCc{});
        EXPECT_EQ(h.audioState, 1);
        EXPECT_EQ(makeInfoOf(h), std::string(35, '\0'));
    }
}

// ---------------------------------------------------------------------------------------
// Which lists count.

TEST(AviHeaderScan, AnyCaseOfListInsideDataIsAList) {
    struct Case {
        std::string listId;
        bool found;
    };
    const std::vector<Case> cases = {{"LIST", true},     {"List", true},    {"list", true},
                                     {"lIsT", true},     {"LIS ", false},   {"LYST", false},
                                     {"\xCCIST", false}, {"LIS\xD4", false}};
    for (const Case& c : cases) {
        // The list sits inside a JUNK chunk's data, where a chunk walker would never look.
        const Bytes hidden =
            list("hdrl", {chunk("avih", testing::mainHeaderData({.totalFrames = 4242}))}, c.listId);
        const Bytes file =
            concat({kRiffHead, chunk("JUNK", concat({Bytes(7, 0), hidden})), list("movi", {})});
        EXPECT_EQ(scanned(file).mainHeader.dwTotalFrames, c.found ? 4242 : 0) << c.listId;
    }
}

TEST(AviHeaderScan, ListAndStreamTypesIgnoreCase) {
    for (const std::string type : {"hdrl", "HDRL", "HdRl"}) {
        EXPECT_EQ(scanned(concat({kRiffHead, hdrlList(31, type)})).mainHeader.dwTotalFrames, 31)
            << type;
    }
    for (const std::string streamType : {"vids", "VIDS", "vIdS"}) {
        const Bytes strl =
            list("strl", {chunk("strh", concat({text(streamType), text("DIV3"), Bytes(48, 0)}))});
        EXPECT_EQ(scanned(concat({kRiffHead, strl})).videoStream.fccHandler(), fourCc("DIV3"))
            << streamType;
    }
    for (const std::string streamType : {"auds", "AUDS", "Auds"}) {
        const Bytes strl = list("strl", {chunk("strh", concat({text(streamType), Bytes(52, 0)}))});
        EXPECT_EQ(scanned(concat({kRiffHead, strl})).audioState, 3) << streamType;
    }
}

TEST(AviHeaderScan, OtherStreamTypesAndListTypesArePassedOver) {
    const Bytes textStream = list("strl", {chunk("strh", concat({text("txts"), Bytes(52, 1)}))});
    const Bytes midi = list("strl", {chunk("strh", concat({text("mids"), Bytes(52, 1)}))});
    const Bytes info = list("INFO", {chunk("ISFT", text("Writer 1.0"))});
    const Bytes rec = list("rec ", {chunk("00dc", Bytes(8, 1))});
    const AviHeaderSet h = scanned(concat({kRiffHead, textStream, midi, info, rec}));
    EXPECT_EQ(h.videoStream.fccType(), FourCc{});
    EXPECT_EQ(h.audioState, 1);
    EXPECT_EQ(h.mainHeader.dwTotalFrames, 0);
}

TEST(AviHeaderScan, LaterFindsOverwriteEarlierOnes) {
    const Bytes file =
        concat({kRiffHead, hdrlList(1), testing::videoStreamList({.handler = "DIV3"}),
                testing::videoStreamList({.handler = "MP42"}), hdrlList(2), list("movi", {}),
                hdrlList(3), testing::videoStreamList({.handler = "H264"})});
    const AviHeaderSet h = scanned(file);
    EXPECT_EQ(h.mainHeader.dwTotalFrames, 2);               // the last before movi
    EXPECT_EQ(h.videoStream.fccHandler(), fourCc("MP42"));  // the second video stream
}

TEST(AviHeaderScan, AudioStreamsAndAudioState) {
    struct Case {
        int streams;
        std::int16_t audioState;
        std::int16_t firstTag;
        std::int16_t secondTag;
    };
    const std::vector<Case> cases = {
        {0, 1, 0, 0}, {1, 3, 101, 0}, {2, 2, 101, 102}, {3, 2, 101, 103}, {4, 2, 101, 104}};
    for (const Case& c : cases) {
        AviPlan plan;
        plan.audio.clear();
        for (int i = 1; i <= c.streams; ++i) {
            plan.audio.push_back({.formatTag = static_cast<std::int16_t>(100 + i),
                                  .channels = static_cast<std::int16_t>(i)});
        }
        const AviHeaderSet h = scanned(buildAvi(plan));
        SCOPED_TRACE(c.streams);
        EXPECT_EQ(h.audioState, c.audioState);
        EXPECT_EQ(h.audioStream1.wFormatTag(), c.firstTag);
        EXPECT_EQ(h.audioStream2.wFormatTag(), c.secondTag);
        EXPECT_EQ(h.audioStream1.fccType(), c.streams > 0 ? fourCc("auds") : FourCc{});
        if (c.streams < 2) {
            EXPECT_TRUE(std::all_of(h.audioStream2.bytes().begin(), h.audioStream2.bytes().end(),
                                    [](std::uint8_t b) { return b == 0; }));
        }
    }
}

TEST(AviHeaderScan, FileEndingInsideARecordReadsZerosForTheRest) {
    AviPlan plan;
    plan.main.totalFrames = 0x01020304;
    plan.main.width = 0x7FFF0102;
    const Bytes whole = buildAvi(plan);
    struct Case {
        std::size_t length;
        std::int32_t totalFrames;
        std::int32_t width;
        std::int32_t height;
    };
    // The main header runs from offset 32: frames at 48, width at 64, height at 68.
    const std::vector<Case> cases = {{50, 0x0304, 0, 0},
                                     {66, 0x01020304, 0x0102, 0},
                                     {68, 0x01020304, 0x7FFF0102, 0},
                                     {70, 0x01020304, 0x7FFF0102, 240}};
    for (const Case& c : cases) {
        const Bytes file(whole.begin(), whole.begin() + static_cast<std::ptrdiff_t>(c.length));
        const AviHeaderSet h = scanned(file);
        EXPECT_EQ(h.mainHeader.dwTotalFrames, c.totalFrames) << c.length;
        EXPECT_EQ(h.mainHeader.dwWidth, c.width) << c.length;
        EXPECT_EQ(h.mainHeader.dwHeight, c.height & 0xFFFF) << c.length;
    }
    // A stream list cut after its handler code.
    const Bytes strl = testing::videoStreamList({.handler = "XVID", .quality = 10'000});
    const Bytes cut = concat({kRiffHead, Bytes(strl.begin(), strl.begin() + 28)});
    const AviHeaderSet h = scanned(cut);
    EXPECT_EQ(h.videoStream.fccHandler(), fourCc("XVID"));
    EXPECT_EQ(h.videoStream.dwQuality(), 0);
    EXPECT_EQ(h.videoStream.biBitCount(), 0);
}

// ---------------------------------------------------------------------------------------
// The scan limit.

TEST(AviHeaderScan, LastSearchedOffsetIs2999999) {
    struct Case {
        std::size_t offset;
        bool found;
    };
    for (const Case& c : std::vector<Case>{
             {2'999'990, true}, {2'999'999, true}, {3'000'000, false}, {3'000'001, false}}) {
        Bytes file = concat({kRiffHead, hdrlList(1)});
        put(file, c.offset, hdrlList(2));
        EXPECT_EQ(scanned(file).mainHeader.dwTotalFrames, c.found ? 2 : 1) << c.offset;

        // The same for a stream list and an odml list.
        Bytes streamFile = kRiffHead;
        put(streamFile, c.offset, testing::videoStreamList({.handler = "MJPG"}));
        EXPECT_EQ(scanned(streamFile).videoStream.fccHandler(), c.found ? fourCc("MJPG") : FourCc{})
            << c.offset;
        Bytes odmlFile = kRiffHead;
        put(odmlFile, c.offset, testing::odmlWithMakeInfo("limit"));
        EXPECT_EQ(makeInfoOf(scanned(odmlFile)), c.found ? field35("limit") : field35(""))
            << c.offset;
    }
}

TEST(AviHeaderScan, MovieListNearTheLimitStopsTheSearch) {
    // A movi list (12 bytes) that ends right before a header list at the last searched
    // offset, or a few bytes earlier: the search stops there.
    for (const std::size_t moviAt : {std::size_t{2'999'980}, std::size_t{2'999'987}}) {
        Bytes file = concat({kRiffHead, hdrlList(1)});
        put(file, moviAt, list("movi", {}));
        put(file, 2'999'999, hdrlList(2));
        EXPECT_EQ(scanned(file).mainHeader.dwTotalFrames, 1) << moviAt;
    }
}

// ---------------------------------------------------------------------------------------
// The OpenDML branch.

// An odml list with a dmlh chunk of `dmlhBytes` bytes; its size field can be overridden.
Bytes odmlList(std::size_t dmlhBytes, std::optional<std::int32_t> sizeField = std::nullopt) {
    Bytes l = list("odml", {chunk("dmlh", Bytes(dmlhBytes, 0))});
    if (sizeField) {
        const Bytes s = le32(*sizeField);
        std::copy(s.begin(), s.end(), l.begin() + 4);
    }
    return l;
}

const std::string kInfo = "AVI writer 2.1 / encoded 2004-05-06 and more";

TEST(AviHeaderScan, OdmlBranches) {
    const Bytes junk = chunk("JUNK", text(kInfo));
    const Bytes otherList = list("INFO", {chunk("ISFT", text("x"))});
    struct Case {
        const char* name;
        Bytes afterOdml;
        std::string makeInfo;
    };
    const std::vector<Case> cases = {
        {"junk_directly_after", junk, field35(kInfo)},
        {"one_list_then_junk", concat({otherList, junk}), field35(kInfo)},
        {"empty_list_then_junk", concat({list("INFO", {}), junk}), field35(kInfo)},
        {"lower_case_junk", chunk("junk", text(kInfo)), field35("")},
        {"mixed_case_junk", chunk("Junk", text(kInfo)), field35("")},
        {"two_lists_then_junk", concat({otherList, otherList, junk}), field35("")},
        {"lower_case_list_then_junk", concat({list("INFO", {}, "list"), junk}), field35("")},
        {"other_chunk", chunk("idx1", text(kInfo)), field35("")},
        {"nothing_after", {}, field35("")},
        {"short_junk", chunk("JUNK", text("ab")), field35("ab")},
        {"junk_of_spaces", chunk("JUNK", Bytes(40, ' ')), std::string(35, ' ')},
    };
    for (const Case& c : cases) {
        const Bytes file = concat({kRiffHead, odmlList(248), c.afterOdml});
        EXPECT_EQ(makeInfoOf(scanned(file)), c.makeInfo) << c.name;
    }
}

TEST(AviHeaderScan, OdmlAfterTheFileEndsReadsZeros) {
    // A size that points far past the end: nothing there matches.
    const Bytes file = concat({kRiffHead, odmlList(248, 100'000'000), chunk("JUNK", text(kInfo))});
    EXPECT_EQ(makeInfoOf(scanned(file)), field35(""));
    // A JUNK chunk at the very end, its data missing: zeros.
    const Bytes cut = concat({kRiffHead, odmlList(248), text("JUNK"), le32(35), text("abc")});
    EXPECT_EQ(makeInfoOf(scanned(cut)), field35("abc"));
}

TEST(AviHeaderScan, OdmlOddSizeHasNoPadByte) {
    // The size field says 261: the next chunk is looked for right after, with no pad byte.
    const Bytes odd = odmlList(249, 261);
    ASSERT_EQ(odd.size(), 8u + 4 + 8 + 249 + 1);  // the writer padded the dmlh chunk
    const Bytes unpadded(odd.begin(), odd.end() - 1);
    const Bytes junk = chunk("JUNK", text(kInfo));
    EXPECT_EQ(makeInfoOf(scanned(concat({kRiffHead, unpadded, junk}))), field35(kInfo));
    EXPECT_EQ(makeInfoOf(scanned(concat({kRiffHead, odd, junk}))), field35(""));
    // With one list in between, its own odd size is not padded either.
    Bytes oddList = list("INFO", {text("abc")});  // size 7
    EXPECT_EQ(makeInfoOf(scanned(concat({kRiffHead, odmlList(248), oddList, junk}))),
              field35(kInfo));
}

TEST(AviHeaderScan, MakeInfoIsKeptFromTheLastOdmlWithJunk) {
    const std::string firstText(40, 'a');
    const std::string secondText(40, 'b');
    const Bytes first = concat({odmlList(8), chunk("JUNK", text(firstText))});
    const Bytes second = concat({odmlList(8), chunk("JUNK", text(secondText))});
    const Bytes bare = odmlList(8);
    EXPECT_EQ(makeInfoOf(scanned(concat({kRiffHead, first, second}))), field35(secondText));
    EXPECT_EQ(makeInfoOf(scanned(concat({kRiffHead, first, bare, chunk("idx1", {})}))),
              field35(firstText));
}

TEST(AviHeaderScan, OdmlListInLowerOrMixedCaseIsAnOdmlList) {
    for (const std::string type : {"odml", "ODML", "OdMl"}) {
        const Bytes odml = list(type, {chunk("dmlh", Bytes(248, 0))});
        EXPECT_EQ(makeInfoOf(scanned(concat({kRiffHead, odml, chunk("JUNK", text(kInfo))}))),
                  field35(kInfo))
            << type;
    }
}

TEST(AviHeaderScan, AbsurdOdmlSizesAbandonTheScan) {
    // The odml list is found at offset 12, that is at position p = 13.
    constexpr std::int32_t p = 13;
    constexpr std::int32_t kMax = std::numeric_limits<std::int32_t>::max();
    constexpr std::int32_t kMin = std::numeric_limits<std::int32_t>::min();
    struct Case {
        const char* name;
        std::int32_t odmlSize;
        Bytes after;  // bytes right after the odml list's 12-byte head
        bool abandoned;
    };
    const std::vector<Case> cases = {
        {"negative", -1000, {}, true},
        {"most_negative", kMin, {}, true},
        {"position_zero", -(p + 8), {}, true},
        {"position_one", -(p + 7), {}, false},  // reads "RIFF" at position 1: not a chunk
        {"sum_overflows", kMax, {}, true},
        {"sum_with_eight_overflows", kMax - p - 7, {}, true},
        {"largest_that_fits", kMax - p - 8, {}, false},
        {"large_but_fits", 2'000'000'000, {}, false},
    };
    for (const Case& c : cases) {
        const Bytes file =
            concat({kRiffHead, text("LIST"), le32(c.odmlSize), text("odml"), c.after});
        MemorySource source(file);
        EXPECT_EQ(scanAviHeaders(source).has_value(), !c.abandoned) << c.name;
    }
}

TEST(AviHeaderScan, AbsurdSizeOfTheListAfterOdmlAbandonsTheScan) {
    constexpr std::int32_t kMax = std::numeric_limits<std::int32_t>::max();
    struct Case {
        const char* name;
        std::int32_t listSize;
        bool abandoned;
    };
    // The odml list at position 13 has size 4: the next list stands at position 25 (offset 24),
    // and a JUNK would be looked for at position 33 + its size.
    const std::vector<Case> cases = {
        {"span_overflows", kMax, true},  // size + 8 leaves the range
        {"span_fits_but_sum_overflows", kMax - 8, true},
        {"negative_to_position_zero", -33, true},  // 25 + (-33 + 8) = 0
        {"negative_to_position_one", -32, false},  // reads "RIFF" at position 1
        {"sane", 4, false},
    };
    for (const Case& c : cases) {
        const Bytes file = concat({kRiffHead, text("LIST"), le32(4), text("odml"), text("LIST"),
                                   le32(c.listSize), text("INFO")});
        MemorySource source(file);
        EXPECT_EQ(scanAviHeaders(source).has_value(), !c.abandoned) << c.name;
    }
}

TEST(AviHeaderScan, NegativeListSizeCanLeadBackToAnEarlierJunk) {
    // A negative list size that lands exactly on a JUNK chunk earlier in the file: the
    // make-info is read from there.
    Bytes file = concat({kRiffHead, chunk("JUNK", text(kInfo))});  // JUNK at offset 12
    const std::int32_t odmlP = static_cast<std::int32_t>(file.size()) + 1;
    file = concat({file, text("LIST"), le32(4), text("odml"), text("LIST")});
    // next chunk position = odmlP + 4 + 8 + (size + 8) must be 13 (offset 12).
    const std::int32_t size = 13 - (odmlP + 4 + 8) - 8;
    file = concat({file, le32(size)});
    EXPECT_EQ(makeInfoOf(scanned(file)), field35(kInfo));
}

// ---------------------------------------------------------------------------------------
// The block reads give what a byte-by-byte search gives.

// The search as it is described: position by position, four bytes at a time, every read
// padded with zeros past the end. Positions in the odml branch are checked as signed 32-bit
// sums.
std::optional<AviHeaderSet> referenceScan(const Bytes& file) {
    auto byteAt = [&](std::int64_t position) -> std::uint8_t {
        return position >= 1 && position <= static_cast<std::int64_t>(file.size())
                   ? file[static_cast<std::size_t>(position - 1)]
                   : 0;
    };
    auto codeAt = [&](std::int64_t position) {
        return FourCc{byteAt(position), byteAt(position + 1), byteAt(position + 2),
                      byteAt(position + 3)};
    };
    auto longAt = [&](std::int64_t position) {
        return static_cast<std::int32_t>(static_cast<std::uint32_t>(byteAt(position)) |
                                         static_cast<std::uint32_t>(byteAt(position + 1)) << 8 |
                                         static_cast<std::uint32_t>(byteAt(position + 2)) << 16 |
                                         static_cast<std::uint32_t>(byteAt(position + 3)) << 24);
    };
    auto bytesAt = [&]<std::size_t N>(std::int64_t position) {
        std::array<std::uint8_t, N> out{};
        for (std::size_t i = 0; i < N; ++i)
            out[i] = byteAt(position + static_cast<std::int64_t>(i));
        return out;
    };
    struct Overflow {};
    auto add = [](std::int64_t a, std::int64_t b) {
        const std::int64_t sum = a + b;
        if (sum < std::numeric_limits<std::int32_t>::min() ||
            sum > std::numeric_limits<std::int32_t>::max()) {
            throw Overflow{};
        }
        return sum;
    };
    auto readable = [](std::int64_t position) {
        if (position < 1) throw Overflow{};
        return position;
    };

    AviHeaderSet h;
    try {
        for (std::int64_t p = 1; p <= 3'000'000; ++p) {
            if (p > static_cast<std::int64_t>(file.size())) break;  // zeros never spell LIST
            const std::uint8_t first = file[static_cast<std::size_t>(p - 1)];
            if (first != 'L' && first != 'l') continue;
            if (upperCased(codeAt(p)) != fourCc("LIST")) continue;
            const FourCc t = upperCased(codeAt(p + 8));
            if (t == fourCc("HDRL")) {
                const auto b = bytesAt.template operator()<56>(p + 20);
                h.mainHeader = AviMainHeader::fromBytes(b);
            } else if (t == fourCc("STRL")) {
                const FourCc s = upperCased(codeAt(p + 20));
                const auto b = bytesAt.template operator()<84>(p + 20);
                if (s == fourCc("VIDS")) {
                    h.videoStream = AviStreamRecord(b);
                } else if (s == fourCc("AUDS")) {
                    if (h.audioState == 1) {
                        h.audioStream1 = AviStreamRecord(b);
                        h.audioState = 3;
                    } else {
                        h.audioStream2 = AviStreamRecord(b);
                        h.audioState = 2;
                    }
                }
            } else if (t == fourCc("ODML")) {
                const std::int32_t odmlSize = longAt(p + 4);
                FourCc next = codeAt(readable(add(add(p, odmlSize), 8)));
                std::int64_t extra = 0;
                if (next == fourCc("LIST")) {
                    extra = add(longAt(readable(add(add(p, odmlSize), 12))), 8);
                    next = codeAt(readable(add(add(add(p, odmlSize), 8), extra)));
                }
                if (next == fourCc("JUNK")) {
                    h.makeInfo = bytesAt.template operator()<35>(
                        readable(add(add(add(p, odmlSize), 16), extra)));
                }
            } else if (t == fourCc("MOVI")) {
                break;
            }
        }
    } catch (const Overflow&) {
        return std::nullopt;
    }
    return h;
}

void expectSameHeaders(const std::optional<AviHeaderSet>& actual,
                       const std::optional<AviHeaderSet>& expected) {
    ASSERT_EQ(actual.has_value(), expected.has_value());
    if (!expected) return;
    const AviMainHeader& a = actual->mainHeader;
    const AviMainHeader& e = expected->mainHeader;
    EXPECT_EQ(a.dwMicroSecPerFrame, e.dwMicroSecPerFrame);
    EXPECT_EQ(a.dwTotalFrames, e.dwTotalFrames);
    EXPECT_EQ(a.dwWidth, e.dwWidth);
    EXPECT_EQ(a.dwHeight, e.dwHeight);
    EXPECT_EQ(a.dwReserved, e.dwReserved);
    auto same = [](const AviStreamRecord& x, const AviStreamRecord& y) {
        return std::equal(x.bytes().begin(), x.bytes().end(), y.bytes().begin());
    };
    EXPECT_TRUE(same(actual->videoStream, expected->videoStream));
    EXPECT_TRUE(same(actual->audioStream1, expected->audioStream1));
    EXPECT_TRUE(same(actual->audioStream2, expected->audioStream2));
    EXPECT_EQ(actual->makeInfo, expected->makeInfo);
    EXPECT_EQ(actual->audioState, expected->audioState);
}

TEST(AviHeaderScan, ReferenceAgreesOnTheWrittenCases) {
    AviPlan plan;
    plan.makeInfo = kInfo;
    plan.audio = {AudioPlan{}, AudioPlan{.formatTag = 1}, AudioPlan{.formatTag = 2}};
    for (const bool lowerCase : {false, true}) {
        plan.lowerCase = lowerCase;
        const Bytes file = buildAvi(plan);
        expectSameHeaders(scan(file), referenceScan(file));
        EXPECT_EQ(makeInfoOf(*referenceScan(file)), field35(kInfo));
    }
}

enum class PlantKind { Header, Video, Audio, Odml, Other, Movie };

// An odml list at `at` whose size field sends the odml branch to `target`.
Bytes odmlPointingAt(std::size_t at, std::int64_t target) {
    return concat({text("LIST"),
                   le32(static_cast<std::int32_t>(target - static_cast<std::int64_t>(at) - 8)),
                   text("odml")});
}

TEST(AviHeaderScan, OdmlJumpsFarAwayReadTheBytesThere) {
    constexpr std::size_t kLength = 2'500'000;
    const std::string info = "far away make-info text, 35 bytes+";
    struct Case {
        const char* name;
        std::size_t odmlAt;
        std::size_t junkAt;
        bool throughList;  // one list stands between the odml list and the JUNK chunk
        std::string makeInfo;
    };
    const std::vector<Case> cases = {
        {"forward_far", 100, 1'500'000, false, field35(info)},
        {"backward", 2'000'000, 10'000, false, field35(info)},
        {"forward_through_a_list", 100, 1'200'000, true, field35(info)},
        {"backward_through_a_list", 2'400'000, 300'000, true, field35(info)},
        {"across_a_small_block_edge", 100, 1'024 * 900 - 2, false, field35(info)},
        {"data_across_the_end", 100, kLength - 20, false, field35(info.substr(0, 12))},
        {"id_across_the_end", 100, kLength - 2, false, field35("")},
    };
    for (const Case& c : cases) {
        Bytes file(kLength, 0);
        put(file, 0, kRiffHead);
        std::size_t chunkAt = c.junkAt;
        if (c.throughList) {
            // The list between sits 40,000 bytes before the JUNK chunk.
            const std::size_t listAt = c.junkAt - 40'000;
            put(file, listAt, concat({text("LIST"), le32(40'000 - 8), text("INFO")}));
            chunkAt = listAt;
        }
        put(file, c.odmlAt, odmlPointingAt(c.odmlAt, static_cast<std::int64_t>(chunkAt)));
        const Bytes junk = concat({text("JUNK"), le32(35), text(info)});
        for (std::size_t i = 0; i < junk.size() && c.junkAt + i < kLength; ++i) {
            file[c.junkAt + i] = junk[i];
        }
        const auto actual = scan(file);
        ASSERT_TRUE(actual.has_value()) << c.name;
        EXPECT_EQ(makeInfoOf(*actual), c.makeInfo) << c.name;
        expectSameHeaders(actual, referenceScan(file));
    }
}

TEST(AviHeaderScan, ManyOdmlListsJumpingToManyPlaces) {
    // Twelve odml lists, each sending the branch to one of six far places in turn, so that
    // places are left and come back; every place holds its own JUNK text. The last odml list
    // decides the make-info, and each earlier one must have read its own place right for the
    // result to agree with the byte-by-byte search.
    constexpr std::size_t kLength = 2'000'000;
    Bytes file(kLength, 0);
    put(file, 0, kRiffHead);
    std::vector<std::size_t> places;
    for (std::size_t i = 0; i < 6; ++i) {
        places.push_back(300'000 + i * 250'000 + i * 777);
        const std::string textHere =
            "place " + std::to_string(i) + std::string(40, static_cast<char>('a' + i));
        put(file, places.back(), concat({text("JUNK"), le32(35), text(textHere)}));
    }
    for (std::size_t k = 0; k < 12; ++k) {
        const std::size_t at = 1'000 + k * 5'000;
        const std::size_t place = places[(k * 5) % places.size()];
        put(file, at, odmlPointingAt(at, static_cast<std::int64_t>(place)));
        // Half of them through a list standing 1,000 bytes before the place.
        if (k % 2 == 1) {
            put(file, at, odmlPointingAt(at, static_cast<std::int64_t>(place - 1'000)));
            put(file, place - 1'000, concat({text("LIST"), le32(1'000 - 8), text("INFO")}));
        }
    }
    const auto actual = scan(file);
    expectSameHeaders(actual, referenceScan(file));
    const std::size_t last = places[(11 * 5) % places.size()];
    EXPECT_EQ(makeInfoOf(*actual),
              field35(std::string(file.begin() + static_cast<std::ptrdiff_t>(last) + 8,
                                  file.begin() + static_cast<std::ptrdiff_t>(last) + 43)));
}

// A list of the given kind with random contents and a random spelling of "LIST".
Bytes randomList(std::mt19937& random, PlantKind kind) {
    auto pick = [&](int n) { return static_cast<int>(random() % static_cast<unsigned>(n)); };
    auto noise = [&](std::size_t n) {
        Bytes b(n);
        for (auto& x : b) x = static_cast<std::uint8_t>(random());
        return b;
    };
    const char* ids[] = {"LIST", "list", "List", "lIST"};
    const Bytes id = text(ids[pick(4)]);
    switch (kind) {
        case PlantKind::Header:
            return concat({id, le32(pick(1000)), text(pick(2) ? "hdrl" : "HDRL"), noise(104)});
        case PlantKind::Video:
            return concat({id, le32(pick(1000)), text("strl"), text("strh"), le32(56),
                           text(pick(2) ? "vids" : "VIDS"), noise(84)});
        case PlantKind::Audio:
            return concat({id, le32(pick(1000)), text("strl"), text("strh"), le32(56),
                           text(pick(2) ? "auds" : "Auds"), noise(84)});
        case PlantKind::Odml: {
            // A JUNK chunk right after the list or after one list, at a random distance;
            // now and then an absurd size.
            const std::int32_t size = pick(12) == 0 ? -pick(100'000) : 4 + pick(300);
            Bytes l = concat(
                {id, le32(size), text("odml"), noise(static_cast<std::size_t>(std::max(size, 0)))});
            if (size < 0) return l;
            l.resize(8 + static_cast<std::size_t>(size));
            if (pick(2)) {
                const int span = pick(200);
                l = concat({l, text("LIST"), le32(span), noise(static_cast<std::size_t>(span))});
            }
            return concat({l, text(pick(6) ? "JUNK" : "junk"), le32(35), noise(40)});
        }
        case PlantKind::Other:
            return concat({id, le32(4), text(pick(2) ? "INFO" : "strl"), text("strh"), le32(56),
                           text("txts"), noise(84)});
        case PlantKind::Movie:
            return concat({id, le32(4), text(pick(2) ? "movi" : "MOVI")});
    }
    return {};
}

// Files with one list of each kind planted near the 16 KiB block edges (before, across and
// after an edge), each kind landing in its own field, so that a record read wrongly at any
// one of them shows in the result.
TEST(AviHeaderScan, BlockReadsFindWhatAByteByByteSearchFinds) {
    std::mt19937 random(20040506);
    constexpr std::size_t kBlock = 16 * 1024;
    const std::vector<PlantKind> kinds = {PlantKind::Header, PlantKind::Video, PlantKind::Audio,
                                          PlantKind::Audio,  PlantKind::Odml,  PlantKind::Other};
    for (int round = 0; round < 120; ++round) {
        // Mostly small files; now and then one that runs past the scan limit, with lists
        // planted near it.
        const bool large = round % 40 == 0;
        const std::size_t edges = large ? 183 : 2 + random() % 8;
        const std::size_t length =
            large ? 3'000'000 + random() % 300 : edges * kBlock + random() % kBlock;
        Bytes file(length);
        for (std::size_t i = 0; i < length; i += 4) {
            const std::uint32_t r = random();
            for (std::size_t k = 0; k < 4 && i + k < length; ++k)
                file[i + k] = static_cast<std::uint8_t>(r >> (8 * k));
        }
        put(file, 0, kRiffHead);
        std::vector<std::size_t> edgeOrder(edges);
        for (std::size_t i = 0; i < edges; ++i) edgeOrder[i] = i + 1;
        std::shuffle(edgeOrder.begin(), edgeOrder.end(), random);
        std::vector<std::pair<std::size_t, PlantKind>> plants;
        for (std::size_t i = 0; i < kinds.size() && i < edgeOrder.size(); ++i) {
            const std::size_t edge = large && i == 0 ? 3'000'000 : edgeOrder[i] * kBlock;
            plants.emplace_back(edge - 120 + random() % 140, kinds[i]);
        }
        if (round % 4 == 1)
            plants.emplace_back(edges * kBlock - 2 + random() % 4, PlantKind::Movie);
        for (const auto& [at, kind] : plants) {
            if (at >= length) continue;
            Bytes l = randomList(random, kind);
            l.resize(std::min(l.size(), length - at));
            put(file, at, l);
        }
        SCOPED_TRACE(round);
        expectSameHeaders(scan(file), referenceScan(file));
        if (::testing::Test::HasFailure()) break;
    }
}

TEST(AviHeaderScan, EveryOffsetAroundABlockEdge) {
    // One stream list at each offset from 150 bytes before the first block edge to 10 after
    // it: the record is read whole from wherever the list starts.
    constexpr std::size_t kBlock = 64 * 1024;
    const Bytes strl = testing::videoStreamList({.handler = "VP61", .quality = 1234});
    for (std::size_t at = kBlock - 150; at <= kBlock + 10; ++at) {
        Bytes file(kBlock + 400, 0);
        put(file, 0, kRiffHead);
        put(file, at, strl);
        const AviHeaderSet h = scanned(file);
        ASSERT_EQ(h.videoStream.fccHandler(), fourCc("VP61")) << at;
        ASSERT_EQ(h.videoStream.dwQuality(), 1234) << at;
        ASSERT_TRUE(std::equal(h.videoStream.bytes().begin(), h.videoStream.bytes().end(),
                               strl.begin() + 20))
            << at;
    }
}

// The search tests eight positions at once, all four letters where an "L" is. Lists start
// at every position within those groups, among bytes one bit away from "L" or "l" and words
// that are nearly "LIST", and the streams are found in file order (the second sound stream
// is the one found second).
TEST(AviHeaderScan, ListsAtEveryPlaceInAGroupOfBytes) {
    const Bytes nearMisses = {0xCC, 0xEC, 0x4D, 0x6D, 0x4E, 0x0C, 0x2C, 0x5C,
                              0x7C, 0x4C, 0x6C, 0x44, 0x64, 0x48, 0x68, 0x8C};
    const Bytes nearlyLists = text("LIS\xD4LIS lI\xD3TLYSTL1ST\xCCISTLISLIST");
    for (std::size_t shift = 0; shift < 16; ++shift) {
        Bytes file(8192);
        for (std::size_t i = 0; i < file.size(); ++i) file[i] = nearMisses[(i + shift) % 16];
        put(file, 0, kRiffHead);
        put(file, 12 + shift, Bytes(nearlyLists.begin(), nearlyLists.end() - 4));
        std::size_t at = 40 + shift;
        for (const std::int16_t tag : {0x55, 0x2000}) {
            put(file, at, testing::audioStreamList({.formatTag = tag}, tag == 0x2000));
            at += 141 + shift;  // a stream list takes 120 bytes or so
        }
        put(file, at, hdrlList(static_cast<std::int32_t>(shift + 1), "HDRL"));
        // Headers behind words that are nearly "LIST" must not be taken for later ones.
        for (const std::string_view id : {"LIS\xD4", "lI\xD3T", "\xCCIST", "LYST"}) {
            at += 100 + shift;
            put(file, at,
                list("hdrl", {chunk("avih", testing::mainHeaderData({.totalFrames = 999}))}, id));
        }
        SCOPED_TRACE(shift);
        const auto headers = scan(file);
        expectSameHeaders(headers, referenceScan(file));
        ASSERT_TRUE(headers.has_value());
        EXPECT_EQ(headers->mainHeader.dwTotalFrames, static_cast<std::int32_t>(shift + 1));
        EXPECT_EQ(headers->audioStream1.wFormatTag(), 0x55);
        EXPECT_EQ(headers->audioStream2.wFormatTag(), 0x2000);
    }
}

// ---------------------------------------------------------------------------------------
// Reading.

class CountingSource final : public ByteSource {
public:
    explicit CountingSource(Bytes bytes) : inner_(std::move(bytes)) {}
    std::int64_t size() const override { return inner_.size(); }
    std::size_t readAt(std::int64_t offset, std::span<std::uint8_t> out) override {
        const std::size_t got = inner_.readAt(offset, out);
        read += static_cast<std::int64_t>(got);
        return got;
    }
    std::int64_t read = 0;

private:
    MemorySource inner_;
};

TEST(AviHeaderScan, ReadsLittleMoreThanTheSearchNeeds) {
    AviPlan plan;
    plan.movieBytes = 4'000'000;  // the movie data is never read
    CountingSource source(buildAvi(plan));
    ASSERT_TRUE(scanAviHeaders(source).has_value());
    EXPECT_LE(source.read, 16 * 1024 + 128);

    // Without a movie list the whole window is read, and no more.
    CountingSource noMovie(Bytes(5'000'000, 0));
    ASSERT_TRUE(scanAviHeaders(noMovie).has_value());
    EXPECT_GE(noMovie.read, kScanLimit);
    EXPECT_LE(noMovie.read, kScanLimit + 128 * (kScanLimit / (16 * 1024) + 1));
}

class FailingSource final : public ByteSource {
public:
    FailingSource(Bytes bytes, std::int64_t failFrom)
        : inner_(std::move(bytes)), failFrom_(failFrom) {}
    std::int64_t size() const override { return inner_.size(); }
    std::size_t readAt(std::int64_t offset, std::span<std::uint8_t> out) override {
        if (offset + static_cast<std::int64_t>(out.size()) > failFrom_)
            throw ReadError("bad sector");
        return inner_.readAt(offset, out);
    }

private:
    MemorySource inner_;
    std::int64_t failFrom_;
};

TEST(AviHeaderScan, ReadErrorsPassThrough) {
    FailingSource source(Bytes(1'000'000, 0), 200'000);
    EXPECT_THROW(scanAviHeaders(source), ReadError);
}

}  // namespace
}  // namespace strovanik::container
