#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

// What the sound parsers share: finding where a run of frames begins in bytes that may start in
// the middle of one, and walking the run. A sync word alone proves little (any two bytes may
// look like one), so a place counts as the start of a run only when the frame header there
// chains, frame by frame, into more headers of the same stream.
namespace strovanik::bitstream {

// Headers in a row, chained by their frame lengths, before a sync word is believed; two do
// when the chain meets the end of the bytes, but one never does: any two bytes may look like a
// sync word, and any length that lands on the end may follow it.
inline constexpr int kConfirmingHeaders = 3;

template <class Frame>
struct FrameAt {
    std::size_t offset = 0;
    Frame frame;
};

// read(bytes from a place) gives the frame header there, or nothing; every header it gives has a
// frameBytes of at least 4, so each step moves on. Frame::sameStream(a, b) tells whether two
// headers belong to one stream (their fixed fields agree).
template <class Frame, class Read>
bool chainHolds(std::span<const std::uint8_t> bytes, std::size_t at, const Frame& first,
                const Read& read) {
    std::size_t next = at + static_cast<std::size_t>(first.frameBytes);
    for (int seen = 1; seen < kConfirmingHeaders; ++seen) {
        if (next >= bytes.size()) return seen >= 2;
        const std::optional<Frame> frame = read(bytes.subspan(next));
        if (!frame) return seen >= 2 && bytes.size() - next < 16;  // a header cut at the end
        if (!Frame::sameStream(first, *frame)) return false;
        next += static_cast<std::size_t>(frame->frameBytes);
    }
    return true;
}

// The first place at or after `from` where a confirmed run of frames starts.
template <class Frame, class Read>
std::optional<FrameAt<Frame>> findRun(std::span<const std::uint8_t> bytes, std::size_t from,
                                      const Read& read) {
    for (std::size_t at = from; at < bytes.size(); ++at) {
        const std::optional<Frame> frame = read(bytes.subspan(at));
        if (frame && chainHolds(bytes, at, *frame, read)) {
            return FrameAt<Frame>{at, *frame};
        }
    }
    return std::nullopt;
}

// Every frame header of the stream in the bytes: from the first confirmed run on, frame after
// frame; where a header is missing (a damaged frame, a writer's padding between chunks) the walk
// looks for the next confirmed run of the same stream. A frame cut by the end of the bytes still
// counts: its header was read. Each frame moves the walk on by its length, so the number of
// frames is bounded by the bytes.
template <class Frame, class Read>
std::vector<FrameAt<Frame>> walkFrames(std::span<const std::uint8_t> bytes, const Read& read) {
    std::vector<FrameAt<Frame>> frames;
    std::size_t at = 0;
    while (at < bytes.size()) {
        const std::optional<FrameAt<Frame>> run = findRun<Frame>(bytes, at, read);
        if (!run || (!frames.empty() && !Frame::sameStream(frames.front().frame, run->frame)))
            break;
        at = run->offset;
        while (at < bytes.size()) {
            const std::optional<Frame> frame = read(bytes.subspan(at));
            if (!frame || !Frame::sameStream(run->frame, *frame)) break;
            frames.push_back({at, *frame});
            at += static_cast<std::size_t>(frame->frameBytes);
        }
    }
    return frames;
}

// Whether a confirmed run of frames starts at the front of the bytes.
template <class Frame>
bool runStartsHere(std::span<const std::uint8_t> bytes,
                   std::optional<Frame> (*read)(std::span<const std::uint8_t>)) {
    const std::optional<Frame> frame = read(bytes);
    return frame && chainHolds(bytes, 0, *frame, read);
}

// "5.1" for five full-range channels and a low-frequency one, "2.0" for stereo.
inline std::string channelLayoutName(int fullRange, bool lowFrequency) {
    return std::to_string(fullRange) + (lowFrequency ? ".1" : ".0");
}

}  // namespace strovanik::bitstream
