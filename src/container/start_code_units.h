#pragma once

#include <cstdint>
#include <functional>

#include "container/byte_source.h"
#include "container/four_cc.h"

// Video data that is a sequence of start-code units (00 00 01, then the unit's type): H.264
// and MPEG-4 visual. A structure sample keeps the start codes and the units that configure the
// decoder, which hold no picture, and drops everything else.
namespace strovanik::container {

enum class StartCodeFamily { None, H264, Mpeg4Visual };

// The family of a video stream from its compression code (or, when that names nothing we
// know, its handler code); None for every other codec, whose data is dropped whole.
StartCodeFamily startCodeFamilyOf(FourCc compression, FourCc handler);

// Calls `keep(offset, length)`, in order and without overlaps, for the bytes of
// [offset, offset + length) of `source` that a sample keeps: every start code, and every
// configuration unit whole, from its start code up to the next start code or the end of the
// range (H.264: sequence and picture parameter sets and SEI; MPEG-4 visual: visual object
// sequence, visual object, video object, video object layer, user data and group-of-VOP
// headers). Reads the range in blocks; a unit may run across any number of them.
void forEachKeptSpan(ByteSource& source, std::int64_t offset, std::int64_t length,
                     StartCodeFamily family,
                     const std::function<void(std::int64_t, std::int64_t)>& keep);

}  // namespace strovanik::container
