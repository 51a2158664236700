#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

// The fuzzers' entry functions. The libFuzzer targets call them on generated inputs; the
// replay test calls them on every stored input, in the ordinary and the sanitizer builds.
// Each returns an empty text when every check held, otherwise what went wrong.
namespace strovanik::fuzzing {

// The input is a file's bytes followed by one control byte, which picks the file size the
// analysis is told (the real length, a length beyond 4 GiB, one read from the eight bytes
// before it, or zero), the shown file name, and how a second, checking source hands out the
// bytes. The whole analysis runs in each of the three layouts.
std::string analyseBytes(const std::uint8_t* data, std::size_t size);

// The input is a row of field values (numbers, raw doubles, a header's running-time fields)
// and, after them, a pattern of its own. Each value goes through the three number forms, the
// pattern form with every pattern the reports use, the size text and the running time.
std::string shapeNumbers(const std::uint8_t* data, std::size_t size);

// The input is a file's bytes. The walk of its whole structure runs on them as they are and
// through a source that hands them out a few at a time, and its inspection is made.
std::string walkBytes(const std::uint8_t* data, std::size_t size);

// The input is a file's bytes. Its structure sample is written to memory and held against the
// file: every byte the file's or zero, the same structure and movie chunks, no data of any
// stream but start-code video left, and the file as it is past where the walk lost its way.
std::string sampleBytes(const std::uint8_t* data, std::size_t size);

// The input is a file's bytes; an odd length writes OpenDML RIFFs of 4 KiB. Its repaired copy is
// written to memory: either the repair refuses with a reason, or the copy's walk is complete and
// finds the chunks the repair says it kept, each stream's count made true.
std::string repairBytes(const std::uint8_t* data, std::size_t size);

}  // namespace strovanik::fuzzing
