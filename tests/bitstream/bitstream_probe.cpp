// Prints what the first chunks of each AVI file's video stream say it is, one `key=value` line
// a field (unknown fields left out), for scripts that hold the answers against other tools:
//
//   bitstream_probe FILE...                  the identity of each file's first video stream
//   bitstream_probe --chunks N OUT FILE      keeps the stream's first N chunks in OUT, in the
//                                            tests' chunk-file form
#include <cstdio>
#include <cstdlib>
#include <iostream>
#include <optional>
#include <string>
#include <type_traits>

#include "bitstream/stream_identity.h"
#include "support/chunk_file.h"

namespace {

using strovanik::bitstream::StreamIdentity;

// The bounds the program's own reader keeps: 64 chunks and 1 MiB a stream.
constexpr std::size_t kMaxChunks = 64;
constexpr std::size_t kMaxBytes = 1 << 20;

template <typename T>
void print(const char* key, const std::optional<T>& value) {
    if (!value) return;
    if constexpr (std::is_same_v<T, bool>) {
        std::cout << key << '=' << (*value ? "true" : "false") << '\n';
    } else {
        std::cout << key << '=' << *value << '\n';
    }
}

void printIdentity(const StreamIdentity& id) {
    std::cout << "format=" << id.format << '\n';
    print("profile", id.profile);
    if (id.encoder) {
        std::cout << "encoder.name=" << id.encoder->name << '\n'
                  << "encoder.version=" << id.encoder->version << '\n'
                  << "encoder.text=" << id.encoder->text << '\n';
    }
    print("settings", id.settings);
    print("bFrames", id.bFrames);
    print("packedBitstream", id.packedBitstream);
    print("quarterPel", id.quarterPel);
    print("gmcWarpPoints", id.gmcWarpPoints);
    print("interlaced", id.interlaced);
    print("refFrames", id.refFrames);
    print("cabac", id.cabac);
    print("width", id.width);
    print("height", id.height);
    print("chromaFormat", id.chromaFormat);
    print("bitDepth", id.bitDepth);
    print("mpegQuantisation", id.mpegQuantisation);
    std::cout << "framesRead=" << id.framesRead << '\n';
}

}  // namespace

int main(int argc, char** argv) {
    using namespace strovanik;
    if (argc == 5 && std::string(argv[1]) == "--chunks") {
        const auto count = static_cast<std::size_t>(std::strtoul(argv[2], nullptr, 10));
        const auto chunks = testing::firstVideoChunks(argv[4], count, kMaxBytes);
        if (chunks.empty()) {
            std::cerr << argv[4] << ": no video chunks\n";
            return 1;
        }
        testing::writeChunkFile(argv[3], chunks);
        return 0;
    }
    if (argc < 2) {
        std::cerr << "usage: bitstream_probe FILE... | --chunks N OUT FILE\n";
        return 2;
    }
    for (int i = 1; i < argc; ++i) {
        if (argc > 2) std::cout << "==> " << argv[i] << '\n';
        const auto chunks = testing::firstVideoChunks(argv[i], kMaxChunks, kMaxBytes);
        const auto identity = bitstream::identifyVideo(testing::prefixOf(chunks));
        if (identity) {
            printIdentity(*identity);
        } else {
            std::cout << "format=\n";
        }
    }
    return 0;
}
