#pragma once

#include <cstdint>
#include <fstream>
#include <memory>
#include <string>
#include <string_view>

#include "container/byte_source.h"

namespace strovanik::container {

// A file opened for reading only. It is never created, emptied or written, and only
// regular files are opened: a folder, a FIFO or a device is refused before any open,
// so a read can never block or run forever.
class FileSource final : public ByteSource {
public:
    enum class OpenStatus { Opened, Missing, Unreadable };
    struct OpenResult {
        OpenStatus status = OpenStatus::Unreadable;
        std::unique_ptr<FileSource> source;  // set when Opened
        std::string reason;                  // why not, in a few English words
    };

    // `utf8Path` is the path as the user gave it, in UTF-8.
    static OpenResult open(std::string_view utf8Path);

    std::int64_t size() const override { return size_; }
    std::size_t readAt(std::int64_t offset, std::span<std::uint8_t> out) override;

    // Bytes handed out by readAt so far, for the benchmarks' reading budget.
    std::int64_t bytesRead() const { return bytesRead_; }

private:
    FileSource(std::ifstream stream, std::int64_t size)
        : stream_(std::move(stream)), size_(size), at_(size) {}

    std::ifstream stream_;
    std::int64_t size_;
    // Where the stream stands after the last read, or -1 when that is not known: a read that
    // goes on from there needs no seek, which a batch of small files would pay for each file.
    std::int64_t at_;
    std::int64_t bytesRead_ = 0;
};

}  // namespace strovanik::container
