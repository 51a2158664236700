#pragma once

#include <cstdint>
#include <filesystem>
#include <initializer_list>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// A small writer of AVI files for the tests: chunks and lists put together by hand, so that
// every byte a test depends on is visible in the test.
namespace strovanik::testing {

using Bytes = std::vector<std::uint8_t>;

Bytes le16(std::int16_t value);
Bytes le32(std::int32_t value);
// The four bytes of a code; shorter text is filled up with NUL bytes.
Bytes code(std::string_view text);
Bytes concat(std::initializer_list<Bytes> parts);
Bytes text(std::string_view bytes);

// A chunk: id, size, data and a pad byte after odd-sized data.
Bytes chunk(std::string_view id, const Bytes& data);
// A list: "LIST" (or `listId`), size, type, then the children as they are.
Bytes list(std::string_view type, std::initializer_list<Bytes> children,
           std::string_view listId = "LIST");
// `depth` lists of type `type`, each inside the one before, with `inside` at the bottom; built
// in one pass, so that a depth of hundreds of thousands costs no more than its bytes.
Bytes nestedLists(std::string_view type, std::size_t depth, const Bytes& inside);
// The RIFF header: "RIFF", size (the rest of the file unless given), form type, children.
Bytes riff(std::string_view formType, std::initializer_list<Bytes> children,
           std::optional<std::int32_t> declaredSize = std::nullopt);

struct MainHeaderPlan {
    std::int32_t microSecPerFrame = 40'000;
    std::int32_t totalFrames = 250;
    std::int32_t width = 320;
    std::int32_t height = 240;
    std::int32_t streams = 2;
};

struct VideoPlan {
    std::string handler = "XVID";
    std::string compression = "XVID";
    std::int32_t quality = 10'000;
    std::int16_t bitCount = 24;
    std::int32_t width = 320;   // the format's own size, which the reports do not use
    std::int32_t height = 240;
};

struct AudioPlan {
    std::int16_t formatTag = 0x55;
    std::int16_t channels = 2;
    std::int32_t samplesPerSec = 48'000;
    std::int32_t avgBytesPerSec = 16'000;
    std::int16_t blockAlign = 1152;
    std::string handler = "";  // the stream header's handler, usually empty for audio
};

// The data of an avih chunk (56 bytes).
Bytes mainHeaderData(const MainHeaderPlan& plan);
// A strl list: strh (56 bytes of data) and strf.
Bytes videoStreamList(const VideoPlan& plan, bool lowerCase = false);
Bytes audioStreamList(const AudioPlan& plan, bool lowerCase = false);
// An odml list with its dmlh chunk, followed by a JUNK chunk that holds `makeInfo`.
Bytes odmlWithMakeInfo(std::string_view makeInfo);

// A whole file as an AVI writer lays it out: RIFF, hdrl (avih, stream lists, odml and the
// JUNK make-info), then a movi list of `movieBytes` bytes of frame data and an idx1 chunk.
struct AviPlan {
    MainHeaderPlan main;
    std::optional<VideoPlan> video = VideoPlan{};
    std::vector<AudioPlan> audio = {AudioPlan{}};
    std::optional<std::string> makeInfo;  // the JUNK text after the odml list
    bool lowerCase = false;               // list and stream types in lower case
    std::size_t movieBytes = 64;
    std::optional<std::int32_t> riffSize;  // declared RIFF size, when not the real one
};
Bytes buildAvi(const AviPlan& plan);

// Writes bytes to a file; with `sparseLength` the file is then extended to that length
// without writing the rest (a sparse file, for very large sizes).
void writeFile(const std::filesystem::path& path, const Bytes& bytes,
               std::optional<std::uint64_t> sparseLength = std::nullopt);

// A fresh, empty folder for one test, removed when the object goes.
class TempFolder {
public:
    TempFolder();
    ~TempFolder();
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;
    const std::filesystem::path& path() const { return path_; }
    // `name` is UTF-8, as every text of the tests (on Windows a narrow path would be taken in
    // the ANSI code page).
    std::filesystem::path operator/(std::string_view name) const;

private:
    std::filesystem::path path_;
};

// The bytes of a file, all of them.
Bytes readFile(const std::filesystem::path& path);

}  // namespace strovanik::testing
