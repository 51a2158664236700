// Prints what identifyAudio makes of stored first chunks (see tests/bitstream/first_chunks.py),
// one line of key=value fields per file, for bench/sound_identity_peers.sh to set beside the
// peers' answers. Empty fields are left out; a stream that was not identified prints
// "format=none".
#include <cstdio>
#include <iostream>
#include <sstream>

#include "bitstream/stream_identity.h"
#include "support/chunk_file.h"

int main(int argc, char** argv) {
    using strovanik::bitstream::BitrateMode;
    for (int i = 1; i < argc; ++i) {
        const auto stream = strovanik::testing::readStoredStream(argv[i]);
        const auto identity =
            strovanik::bitstream::identifyAudio(stream.prefix(), stream.formatBlock);
        std::ostringstream line;
        line << "file=" << argv[i];
        if (!identity) {
            std::cout << line.str() << "\tformat=none\n";
            continue;
        }
        const auto field = [&line](const char* key, const auto& value) {
            if (value) line << '\t' << key << '=' << *value;
        };
        line << "\tformat=" << identity->format;
        field("profile", identity->profile);
        field("channels", identity->channels);
        field("channel_layout", identity->channelLayout);
        field("sample_rate", identity->sampleRate);
        field("bits", identity->bitsPerSample);
        field("channel_mask", identity->channelMask);
        if (identity->bitrateKbps) {
            char kbps[32];
            std::snprintf(kbps, sizeof kbps, "%.1f", *identity->bitrateKbps);
            line << "\tkbps=" << kbps;
        }
        if (identity->bitrateMode) {
            line << "\tmode=" << (*identity->bitrateMode == BitrateMode::Constant ? "CBR" : "VBR");
        }
        field("basis", identity->bitrateBasis);
        if (identity->encoder) line << "\tencoder=" << identity->encoder->text;
        line << "\tframes=" << identity->framesRead;
        std::cout << line.str() << '\n';
    }
    return 0;
}
