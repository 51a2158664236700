#include "container/byte_source.h"

#include <algorithm>
#include <cstring>

namespace strovanik::container {

void readPadded(ByteSource& source, std::int64_t offset, std::span<std::uint8_t> out) {
    std::fill(out.begin(), out.end(), std::uint8_t{0});
    const std::int64_t end = source.size();
    if (out.empty() || offset >= end) return;
    std::size_t skip = 0;
    if (offset < 0) {
        // Only the part of the request that reaches into the data is read.
        if (-offset >= static_cast<std::int64_t>(out.size())) return;
        skip = static_cast<std::size_t>(-offset);
        offset = 0;
    }
    std::span<std::uint8_t> wanted = out.subspan(skip);
    const auto available = static_cast<std::uint64_t>(end - offset);
    if (wanted.size() > available) wanted = wanted.first(static_cast<std::size_t>(available));
    std::size_t done = 0;
    while (done < wanted.size()) {
        const std::size_t got =
            source.readAt(offset + static_cast<std::int64_t>(done), wanted.subspan(done));
        if (got == 0) break;  // the data ended early: the rest stays zero
        done += got;
    }
}

std::size_t MemorySource::readAt(std::int64_t offset, std::span<std::uint8_t> out) {
    if (offset < 0 || offset >= size()) return 0;
    const auto start = static_cast<std::size_t>(offset);
    const std::size_t count = std::min(out.size(), bytes_.size() - start);
    std::memcpy(out.data(), bytes_.data() + start, count);
    return count;
}

}  // namespace strovanik::container
