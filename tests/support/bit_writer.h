#pragma once

#include <cstdint>
#include <vector>

// Headers written bit by bit for the bitstream tests' edge cases, which no real encoder
// writes: reserved values, shapes and sizes beyond the usual.
namespace strovanik::testing {

class BitWriter {
public:
    // count may pass 32: the value's bits above its own width are zero.
    BitWriter& bits(std::uint64_t value, int count) {
        for (int i = count - 1; i >= 0; --i) bit(i < 64 ? static_cast<int>((value >> i) & 1) : 0);
        return *this;
    }
    BitWriter& flag(bool value) { return bits(value ? 1 : 0, 1); }
    // H.264's Exp-Golomb codes.
    BitWriter& ue(std::uint32_t value) {
        const std::uint64_t code = std::uint64_t{value} + 1;
        int length = 0;
        while ((code >> (length + 1)) != 0) ++length;
        bits(0, length);
        for (int i = length; i >= 0; --i) bit(static_cast<int>((code >> i) & 1));
        return *this;
    }
    BitWriter& se(std::int32_t value) {
        return ue(value > 0 ? static_cast<std::uint32_t>(value) * 2 - 1
                            : static_cast<std::uint32_t>(-static_cast<std::int64_t>(value)) * 2);
    }
    // The stop bit and zeros to the byte's end, as H.264 ends a NAL unit's payload.
    std::vector<std::uint8_t> trailing() {
        bit(1);
        return bytes();
    }
    std::vector<std::uint8_t> bytes() const { return bytes_; }

private:
    void bit(int value) {
        if (used_ % 8 == 0) bytes_.push_back(0);
        if (value != 0) bytes_.back() |= static_cast<std::uint8_t>(0x80 >> (used_ % 8));
        ++used_;
    }

    std::vector<std::uint8_t> bytes_;
    int used_ = 0;
};

// H.264's payload as a NAL unit holds it: a 03 after every two zero bytes that are followed by
// a byte up to 03, so that no start code appears inside.
inline std::vector<std::uint8_t> withEmulationPrevention(const std::vector<std::uint8_t>& payload) {
    std::vector<std::uint8_t> out;
    int zeros = 0;
    for (const std::uint8_t b : payload) {
        if (zeros >= 2 && b <= 3) {
            out.push_back(3);
            zeros = 0;
        }
        out.push_back(b);
        zeros = b == 0 ? zeros + 1 : 0;
    }
    return out;
}

}  // namespace strovanik::testing
