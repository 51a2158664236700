// Files built to make the header scan work hard: lists at every few bytes, and odml lists
// whose size fields send the scan far away again and again. The scan must still read the file
// in a bounded number of reads, whatever the pattern: each read of a real file costs a system
// call, and a scan that read a few bytes at a time for every odml list took seconds.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "container/avi_header_scan.h"
#include "container/byte_source.h"
#include "support/avi_writer.h"

namespace strovanik::container {
namespace {

using namespace testing;

// Counts the reads the scan asks of its source.
class CountingSource final : public ByteSource {
public:
    explicit CountingSource(Bytes bytes) : inner_(std::move(bytes)) {}
    std::int64_t size() const override { return inner_.size(); }
    std::size_t readAt(std::int64_t offset, std::span<std::uint8_t> out) override {
        ++reads;
        return inner_.readAt(offset, out);
    }
    int reads = 0;

private:
    MemorySource inner_;
};

Bytes repeated(const Bytes& unit, std::size_t length) {
    Bytes out;
    out.reserve(length + unit.size());
    while (out.size() < length) out.insert(out.end(), unit.begin(), unit.end());
    out.resize(length);
    return out;
}

TEST(PathologicalFiles, TheScanReadsEveryPatternInFewReads) {
    constexpr std::size_t kLength = 3'200'000;
    // The search reads 184 blocks of 16 KiB to cover 3,000,000 positions.
    constexpr int kBlockReads = 184;
    struct Case {
        const char* what;
        Bytes body;
        int mostReads;
    };
    const std::vector<Case> cases = {
        {"no list at all", Bytes(kLength, 0), kBlockReads},
        {"LIST at every fourth byte", repeated(code("LIST"), kLength), kBlockReads},
        {"a header list every 12 bytes",
         repeated(concat({code("LIST"), le32(4), code("hdrl")}), kLength), kBlockReads},
        {"a video stream list every 24 bytes",
         repeated(
             concat({code("LIST"), le32(4), code("strl"), code("strh"), le32(56), code("vids")}),
             kLength),
         kBlockReads},
        {"odml lists whose jumps leave the file",
         repeated(concat({code("LIST"), code("LIST"), code("odml"), code("odml")}), kLength),
         kBlockReads},
        // 250,000 odml lists, each jumping 100,008 bytes on to another "LIST" and as far again:
        // 750,000 reads when each jump is a read of its own, two 1 KiB blocks every 1 KiB of
        // search when the jumps share blocks.
        {"odml lists chained through a second list",
         repeated(concat({code("LIST"), le32(100'000), code("odml")}), kLength),
         kBlockReads + 2 * (3'000'000 / 1024 + 2)},
        {"odml lists chained to JUNK chunks",
         repeated(concat({code("LIST"), le32(100'000), code("odml"), code("JUNK"), le32(100'000),
                          code("odml")}),
                  kLength),
         kBlockReads + 2 * (3'000'000 / 1024 + 2)},
    };
    for (const Case& c : cases) {
        CountingSource source(concat(
            {code("RIFF"), le32(static_cast<std::int32_t>(kLength + 4)), code("AVI "), c.body}));
        const auto headers = scanAviHeaders(source);
        EXPECT_TRUE(headers.has_value()) << c.what;
        EXPECT_LE(source.reads, c.mostReads) << c.what;
        EXPECT_GE(source.reads, kBlockReads) << c.what << ": every block is searched";
    }
}

}  // namespace
}  // namespace strovanik::container
