#include "container/avi_header_scan.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cstring>
#include <limits>
#include <vector>

#include "container/little_endian.h"

namespace strovanik::container {

namespace {

// The header list of a typical file ends within its first 16 KiB, where the movie list starts:
// the search goes on block after block only in files that have more before it. A larger block
// would only fill memory the search never looks at.
constexpr std::int64_t kBlock = 16 * 1024;
// Everything read at a list lies within its first 104 bytes (a record of 84 bytes at +20).
constexpr std::int64_t kLookahead = 128;
// The odml branch's jumps land anywhere in the file. They are served from a few small blocks
// of their own (one odml list can jump to two places), so that a file full of odml lists
// whose jumps land near each other costs a few reads of the file instead of several for every
// list.
constexpr std::int64_t kJumpBlock = 1024;
constexpr std::size_t kJumpBlocks = 4;
// Room past the jump block for the longest jump read (the make-info text).
constexpr std::int64_t kJumpSlack = 64;

// A window of the file held in memory. The search runs over it; reads that fall outside
// it (the odml branch's jumps) go through the jump blocks.
class ScanWindow {
public:
    explicit ScanWindow(ByteSource& source) : source_(source) {}

    // Loads the bytes the search needs from `start` on: no more than the file holds and the
    // zeros past its end that a list found near the end reads, so that a small file costs
    // little more than its own length.
    void load(std::int64_t start) {
        start_ = start;
        const std::int64_t length =
            std::min({kBlock, kScanLimit - start, source_.size() - start}) + kLookahead;
        bytes_.resize(static_cast<std::size_t>(length));
        readPadded(source_, start, bytes_);
    }

    std::int64_t start() const { return start_; }
    // Offsets below this are searched in this window.
    std::int64_t searchEnd() const { return std::min(start_ + kBlock, kScanLimit); }
    const std::uint8_t* at(std::int64_t offset) const {
        return bytes_.data() + (offset - start_);
    }

    template <std::size_t N>
    std::array<std::uint8_t, N> read(std::int64_t offset) {
        static_assert(N <= kJumpSlack);
        std::array<std::uint8_t, N> out{};
        const auto length = static_cast<std::int64_t>(N);
        if (holds(start_, bytes_, offset, length)) {
            std::copy_n(at(offset), N, out.begin());
        } else if (offset >= 0 && offset < source_.size()) {
            const JumpBlock& block = jumpBlockFor(offset, length);
            std::copy_n(block.bytes.data() + (offset - block.start), N, out.begin());
        } else {
            readPadded(source_, offset, out);  // before the start or past the end
        }
        return out;
    }

private:
    struct JumpBlock {
        std::int64_t start = 0;
        std::vector<std::uint8_t> bytes;
        std::uint64_t lastUse = 0;
    };

    static bool holds(std::int64_t start, const std::vector<std::uint8_t>& bytes,
                      std::int64_t offset, std::int64_t length) {
        return offset >= start && offset + length <= start + static_cast<std::int64_t>(bytes.size());
    }

    // The block that holds the bytes, loaded in place of the least recently used one if needed.
    const JumpBlock& jumpBlockFor(std::int64_t offset, std::int64_t length) {
        JumpBlock* chosen = &jumpBlocks_[0];
        for (JumpBlock& block : jumpBlocks_) {
            if (holds(block.start, block.bytes, offset, length)) {
                chosen = &block;
                break;
            }
            if (block.lastUse < chosen->lastUse) chosen = &block;
        }
        if (!holds(chosen->start, chosen->bytes, offset, length)) {
            chosen->start = offset - offset % kJumpBlock;
            chosen->bytes.resize(static_cast<std::size_t>(kJumpBlock + kJumpSlack));
            readPadded(source_, chosen->start, chosen->bytes);
        }
        chosen->lastUse = ++uses_;
        return *chosen;
    }

