#include "bitstream/mpeg4_visual.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <string_view>

#include "bitstream/bit_reader.h"
#include "bitstream/longest_run.h"
#include "bitstream/start_code_scan.h"

namespace strovanik::bitstream::mpeg4 {

namespace {

// ---- Tables -------------------------------------------------------------------------------

struct ProfileLevel {
    std::uint8_t indication;
    std::string_view profile;
    std::string_view level;
};

// profile_and_level_indication, 14496-2 table G-1 with its amendments, named the way players
// and other tools name them.
constexpr std::array kProfileLevels = {
    ProfileLevel{0x01, "Simple", "L1"},
    ProfileLevel{0x02, "Simple", "L2"},
    ProfileLevel{0x03, "Simple", "L3"},
    ProfileLevel{0x04, "Simple", "L4a"},
    ProfileLevel{0x05, "Simple", "L5"},
    ProfileLevel{0x06, "Simple", "L6"},
    ProfileLevel{0x08, "Simple", "L0"},
    ProfileLevel{0x09, "Simple", "L0b"},
    ProfileLevel{0x10, "Simple Scalable", "L0"},
    ProfileLevel{0x11, "Simple Scalable", "L1"},
    ProfileLevel{0x12, "Simple Scalable", "L2"},
    ProfileLevel{0x21, "Core", "L1"},
    ProfileLevel{0x22, "Core", "L2"},
    ProfileLevel{0x32, "Main", "L2"},
    ProfileLevel{0x33, "Main", "L3"},
    ProfileLevel{0x34, "Main", "L4"},
    ProfileLevel{0x42, "N-bit", "L2"},
    ProfileLevel{0x51, "Scalable Texture", "L1"},
    ProfileLevel{0x61, "Simple Face Animation", "L1"},
    ProfileLevel{0x62, "Simple Face Animation", "L2"},
    ProfileLevel{0x63, "Simple FBA", "L1"},
    ProfileLevel{0x64, "Simple FBA", "L2"},
    ProfileLevel{0x71, "Basic Animated Texture", "L1"},
    ProfileLevel{0x72, "Basic Animated Texture", "L2"},
    ProfileLevel{0x81, "Hybrid", "L1"},
    ProfileLevel{0x82, "Hybrid", "L2"},
    ProfileLevel{0x91, "Advanced Real Time Simple", "L1"},
    ProfileLevel{0x92, "Advanced Real Time Simple", "L2"},
    ProfileLevel{0x93, "Advanced Real Time Simple", "L3"},
    ProfileLevel{0x94, "Advanced Real Time Simple", "L4"},
    ProfileLevel{0xA1, "Core Scalable", "L1"},
    ProfileLevel{0xA2, "Core Scalable", "L2"},
    ProfileLevel{0xA3, "Core Scalable", "L3"},
    ProfileLevel{0xB1, "Advanced Coding Efficiency", "L1"},
    ProfileLevel{0xB2, "Advanced Coding Efficiency", "L2"},
    ProfileLevel{0xB3, "Advanced Coding Efficiency", "L3"},
    ProfileLevel{0xB4, "Advanced Coding Efficiency", "L4"},
    ProfileLevel{0xC1, "Advanced Core", "L1"},
    ProfileLevel{0xC2, "Advanced Core", "L2"},
    ProfileLevel{0xD1, "Advanced Scalable Texture", "L1"},
    ProfileLevel{0xD2, "Advanced Scalable Texture", "L2"},
    ProfileLevel{0xD3, "Advanced Scalable Texture", "L3"},
    ProfileLevel{0xE1, "Simple Studio", "L1"},
    ProfileLevel{0xE2, "Simple Studio", "L2"},
    ProfileLevel{0xE3, "Simple Studio", "L3"},
    ProfileLevel{0xE4, "Simple Studio", "L4"},
    ProfileLevel{0xE5, "Core Studio", "L1"},
    ProfileLevel{0xE6, "Core Studio", "L2"},
    ProfileLevel{0xE7, "Core Studio", "L3"},
    ProfileLevel{0xE8, "Core Studio", "L4"},
    ProfileLevel{0xF0, "Advanced Simple", "L0"},
    ProfileLevel{0xF1, "Advanced Simple", "L1"},
    ProfileLevel{0xF2, "Advanced Simple", "L2"},
    ProfileLevel{0xF3, "Advanced Simple", "L3"},
    ProfileLevel{0xF4, "Advanced Simple", "L4"},
    ProfileLevel{0xF5, "Advanced Simple", "L5"},
    ProfileLevel{0xF7, "Advanced Simple", "L3b"},
    ProfileLevel{0xF8, "Fine Granularity Scalable", "L0"},
    ProfileLevel{0xF9, "Fine Granularity Scalable", "L1"},
    ProfileLevel{0xFA, "Fine Granularity Scalable", "L2"},
    ProfileLevel{0xFB, "Fine Granularity Scalable", "L3"},
    ProfileLevel{0xFC, "Fine Granularity Scalable", "L4"},
    ProfileLevel{0xFD, "Fine Granularity Scalable", "L5"},
};

// video_object_type_indication 1 to 18, 14496-2 table 6-10, by the profile of the same name.
constexpr std::array<std::string_view, 18> kObjectTypes = {
    "Simple",
    "Simple Scalable",
    "Core",
    "Main",
    "N-bit",
    "Basic Animated Texture",
    "Animated 2D Mesh",
    "Simple Face Animation",
    "Still Scalable Texture",
    "Advanced Real Time Simple",
    "Core Scalable",
    "Advanced Coding Efficiency",
    "Advanced Scalable Texture",
    "Simple FBA",
    "Simple Studio",
    "Core Studio",
    "Advanced Simple",
    "Fine Granularity Scalable",
};

constexpr int kRectangular = 0;
constexpr int kBinaryOnly = 2;
constexpr int kGrayscale = 3;
constexpr int kExtendedPar = 15;
// A gap of more than a minute between two pictures is no stream anyone wrote; the loop that
// counts whole seconds stops there instead of where a file's bits run out.
constexpr int kMaxModuloTimeBase = 60;
// A placeholder chunk of packed bitstream: a few bytes that stand for a frame sent earlier.
constexpr std::size_t kMaxPlaceholderBytes = 8;

// ---- Syntax structures --------------------------------------------------------------------

// Bits needed to count up to resolution - 1, at least one.
int bitsFor(std::uint32_t resolution) {
    int bits = 1;
    while (bits < 16 && (resolution - 1) >> bits != 0) ++bits;
    return bits;
}

// quant_matrix(): up to 64 values, ending early at a zero (the last value then fills the rest).
void skipQuantMatrix(BitReader& in) {
    for (int i = 0; i < 64 && in.ok(); ++i) {
        if (in.bits(8) == 0) break;
    }
}

void readVbvParameters(BitReader& in) {
    in.skip(15 + 1 + 15 + 1);  // bit rate, in two halves with markers
    in.skip(15 + 1 + 3);       // vbv_buffer_size
    in.skip(11 + 1 + 15 + 1);  // vbv_occupancy
}

// The sprite's warping points.
int readSpriteParameters(BitReader& in, SpriteMode sprite) {
    if (sprite != SpriteMode::Gmc) in.skip(4 * (13 + 1));  // size and place of a static sprite
    const auto warpingPoints = static_cast<int>(in.bits(6));
    in.skip(2 + 1);                             // sprite_warping_accuracy, sprite_brightness_change
    if (sprite != SpriteMode::Gmc) in.skip(1);  // low_latency_sprite_enable
    return warpingPoints;
}

// The fields after the shape's own ones: sprite, bit depth, quantisation, quarter-pel.
void readCodingTools(BitReader& in, VideoObjectLayer& layer) {
    const bool interlaced = in.flag();
    in.skip(1);  // obmc_disable
    const auto sprite = static_cast<SpriteMode>(in.bits(layer.verid == 1 ? 1 : 2));
    const int warpingPoints = sprite == SpriteMode::Static || sprite == SpriteMode::Gmc
                                  ? readSpriteParameters(in, sprite)
                                  : 0;
    if (!in.ok()) return;
    layer.interlaced = interlaced;
    layer.sprite = sprite;
    layer.warpingPoints = warpingPoints;
    if (layer.verid != 1 && layer.shape != kRectangular) in.skip(1);  // sadct_disable
    if (in.flag()) in.skip(4 + 4);  // not_8_bit: quant_precision, bits_per_pixel
    if (layer.shape == kGrayscale) in.skip(3);
    const bool mpegQuantisation = in.flag();
    if (mpegQuantisation) {
        if (in.flag()) skipQuantMatrix(in);  // load_intra_quant_mat
        if (in.flag()) skipQuantMatrix(in);  // load_nonintra_quant_mat
        // Grayscale layers go on with matrices for each auxiliary component: nothing needed
        // further on is worth reading through them.
        if (layer.shape == kGrayscale) {
            if (in.ok()) layer.mpegQuantisation = true;
            return;
        }
    }
    if (!in.ok()) return;
    layer.mpegQuantisation = mpegQuantisation;
    const bool quarterSample = layer.verid != 1 && in.flag();
    if (in.ok()) layer.quarterSample = quarterSample;
}

bool startsWith(std::string_view text, std::string_view prefix) {
    return text.substr(0, prefix.size()) == prefix;
}

// The digits at the start of `text`.
std::string_view leadingDigits(std::string_view text) {
    std::size_t n = 0;
    while (n < text.size() && std::isdigit(static_cast<unsigned char>(text[n]))) ++n;
    return text.substr(0, n);
}

// "0063" → "63"
std::string withoutLeadingZeros(std::string_view digits) {
    while (digits.size() > 1 && digits.front() == '0') digits.remove_prefix(1);
    return std::string(digits);
}

// DivX's "503" is 5.0.3: one digit a part.
std::string dottedDigits(std::string_view digits) {
    std::string version;
    for (char c : digits) {
        if (!version.empty()) version += '.';
        version += c;
    }
    return version;
}

// "DivX503b1393p", "DivX503Build1393p": version 5.0.3, build 1393, `p` for packed bitstream.
std::optional<EncoderName> divxName(std::string_view text) {
    std::string_view rest = text.substr(4);
    const std::string_view version = leadingDigits(rest);
    if (version.empty()) return std::nullopt;
    rest.remove_prefix(version.size());
    if (startsWith(rest, "Build")) {
        rest.remove_prefix(5);
    } else if (startsWith(rest, "b")) {
        rest.remove_prefix(1);
    } else {
        return std::nullopt;
    }
    const std::string_view build = leadingDigits(rest);
    if (build.empty()) return std::nullopt;
    return EncoderName{"DivX", dottedDigits(version) + " build " + std::string(build),
                       std::string(text)};
}

// "Lavc59.37.100": the version runs on as long as digits and dots do.
std::optional<EncoderName> libavcodecName(std::string_view text) {
    std::string_view rest = text.substr(4);
    std::size_t n = 0;
    while (n < rest.size() && (std::isdigit(static_cast<unsigned char>(rest[n])) || rest[n] == '.'))
        ++n;
    if (n == 0) return std::nullopt;
    return EncoderName{"libavcodec", std::string(rest.substr(0, n)), std::string(text)};
}

// Where the encoder's name counts for more than a compatibility string: Xvid and libavcodec
// write "DivX…" only to tell DivX's decoder about packed bitstream.
int rank(const EncoderName& encoder) { return encoder.name == "DivX" ? 1 : 2; }

}  // namespace

// ---- Headers ------------------------------------------------------------------------------

std::optional<std::uint8_t> readVisualObjectSequence(std::span<const std::uint8_t> payload) {
    if (payload.empty()) return std::nullopt;
    return payload[0];
}

std::optional<int> readVisualObject(std::span<const std::uint8_t> payload) {
    BitReader in(payload);
    int verid = 1;
    if (in.flag()) {  // is_visual_object_identifier
        verid = static_cast<int>(in.bits(4));
        in.skip(3);  // visual_object_priority
    }
    if (!in.ok()) return std::nullopt;
    return verid;
}

std::optional<VideoObjectLayer> readVideoObjectLayer(std::span<const std::uint8_t> payload,
                                                     int verid) {
    BitReader in(payload);
    VideoObjectLayer layer;
    layer.verid = verid;
    in.skip(1);  // random_accessible_vol
    layer.objectType = static_cast<int>(in.bits(8));
    if (in.flag()) {  // is_object_layer_identifier
        layer.verid = static_cast<int>(in.bits(4));
        in.skip(3);  // video_object_layer_priority
    }
    if (in.bits(4) == kExtendedPar) in.skip(8 + 8);  // aspect_ratio_info, par_width, par_height
    if (in.flag()) {                                 // vol_control_parameters
        in.skip(2 + 1);                              // chroma_format, low_delay
        if (in.flag()) readVbvParameters(in);
    }
    layer.shape = static_cast<int>(in.bits(2));
    if (layer.shape == kGrayscale && layer.verid != 1) in.skip(4);  // shape extension
    in.skip(1);
    const std::uint32_t resolution = in.bits(16);  // vop_time_increment_resolution
    in.skip(1);
    if (!in.ok() || resolution == 0) return std::nullopt;
    layer.timeIncrementBits = bitsFor(resolution);
    if (in.flag()) in.skip(layer.timeIncrementBits);  // fixed_vop_rate, fixed_vop_time_increment
    if (layer.shape != kBinaryOnly) {
        if (layer.shape == kRectangular) {
            in.skip(1);
            const auto width = static_cast<int>(in.bits(13));
            in.skip(1);
            const auto height = static_cast<int>(in.bits(13));
            in.skip(1);
            if (!in.ok()) return std::nullopt;
            layer.width = width;
            layer.height = height;
        }
        readCodingTools(in, layer);
    }
    // The fields read up to the size are the layer; what a cut header leaves unread stays unknown.
    return layer;
}

std::optional<VopHeader> readVop(std::span<const std::uint8_t> payload,
                                 const VideoObjectLayer* layer) {
    BitReader in(payload);
    VopHeader vop;
    vop.type = static_cast<VopType>(in.bits(2));
    if (!in.ok()) return std::nullopt;
    if (layer == nullptr) return vop;
    int seconds = 0;
    while (in.flag()) {  // modulo_time_base
        if (++seconds > kMaxModuloTimeBase) return vop;
    }
    in.skip(1);
    in.skip(layer->timeIncrementBits);  // vop_time_increment
    in.skip(1);
    const bool coded = in.flag();
    if (in.ok()) vop.coded = coded;
    return vop;
}

std::optional<EncoderName> encoderFromUserData(std::span<const std::uint8_t> payload) {
    // A printable string; the rest of the payload, if any, is not text.
    std::size_t n = 0;
    while (n < payload.size() && payload[n] >= 0x20 && payload[n] < 0x7F) ++n;
    const std::string_view text(reinterpret_cast<const char*>(payload.data()), n);
    if (startsWith(text, "XviD")) {
        const std::string_view build = leadingDigits(text.substr(4));
        if (build.empty()) return std::nullopt;
        return EncoderName{"Xvid", withoutLeadingZeros(build), std::string(text)};
    }
    if (startsWith(text, "DivX")) return divxName(text);
    if (startsWith(text, "Lavc")) return libavcodecName(text);
    return std::nullopt;
}

bool marksPackedBitstream(const EncoderName& encoder) {
    return encoder.name == "DivX" && encoder.text.ends_with('p');
}

std::optional<std::string> profileAndLevelName(std::uint8_t indication) {
    const auto* found =
        std::find_if(kProfileLevels.begin(), kProfileLevels.end(),
                     [indication](const ProfileLevel& p) { return p.indication == indication; });
    if (found == kProfileLevels.end()) return std::nullopt;
    return std::string(found->profile) + "@" + std::string(found->level);
}

std::optional<std::string> objectTypeName(int objectType) {
    if (objectType < 1 || objectType > static_cast<int>(kObjectTypes.size())) return std::nullopt;
    return std::string(kObjectTypes[static_cast<std::size_t>(objectType - 1)]);
}

// ---- The stream ---------------------------------------------------------------------------

namespace {

struct StreamState {
    std::optional<std::uint8_t> profileAndLevel;
    int verid = 1;
    std::optional<VideoObjectLayer> layer;
    std::optional<EncoderName> encoder;
    bool packedMark = false;
    // Codes that only MPEG-4 Visual has (its sequence, object and picture start codes), at
    // the start of a chunk, where a writer puts them, or anywhere.
    bool ownCodeAtChunkStart = false;
    bool ownCode = false;
    int framesRead = 0;
    LongestRun bRuns;  // B-frames, in decoding order
    bool sawTwoVopChunk = false;
    bool sawPlaceholderAfterIt = false;
};

void takeEncoder(StreamState& state, std::span<const std::uint8_t> payload) {
    auto encoder = encoderFromUserData(payload);
    if (!encoder) return;
    if (marksPackedBitstream(*encoder)) state.packedMark = true;
    if (!state.encoder || rank(*encoder) > rank(*state.encoder)) state.encoder = std::move(encoder);
}

void readChunk(StreamState& state, std::span<const std::uint8_t> chunk) {
    int codedVops = 0;
    bool uncodedVop = false;
    std::size_t from = 0;
    while (const auto unit = nextStartCodeUnit(chunk, from)) {
        const std::uint8_t code = unit->code;
        if (code == kVisualObjectSequence || code == kVisualObject || code == kVop) {
            state.ownCode = true;
            if (unit->offset == 0) state.ownCodeAtChunkStart = true;
        }
        if (code == kVisualObjectSequence) {
            state.profileAndLevel = readVisualObjectSequence(unit->payload);
        } else if (code == kVisualObject) {
            state.verid = readVisualObject(unit->payload).value_or(1);
        } else if (code >= kFirstObjectLayer && code <= kLastObjectLayer) {
            if (!state.layer) state.layer = readVideoObjectLayer(unit->payload, state.verid);
        } else if (code == kUserData && unit->ended) {
            // A string the span cuts short would name a build that does not exist.
            takeEncoder(state, unit->payload);
        } else if (code == kVop) {
            const auto vop = readVop(unit->payload, state.layer ? &*state.layer : nullptr);
            if (!vop) continue;
            if (vop->coded == false) {
                uncodedVop = true;
                continue;
            }
            ++codedVops;
            ++state.framesRead;
            state.bRuns.add(vop->type == VopType::B);
        }
    }
    const bool placeholder =
        codedVops == 0 && (uncodedVop || (!chunk.empty() && chunk.size() <= kMaxPlaceholderBytes));
    if (placeholder && state.sawTwoVopChunk) state.sawPlaceholderAfterIt = true;
    if (codedVops >= 2) state.sawTwoVopChunk = true;
}

}  // namespace

std::optional<StreamIdentity> identify(const StreamPrefix& prefix) {
    StreamState state;
    for (const auto chunk : prefix.chunks) readChunk(state, chunk);
    // H.264's NAL headers can look like object layer codes (20 to 2F), and any data may hold
    // a start code by chance: a layer counts only beside a code of MPEG-4 Visual's own.
    if (!state.ownCodeAtChunkStart && !(state.ownCode && state.layer)) return std::nullopt;

    StreamIdentity identity;
    identity.format = "mpeg4-visual";
    if (state.profileAndLevel) identity.profile = profileAndLevelName(*state.profileAndLevel);
    if (!identity.profile && state.layer)
        identity.profile = objectTypeName(state.layer->objectType);
    identity.encoder = state.encoder;
    identity.framesRead = state.framesRead;
    // Where B-frames were read, the chunks show whether they are packed; a DivX string's mark
    // says so only where they cannot. (ffmpeg's mpeg4_unpack_bframes clears the mark in the
    // first string only: Xvid repeats it at every key frame.)
    if (state.framesRead > 0) {
        identity.bFrames = state.bRuns.longest();
        identity.packedBitstream =
            identity.bFrames > 0 ? state.sawPlaceholderAfterIt : state.packedMark;
    } else if (state.packedMark) {
        identity.packedBitstream = true;
    }
    if (const auto& layer = state.layer) {
        identity.width = layer->width;
        identity.height = layer->height;
        identity.interlaced = layer->interlaced;
        if (layer->sprite)
            identity.gmcWarpPoints = *layer->sprite == SpriteMode::Gmc ? layer->warpingPoints : 0;
        identity.quarterPel = layer->quarterSample;
        identity.mpegQuantisation = layer->mpegQuantisation;
    }
    return identity;
}

}  // namespace strovanik::bitstream::mpeg4
