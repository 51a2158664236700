#include "bitstream/h264.h"

#include <algorithm>
#include <array>
#include <string_view>

#include "bitstream/bit_reader.h"
#include "bitstream/longest_run.h"
#include "bitstream/start_code_scan.h"

namespace strovanik::bitstream::h264 {

namespace {

// ---- Tables -------------------------------------------------------------------------------

struct ProfileName {
    int profileIdc;
    std::string_view name;
    // The name when constraint_set3_flag (intra profiles) or constraint_set1_flag (Constrained
    // Baseline) narrows the profile; empty when no flag does.
    std::string_view constrained;
    std::uint8_t constraintFlag;
};

constexpr std::uint8_t kConstraintSet1 = 0x40;
constexpr std::uint8_t kConstraintSet3 = 0x10;

// profile_idc, annex A and the scalable and multiview annexes.
constexpr std::array kProfiles = {
    ProfileName{66, "Baseline", "Constrained Baseline", kConstraintSet1},
    ProfileName{77, "Main", "", 0},
    ProfileName{88, "Extended", "", 0},
    ProfileName{100, "High", "", 0},
    ProfileName{110, "High 10", "High 10 Intra", kConstraintSet3},
    ProfileName{122, "High 4:2:2", "High 4:2:2 Intra", kConstraintSet3},
    ProfileName{244, "High 4:4:4 Predictive", "High 4:4:4 Intra", kConstraintSet3},
    ProfileName{44, "CAVLC 4:4:4 Intra", "", 0},
    ProfileName{83, "Scalable Baseline", "", 0},
    ProfileName{86, "Scalable High", "", 0},
    ProfileName{118, "Multiview High", "", 0},
    ProfileName{128, "Stereo High", "", 0},
    ProfileName{134, "MFC High", "", 0},
    ProfileName{135, "MFC Depth High", "", 0},
    ProfileName{138, "Multiview Depth High", "", 0},
    ProfileName{139, "Enhanced Multiview Depth High", "", 0},
};

// The profiles whose sequence parameter set names its chroma format, bit depth and scaling
// lists (7.3.2.1.1).
constexpr std::array kProfilesWithChromaFormat = {100, 110, 122, 244, 44,  83, 86,
                                                  118, 128, 138, 139, 134, 135};

constexpr std::array<std::string_view, 4> kChromaFormats = {"4:0:0", "4:2:0", "4:2:2", "4:4:4"};

// x264's user_data_unregistered identifier.
constexpr std::array<std::uint8_t, 16> kX264Uuid = {0xdc, 0x45, 0xe9, 0xbd, 0xe6, 0xd9, 0x48, 0xb7,
                                                    0x96, 0x2c, 0xd8, 0x20, 0xd9, 0x23, 0xee, 0xef};

constexpr int kUserDataUnregistered = 5;
constexpr int kMaxBitDepth = 14;
constexpr std::uint32_t kMaxRefFrames = 16;
constexpr std::uint32_t kMaxChromaFormatIdc = 3;
// Wider than any level allows (8192 luma samples), narrow enough for the sums below.
constexpr std::uint32_t kMaxMacroblocksAcross = 1024;
constexpr std::uint32_t kMaxPocCycle = 255;

// ---- Syntax structures --------------------------------------------------------------------

// scaling_list(): only read past. delta_scale is -128 to 127 in a real stream; a file may
// write any 32-bit value, so the sum is made in 64 bits.
void skipScalingList(BitReader& in, int size) {
    std::int64_t lastScale = 8;
    std::int64_t nextScale = 8;
    for (int j = 0; j < size && in.ok(); ++j) {
        if (nextScale != 0) nextScale = ((lastScale + in.signedExpGolomb()) % 256 + 256) % 256;
        lastScale = nextScale == 0 ? lastScale : nextScale;
    }
}

// The fields only the high profiles have: chroma format, bit depths and scaling lists.
bool readChromaFormatAndDepth(BitReader& in, SequenceParameterSet& sps) {
    const std::uint32_t chromaFormatIdc = in.unsignedExpGolomb();
    if (chromaFormatIdc > kMaxChromaFormatIdc) return false;
    sps.chromaFormatIdc = static_cast<int>(chromaFormatIdc);
    if (chromaFormatIdc == 3) sps.separateColourPlanes = in.flag();
    const std::uint32_t lumaMinus8 = in.unsignedExpGolomb();
    const std::uint32_t chromaMinus8 = in.unsignedExpGolomb();
    if (lumaMinus8 > kMaxBitDepth - 8 || chromaMinus8 > kMaxBitDepth - 8) return false;
    sps.bitDepthLuma = 8 + static_cast<int>(lumaMinus8);
    in.skip(1);       // qpprime_y_zero_transform_bypass_flag
    if (in.flag()) {  // seq_scaling_matrix_present_flag
        const int lists = chromaFormatIdc != 3 ? 8 : 12;
        for (int i = 0; i < lists && in.ok(); ++i) {
            if (in.flag()) skipScalingList(in, i < 6 ? 16 : 64);
        }
    }
    return in.ok();
}

bool readPicOrderCount(BitReader& in) {
    const std::uint32_t type = in.unsignedExpGolomb();
    if (type == 0) {
        in.unsignedExpGolomb();  // log2_max_pic_order_cnt_lsb_minus4
    } else if (type == 1) {
        in.skip(1);  // delta_pic_order_always_zero_flag
        in.signedExpGolomb();
        in.signedExpGolomb();
        const std::uint32_t cycle = in.unsignedExpGolomb();
        if (cycle > kMaxPocCycle) return false;
        for (std::uint32_t i = 0; i < cycle && in.ok(); ++i) in.signedExpGolomb();
    } else if (type > 2) {
        return false;
    }
    return in.ok();
}

// The picture's size from its macroblocks, less the cropping (7.4.2.1.1); a cropping that
// would leave nothing is ignored, as decoders do.
bool readSizeAndCropping(BitReader& in, SequenceParameterSet& sps) {
    const std::uint32_t widthMbs = in.unsignedExpGolomb() + 1;
    const std::uint32_t heightUnits = in.unsignedExpGolomb() + 1;
    sps.frameMbsOnly = in.flag();
    if (!sps.frameMbsOnly) in.skip(1);  // mb_adaptive_frame_field_flag
    in.skip(1);                         // direct_8x8_inference_flag
    if (!in.ok() || widthMbs > kMaxMacroblocksAcross || heightUnits > kMaxMacroblocksAcross)
        return false;
    const int frameHeightFactor = sps.frameMbsOnly ? 1 : 2;
    std::int64_t width = std::int64_t{widthMbs} * 16;
    std::int64_t height = std::int64_t{heightUnits} * 16 * frameHeightFactor;
    if (in.flag()) {  // frame_cropping_flag
        const std::int64_t left = in.unsignedExpGolomb();
        const std::int64_t right = in.unsignedExpGolomb();
        const std::int64_t top = in.unsignedExpGolomb();
        const std::int64_t bottom = in.unsignedExpGolomb();
        const int chromaArrayType = sps.separateColourPlanes ? 0 : sps.chromaFormatIdc;
        const int subWidth = chromaArrayType == 1 || chromaArrayType == 2 ? 2 : 1;
        const int subHeight = chromaArrayType == 1 ? 2 : 1;
        const std::int64_t cropX = (left + right) * subWidth;
        const std::int64_t cropY = (top + bottom) * subHeight * frameHeightFactor;
        if (cropX < width && cropY < height) {
            width -= cropX;
            height -= cropY;
        }
    }
    sps.width = static_cast<int>(width);
    sps.height = static_cast<int>(height);
    return in.ok();
}

bool printable(std::string_view text) {
    return std::all_of(text.begin(), text.end(), [](char c) { return c >= 0x20 && c < 0x7F; });
}

bool isDigit(char c) { return c >= '0' && c <= '9'; }
bool isAlnum(char c) { return isDigit(c) || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }

// "core 164 r3095 baee400 - …" → "core 164 r3095": the core's number and the revision; the
// revision's hash after them names no release.
std::optional<std::string> x264Version(std::string_view text) {
    constexpr std::string_view kCore = "core ";
    if (!text.starts_with(kCore)) return std::nullopt;
    std::size_t end = kCore.size();
    while (end < text.size() && isDigit(text[end])) ++end;
    if (end == kCore.size()) return std::nullopt;
    if (text.substr(end, 2) == " r" && end + 2 < text.size() && isDigit(text[end + 2])) {
        end += 2;
        while (end < text.size() && isAlnum(text[end])) ++end;  // r2345M: a modified build
    }
    return std::string(text.substr(0, end));
}

// A user_data_unregistered payload: the identifier, then the encoder's text up to its NUL.
std::optional<EncoderSei> readUserDataUnregistered(BitReader& in, std::uint32_t size) {
    if (size < kX264Uuid.size()) return std::nullopt;
    bool x264 = true;
    for (const std::uint8_t byte : kX264Uuid) x264 = in.bits(8) == byte && x264;
    if (!x264 || !in.ok()) return std::nullopt;
    std::string text;
    for (std::uint32_t i = kX264Uuid.size(); i < size && in.ok(); ++i) {
        const auto c = static_cast<char>(in.bits(8));
        if (c == '\0') break;
        text += c;
    }
    if (!in.ok() || !printable(text)) return std::nullopt;
    // "x264 - core 164 r3095 baee400 - H.264/MPEG-4 AVC codec - … - options: cabac=1 ref=3 …"
    constexpr std::string_view kLead = "x264 - ";
    constexpr std::string_view kOptions = " - options: ";
    if (!text.starts_with(kLead)) return std::nullopt;
    const auto version = x264Version(std::string_view(text).substr(kLead.size()));
    if (!version) return std::nullopt;
    EncoderSei sei{EncoderName{"x264", *version, text}, std::nullopt};
    if (const auto at = text.find(kOptions); at != std::string::npos)
        sei.settings = text.substr(at + kOptions.size());
    return sei;
}

// sei_message()'s type and size: bytes of 255 that add up, then the last byte (7.3.2.3.1).
// Each byte is read from the payload, so the loop ends with it.
std::uint32_t readSeiNumber(BitReader& in) {
    std::uint32_t value = 0;
    std::uint32_t byte = 0;
    while ((byte = in.bits(8)) == 0xFF && in.ok()) value += 255;
    return value + byte;
}

}  // namespace

// ---- NAL units ----------------------------------------------------------------------------

std::optional<SequenceParameterSet> readSequenceParameterSet(
    std::span<const std::uint8_t> payload) {
    BitReader in(payload, BitReader::Bytes::WithoutEmulationPrevention);
    SequenceParameterSet sps;
    sps.profileIdc = static_cast<int>(in.bits(8));
    sps.constraintFlags = static_cast<std::uint8_t>(in.bits(8));  // and reserved_zero_2bits
    sps.levelIdc = static_cast<int>(in.bits(8));
    in.unsignedExpGolomb();  // seq_parameter_set_id
    if (std::find(kProfilesWithChromaFormat.begin(), kProfilesWithChromaFormat.end(),
                  sps.profileIdc) != kProfilesWithChromaFormat.end() &&
        !readChromaFormatAndDepth(in, sps)) {
        return std::nullopt;
    }
    in.unsignedExpGolomb();  // log2_max_frame_num_minus4
    if (!readPicOrderCount(in)) return std::nullopt;
    const std::uint32_t refFrames = in.unsignedExpGolomb();
    if (refFrames > kMaxRefFrames) return std::nullopt;
    sps.maxNumRefFrames = static_cast<int>(refFrames);
    in.skip(1);  // gaps_in_frame_num_value_allowed_flag
    if (!readSizeAndCropping(in, sps)) return std::nullopt;
    return sps;
}

std::optional<PictureParameterSet> readPictureParameterSet(std::span<const std::uint8_t> payload) {
    BitReader in(payload, BitReader::Bytes::WithoutEmulationPrevention);
    in.unsignedExpGolomb();  // pic_parameter_set_id
    in.unsignedExpGolomb();  // seq_parameter_set_id
    PictureParameterSet pps;
    pps.entropyCodingModeFlag = in.flag();
    if (!in.ok()) return std::nullopt;
    return pps;
}

std::optional<SliceStart> readSliceStart(std::span<const std::uint8_t> payload) {
    BitReader in(payload, BitReader::Bytes::WithoutEmulationPrevention);
    SliceStart slice;
    slice.firstMbInSlice = in.unsignedExpGolomb();
    const std::uint32_t type = in.unsignedExpGolomb();
    if (!in.ok() || type > 9) return std::nullopt;
    slice.type = static_cast<SliceType>(type % 5);  // 5 to 9: every slice of the picture alike
    return slice;
}

std::optional<EncoderSei> readEncoderSei(std::span<const std::uint8_t> payload) {
    constexpr auto kMode = BitReader::Bytes::WithoutEmulationPrevention;
    BitReader in(payload, kMode);
    // Sizes count the payload's bytes, which the emulation bytes are not.
    const std::size_t length = BitReader::payloadLength(payload, kMode);
    const auto left = [&] { return length - in.payloadBytesTaken(); };
    // Each message takes at least two bytes; the last byte holds the stop bit.
    while (in.ok() && left() > 1) {
        const std::uint32_t type = readSeiNumber(in);
        const std::uint32_t size = readSeiNumber(in);
        // The size is a claim: a message that runs past the bytes there are is cut, and a cut
        // encoder string would name a build that does not exist.
        if (!in.ok() || size > left()) break;
        if (type == kUserDataUnregistered) {
            BitReader message(payload.subspan(payload.size() - in.bytesLeft()), kMode);
            if (auto sei = readUserDataUnregistered(message, size)) return sei;
        }
        in.skip(std::int64_t{size} * 8);
    }
    return std::nullopt;
}

std::optional<std::string> profileAndLevelName(const SequenceParameterSet& sps) {
    const auto* found =
        std::find_if(kProfiles.begin(), kProfiles.end(),
                     [&sps](const ProfileName& p) { return p.profileIdc == sps.profileIdc; });
    if (found == kProfiles.end()) return std::nullopt;
    const bool narrowed =
        found->constraintFlag != 0 && (sps.constraintFlags & found->constraintFlag);
    std::string name(narrowed ? found->constrained : found->name);
    // Level 1b: its own level_idc 9, or 11 with constraint_set3_flag in the profiles before High.
    const bool oneB = sps.levelIdc == 9 ||
                      (sps.levelIdc == 11 && (sps.constraintFlags & kConstraintSet3) &&
                       (sps.profileIdc == 66 || sps.profileIdc == 77 || sps.profileIdc == 88));
    std::string level = oneB ? "1b" : std::to_string(sps.levelIdc / 10);
    if (!oneB && sps.levelIdc % 10 != 0) level += "." + std::to_string(sps.levelIdc % 10);
    return name + "@L" + level;
}

std::string chromaFormatName(int chromaFormatIdc) {
    return std::string(kChromaFormats.at(static_cast<std::size_t>(chromaFormatIdc)));
}

// ---- The stream ---------------------------------------------------------------------------

std::optional<StreamIdentity> identify(const StreamPrefix& prefix) {
    std::optional<SequenceParameterSet> sps;
    std::optional<PictureParameterSet> pps;
    std::optional<EncoderSei> encoder;
    int pictures = 0;
    bool unitAtChunkStart = false;
    LongestRun bRuns;  // B-frames, in decoding order
    for (const auto chunk : prefix.chunks) {
        std::size_t from = 0;
        while (const auto unit = nextStartCodeUnit(chunk, from)) {
            if (unit->code & 0x80) continue;  // forbidden_zero_bit: no NAL unit
            // 00 00 01 or 00 00 00 01 at the very start
            if (unit->offset <= 1 && chunk[0] == 0) unitAtChunkStart = true;
            const int type = unit->code & 0x1F;
            if (type == kSequenceParameterSet && !sps) {
                sps = readSequenceParameterSet(unit->payload);
            } else if (type == kPictureParameterSet && !pps) {
                pps = readPictureParameterSet(unit->payload);
            } else if (type == kSei && !encoder) {
                encoder = readEncoderSei(unit->payload);
            } else if (type == kNonIdrSlice || type == kIdrSlice) {
                const auto slice = readSliceStart(unit->payload);
                // The first slice of each picture stands for the picture.
                if (!slice || slice->firstMbInSlice != 0) continue;
                ++pictures;
                bRuns.add(slice->type == SliceType::B);
            }
        }
    }
    // Any data may hold a start code by chance: a sequence parameter set of a real profile, or
    // pictures after a picture parameter set in chunks that begin with a start code, decide.
    const bool knownSps = sps && profileAndLevelName(*sps);
    if (!knownSps && !(pps && pictures > 0 && unitAtChunkStart)) return std::nullopt;
    if (!knownSps) sps.reset();

    StreamIdentity identity;
    identity.format = "h264";
    identity.framesRead = pictures;
    if (pictures > 0) identity.bFrames = bRuns.longest();
    if (encoder) {
        identity.encoder = encoder->encoder;
        identity.settings = encoder->settings;
    }
    if (pps) identity.cabac = pps->entropyCodingModeFlag;
    if (sps) {
        identity.profile = profileAndLevelName(*sps);
        identity.chromaFormat = chromaFormatName(sps->chromaFormatIdc);
        identity.bitDepth = sps->bitDepthLuma;
        identity.refFrames = sps->maxNumRefFrames;
        identity.interlaced = !sps->frameMbsOnly;
        identity.width = sps->width;
        identity.height = sps->height;
    }
    return identity;
}

}  // namespace strovanik::bitstream::h264
