#include "bitstream/start_code_scan.h"

#include <algorithm>
#include <cstring>

namespace strovanik::bitstream {

namespace {

// The offset of the next 00 00 01 at or after `from` that has a code byte after it. The 01
// bytes are looked for first, a whole picture's worth at a time: they are rare in picture data.
std::optional<std::size_t> findStartCode(std::span<const std::uint8_t> bytes, std::size_t from) {
    if (bytes.size() < 4 || from > bytes.size() - 4) return std::nullopt;
    // The 01 of a start code at i lies at i + 2, and the code byte after it inside the bytes.
    const std::size_t lastOne = bytes.size() - 2;
    for (std::size_t one = from + 2; one <= lastOne;) {
        const void* found = std::memchr(bytes.data() + one, 1, lastOne + 1 - one);
        if (found == nullptr) return std::nullopt;
        one = static_cast<std::size_t>(static_cast<const std::uint8_t*>(found) - bytes.data());
        if (bytes[one - 1] == 0 && bytes[one - 2] == 0) return one - 2;
        ++one;
    }
    return std::nullopt;
}

// Whether a unit of this code may be a picture: an MPEG-4 VOP (B6), or an H.264 slice or slice
// data partition (NAL types 1 to 5). The same codes in the other format are units of a few bytes
// (MPEG-4's video object and object layer headers), which their head holds whole.
bool mayBePicture(std::uint8_t code) {
    const int nalType = code & 0x1F;
    return code == 0xB6 || ((code & 0x80) == 0 && nalType >= 1 && nalType <= 5);
}

}  // namespace

std::optional<StartCodeUnit> nextStartCodeUnit(std::span<const std::uint8_t> bytes,
                                               std::size_t& from) {
    const auto at = findStartCode(bytes, from);
    if (!at) {
        from = bytes.size();
        return std::nullopt;
    }
    const std::size_t payloadAt = *at + 4;
    const auto next = findStartCode(bytes, payloadAt);
    std::size_t end = next.value_or(bytes.size());
    // Zero bytes before the next start code (H.264's four-byte form, trailing zeros) are padding.
    while (next && end > payloadAt && bytes[end - 1] == 0) --end;
    from = next.value_or(bytes.size());
    return StartCodeUnit{bytes[*at + 3], bytes.subspan(payloadAt, end - payloadAt), *at,
                         next.has_value()};
}

void appendReadPart(std::span<const std::uint8_t> chunk, std::vector<std::uint8_t>& out) {
    const auto keep = [&](std::size_t at, std::size_t length) {
        out.insert(out.end(), chunk.begin() + static_cast<std::ptrdiff_t>(at),
                   chunk.begin() + static_cast<std::ptrdiff_t>(at + length));
    };
    std::optional<std::size_t> unit = findStartCode(chunk, 0);
    keep(0, std::min(unit.value_or(chunk.size()), kPictureHead));
    while (unit) {
        // The next unit is looked for past this one's code byte, as the parsers look for it.
        const std::optional<std::size_t> next = findStartCode(chunk, *unit + 4);
        const std::size_t length = next.value_or(chunk.size()) - *unit;
        keep(*unit, mayBePicture(chunk[*unit + 3]) ? std::min(length, 4 + kPictureHead) : length);
        unit = next;
    }
}

}  // namespace strovanik::bitstream
