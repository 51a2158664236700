#include "support/avi_writer.h"

#include "container/text_encoding.h"

#include <atomic>
#include <cctype>
#include <fstream>
#include <random>
#include <stdexcept>

namespace strovanik::testing {

namespace fs = std::filesystem;

Bytes le16(std::int16_t value) {
    const auto v = static_cast<std::uint16_t>(value);
    return {static_cast<std::uint8_t>(v & 0xFF), static_cast<std::uint8_t>(v >> 8)};
}

Bytes le32(std::int32_t value) {
    const auto v = static_cast<std::uint32_t>(value);
    return {static_cast<std::uint8_t>(v & 0xFF), static_cast<std::uint8_t>((v >> 8) & 0xFF),
            static_cast<std::uint8_t>((v >> 16) & 0xFF), static_cast<std::uint8_t>(v >> 24)};
}

Bytes code(std::string_view text) {
    Bytes b(4, 0);
    for (std::size_t i = 0; i < 4 && i < text.size(); ++i) b[i] = static_cast<std::uint8_t>(text[i]);
    return b;
}

Bytes concat(std::initializer_list<Bytes> parts) {
    Bytes out;
    for (const Bytes& part : parts) out.insert(out.end(), part.begin(), part.end());
    return out;
}

Bytes text(std::string_view bytes) { return Bytes(bytes.begin(), bytes.end()); }

Bytes chunk(std::string_view id, const Bytes& data) {
    Bytes out = concat({code(id), le32(static_cast<std::int32_t>(data.size())), data});
    if (data.size() % 2 != 0) out.push_back(0);
    return out;
}

Bytes list(std::string_view type, std::initializer_list<Bytes> children, std::string_view listId) {
    Bytes body = code(type);
    for (const Bytes& child : children) body.insert(body.end(), child.begin(), child.end());
    const auto size = static_cast<std::int32_t>(body.size());
    return concat({code(listId), le32(size), body});
}

Bytes nestedLists(std::string_view type, std::size_t depth, const Bytes& inside) {
    Bytes out;
    out.reserve(depth * 12 + inside.size());
    for (std::size_t level = 0; level < depth; ++level) {
        const std::size_t size = 4 + (depth - level - 1) * 12 + inside.size();
        const Bytes header =
            concat({code("LIST"), le32(static_cast<std::int32_t>(size)), code(type)});
        out.insert(out.end(), header.begin(), header.end());
    }
    out.insert(out.end(), inside.begin(), inside.end());
    return out;
}

Bytes riff(std::string_view formType, std::initializer_list<Bytes> children,
           std::optional<std::int32_t> declaredSize) {
    Bytes out = list(formType, children, "RIFF");
    if (declaredSize) {
        const Bytes size = le32(*declaredSize);
        std::copy(size.begin(), size.end(), out.begin() + 4);
    }
    return out;
}

Bytes mainHeaderData(const MainHeaderPlan& plan) {
    return concat({le32(plan.microSecPerFrame), le32(0), le32(0), le32(0x10), le32(plan.totalFrames),
                   le32(0), le32(plan.streams), le32(0x100000), le32(plan.width), le32(plan.height),
                   le32(0), le32(0), le32(0), le32(0)});
}

namespace {

std::string lowered(std::string_view text, bool lower) {
    std::string out(text);
    if (lower) {
        for (char& c : out) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    }
    return out;
}

Bytes streamHeaderData(std::string_view type, std::string_view handler, std::int32_t quality,
                       std::int32_t scale, std::int32_t rate, std::int32_t sampleSize) {
    return concat({code(type), code(handler), le32(0), le32(0), le32(0), le32(scale), le32(rate),
                   le32(0), le32(1000), le32(0x10000), le32(quality), le32(sampleSize), le32(0),
                   le32(0)});
}

}  // namespace

Bytes videoStreamList(const VideoPlan& plan, bool lowerCase) {
    const Bytes format = concat({le32(40), le32(plan.width), le32(plan.height), le16(1),
                                 le16(plan.bitCount), code(plan.compression), le32(0), le32(0),
                                 le32(0), le32(0), le32(0)});
    return list(lowered("strl", lowerCase),
                {chunk("strh", streamHeaderData(lowered("vids", lowerCase), plan.handler,
                                                plan.quality, 1, 25, 0)),
                 chunk("strf", format)});
}

Bytes audioStreamList(const AudioPlan& plan, bool lowerCase) {
    const Bytes format = concat({le16(plan.formatTag), le16(plan.channels), le32(plan.samplesPerSec),
                                 le32(plan.avgBytesPerSec), le16(plan.blockAlign), le16(16),
                                 le16(0)});
    return list(lowered("strl", lowerCase),
                {chunk("strh", streamHeaderData(lowered("auds", lowerCase), plan.handler, -1, 1,
                                                plan.avgBytesPerSec, 1)),
                 chunk("strf", format)});
}

Bytes odmlWithMakeInfo(std::string_view makeInfo) {
    return concat({list("odml", {chunk("dmlh", Bytes(248, 0))}), chunk("JUNK", text(makeInfo))});
}

Bytes buildAvi(const AviPlan& plan) {
    Bytes header = concat({code(lowered("hdrl", plan.lowerCase)), chunk("avih", mainHeaderData(plan.main))});
    auto add = [&header](const Bytes& part) { header.insert(header.end(), part.begin(), part.end()); };
    if (plan.video) add(videoStreamList(*plan.video, plan.lowerCase));
    for (const AudioPlan& audio : plan.audio) add(audioStreamList(audio, plan.lowerCase));
    if (plan.makeInfo) add(odmlWithMakeInfo(*plan.makeInfo));
    const Bytes hdrl = concat({code("LIST"), le32(static_cast<std::int32_t>(header.size())), header});

    const Bytes frames(plan.movieBytes, 0x5A);
    const Bytes movi = list(lowered("movi", plan.lowerCase), {chunk("00dc", frames)});
    const Bytes index = chunk("idx1", concat({code("00dc"), le32(0x10), le32(4),
                                             le32(static_cast<std::int32_t>(frames.size()))}));
    return riff("AVI ", {hdrl, movi, index}, plan.riffSize);
}

void writeFile(const fs::path& path, const Bytes& bytes, std::optional<std::uint64_t> sparseLength) {
    {
        std::ofstream out(path, std::ios::binary | std::ios::trunc);
        if (!out) throw std::runtime_error("cannot write " + path.string());
        out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    }
    if (sparseLength) fs::resize_file(path, *sparseLength);
}

TempFolder::TempFolder() {
    static std::atomic<unsigned> counter{0};
    std::random_device random;
    path_ = fs::temp_directory_path() /
            ("strovanik-test-" + std::to_string(random()) + "-" + std::to_string(counter++));
    fs::create_directories(path_);
}

fs::path TempFolder::operator/(std::string_view name) const {
    return path_ / container::pathFromUtf8(name);
}

TempFolder::~TempFolder() {
    std::error_code ignored;
    fs::permissions(path_, fs::perms::owner_all, fs::perm_options::add, ignored);
    fs::remove_all(path_, ignored);
}

Bytes readFile(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

}  // namespace strovanik::testing