    ByteSource& source_;
    std::int64_t start_ = 0;
    std::vector<std::uint8_t> bytes_;
    std::array<JumpBlock, kJumpBlocks> jumpBlocks_;
    std::uint64_t uses_ = 0;
};

FourCc codeAt(const std::uint8_t* p) { return {p[0], p[1], p[2], p[3]}; }

bool isListAt(const std::uint8_t* p) {
    return (p[0] & 0xDF) == 'L' && upperAscii(p[1]) == 'I' && upperAscii(p[2]) == 'S' &&
           upperAscii(p[3]) == 'T';
}

// Eight bytes at a time, letter case aside: the top bit of each byte that is `letter`.
std::uint64_t lettersAt(const std::uint8_t* p, char letter) {
    constexpr std::uint64_t kOnes = 0x0101010101010101;
    constexpr std::uint64_t kLow7 = 0x7F * kOnes;
    std::uint64_t word;
    std::memcpy(&word, p, sizeof word);
    // Bytes that are the letter become 0; then each 0 byte, and no other, gets its top bit.
    const std::uint64_t folded =
        (word | (0x20 * kOnes)) ^ (static_cast<std::uint8_t>(letter | 0x20) * kOnes);
    return ~(((folded & kLow7) + kLow7) | folded | kLow7);
}

// The first position in [from, end) where "LIST" starts, in any letter case, or end. The
// letters of the last positions are read up to three bytes past end. Eight positions are
// tested at a time, the other three letters only where an "L" is: a file without lists is
// searched at the speed of memory, one full of near misses ("LIS?") not much slower, and
// the positions found are exactly those a test of each position in turn finds.
const std::uint8_t* nextList(const std::uint8_t* from, const std::uint8_t* end) {
    for (; end - from >= 8; from += 8) {
        std::uint64_t found = lettersAt(from, 'L');
        if (found == 0) continue;
        found &= lettersAt(from + 1, 'I') & lettersAt(from + 2, 'S') & lettersAt(from + 3, 'T');
        if (found != 0) {
            const int bit = std::endian::native == std::endian::little ? std::countr_zero(found)
                                                                       : std::countl_zero(found);
            return from + bit / 8;
        }
    }
    for (; from != end; ++from) {
        if (isListAt(from)) return from;
    }
    return end;
}

// Positions in the odml branch are 1-based and signed 32-bit: a sum that leaves that range
// fails, and so does a position below 1.
std::optional<std::int32_t> addChecked(std::int32_t a, std::int64_t b) {
    const std::int64_t sum = static_cast<std::int64_t>(a) + b;
    if (sum < std::numeric_limits<std::int32_t>::min() ||
        sum > std::numeric_limits<std::int32_t>::max()) {
        return std::nullopt;
    }
    return static_cast<std::int32_t>(sum);
}

std::optional<std::int32_t> position(std::int32_t p, std::int32_t size, std::int32_t plus,
                                     std::int32_t extra = 0) {
    auto sum = addChecked(p, size);
    if (sum) sum = addChecked(*sum, plus);
    if (sum && extra != 0) sum = addChecked(*sum, extra);
    if (!sum || *sum < 1) return std::nullopt;
    return sum;
}

// The odml list at 1-based position p: the make-info text lies in a JUNK chunk right after
// it, or after one list that follows it. Returns false when the analysis is abandoned.
bool readMakeInfo(ScanWindow& window, std::int32_t p, AviHeaderSet& headers) {
    const std::int32_t odmlSize = readInt32(window.read<4>(p - 1 + 4));
    const auto nextAt = position(p, odmlSize, 8);
    if (!nextAt) return false;
    FourCc nextChunkId = window.read<4>(*nextAt - 1);
    std::int32_t extraListSpan = 0;
    if (nextChunkId == fourCc("LIST")) {
        const auto sizeAt = position(p, odmlSize, 12);
        if (!sizeAt) return false;
        const auto span = addChecked(readInt32(window.read<4>(*sizeAt - 1)), 8);
        if (!span) return false;
        extraListSpan = *span;
        const auto afterListAt = position(p, odmlSize, 8, extraListSpan);
        if (!afterListAt) return false;
        nextChunkId = window.read<4>(*afterListAt - 1);
    }
    if (nextChunkId == fourCc("JUNK")) {
        const auto dataAt = position(p, odmlSize, 16, extraListSpan);
        if (!dataAt) return false;
        headers.makeInfo = window.read<AviHeaderSet::kMakeInfoSize>(*dataAt - 1);
    }
    return true;
}

}  // namespace

std::optional<AviHeaderSet> scanAviHeaders(ByteSource& source) {
    AviHeaderSet headers;
    ScanWindow window(source);
    // Past the end of the data every byte reads as zero, where no "LIST" can start: the search
    // ends there, so a small file costs no more than its own length.
    const std::int64_t searchLimit = std::min(kScanLimit, source.size());
    for (std::int64_t blockStart = 0; blockStart < searchLimit; blockStart += kBlock) {
        window.load(blockStart);
        const std::int64_t end = std::min(window.searchEnd(), searchLimit);
        const std::uint8_t* const searchEnd = window.at(end);
        for (const std::uint8_t* probe = nextList(window.at(blockStart), searchEnd);
             probe != searchEnd; probe = nextList(probe + 1, searchEnd)) {
            const std::int64_t offset = blockStart + (probe - window.at(blockStart));
            const FourCc listType = upperCased(codeAt(probe + 8));
            if (listType == fourCc("HDRL")) {
                headers.mainHeader = AviMainHeader::fromBytes(
                    std::span<const std::uint8_t, AviMainHeader::kSize>(probe + 20,
                                                                        AviMainHeader::kSize));
            } else if (listType == fourCc("STRL")) {
                const AviStreamRecord record(std::span<const std::uint8_t, AviStreamRecord::kSize>(
                    probe + AviStreamRecord::kPlaceInStreamList, AviStreamRecord::kSize));
                if (isVideoStream(record)) {
                    headers.videoStream = record;
                } else if (isSoundStream(record)) {
                    headers.addAudioStream(record);
                }
            } else if (listType == fourCc("ODML")) {
                if (!readMakeInfo(window, static_cast<std::int32_t>(offset + 1), headers)) {
                    return std::nullopt;
                }
            } else if (listType == fourCc("MOVI")) {
                return headers;
            }
        }
    }
    return headers;
}

}  // namespace strovanik::container
