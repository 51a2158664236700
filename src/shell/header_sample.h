#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

// The header sample: the first 3,200,004 bytes of a video file, copied into a file beside it,
// so that someone can look at its headers and the start of its data without the whole file.
namespace strovanik::shell {

// 800,001 records of four bytes.
inline constexpr std::int64_t kHeaderSampleBytes = 3'200'004;

// The sample's name: the source path without its last four characters (the extension with
// its dot, for a name ending in ".avi"), followed by "HDR.avi". Characters, not bytes: a
// Korean name loses whole letters. Nothing when the path has fewer than four characters.
std::optional<std::string> headerSamplePath(std::string_view sourcePath);

enum class HeaderSampleStatus {
    Written,
    SourceUnreadable,  // missing, not a regular file, or failing while being read
    SampleUnwritable,
};

// Copies the source's first kHeaderSampleBytes bytes into the sample, which is then exactly
// that long: past the end of a shorter source it holds zero bytes, and an existing file of
// that name is replaced whole. The source is only read, never created.
// `firstWord` receives the sample's first four bytes when it was written.
HeaderSampleStatus writeHeaderSample(std::string_view sourcePath, std::string_view samplePath,
                                     std::array<std::uint8_t, 4>& firstWord);

}  // namespace strovanik::shell
