#pragma once

#include <cstdint>
#include <optional>

#include "container/avi_header_set.h"
#include "container/byte_source.h"

namespace strovanik::container {

// The search looks for "LIST" at byte offsets 0 to kScanLimit - 1 and no further.
inline constexpr std::int64_t kScanLimit = 3'000'000;

// Searches the start of an AVI file for header lists and gathers their records. The
// search does not walk the chunk tree: it looks for the letters LIST (in any case) at
// every byte offset, handles the list found there and resumes one byte further on, until
// the movie list or the scan limit. Returns nullopt when the analysis must be abandoned
// (a position computed from an odml size that is absurd). Throws ReadError when the
// source fails.
std::optional<AviHeaderSet> scanAviHeaders(ByteSource& source);

}  // namespace strovanik::container
