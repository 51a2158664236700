// How long the sound identity of one stream's first chunks takes, in-process, at the most the
// first-frames reader hands over (64 chunks, 1 MiB):
//
//   mp3: 1 MiB of MPEG-1 layer 3 frames, walked frame by frame to the end.
//   no sync: 1 MiB of bytes in which every byte could begin a sync word but no run of frames
//            holds, under an AAC record, so that every place is tried by every format before
//            the configuration decides (the slowest case).
//   pcm: a PCM record: the chunks are not looked at.
//
// Goal for each: under 2 ms, so that a file's identity stays small beside starting a program.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <vector>

#include "bitstream/stream_identity.h"

namespace {

using strovanik::bitstream::StreamPrefix;
using Bytes = std::vector<std::uint8_t>;

constexpr std::size_t kChunks = 64;
constexpr std::size_t kBytes = std::size_t{1} << 20;

// A stereo 44.1 kHz AAC LC record, as ffmpeg writes it, and a stereo PCM one.
const Bytes kAacRecord{0xFF, 0x00, 0x02, 0x00, 0x44, 0xAC, 0x00, 0x00, 0x80, 0x3E,
                       0x00, 0x00, 0x00, 0x06, 0x10, 0x00, 0x02, 0x00, 0x12, 0x10};
const Bytes kPcmRecord{0x01, 0x00, 0x02, 0x00, 0x44, 0xAC, 0x00, 0x00,
                       0x10, 0xB1, 0x02, 0x00, 0x04, 0x00, 0x10, 0x00};

std::vector<Bytes> chunksOf(const Bytes& all) {
    std::vector<Bytes> chunks;
    const std::size_t size = all.size() / kChunks;
    for (std::size_t at = 0; at < all.size(); at += size) {
        chunks.emplace_back(
            all.begin() + static_cast<std::ptrdiff_t>(at),
            all.begin() + static_cast<std::ptrdiff_t>(std::min(all.size(), at + size)));
    }
    return chunks;
}

void identify(benchmark::State& state, const std::vector<Bytes>& chunks, const Bytes& record) {
    StreamPrefix prefix;
    for (const Bytes& chunk : chunks) prefix.chunks.emplace_back(chunk);
    for (auto _ : state) {
        auto identity = strovanik::bitstream::identifyAudio(prefix, record);
        benchmark::DoNotOptimize(identity);
    }
}

void mp3(benchmark::State& state) {
    Bytes all;
    while (all.size() + 417 <= kBytes) {  // 128 kb/s at 44.1 kHz: 417 bytes a frame
        all.insert(all.end(), {0xFF, 0xFB, 0x90, 0x64});
        all.resize(all.size() + 413, 0x55);
    }
    identify(state, chunksOf(all), kAacRecord);
}
BENCHMARK(mp3)->Unit(benchmark::kMicrosecond);

void noSync(benchmark::State& state) {
    // A valid MPEG audio header every 4 bytes, never followed by a second at its frame's end.
    Bytes all;
    while (all.size() < kBytes) all.insert(all.end(), {0xFF, 0xFB, 0x90, 0x64});
    identify(state, chunksOf(all), kAacRecord);
}
BENCHMARK(noSync)->Unit(benchmark::kMicrosecond);

void aacFrames(benchmark::State& state) {
    // Coded sound looks like noise: bytes from a fixed sequence of numbers.
    Bytes all(kBytes);
    std::uint32_t seed = 12345;
    for (auto& b : all) {
        seed = seed * 1103515245u + 12345u;
        b = static_cast<std::uint8_t>(seed >> 16);
    }
    identify(state, chunksOf(all), kAacRecord);
}
BENCHMARK(aacFrames)->Unit(benchmark::kMicrosecond);

void pcm(benchmark::State& state) { identify(state, chunksOf(Bytes(kBytes, 0)), kPcmRecord); }
BENCHMARK(pcm)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
