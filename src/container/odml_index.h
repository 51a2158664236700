#pragma once

#include <cstdint>
#include <optional>
#include <span>

#include "container/four_cc.h"

// The records of an AVI file's indexes, read field by field: the OpenDML super index ("indx",
// in a stream list: where the stream's standard indexes lie), the standard index ("ix##": where
// a run of the stream's chunks lies), and the entries of both and of idx1.
namespace strovanik::container {

// bIndexType of an OpenDML index header.
inline constexpr std::uint8_t kIndexOfIndexes = 0;
inline constexpr std::uint8_t kIndexOfChunks = 1;
// bIndexSubType: the chunks are frames of two fields, each entry locating both.
inline constexpr std::uint8_t kIndexOfFields = 1;

// The fields that open both kinds of OpenDML index, "indx" and "ix##".
struct IndexHeaderFields {
    std::uint16_t longsPerEntry = 0;
    std::uint8_t indexSubType = 0;
    std::uint8_t indexType = 0;
    std::uint32_t entriesInUse = 0;
    FourCc chunkId{};  // the chunks the index lists ("00dc")
};

// The size in bytes of an index's entries as its header declares them (wLongsPerEntry), where its
// type and sub-type have entries of that size: 16 for a super index, 8 for a standard index, 12
// for a field index. Nothing for any other size, which no reader can take for an entry.
std::optional<std::int64_t> indexEntrySize(const IndexHeaderFields& header);

// The 24 bytes that open the data of an "indx" chunk; twelve reserved bytes follow the fields.
struct SuperIndexHeader : IndexHeaderFields {
    static constexpr std::int64_t kSize = 24;

    static SuperIndexHeader read(std::span<const std::uint8_t, kSize> bytes);
};

struct SuperIndexEntry {
    static constexpr std::int64_t kSize = 16;
    std::uint64_t offset = 0;  // of the standard index's chunk header; 0 for an unused slot
    std::uint32_t size = 0;
    std::uint32_t duration = 0;

    static SuperIndexEntry read(std::span<const std::uint8_t, kSize> bytes);
};

// The 24 bytes that open the data of an "ix##" chunk; four reserved bytes follow the fields.
struct StandardIndexHeader : IndexHeaderFields {
    static constexpr std::int64_t kSize = 24;
    std::uint64_t baseOffset = 0;  // what the entries' offsets count from

    static StandardIndexHeader read(std::span<const std::uint8_t, kSize> bytes);
};

struct StandardIndexEntry {
    static constexpr std::int64_t kSize = 8;
    std::uint32_t offset = 0;  // of the chunk's data, from the index's base offset
    std::uint32_t size = 0;    // of the data
    bool keyFrame = false;     // the size's top bit is clear

    static StandardIndexEntry read(std::span<const std::uint8_t, kSize> bytes);
};

struct Idx1Entry {
    static constexpr std::int64_t kSize = 16;
    FourCc chunkId{};
    std::uint32_t flags = 0;
    std::uint32_t offset = 0;  // of the chunk's header, from the movie list's type or the file
    std::uint32_t size = 0;

    static Idx1Entry read(std::span<const std::uint8_t, kSize> bytes);
};

}  // namespace strovanik::container
