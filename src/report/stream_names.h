#pragma once

#include <string>
#include <string_view>

#include "bitstream/stream_identity.h"

// A stream named by what its first frames are, for the --check line and the findings.
namespace strovanik::report {

// The format's usual name: "MPEG-4 Visual", "H.264", "AC-3", ...; the parsers' name itself
// for a format not known here.
std::string_view formatDisplayName(std::string_view format);

// Whether the parsers' format is a video one ("mpeg4-visual", "h264").
bool isVideoFormat(std::string_view format);

// The stream in a few words: "MPEG-4 Visual Advanced Simple@L5 (Xvid 63, packed)",
// "AC-3 2.0 192 kb/s CBR", with the words for packed, CBR and VBR in Korean when not english.
std::string identityText(const bitstream::StreamIdentity& identity, bool english);

}  // namespace strovanik::report
