#include <algorithm>
#include <array>

#include "bitstream/h264.h"
#include "bitstream/mpeg4_visual.h"
#include "bitstream/read_spans.h"
#include "bitstream/start_code_scan.h"
#include "bitstream/stream_identity.h"

namespace strovanik::bitstream {

std::optional<StreamIdentity> identifyVideo(const StreamPrefix& prefix) {
    // MPEG-4 Visual first: its sequence, object and picture start codes (B0, B5, B6) have the
    // top bit set, which no H.264 NAL header has; the codes both share need more to tell apart.
    if (auto identity = mpeg4::identify(prefix)) return identity;
    return h264::identify(prefix);
}

namespace {

// No picture header the parsers read runs this far.
constexpr std::size_t kViewBytes = 64;

// A picture's payload as it reads when only its first `kept` bytes are left and the rest are
// zero: where another start code follows, the zeros before it are padding and go.
struct KeptView {
    std::array<std::uint8_t, kViewBytes> bytes{};
    std::size_t size = 0;

    KeptView(const StartCodeUnit& unit, std::size_t kept) {
        const auto payload = unit.payload;
        std::copy_n(payload.begin(), std::min(kept, kViewBytes), bytes.begin());
        size = std::min(unit.ended ? kept : payload.size(), kViewBytes);
        if (unit.ended) {
            while (size > 0 && bytes[size - 1] == 0) --size;
        }
    }
    std::span<const std::uint8_t> span() const { return std::span(bytes).first(size); }
};

// The fewest bytes of the picture's payload from which `effect` reads what it reads from all
// of it, up to kMaxPictureHeaderBytes.
template <class Effect>
std::size_t headerBytes(const StartCodeUnit& unit, const Effect& effect) {
    const auto whole = effect(unit.payload);
    const std::size_t most = std::min(unit.payload.size(), kMaxPictureHeaderBytes);
    for (std::size_t kept = 0; kept < most; ++kept) {
        if (effect(KeptView(unit, kept).span()) == whole) return kept;
    }
    return most;
}

void addUnit(std::vector<ReadSpan>& spans, std::size_t chunk, const StartCodeUnit& unit,
             std::size_t header) {
    spans.push_back({chunk, unit.offset + 3, 1, SpanKind::UnitCode});
    if (header > 0) spans.push_back({chunk, unit.offset + 4, header, SpanKind::FrameHeader});
}

// A VOP as the stream's identity counts it: its type and whether it is coded.
struct VopEffect {
    const mpeg4::VideoObjectLayer* layer;

    std::optional<std::pair<int, std::optional<bool>>> operator()(
        std::span<const std::uint8_t> payload) const {
        const auto vop = mpeg4::readVop(payload, layer);
        if (!vop) return std::nullopt;
        return std::pair(static_cast<int>(vop->type), vop->coded);
    }
};

std::vector<ReadSpan> mpeg4Spans(const StreamPrefix& prefix) {
    std::vector<ReadSpan> spans;
    int verid = 1;
    std::optional<mpeg4::VideoObjectLayer> layer;
    for (std::size_t c = 0; c < prefix.chunks.size(); ++c) {
        const auto chunk = prefix.chunks[c];
        std::size_t from = 0;
        while (const auto unit = nextStartCodeUnit(chunk, from)) {
            std::size_t header = 0;
            if (unit->code == mpeg4::kVisualObject) {
                verid = mpeg4::readVisualObject(unit->payload).value_or(1);
            } else if (unit->code >= mpeg4::kFirstObjectLayer &&
                       unit->code <= mpeg4::kLastObjectLayer) {
                if (!layer) layer = mpeg4::readVideoObjectLayer(unit->payload, verid);
            } else if (unit->code == mpeg4::kVop) {
                header = headerBytes(*unit, VopEffect{layer ? &*layer : nullptr});
            }
            addUnit(spans, c, *unit, header);
        }
    }
    return spans;
}

// A slice as the stream's identity counts it: the first of its picture, by its type.
std::optional<h264::SliceType> sliceEffect(std::span<const std::uint8_t> payload) {
    const auto slice = h264::readSliceStart(payload);
    if (!slice || slice->firstMbInSlice != 0) return std::nullopt;
    return slice->type;
}

std::vector<ReadSpan> h264Spans(const StreamPrefix& prefix) {
    std::vector<ReadSpan> spans;
    for (std::size_t c = 0; c < prefix.chunks.size(); ++c) {
        const auto chunk = prefix.chunks[c];
        std::size_t from = 0;
        while (const auto unit = nextStartCodeUnit(chunk, from)) {
            const int type = unit->code & 0x1F;
            const bool slice =
                (unit->code & 0x80) == 0 && (type == h264::kNonIdrSlice || type == h264::kIdrSlice);
            addUnit(spans, c, *unit, slice ? headerBytes(*unit, sliceEffect) : 0);
        }
    }
    return spans;
}

}  // namespace

std::vector<ReadSpan> videoReadSpans(const StreamPrefix& prefix) {
    // The parsers are tried in identifyVideo's order; the spans are those of the one that
    // answers.
    if (mpeg4::identify(prefix)) return mpeg4Spans(prefix);
    if (h264::identify(prefix)) return h264Spans(prefix);
    return {};
}

}  // namespace strovanik::bitstream
