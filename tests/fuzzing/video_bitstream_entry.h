#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace strovanik::fuzzing {

// The input is a video stream's first chunks, each as a four-byte little-endian length and
// then its bytes (the bitstream tests' chunk files are such inputs); a length beyond the input
// takes what is left. Each chunk goes into a buffer of its own, of its exact size, and the
// stream's identity is made from them. Returns an empty text when every check held, otherwise
// what went wrong.
std::string identifyVideoBytes(const std::uint8_t* data, std::size_t size);

}  // namespace strovanik::fuzzing
