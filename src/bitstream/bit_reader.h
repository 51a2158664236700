#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

namespace strovanik::bitstream {

// Reads a run of bytes most significant bit first, the way video and sound headers are
// written. A read past the end returns zero and leaves the reader failed for good, so that a
// parser reads a whole syntax structure and asks ok() once where the answer matters, instead
// of after every field; nothing is ever read outside the span.
class BitReader {
public:
    enum class Bytes {
        Plain,
        // H.264 payload: a 03 after two zero bytes was put there by the writer so that the
        // payload never looks like a start code; it is dropped where the bytes are read, so a
        // parser never sees it.
        WithoutEmulationPrevention,
    };

    explicit BitReader(std::span<const std::uint8_t> bytes, Bytes mode = Bytes::Plain);

    // count from 0 to 32; zero past the end.
    std::uint32_t bits(int count);
    bool flag() { return bits(1) != 0; }
    void skip(std::int64_t count);
    // Exp-Golomb codes of H.264. More than 31 leading zeros are no value a parser needs; such a
    // code fails the reader rather than let a file choose how long the loop runs.
    std::uint32_t unsignedExpGolomb();
    std::int32_t signedExpGolomb();
    // Skips to the next byte boundary (nothing when already on one).
    void alignToByte();

    bool ok() const { return ok_; }
    bool byteAligned() const { return bitsInByte_ == 0; }
    // Whole bytes of the span not yet taken into the reader (emulation bytes included).
    std::size_t bytesLeft() const { return bytes_.size() - next_; }
    // Bytes of the payload taken into the reader so far, emulation bytes left out: what the
    // sizes that a payload gives of its own parts count.
    std::size_t payloadBytesTaken() const { return taken_; }
    // The length of `bytes` as a reader in `mode` reads them, emulation bytes left out.
    static std::size_t payloadLength(std::span<const std::uint8_t> bytes, Bytes mode);
    // Bits still to read, counting the emulation bytes ahead as data: exact for Plain.
    std::int64_t bitsLeft() const {
        return static_cast<std::int64_t>(bytesLeft()) * 8 + bitsInByte_;
    }

private:
    bool loadByte();

    std::span<const std::uint8_t> bytes_;
    Bytes mode_;
    std::size_t next_ = 0;     // the next byte of bytes_ to load
    std::uint8_t current_ = 0;  // the byte being read
    int bitsInByte_ = 0;        // bits of current_ not yet read
    int zeros_ = 0;             // zero bytes just loaded, for the emulation rule
    std::size_t taken_ = 0;     // bytes loaded or skipped, emulation bytes left out
    bool ok_ = true;
};

}  // namespace strovanik::bitstream
