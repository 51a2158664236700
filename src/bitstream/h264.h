#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>

#include "bitstream/stream_identity.h"

// H.264 (ITU-T H.264) in Annex B form, as AVI holds it: the parameter sets, the encoder's SEI
// and the start of each slice header. Each reader takes the payload of one NAL unit (the
// bytes after its header byte), emulation-prevention bytes still in it.
namespace strovanik::bitstream::h264 {

// nal_unit_type, table 7-1.
inline constexpr int kNonIdrSlice = 1;
inline constexpr int kIdrSlice = 5;
inline constexpr int kSei = 6;
inline constexpr int kSequenceParameterSet = 7;
inline constexpr int kPictureParameterSet = 8;

struct SequenceParameterSet {
    int profileIdc = 0;
    std::uint8_t constraintFlags = 0;  // constraint_set0_flag in the top bit
    int levelIdc = 0;
    int chromaFormatIdc = 1;  // 4:2:0 unless a high profile says otherwise
    bool separateColourPlanes = false;
    int bitDepthLuma = 8;
    int maxNumRefFrames = 0;
    bool frameMbsOnly = true;
    int width = 0;  // the picture after cropping
    int height = 0;
};

struct PictureParameterSet {
    bool entropyCodingModeFlag = false;  // CABAC
};

enum class SliceType { P = 0, B = 1, I = 2, Sp = 3, Si = 4 };

struct SliceStart {
    std::uint32_t firstMbInSlice = 0;
    SliceType type = SliceType::I;
};

// What the encoder's own user-data SEI says: its name and version, and its options.
struct EncoderSei {
    EncoderName encoder;
    std::optional<std::string> settings;
};

std::optional<SequenceParameterSet> readSequenceParameterSet(std::span<const std::uint8_t> payload);
std::optional<PictureParameterSet> readPictureParameterSet(std::span<const std::uint8_t> payload);
std::optional<SliceStart> readSliceStart(std::span<const std::uint8_t> payload);
// The first user_data_unregistered message of the SEI that carries x264's identifier.
std::optional<EncoderSei> readEncoderSei(std::span<const std::uint8_t> payload);

// "High@L3.1", "Constrained Baseline@L1b"; nothing for a profile_idc the standard does not have.
std::optional<std::string> profileAndLevelName(const SequenceParameterSet& sps);
// "4:2:0"
std::string chromaFormatName(int chromaFormatIdc);

// The identity of a stream whose first chunks are H.264; nothing when they are not.
std::optional<StreamIdentity> identify(const StreamPrefix& prefix);

}  // namespace strovanik::bitstream::h264
