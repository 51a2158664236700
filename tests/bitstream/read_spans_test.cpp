// What the parsers read of real first chunks (tests/bitstream/make_*_fixtures.sh): kept alone,
// every other byte zero, as a structure sample keeps them, they give the same identity as the
// whole chunks; without them, another.
#include "bitstream/read_spans.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "container/byte_source.h"
#include "container/start_code_units.h"
#include "support/chunk_file.h"

namespace strovanik::bitstream {
namespace {

namespace fs = std::filesystem;
using testing::Bytes;

const fs::path kData = fs::path(STROVANIK_SOURCE_DIR) / "tests" / "bitstream" / "data";

bool isSoundFixture(const std::string& name) {
    for (const char* prefix :
         {"aac_", "ac3_", "dts_", "eac3_", "lame_", "mencoder_mp3", "mp2_", "mp3_", "pcm_"}) {
        if (name.starts_with(prefix)) return true;
    }
    return false;
}

// The chunks with only `spans` kept, and for video also what every chunk of a sample keeps (its
// start codes and configuration units).
std::vector<Bytes> keptOnly(const std::vector<Bytes>& chunks, const std::vector<ReadSpan>& spans,
                            container::StartCodeFamily family) {
    std::vector<Bytes> kept;
    for (const Bytes& chunk : chunks) {
        Bytes blank(chunk.size(), 0);
        container::MemorySource source(chunk);
        container::forEachKeptSpan(source, 0, static_cast<std::int64_t>(chunk.size()), family,
                                   [&](std::int64_t at, std::int64_t length) {
                                       std::copy_n(chunk.begin() + static_cast<std::ptrdiff_t>(at),
                                                   length,
                                                   blank.begin() + static_cast<std::ptrdiff_t>(at));
                                   });
        kept.push_back(std::move(blank));
    }
    for (const ReadSpan& span : spans) {
        EXPECT_LE(span.offset + span.length, chunks.at(span.chunk).size());
        std::copy_n(chunks[span.chunk].begin() + static_cast<std::ptrdiff_t>(span.offset),
                    span.length,
                    kept[span.chunk].begin() + static_cast<std::ptrdiff_t>(span.offset));
    }
    return kept;
}

TEST(ReadSpans, WhatTheyKeepIsIdentifiedAsTheWholeChunks) {
    int files = 0;
    for (const auto& entry : fs::directory_iterator(kData)) {
        const std::string name = entry.path().stem().string();
        SCOPED_TRACE(name);
        ++files;
        if (isSoundFixture(name)) {
            const testing::StoredStream whole = testing::readStoredStream(entry.path());
            // As stored, and cut regardless of the frames into chunks of 1,000 bytes, so that
            // headers straddle the chunks' edges.
            for (const testing::StoredStream& stream : {whole, testing::recut(whole, 1000)}) {
                const auto spans = soundReadSpans(stream.prefix(), stream.formatBlock);
                const auto kept = keptOnly(stream.chunks, spans, container::StartCodeFamily::None);
                const auto blank = keptOnly(stream.chunks, {}, container::StartCodeFamily::None);
                const auto id = identifyAudio(stream.prefix(), stream.formatBlock);
                ASSERT_TRUE(id);
                EXPECT_EQ(identifyAudio(testing::prefixOf(kept), stream.formatBlock), id);
                // Only what the format record says holds without the frames.
                EXPECT_EQ(identifyAudio(testing::prefixOf(blank), stream.formatBlock) == id,
                          spans.empty());
            }
        } else {
            const std::vector<Bytes> chunks = testing::readChunkFile(entry.path());
            const auto family = name.starts_with("x264") ? container::StartCodeFamily::H264
                                                         : container::StartCodeFamily::Mpeg4Visual;
            const auto spans = videoReadSpans(testing::prefixOf(chunks));
            const auto id = identifyVideo(testing::prefixOf(chunks));
            ASSERT_TRUE(id);
            EXPECT_EQ(identifyVideo(testing::prefixOf(keptOnly(chunks, spans, family))), id);
            EXPECT_NE(identifyVideo(testing::prefixOf(keptOnly(chunks, {}, family))), id);
            for (const ReadSpan& span : spans) {
                EXPECT_LE(span.length,
                          span.kind == SpanKind::UnitCode ? 1u : kMaxPictureHeaderBytes);
            }
        }
    }
    EXPECT_GE(files, 30);
}

}  // namespace
}  // namespace strovanik::bitstream
