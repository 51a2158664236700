#include "bitstream/start_code_scan.h"

namespace strovanik::bitstream {

namespace {

// The offset of the next 00 00 01 at or after `from` that has a code byte after it.
std::optional<std::size_t> findStartCode(std::span<const std::uint8_t> bytes, std::size_t from) {
    for (std::size_t i = from; bytes.size() >= 4 && i <= bytes.size() - 4; ++i) {
        if (bytes[i + 2] > 1) {
            i += 2;  // neither of the next two positions can start a start code
            continue;
        }
        if (bytes[i] == 0 && bytes[i + 1] == 0 && bytes[i + 2] == 1) return i;
    }
    return std::nullopt;
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

}  // namespace strovanik::bitstream
