#pragma once

#include <optional>

#include "bitstream/stream_identity.h"
#include "bitstream/wave_format.h"

namespace strovanik::bitstream {

// PCM has no frame headers: all there is to know is in the format record, WAVE_FORMAT_PCM's or
// WAVE_FORMAT_EXTENSIBLE's with the PCM sub-format. Nothing for any other record.
std::optional<StreamIdentity> identifyPcm(const WaveFormat& format);

}  // namespace strovanik::bitstream
