#include "container/odml_index.h"

#include <cstddef>

namespace strovanik::container {

namespace {

// Reads little-endian fields one after the other from a record of fixed size.
class FieldCursor {
public:
    explicit FieldCursor(std::span<const std::uint8_t> bytes) : bytes_(bytes) {}

    std::uint8_t u8() { return bytes_[at_++]; }
    std::uint16_t u16() {
        const auto low = u8();
        return static_cast<std::uint16_t>(low | (u8() << 8));
    }
    std::uint32_t u32() {
        const std::uint32_t low = u16();
        return low | (static_cast<std::uint32_t>(u16()) << 16);
    }
    std::uint64_t u64() {
        const std::uint64_t low = u32();
        return low | (static_cast<std::uint64_t>(u32()) << 32);
    }
    FourCc code() {
        FourCc c{};
        for (auto& b : c) b = u8();
        return c;
    }

private:
    std::span<const std::uint8_t> bytes_;
    std::size_t at_ = 0;
};

void readFields(FieldCursor& f, IndexHeaderFields& h) {
    h.longsPerEntry = f.u16();
    h.indexSubType = f.u8();
    h.indexType = f.u8();
    h.entriesInUse = f.u32();
    h.chunkId = f.code();
}

}  // namespace

std::optional<std::int64_t> indexEntrySize(const IndexHeaderFields& header) {
    int longs = 0;
    if (header.indexType == kIndexOfIndexes &&
        (header.indexSubType == 0 || header.indexSubType == kIndexOfFields)) {
        longs = 4;  // offset (two longs), size, duration
    } else if (header.indexType == kIndexOfChunks && header.indexSubType == 0) {
        longs = 2;  // offset, size
    } else if (header.indexType == kIndexOfChunks && header.indexSubType == kIndexOfFields) {
        longs = 3;  // offset, size, the second field's offset
    }
    if (longs == 0 || header.longsPerEntry != longs) return std::nullopt;
    return std::int64_t{4} * longs;
}

SuperIndexHeader SuperIndexHeader::read(std::span<const std::uint8_t, kSize> bytes) {
    FieldCursor f(bytes);
    SuperIndexHeader h;
    readFields(f, h);
    return h;
}

SuperIndexEntry SuperIndexEntry::read(std::span<const std::uint8_t, kSize> bytes) {
    FieldCursor f(bytes);
    SuperIndexEntry e;
    e.offset = f.u64();
    e.size = f.u32();
    e.duration = f.u32();
    return e;
}

StandardIndexHeader StandardIndexHeader::read(std::span<const std::uint8_t, kSize> bytes) {
    FieldCursor f(bytes);
    StandardIndexHeader h;
    readFields(f, h);
    h.baseOffset = f.u64();
    return h;
}

StandardIndexEntry StandardIndexEntry::read(std::span<const std::uint8_t, kSize> bytes) {
    FieldCursor f(bytes);
    StandardIndexEntry e;
    e.offset = f.u32();
    const std::uint32_t size = f.u32();
    e.size = size & 0x7FFF'FFFF;
    e.keyFrame = (size & 0x8000'0000) == 0;
    return e;
}

Idx1Entry Idx1Entry::read(std::span<const std::uint8_t, kSize> bytes) {
    FieldCursor f(bytes);
    Idx1Entry e;
    e.chunkId = f.code();
    e.flags = f.u32();
    e.offset = f.u32();
    e.size = f.u32();
    return e;
}

}  // namespace strovanik::container
