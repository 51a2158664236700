#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <stdexcept>
#include <vector>

namespace strovanik::container {

// A read that failed for a reason other than the end of the data (an I/O error).
class ReadError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// The only way the analysis reads: from a file opened read-only, or from memory.
class ByteSource {
public:
    virtual ~ByteSource() = default;
    virtual std::int64_t size() const = 0;
    // Reads up to out.size() bytes at a 0-based offset and returns how many were read;
    // fewer only at the end of the data. Throws ReadError when the data cannot be read.
    virtual std::size_t readAt(std::int64_t offset, std::span<std::uint8_t> out) = 0;
    // All of the data, where it is held in memory already; nothing otherwise.
    virtual std::optional<std::span<const std::uint8_t>> held() const { return std::nullopt; }
};

// Fills `out` with the bytes at `offset`. Bytes that lie outside the data (past its end,
// or before its start for a negative offset) read as zero, as the AVI reading rules want.
void readPadded(ByteSource& source, std::int64_t offset, std::span<std::uint8_t> out);

// Bytes held in memory: the tests' and the fuzzers' source.
class MemorySource final : public ByteSource {
public:
    explicit MemorySource(std::vector<std::uint8_t> bytes) : bytes_(std::move(bytes)) {}
    std::int64_t size() const override { return static_cast<std::int64_t>(bytes_.size()); }
    std::size_t readAt(std::int64_t offset, std::span<std::uint8_t> out) override;
    std::optional<std::span<const std::uint8_t>> held() const override { return bytes_; }

private:
    std::vector<std::uint8_t> bytes_;
};

}  // namespace strovanik::container
