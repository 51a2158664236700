// libFuzzer target: the sound identity of a stream's format record and first chunks.
#include <cstdio>
#include <cstdlib>
#include <string>

#include "fuzzing/audio_bitstream_entry.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string broken = strovanik::fuzzing::identifySoundBytes(data, size);
    if (!broken.empty()) {
        std::fprintf(stderr, "broken rule: %s\n", broken.c_str());
        std::abort();
    }
    return 0;
}
