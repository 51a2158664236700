#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>

#include "bitstream/stream_identity.h"

// MPEG-4 Visual (ISO/IEC 14496-2): the headers that say what a stream is, each read from the
// payload of its start-code unit (the bytes after 00 00 01 and the code byte).
namespace strovanik::bitstream::mpeg4 {

// Start-code bytes, 14496-2 table 6-3.
inline constexpr std::uint8_t kVisualObjectSequence = 0xB0;
inline constexpr std::uint8_t kUserData = 0xB2;
inline constexpr std::uint8_t kVisualObject = 0xB5;
inline constexpr std::uint8_t kVop = 0xB6;
inline constexpr std::uint8_t kFirstObjectLayer = 0x20;
inline constexpr std::uint8_t kLastObjectLayer = 0x2F;

enum class SpriteMode { None = 0, Static = 1, Gmc = 2, Reserved = 3 };

struct VideoObjectLayer {
    int objectType = 0;  // video_object_type_indication
    int verid = 1;
    int shape = 0;  // 0 rectangular, 1 binary, 2 binary only, 3 grayscale
    int timeIncrementBits = 1;
    std::optional<int> width;  // rectangular shapes only
    std::optional<int> height;
    // The coding tools: unknown where a cut header ends before them.
    std::optional<bool> interlaced;
    std::optional<SpriteMode> sprite;
    int warpingPoints = 0;
    std::optional<bool> mpegQuantisation;
    std::optional<bool> quarterSample;
};

enum class VopType { I = 0, P = 1, B = 2, S = 3 };

struct VopHeader {
    VopType type = VopType::I;
    // A VOP without picture data ("N-VOP"): placeholders of packed bitstream, dropped frames.
    // Known only once the layer says how wide the time increment is.
    std::optional<bool> coded;
};

// visual_object_sequence(): the profile_and_level_indication.
std::optional<std::uint8_t> readVisualObjectSequence(std::span<const std::uint8_t> payload);
// visual_object(): the visual_object_verid it gives the layers after it (1 when it gives none).
std::optional<int> readVisualObject(std::span<const std::uint8_t> payload);
// video_object_layer(), up to quarter_sample. `verid` is the visual object's, which the layer
// keeps unless it names its own.
std::optional<VideoObjectLayer> readVideoObjectLayer(std::span<const std::uint8_t> payload,
                                                     int verid);
// The start of video_object_plane(): its coding type and, given the layer, vop_coded.
std::optional<VopHeader> readVop(std::span<const std::uint8_t> payload,
                                 const VideoObjectLayer* layer);
// The encoder that a user_data string names: Xvid, DivX (the `p` of packed bitstream is in
// `text`), libavcodec.
std::optional<EncoderName> encoderFromUserData(std::span<const std::uint8_t> payload);
// Whether a DivX user-data string carries the mark of packed bitstream.
bool marksPackedBitstream(const EncoderName& encoder);

// "Advanced Simple@L5" for profile_and_level_indication 0xF5; nothing for reserved values.
std::optional<std::string> profileAndLevelName(std::uint8_t indication);
// "Advanced Simple" for video_object_type_indication 0x11, for streams without a sequence header.
std::optional<std::string> objectTypeName(int objectType);

// The identity of a stream whose first chunks are MPEG-4 Visual; nothing when they are not.
std::optional<StreamIdentity> identify(const StreamPrefix& prefix);

}  // namespace strovanik::bitstream::mpeg4
