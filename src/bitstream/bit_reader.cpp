#include "bitstream/bit_reader.h"

namespace strovanik::bitstream {

BitReader::BitReader(std::span<const std::uint8_t> bytes, Bytes mode) : bytes_(bytes), mode_(mode) {}

bool BitReader::loadByte() {
    if (!ok_) return false;
    if (next_ < bytes_.size() && mode_ == Bytes::WithoutEmulationPrevention && zeros_ >= 2 &&
        bytes_[next_] == 0x03) {
        ++next_;
        zeros_ = 0;
    }
    if (next_ >= bytes_.size()) {
        ok_ = false;
        return false;
    }
    current_ = bytes_[next_++];
    ++taken_;
    zeros_ = current_ == 0 ? zeros_ + 1 : 0;
    bitsInByte_ = 8;
    return true;
}

std::uint32_t BitReader::bits(int count) {
    if (count < 0 || count > 32) {
        ok_ = false;
        return 0;
    }
    std::uint32_t value = 0;
    while (count > 0) {
        if (bitsInByte_ == 0 && !loadByte()) return 0;
        const int take = count < bitsInByte_ ? count : bitsInByte_;
        const int shift = bitsInByte_ - take;
        const std::uint32_t piece = (static_cast<std::uint32_t>(current_) >> shift) & ((1u << take) - 1);
        // take is at most 8, so the shift of a 32-bit value by it is defined even at 32 bits read
        value = static_cast<std::uint32_t>((static_cast<std::uint64_t>(value) << take) | piece);
        bitsInByte_ -= take;
        count -= take;
    }
    return ok_ ? value : 0;
}

void BitReader::skip(std::int64_t count) {
    if (count < 0) {
        ok_ = false;
        return;
    }
    if (count <= bitsInByte_) {
        bitsInByte_ -= static_cast<int>(count);
        return;
    }
    count -= bitsInByte_;
    bitsInByte_ = 0;
    if (mode_ == Bytes::Plain) {
        const auto wholeBytes = static_cast<std::uint64_t>(count / 8);
        if (wholeBytes > bytesLeft()) {
            next_ = bytes_.size();
            ok_ = false;
            return;
        }
        next_ += static_cast<std::size_t>(wholeBytes);
        taken_ += static_cast<std::size_t>(wholeBytes);
        count %= 8;
        if (count > 0) bits(static_cast<int>(count));
        return;
    }
    // Emulation bytes must be seen one by one; the loop ends with the span.
    while (count >= 8 && ok_) {
        bits(8);
        count -= 8;
    }
    if (count > 0) bits(static_cast<int>(count));
}

std::size_t BitReader::payloadLength(std::span<const std::uint8_t> bytes, Bytes mode) {
    if (mode == Bytes::Plain) return bytes.size();
    std::size_t length = 0;
    int zeros = 0;
    for (const std::uint8_t b : bytes) {
        if (zeros >= 2 && b == 0x03) {
            zeros = 0;
            continue;
        }
        ++length;
        zeros = b == 0 ? zeros + 1 : 0;
    }
    return length;
}

std::uint32_t BitReader::unsignedExpGolomb() {
    int leadingZeros = 0;
    while (ok_ && !flag()) {
        if (++leadingZeros > 31) {
            ok_ = false;
            return 0;
        }
    }
    if (!ok_) return 0;
    const std::uint64_t value = (std::uint64_t{1} << leadingZeros) - 1 + bits(leadingZeros);
    return ok_ ? static_cast<std::uint32_t>(value) : 0;
}

std::int32_t BitReader::signedExpGolomb() {
    const std::uint32_t code = unsignedExpGolomb();
    // 1, 2, 3, 4 … stand for 1, -1, 2, -2 …
    const auto magnitude = static_cast<std::int64_t>((static_cast<std::uint64_t>(code) + 1) / 2);
    return static_cast<std::int32_t>(code % 2 == 1 ? magnitude : -magnitude);
}

void BitReader::alignToByte() { bitsInByte_ = 0; }

}  // namespace strovanik::bitstream
