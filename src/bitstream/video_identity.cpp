#include "bitstream/h264.h"
#include "bitstream/mpeg4_visual.h"
#include "bitstream/stream_identity.h"

namespace strovanik::bitstream {

std::optional<StreamIdentity> identifyVideo(const StreamPrefix& prefix) {
    // MPEG-4 Visual first: its sequence, object and picture start codes (B0, B5, B6) have the
    // top bit set, which no H.264 NAL header has; the codes both share need more to tell apart.
    if (auto identity = mpeg4::identify(prefix)) return identity;
    return h264::identify(prefix);
}

}  // namespace strovanik::bitstream
