#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace strovanik::fuzzing {

// The input is laid out as tests/bitstream/first_chunks.py stores a stream: records of a 4-byte
// little-endian length and its bytes (a length beyond the input is cut to what is left), the
// format record first, then up to 64 chunks. Each record is copied into memory of its own size,
// so that a read past it is caught. The sound identity is made of them, and again of the same
// bytes cut into other chunks; empty when every rule held, otherwise the first broken one.
std::string identifySoundBytes(const std::uint8_t* data, std::size_t size);

}  // namespace strovanik::fuzzing
