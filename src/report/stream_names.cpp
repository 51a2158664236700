#include "report/stream_names.h"

#include <array>
#include <utility>

#include "report/number_text.h"

namespace strovanik::report {

namespace {

constexpr std::array<std::pair<std::string_view, std::string_view>, 10> kFormatNames = {{
    {"mpeg4-visual", "MPEG-4 Visual"},
    {"h264", "H.264"},
    {"mp1", "MPEG Audio Layer 1"},
    {"mp2", "MPEG Audio Layer 2"},
    {"mp3", "MPEG Audio Layer 3"},
    {"ac3", "AC-3"},
    {"eac3", "E-AC-3"},
    {"dts", "DTS"},
    {"aac", "AAC"},
    {"pcm", "PCM"},
}};

std::string videoText(const bitstream::StreamIdentity& id, bool english) {
    std::string text(formatDisplayName(id.format));
    if (id.profile) text += " " + *id.profile;
    std::string inBrackets;
    if (id.encoder) {
        inBrackets = id.encoder->name;
        if (!id.encoder->version.empty()) inBrackets += " " + id.encoder->version;
    }
    if (id.packedBitstream.value_or(false)) {
        inBrackets += std::string(inBrackets.empty() ? "" : ", ") + (english ? "packed" : "패킹");
    }
    if (!inBrackets.empty()) text += " (" + inBrackets + ")";
    return text;
}

std::string soundText(const bitstream::StreamIdentity& id, bool english) {
    std::string text = id.profile ? *id.profile : std::string(formatDisplayName(id.format));
    if (id.channelLayout) text += " " + *id.channelLayout;
    if (id.bitrateKbps) text += " " + patternForm(*id.bitrateKbps, "0") + " kb/s";
    if (id.bitrateMode) {
        const bool constant = *id.bitrateMode == bitstream::BitrateMode::Constant;
        text += english ? (constant ? " CBR" : " VBR") : (constant ? " 고정" : " 가변");
    }
    return text;
}

}  // namespace

bool isVideoFormat(std::string_view format) { return format == "mpeg4-visual" || format == "h264"; }

std::string_view formatDisplayName(std::string_view format) {
    for (const auto& [key, name] : kFormatNames) {
        if (key == format) return name;
    }
    return format;
}

std::string identityText(const bitstream::StreamIdentity& identity, bool english) {
    return isVideoFormat(identity.format) ? videoText(identity, english)
                                          : soundText(identity, english);
}

}  // namespace strovanik::report
