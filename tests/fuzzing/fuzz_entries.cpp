#include "fuzzing/fuzz_entries.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <optional>
#include <span>
#include <sstream>
#include <string_view>
#include <vector>

#include "bitstream/read_spans.h"
#include "bitstream/start_code_scan.h"
#include "container/avi_header_scan.h"
#include "container/byte_source.h"
#include "container/chunk_reader.h"
#include "container/first_frames.h"
#include "container/movie_chunks.h"
#include "container/repair.h"
#include "container/riff_walk.h"
#include "container/structure_sample.h"
#include "report/analysis.h"
#include "report/derived_measures.h"
#include "report/number_text.h"
#include "support/allocation_peak.h"

namespace strovanik::fuzzing {

namespace {

using container::ByteSource;
using report::Outcome;
using report::ReportLayout;

constexpr std::int64_t kFourGiB = std::int64_t{1} << 32;
// The scan's reads end here at the latest: the last probe position and the record after it.
constexpr std::int64_t kScanReach = container::kScanLimit + 128;
// The longest read the odml branch's jumps make: a small block around the place it jumps to
// (1 KiB and room for the make-info text after it).
constexpr std::size_t kLongestJump = 1024 + 64;

// Keeps the first broken rule, with the part of the run it broke in; later ones add nothing.
class Findings {
public:
    void at(std::string_view where) { where_ = std::string(where); }
    void require(bool holds, std::string_view rule) {
        if (holds || !first_.empty()) return;
        first_ = where_.empty() ? std::string(rule) : where_ + ": " + std::string(rule);
    }
    std::string take() { return std::move(first_); }

private:
    std::string where_;
    std::string first_;
};

std::int64_t int64From(std::span<const std::uint8_t> bytes) {
    std::uint64_t v = 0;
    for (std::size_t i = 0; i < 8 && i < bytes.size(); ++i) v |= std::uint64_t{bytes[i]} << (8 * i);
    if (bytes.size() == 4) return static_cast<std::int32_t>(static_cast<std::uint32_t>(v));
    return static_cast<std::int64_t>(v);
}

bool isUtf8(std::string_view text) {
    std::size_t i = 0;
    while (i < text.size()) {
        const auto lead = static_cast<unsigned char>(text[i]);
        std::size_t length = 0;
        std::uint32_t code = 0;
        if (lead < 0x80) {
            length = 1;
            code = lead;
        } else if (lead >= 0xC2 && lead <= 0xDF) {
            length = 2;
            code = lead & 0x1F;
        } else if (lead >= 0xE0 && lead <= 0xEF) {
            length = 3;
            code = lead & 0x0F;
        } else if (lead >= 0xF0 && lead <= 0xF4) {
            length = 4;
            code = lead & 0x07;
        } else {
            return false;
        }
        if (i + length > text.size()) return false;
        for (std::size_t k = 1; k < length; ++k) {
            const auto next = static_cast<unsigned char>(text[i + k]);
            if ((next & 0xC0) != 0x80) return false;
            code = (code << 6) | (next & 0x3F);
        }
        const bool overlong = (length == 3 && code < 0x800) || (length == 4 && code < 0x10000);
        if (overlong || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF)) return false;
        i += length;
    }
    return true;
}

bool sameHeaders(const container::AviHeaderSet& a, const container::AviHeaderSet& b) {
    const auto mainBytes = [](const container::AviMainHeader& h) {
        return std::array<std::int32_t, 14>{h.dwMicroSecPerFrame,
                                            h.dwMaxBytesPerSec,
                                            h.dwPaddingGranularity,
                                            h.dwFlags,
                                            h.dwTotalFrames,
                                            h.dwInitialFrames,
                                            h.dwStreams,
                                            h.dwSuggestedBufferSize,
                                            h.dwWidth,
                                            h.dwHeight,
                                            h.dwReserved[0],
                                            h.dwReserved[1],
                                            h.dwReserved[2],
                                            h.dwReserved[3]};
    };
    const auto sameRecord = [](const container::AviStreamRecord& x,
                               const container::AviStreamRecord& y) {
        return std::equal(x.bytes().begin(), x.bytes().end(), y.bytes().begin());
    };
    return mainBytes(a.mainHeader) == mainBytes(b.mainHeader) &&
           sameRecord(a.videoStream, b.videoStream) && sameRecord(a.audioStream1, b.audioStream1) &&
           sameRecord(a.audioStream2, b.audioStream2) && a.makeInfo == b.makeInfo &&
           a.audioState == b.audioState;
}

bool sameRunTime(const std::optional<report::RunTime>& a, const std::optional<report::RunTime>& b) {
    if (a.has_value() != b.has_value()) return false;
    if (!a) return true;
    return a->runSeconds == b->runSeconds && a->runHours == b->runHours &&
           a->runMinutes == b->runMinutes && a->runRestSeconds == b->runRestSeconds;
}

// Everything an analysis found, compared across layouts and sources.
bool sameFindings(const Outcome& a, const Outcome& b) {
    if (a.status != b.status || a.kind != b.kind || a.riffSize != b.riffSize) return false;
    if (a.headers.has_value() != b.headers.has_value()) return false;
    if (a.headers && !sameHeaders(*a.headers, *b.headers)) return false;
    return sameRunTime(a.runTime, b.runTime) &&
           a.codecs.videoCodecText == b.codecs.videoCodecText &&
           a.codecs.audioCodecText1 == b.codecs.audioCodecText1 &&
           a.codecs.audioCodecText2 == b.codecs.audioCodecText2;
}

// The bytes of a file, handed out in slices of at most `slice` bytes, with every read noted;
// after `failAfter` reads (0: never) the next one fails as a broken device would.
class WatchedSource final : public ByteSource {
public:
    WatchedSource(std::span<const std::uint8_t> bytes, std::size_t slice, int failAfter)
        : bytes_(bytes), slice_(slice), failAfter_(failAfter) {}

    std::int64_t size() const override { return static_cast<std::int64_t>(bytes_.size()); }

    std::size_t readAt(std::int64_t offset, std::span<std::uint8_t> out) override {
        ++reads_;
        if (failAfter_ > 0 && reads_ > failAfter_) {
            failed_ = true;
            throw container::ReadError("the device stopped answering");
        }
        const auto end = offset + static_cast<std::int64_t>(out.size());
        if (offset < 0 || end > size()) outsideData_ = true;
        if (out.size() > kLongestJump && end > kScanReach) beyondReach_ = true;
        if (offset < 0 || offset >= size()) return 0;
        const auto start = static_cast<std::size_t>(offset);
        const std::size_t count = std::min({out.size(), slice_, bytes_.size() - start});
        std::memcpy(out.data(), bytes_.data() + start, count);
        bytesRead_ += static_cast<std::int64_t>(count);
        return count;
    }

    bool failed() const { return failed_; }
    bool outsideData() const { return outsideData_; }
    bool beyondReach() const { return beyondReach_; }
    std::int64_t bytesRead() const { return bytesRead_; }

private:
    std::span<const std::uint8_t> bytes_;
    std::size_t slice_;
    int failAfter_;
    int reads_ = 0;
    bool failed_ = false;
    bool outsideData_ = false;
    bool beyondReach_ = false;
    std::int64_t bytesRead_ = 0;
};

// The header scan done the plain way, one position at a time straight from the bytes, with
// every odml position worked out in 64 bits and checked against the signed 32-bit range. The
// real scan's blocks, look-ahead and jump blocks must find exactly what this finds.
class PlainScan {
public:
    explicit PlainScan(std::span<const std::uint8_t> file) : file_(file) {}

    std::optional<container::AviHeaderSet> run() const {
        container::AviHeaderSet headers;
        const std::int64_t last =
            std::min<std::int64_t>(container::kScanLimit, static_cast<std::int64_t>(file_.size()));
        for (std::int64_t p = 1; p <= last; ++p) {
            if (upperByte(at(p)) != 'L' || upperByte(at(p + 1)) != 'I' ||
                upperByte(at(p + 2)) != 'S' || upperByte(at(p + 3)) != 'T') {
                continue;
            }
            const std::string type = upper(code(p + 8));
            if (type == "HDRL") {
                std::array<std::uint8_t, container::AviMainHeader::kSize> main{};
                copy(p + 20, main);
                headers.mainHeader = container::AviMainHeader::fromBytes(main);
            } else if (type == "STRL") {
                std::array<std::uint8_t, container::AviStreamRecord::kSize> record{};
                copy(p + 20, record);
                const std::string stream = upper(code(p + 20));
                if (stream == "VIDS") {
                    headers.videoStream = container::AviStreamRecord(record);
                } else if (stream == "AUDS") {
                    if (headers.audioState == 1) {
                        headers.audioStream1 = container::AviStreamRecord(record);
                        headers.audioState = 3;
                    } else {
                        headers.audioStream2 = container::AviStreamRecord(record);
                        headers.audioState = 2;
                    }
                }
            } else if (type == "ODML") {
                if (!odml(p, headers)) return std::nullopt;
            } else if (type == "MOVI") {
                break;
            }
        }
        return headers;
    }

private:
    static bool fits(std::int64_t position) {
        return position >= 1 && position <= std::numeric_limits<std::int32_t>::max();
    }
    static bool fitsInt32(std::int64_t v) {
        return v >= std::numeric_limits<std::int32_t>::min() &&
               v <= std::numeric_limits<std::int32_t>::max();
    }

    bool odml(std::int64_t p, container::AviHeaderSet& headers) const {
        const std::int64_t size = int32At(p + 4);
        std::int64_t at = p + size + 8;
        if (!fits(at)) return false;
        std::string next = code(at);
        std::int64_t extra = 0;
        if (next == "LIST") {
            if (!fits(p + size + 12)) return false;
            extra = std::int64_t{int32At(p + size + 12)} + 8;
            if (!fitsInt32(extra)) return false;
            at = p + size + 8 + extra;
            if (!fits(at) || !fitsInt32(p + size) || !fitsInt32(p + size + 8)) return false;
            next = code(at);
        }
        if (next == "JUNK") {
            const std::int64_t dataAt = p + size + 16 + extra;
            if (!fits(dataAt) || !fitsInt32(p + size) || !fitsInt32(p + size + 16)) return false;
            copy(dataAt, headers.makeInfo);
        }
        return true;
    }

    // The byte at a 1-based position; zero outside the file.
    std::uint8_t at(std::int64_t position) const {
        const std::int64_t offset = position - 1;
        return offset >= 0 && offset < static_cast<std::int64_t>(file_.size())
                   ? file_[static_cast<std::size_t>(offset)]
                   : 0;
    }
    std::string code(std::int64_t position) const {
        std::string c(4, '\0');
        for (int i = 0; i < 4; ++i)
            c[static_cast<std::size_t>(i)] = static_cast<char>(at(position + i));
        return c;
    }
    static char upperByte(std::uint8_t b) {
        return static_cast<char>(b >= 'a' && b <= 'z' ? b - 'a' + 'A' : b);
    }
    static std::string upper(std::string c) {
        for (char& ch : c) ch = upperByte(static_cast<std::uint8_t>(ch));
        return c;
    }
    std::int32_t int32At(std::int64_t position) const {
        std::uint32_t v = 0;
        for (int i = 0; i < 4; ++i) v |= std::uint32_t{at(position + i)} << (8 * i);
        return static_cast<std::int32_t>(v);
    }
    template <std::size_t N>
    void copy(std::int64_t position, std::array<std::uint8_t, N>& out) const {
        for (std::size_t i = 0; i < N; ++i) out[i] = at(position + static_cast<std::int64_t>(i));
    }

    std::span<const std::uint8_t> file_;
};

void checkOutcome(const Outcome& o, std::span<const std::uint8_t> file, std::int64_t fileSize,
                  Findings& findings) {
    findings.require(o.status != Outcome::Status::Missing, "bytes in memory reported missing");
    if (o.status == Outcome::Status::Unreadable) return;
    std::array<std::uint8_t, 8> first{};
    std::copy_n(file.begin(), std::min(file.size(), first.size()), first.begin());
    findings.require(
        o.riffSize == static_cast<std::int32_t>(int64From(std::span(first).subspan(4))),
        "riffSize is not bytes 5 to 8");
    if (o.status == Outcome::Status::Refused) {
        findings.require(o.kind != container::ContainerKind::Avi, "an AVI file refused");
        findings.require(o.report.empty() && !o.headers, "a refused file has a report");
        return;
    }
    findings.require(o.kind == container::ContainerKind::Avi, "a report for a file not AVI");
    findings.require(o.report.find('\0') == std::string::npos, "a NUL in the report");
    findings.require(isUtf8(o.report), "the report is not UTF-8");
    if (o.complete) {
        findings.require(o.report.size() >= 2 && o.report.ends_with("\r\n"),
                         "a complete report does not end with a line end");
    } else {
        findings.require(!o.problem.empty(), "an incomplete report without a reason");
    }
    if (!o.headers || !o.runTime) {
        findings.require(o.report.empty() && !o.complete,
                         "a report although the scan gave up or the running time overflowed");
    }
    if (o.sizeMegabytes) {
        findings.require(*o.sizeMegabytes == static_cast<double>(fileSize) / 1024.0 / 1024.0,
                         "the size in megabytes is not the told size");
    }
}

}  // namespace

std::string analyseBytes(const std::uint8_t* data, std::size_t size) {
    std::span<const std::uint8_t> input(data, size);
    std::uint8_t control = 0;
    std::uint8_t sourceControl = 0;
    if (!input.empty()) {
        control = input.back();
        input = input.first(input.size() - 1);
    }
    if (!input.empty()) {
        sourceControl = input.back();
        input = input.first(input.size() - 1);
    }
    std::span<const std::uint8_t> file = input;
    const auto length = static_cast<std::int64_t>(file.size());
    std::int64_t fileSize = length;
    switch (control & 3) {
        case 0:
            break;
        case 1:
            fileSize = length + (((control >> 2) & 7) + 1) * kFourGiB;
            break;
        case 2:
            if (file.size() >= 8) {
                fileSize = int64From(file.last(8));
                file = file.first(file.size() - 8);
            }
            break;
        default:
            fileSize = 0;
            break;
    }
    static const std::array<std::string, 4> kNames = {"clip.avi", "가족 여행 (2003).avi", "",
                                                      std::string("a\0b.avi", 7)};
    const std::string& name = kNames[(control >> 5) & 3];

    Findings findings;
    const std::vector<std::uint8_t> bytes(file.begin(), file.end());
    const std::array<ReportLayout, 3> layouts = {
        ReportLayout::English, ReportLayout::KoreanDetailed, ReportLayout::KoreanBrief};
    std::array<Outcome, 3> outcomes;
    for (std::size_t i = 0; i < layouts.size(); ++i) {
        findings.at(report::reportLayoutName(layouts[i]));
        container::MemorySource source(bytes);
        outcomes[i] = report::analyse(source, {name, fileSize, layouts[i]});
        checkOutcome(outcomes[i], file, fileSize, findings);
        findings.require(outcomes[i].status != Outcome::Status::Unreadable,
                         "bytes in memory reported unreadable");
        findings.require(i == 0 || sameFindings(outcomes[i], outcomes[0]),
                         "the layouts disagree on what the file holds");
    }

    // The scan finds what the plain scan finds.
    if (outcomes[0].status == Outcome::Status::Reported) {
        findings.at("plain scan");
        const auto plainHeaders = PlainScan(file).run();
        findings.require(plainHeaders.has_value() == outcomes[0].headers.has_value(),
                         "the scan and the plain scan disagree on giving up");
        if (plainHeaders && outcomes[0].headers) {
            findings.require(sameHeaders(*plainHeaders, *outcomes[0].headers),
                             "the scan and the plain scan found other records");
        }
    }

    // The same bytes handed out in slices: the same outcome, read within the data and the
    // scan's reach.
    const ReportLayout layout = layouts[control % 3];
    const Outcome& plain = outcomes[control % 3];
    {
        findings.at("sliced source");
        // Slices no smaller than a thousandth of the file: a large input in single bytes would
        // spend the fuzzer's time on calls rather than on cases.
        const std::size_t slice =
            std::max(std::size_t{1} << (sourceControl & 15), file.size() / 1024);
        WatchedSource sliced(file, slice, 0);
        const Outcome o = report::analyse(sliced, {name, fileSize, layout});
        findings.require(
            sameFindings(o, plain) && o.report == plain.report && o.complete == plain.complete,
            "slices of the bytes give another outcome");
        findings.require(!sliced.outsideData(), "a read outside the data");
        findings.require(!sliced.beyondReach(), "a long read beyond the scan's reach");
        if (plain.status == Outcome::Status::Refused) {
            findings.require(sliced.bytesRead() <= 12, "more than twelve bytes read to refuse");
        }
    }
    // The inspection is made beside the report and leaves it as it is.
    if (plain.status == Outcome::Status::Reported) {
        findings.at("inspection");
        container::MemorySource source(bytes);
        const report::FileResult full = report::examine(source, {name, fileSize, layout, true});
        findings.require(full.outcome.report == plain.report && full.inspection.has_value(),
                         "the inspection changed the report or is missing");
    }
    // A device that fails part way: nothing half-done is shown as done.
    if (const int failAfter = sourceControl >> 4; failAfter > 0) {
        findings.at("failing source");
        WatchedSource failing(file, file.size() + 1, failAfter);
        const Outcome o = report::analyse(failing, {name, fileSize, layout});
        checkOutcome(o, file, fileSize, findings);
        if (!failing.failed()) {
            findings.require(o.report == plain.report && o.complete == plain.complete,
                             "a source that did not fail gives another outcome");
        } else if (o.status == Outcome::Status::Reported) {
            findings.require(o.report.empty() && !o.complete && !o.problem.empty(),
                             "a failed read left a report");
        } else {
            findings.require(o.status == Outcome::Status::Unreadable,
                             "a failed read of the first bytes is not unreadable");
        }
    }
    return findings.take();
}

namespace {

// What two walks of the same bytes must share.
bool sameWalk(const container::RiffWalk& a, const container::RiffWalk& b) {
    if (a.steps != b.steps || a.parts.size() != b.parts.size() || a.index != b.index ||
        a.trouble != b.trouble || a.troubleAt != b.troubleAt ||
        a.endsInsideChunk != b.endsInsideChunk || a.streams.size() != b.streams.size()) {
        return false;
    }
    for (std::size_t i = 0; i < a.streams.size(); ++i) {
        const auto& s = a.streams[i];
        const auto& t = b.streams[i];
        if (s.presentChunks != t.presentChunks || s.presentBytes != t.presentBytes ||
            s.indexedChunks != t.indexedChunks) {
            return false;
        }
    }
    return true;
}

// Each prefix within its bounds, every byte of it the file's own at the place it names: a sound
// chunk as it is, a video chunk as much of it as the parsers read.
void checkFirstFrames(const container::FirstFrames& frames, const container::RiffWalk& walk,
                      std::span<const std::uint8_t> file, Findings& findings) {
    using container::FirstFrames;
    findings.require(frames.headersSeen() <= FirstFrames::kMaxHeaders,
                     "more chunk headers looked at than the bound");
    for (std::size_t i = 0; i <= walk.streams.size(); ++i) {
        const auto& chunks = frames.prefix(i).chunks;
        const auto offsets = frames.offsets(i);
        const auto lengths = frames.lengths(i);
        findings.require(chunks.size() <= FirstFrames::kMaxChunks &&
                             chunks.size() == offsets.size() && chunks.size() == lengths.size(),
                         "more chunks than the bound");
        const bool video = i < walk.streams.size() && isVideoStream(walk.streams[i].record);
        std::int64_t bytes = 0;
        for (std::size_t c = 0; c < chunks.size() && c < offsets.size() && c < lengths.size();
             ++c) {
            const std::int64_t size = lengths[c];
            bytes += size;
            const bool inside = offsets[c] >= 0 && size >= 0 &&
                                size <= static_cast<std::int64_t>(file.size()) &&
                                offsets[c] <= static_cast<std::int64_t>(file.size()) - size;
            std::vector<std::uint8_t> expected;
            if (inside) {
                const auto read = file.subspan(static_cast<std::size_t>(offsets[c]),
                                               static_cast<std::size_t>(size));
                if (video) {
                    bitstream::appendReadPart(read, expected);
                } else {
                    expected.assign(read.begin(), read.end());
                }
            }
            findings.require(inside && std::equal(chunks[c].begin(), chunks[c].end(),
                                                  expected.begin(), expected.end()),
                             "a chunk's bytes are not the file's");
            findings.require(c == 0 || offsets[c] > offsets[c - 1], "chunks out of file order");
        }
        findings.require(bytes <= FirstFrames::kMaxBytes, "more bytes than the bound");
    }
}

}  // namespace

std::string walkBytes(const std::uint8_t* data, std::size_t size) {
    const std::span<const std::uint8_t> file(data, size);
    // Limits small enough that an input the fuzzer grows stays quick.
    const container::WalkLimits limits{200'000, 200'000};
    Findings findings;

    findings.at("walk");
    WatchedSource whole(file, file.size() + 1, 0);
    const container::RiffWalk walk = container::walkRiff(whole, limits);
    findings.require(!whole.outsideData(), "a read outside the data");
    findings.require(walk.steps <= limits.maxSteps + 1, "more steps than the limit");
    // Each step reads at most one block of chunk headers or of index entries.
    findings.require(whole.bytesRead() <= (walk.steps + 2) * (64 * 1024 + 1024),
                     "more bytes read than the steps explain");
    for (const auto& s : walk.streams) {
        findings.require(s.presentChunks >= 0 && s.firstRiffChunks <= s.presentChunks,
                         "chunk counts that cannot be");
        findings.require(!s.indexedChunks || *s.indexedChunks >= 0, "a negative index count");
    }

    findings.at("sliced walk");
    WatchedSource sliced(file, std::max<std::size_t>(7, file.size() / 512), 0);
    findings.require(sameWalk(container::walkRiff(sliced, limits), walk),
                     "slices of the bytes give another walk");

    findings.at("first frames");
    WatchedSource again(file, file.size() + 1, 0);
    const testing::AllocationPeak peak;
    container::ChunkReader reader(again, limits);
    const container::RiffWalk walked = container::walkRiff(reader);
    const container::FirstFrames frames = container::readFirstFrames(reader, walked);
    findings.require(!again.outsideData(), "a read outside the data");
    checkFirstFrames(frames, walked, file, findings);

    findings.at("inspection");
    const report::Inspection in = report::inspectWalk(walked, frames);
    // The walk, the first frames and the findings within the inspection's bound, where the
    // build counts the heap.
    findings.require(peak.peakAbove() <= container::kInspectionMemory,
                     "more memory held than the inspection's bound");
    findings.require(!testing::AllocationPeak::counted() || peak.peakAbove() >= 0,
                     "the heap is not counted");
    const bool cut = walk.isCut();
    findings.require((in.verdict == report::Verdict::Truncated) == cut,
                     "truncated is not what the sizes say");
    const bool notesOnly =
        std::all_of(in.findings.begin(), in.findings.end(),
                    [](const report::Finding& f) { return report::isNote(f.code); });
    findings.require((in.verdict == report::Verdict::Complete) == notesOnly,
                     "the verdict does not follow the findings");
    for (const report::Finding& f : in.findings) {
        findings.require(!f.english.empty() && isUtf8(f.english) && isUtf8(f.korean),
                         "a finding's sentence is empty or not UTF-8");
    }
    findings.require(std::isfinite(in.durationSeconds) && in.durationSeconds >= 0 &&
                         std::isfinite(in.playableSeconds) && in.playableSeconds >= 0,
                     "a duration that cannot be");
    findings.require(in.presentPercent >= 0 && in.presentPercent <= 100,
                     "a present share outside 0 to 100");
    if (in.writer) findings.require(isUtf8(*in.writer), "the writer's text is not UTF-8");
    return findings.take();
}

namespace {

// The sample as a file: the sink's writes laid over zeros, checked as they come.
class SampleImage final : public container::SampleSink {
public:
    explicit SampleImage(std::size_t length) : bytes_(length, 0) {}

    void write(std::int64_t offset, std::span<const std::uint8_t> bytes) override {
        const auto length = static_cast<std::int64_t>(bytes_.size());
        const auto count = static_cast<std::int64_t>(bytes.size());
        if (offset < written_ || count == 0 || count > length - offset) {
            disordered_ = true;
            return;
        }
        std::copy(bytes.begin(), bytes.end(), bytes_.begin() + offset);
        written_ = offset + count;
    }

    const std::vector<std::uint8_t>& bytes() const { return bytes_; }
    bool disordered() const { return disordered_; }

private:
    std::vector<std::uint8_t> bytes_;
    std::int64_t written_ = 0;
    bool disordered_ = false;
};

// What the walk of a file's structure and its movie lists sees: the sample must show the same.
struct WalkedShape {
    container::RiffWalk walk;
    std::vector<container::MovieChunk> chunks;  // up to the first trouble
    container::WalkTrouble trouble = container::WalkTrouble::None;
    std::int64_t troubleAt = 0;
};

WalkedShape shapeOf(const std::vector<std::uint8_t>& bytes) {
    container::MemorySource source(bytes);
    container::ChunkReader reader(source, {});
    WalkedShape shape{container::walkStructure(reader), {}, {}, {}};
    container::MovieChunks chunks(reader, shape.walk.movieLists);
    while (const auto chunk = chunks.next()) {
        if (chunks.trouble() != container::WalkTrouble::None) break;
        shape.chunks.push_back(*chunk);
    }
    shape.trouble = chunks.trouble();
    shape.troubleAt = chunks.troubleAt();
    return shape;
}

bool sameShape(const WalkedShape& a, const WalkedShape& b) {
    const auto sameChunk = [](const container::MovieChunk& x, const container::MovieChunk& y) {
        return x.id == y.id && x.dataAt == y.dataAt && x.size == y.size;
    };
    const auto sameStream = [](const container::WalkedStream& x, const container::WalkedStream& y) {
        return std::equal(x.record.bytes().begin(), x.record.bytes().end(),
                          y.record.bytes().begin());
    };
    return a.walk.parts.size() == b.walk.parts.size() &&
           a.walk.movieLists.size() == b.walk.movieLists.size() &&
           a.walk.trouble == b.walk.trouble && a.walk.troubleAt == b.walk.troubleAt &&
           a.walk.infoTexts == b.walk.infoTexts &&
           std::equal(a.walk.streams.begin(), a.walk.streams.end(), b.walk.streams.begin(),
                      b.walk.streams.end(), sameStream) &&
           std::equal(a.chunks.begin(), a.chunks.end(), b.chunks.begin(), b.chunks.end(),
                      sameChunk) &&
           a.trouble == b.trouble && a.troubleAt == b.troubleAt;
}

}  // namespace

std::string sampleBytes(const std::uint8_t* data, std::size_t size) {
    const std::vector<std::uint8_t> file(data, data + size);
    Findings findings;

    findings.at("sample");
    container::MemorySource source(file);
    SampleImage image(size);
    const testing::AllocationPeak peak;
    const container::SampleOutcome outcome = container::writeStructureSample(source, image);
    findings.require(peak.peakAbove() <= container::kInspectionMemory,
                     "more memory held than the inspection's bound");
    findings.require(!testing::AllocationPeak::counted() || peak.peakAbove() >= 0,
                     "the heap is not counted");
    const std::vector<std::uint8_t>& sample = image.bytes();
    findings.require(!image.disordered(), "a write out of order, empty or past the end");
    findings.require(outcome.length == static_cast<std::int64_t>(size),
                     "the sample's length is not the file's");
    std::int64_t zeroed = 0;
    for (std::size_t i = 0; i < size; ++i) {
        findings.require(sample[i] == 0 || sample[i] == file[i],
                         "a byte that is neither the file's nor zero");
        if (sample[i] != file[i]) ++zeroed;
    }
    findings.require(zeroed <= outcome.droppedBytes, "more bytes made zero than were dropped");
    if (outcome.keptAsItIsFrom) {
        const auto from = static_cast<std::size_t>(
            std::clamp<std::int64_t>(*outcome.keptAsItIsFrom, 0, static_cast<std::int64_t>(size)));
        findings.require(std::equal(file.begin() + static_cast<std::ptrdiff_t>(from), file.end(),
                                    sample.begin() + static_cast<std::ptrdiff_t>(from)),
                         "the bytes past where the walk lost its way are not the file's");
    }

    findings.at("structure");
    const WalkedShape original = shapeOf(file);
    findings.require(sameShape(shapeOf(sample), original),
                     "the sample's structure is not the file's");
    const bool lost = original.walk.trouble != container::WalkTrouble::None ||
                      original.trouble != container::WalkTrouble::None;
    findings.require(lost == outcome.keptAsItIsFrom.has_value(),
                     "the sample keeps the file as it is although the walk found its way, or not "
                     "although it lost it");
    // Of the data of any stream but start-code video, before the place where the walk lost its
    // way, no more is left than the frame headers of a stream's first chunks, within their
    // bounds, and its encoder's tag.
    struct Left {
        std::int64_t chunks = 0;
        std::int64_t pastChunkBounds = 0;
    };
    std::vector<Left> left(100);  // by stream number, which has two digits
    for (const container::MovieChunk& chunk : original.chunks) {
        if (!chunk.stream) continue;
        if (outcome.keptAsItIsFrom && chunk.dataAt + chunk.presentSize > *outcome.keptAsItIsFrom) {
            break;
        }
        const auto number = static_cast<std::size_t>(*chunk.stream);
        const bool video = number < original.walk.streams.size() &&
                           container::upperCased(original.walk.streams[number].record.fccType()) ==
                               container::fourCc("VIDS");
        if (video) continue;
        const auto begin = sample.begin() + static_cast<std::ptrdiff_t>(chunk.dataAt);
        const std::int64_t kept =
            std::count_if(begin, begin + static_cast<std::ptrdiff_t>(chunk.presentSize),
                          [](std::uint8_t b) { return b != 0; });
        if (kept == 0) continue;
        Left& stream = left.at(number);
        ++stream.chunks;
        stream.pastChunkBounds +=
            std::max<std::int64_t>(0, kept - std::max(container::kMaxHeaderBytes,
                                                      chunk.presentSize / container::kHeaderShare));
    }
    for (const Left& stream : left) {
        findings.require(
            stream.chunks <= static_cast<std::int64_t>(container::FirstFrames::kMaxChunks) &&
                stream.pastChunkBounds <= static_cast<std::int64_t>(bitstream::kMaxEncoderTagBytes),
            "more data of a stream that is not video left in the sample than its "
            "first chunks' headers");
    }
    return findings.take();
}

namespace {

// Reads the fields of the number-form input from the front; missing bytes are zero.
class FieldReader {
public:
    explicit FieldReader(std::span<const std::uint8_t> bytes) : bytes_(bytes) {}
    template <typename T>
    T next() {
        std::array<std::uint8_t, sizeof(T)> raw{};
        const std::size_t n = std::min(raw.size(), bytes_.size());
        std::copy_n(bytes_.begin(), n, raw.begin());
        bytes_ = bytes_.subspan(n);
        T value;
        std::memcpy(&value, raw.data(), sizeof(T));
        return value;
    }
    std::span<const std::uint8_t> rest() const { return bytes_; }

private:
    std::span<const std::uint8_t> bytes_;
};

struct PatternShape {
    std::string_view pattern;
    std::string_view suffix;
    int decimals;
    int minIntegerDigits;
    bool grouped;
};

// Every pattern the reports use, and what it promises.
constexpr std::array<PatternShape, 9> kReportPatterns = {{
    {"0.00 ", " ", 2, 1, false},
    {"00.0 ", " ", 1, 2, false},
    {"#### ", " ", 0, 0, false},
    {"###,###,###", "", 0, 0, true},
    {"##,###,###,###", "", 0, 0, true},
    {"0.00", "", 2, 1, false},
    {"0.000", "", 3, 1, false},
    {"0", "", 0, 1, false},
    {"##,##0", "", 0, 1, true},
}};

struct ShapedNumber {
    bool negative = false;
    std::string integerDigits;
    std::string fraction;
    bool pointSeen = false;
};

// Takes a pattern form apart, checking its shape; nothing when the shape is wrong.
std::optional<ShapedNumber> readShaped(std::string_view text, const PatternShape& shape) {
    if (!text.ends_with(shape.suffix)) return std::nullopt;
    text.remove_suffix(shape.suffix.size());
    ShapedNumber n;
    if (text.starts_with('-')) {
        n.negative = true;
        text.remove_prefix(1);
    }
    const std::size_t point = text.find('.');
    std::string_view integer = text.substr(0, point);
    if (point != std::string_view::npos) {
        n.pointSeen = true;
        n.fraction = std::string(text.substr(point + 1));
    }
    // Groups of three digits from the right, separated by commas, when the pattern groups.
    std::size_t sinceComma = 0;
    for (std::size_t i = integer.size(); i-- > 0;) {
        const char c = integer[i];
        if (c == ',') {
            if (!shape.grouped || sinceComma != 3 || i == 0) return std::nullopt;
            sinceComma = 0;
            continue;
        }
        if (c < '0' || c > '9') return std::nullopt;
        ++sinceComma;
        n.integerDigits.insert(n.integerDigits.begin(), c);
    }
    if (shape.grouped && integer.find(',') == std::string_view::npos &&
        n.integerDigits.size() > 3) {
        return std::nullopt;
    }
    for (const char c : n.fraction) {
        if (c < '0' || c > '9') return std::nullopt;
    }
    if (n.pointSeen != (shape.decimals > 0)) return std::nullopt;
    if (static_cast<int>(n.fraction.size()) != shape.decimals) return std::nullopt;
    if (static_cast<int>(n.integerDigits.size()) < shape.minIntegerDigits) return std::nullopt;
    if (n.integerDigits.size() > 1 && n.integerDigits.front() == '0' &&
        static_cast<int>(n.integerDigits.size()) > shape.minIntegerDigits) {
        return std::nullopt;  // a leading zero the pattern does not ask for
    }
    return n;
}

long double valueOf(const ShapedNumber& n) {
    std::string text = n.integerDigits.empty() ? "0" : n.integerDigits;
    if (!n.fraction.empty()) text += "." + n.fraction;
    const long double magnitude = std::strtold(text.c_str(), nullptr);
    return n.negative ? -magnitude : magnitude;
}

void checkPatternOfDouble(double value, const PatternShape& shape, Findings& findings) {
    const std::string text = report::patternForm(value, shape.pattern);
    if (!std::isfinite(value)) return;  // shown as zero; only its survival matters
    const auto shaped = readShaped(text, shape);
    findings.require(shaped.has_value(), "a pattern form out of shape");
    if (!shaped) return;
    const long double shown = valueOf(*shaped);
    const long double step = std::pow(10.0L, -shape.decimals);
    const long double allowed =
        step / 2 * (1 + 1e-9L) + std::fabs(static_cast<long double>(value)) * 1e-14L;
    findings.require(std::fabs(shown - value) <= allowed, "a pattern form far from its value");
    if (shown != 0) findings.require(shaped->negative == (value < 0), "a pattern form's sign");
}

void checkPatternOfInteger(std::int64_t value, const PatternShape& shape, Findings& findings) {
    const std::string text = report::patternForm(value, shape.pattern);
    const auto shaped = readShaped(text, shape);
    findings.require(shaped.has_value(), "a whole-number pattern form out of shape");
    if (!shaped) return;
    const std::uint64_t magnitude =
        value < 0 ? 0 - static_cast<std::uint64_t>(value) : static_cast<std::uint64_t>(value);
    std::string expected = magnitude == 0 ? std::string() : std::to_string(magnitude);
    if (static_cast<int>(expected.size()) < shape.minIntegerDigits) {
        expected.insert(0, static_cast<std::size_t>(shape.minIntegerDigits) - expected.size(), '0');
    }
    findings.require(shaped->integerDigits == expected, "a whole number shown with other digits");
    findings.require(shaped->negative == (value < 0), "a whole number shown with the wrong sign");
    findings.require(shaped->fraction.find_first_not_of('0') == std::string::npos,
                     "a whole number shown with a fraction");
}

template <typename Integer>
void checkRoundTrip(std::string_view text, Integer value, bool spaced, Findings& findings) {
    if (spaced) {
        findings.require(text.starts_with(value < 0 ? "-" : " "),
                         "a spaced form's first character");
        if (value >= 0) text.remove_prefix(1);
    }
    Integer back{};
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), back);
    findings.require(error == std::errc() && end == text.data() + text.size() && back == value,
                     "a number form does not read back as its value");
}

void checkRunTime(std::int32_t microSecPerFrame, std::int32_t totalFrames, Findings& findings) {
    container::AviMainHeader header;
    header.dwMicroSecPerFrame = microSecPerFrame;
    header.dwTotalFrames = totalFrames;
    const long double exact = static_cast<long double>(microSecPerFrame) * totalFrames / 1'000'000;
    try {
        const report::RunTime t = report::computeRunTime(header);
        findings.require(std::fabs(exact) < 2'147'483'649.0L, "a running time beyond 32 bits");
        findings.require(std::fabs(t.runSeconds - exact) <= 0.5L + 1e-9L * std::fabs(exact),
                         "a running time far from frame time times frames");
        findings.require(
            std::int64_t{t.runHours} * 3600 + t.runMinutes * 60 + t.runRestSeconds == t.runSeconds,
            "hours, minutes and seconds do not add up");
        findings.require(std::abs(t.runMinutes) < 60 && std::abs(t.runRestSeconds) < 60,
                         "sixty minutes or seconds or more");
    } catch (const report::FigureError&) {
        findings.require(std::fabs(exact) > 2'147'483'646.0L, "a running time refused that fits");
    }
}

void checkSizeText(const container::AviHeaderSet& headers, std::int64_t fileSize,
                   std::int32_t riffSize, const report::RunTime& runTime, Findings& findings) {
    const report::DerivedMeasures measures(headers, fileSize, riffSize, runTime);
    const std::string text = measures.sizeMegabytesText();
    if (fileSize < 0) return;  // no file has a negative length; only its survival matters
    const double mb = measures.sizeMegabytes();
    const PatternShape& shape = mb < 10    ? kReportPatterns[0]
                                : mb < 100 ? kReportPatterns[1]
                                           : kReportPatterns[2];
    const auto shaped = readShaped(text, shape);
    findings.require(shaped.has_value() && !shaped->negative, "the size text out of shape");
    if (!shaped) return;
    const long double shown = valueOf(*shaped);
    const long double step = std::pow(10.0L, -shape.decimals);
    // Cut down, never rounded up: the text never claims more than the file holds.
    findings.require(shown <= mb * (1 + 1e-15L) && shown > mb - step - mb * 1e-14L,
                     "the size text is not the size cut to its band");
}

// A figure either fails as a figure or is a finite number that its pattern can show.
template <typename Figure>
void checkFigure(Figure figure, const PatternShape& shape, Findings& findings) {
    try {
        const double value = figure();
        findings.require(std::isfinite(value), "a figure that is not a finite number");
        checkPatternOfDouble(value, shape, findings);
    } catch (const report::FigureError&) {
    }
}

}  // namespace

std::string shapeNumbers(const std::uint8_t* data, std::size_t size) {
    FieldReader fields(std::span<const std::uint8_t>(data, size));
    const auto whole = fields.next<std::int64_t>();
    const auto real = fields.next<double>();
    const auto microSecPerFrame = fields.next<std::int32_t>();
    const auto totalFrames = fields.next<std::int32_t>();
    const auto fileSize = fields.next<std::int64_t>();
    const auto riffSize = fields.next<std::int32_t>();
    const auto width = fields.next<std::int32_t>();
    const auto height = fields.next<std::int32_t>();
    const auto avgBytesPerSec = fields.next<std::int32_t>();
    const auto blockAlign = fields.next<std::int16_t>();
    const auto channels = fields.next<std::int16_t>();
    const std::span<const std::uint8_t> rest = fields.rest();
    const std::string_view ownPattern(reinterpret_cast<const char*>(rest.data()), rest.size());

    Findings findings;
    findings.at("spaced and plain forms");
    checkRoundTrip(report::spacedForm(whole), whole, true, findings);
    checkRoundTrip(report::plainForm(whole), whole, false, findings);
    {
        const std::string text = report::spacedForm(real);
        if (std::isfinite(real)) {
            // Read back wider: fifteen digits of the largest double lie beyond it.
            const long double back = std::strtold(text.c_str(), nullptr);
            findings.require(std::fabs(back - real) <= std::fabs(real) * 1e-14L,
                             "a spaced decimal does not read back as its value");
            if (real != 0)
                findings.require(text.starts_with(real < 0 ? "-" : " "), "a spaced decimal's sign");
        }
    }
    for (const PatternShape& shape : kReportPatterns) {
        findings.at(shape.pattern);
        checkPatternOfDouble(real, shape, findings);
        checkPatternOfDouble(static_cast<double>(whole), shape, findings);
        if (shape.decimals == 0) checkPatternOfInteger(whole, shape, findings);
    }
    // A pattern of the input's own: whatever it holds, the form is made and stays in bounds.
    {
        findings.at("own pattern");
        const std::string text = report::patternForm(real, ownPattern);
        findings.require(text.size() <= ownPattern.size() * 2 + 700,
                         "a pattern form grew without end");
        const std::string wholeText = report::patternForm(whole, ownPattern);
        findings.require(wholeText.size() <= ownPattern.size() * 2 + 40,
                         "a whole-number pattern form grew without end");
    }

    findings.at("running time");
    checkRunTime(microSecPerFrame, totalFrames, findings);

    container::AviHeaderSet headers;
    headers.mainHeader.dwMicroSecPerFrame = microSecPerFrame;
    headers.mainHeader.dwTotalFrames = totalFrames;
    headers.mainHeader.dwWidth = width;
    headers.mainHeader.dwHeight = height;
    std::array<std::uint8_t, container::AviStreamRecord::kSize> audio{};
    std::memcpy(audio.data(), "auds", 4);
    std::memcpy(audio.data() + 66, &channels, 2);
    std::memcpy(audio.data() + 72, &avgBytesPerSec, 4);
    std::memcpy(audio.data() + 76, &blockAlign, 2);
    headers.audioStream1 = container::AviStreamRecord(audio);
    headers.audioStream2 = headers.audioStream1;
    headers.audioState = static_cast<std::int16_t>((channels & 1) != 0 ? 2 : 3);

    report::RunTime runTime;
    try {
        runTime = report::computeRunTime(headers.mainHeader);
    } catch (const report::FigureError&) {
        runTime.runSeconds = static_cast<std::int32_t>(whole);
    }
    findings.at("size text");
    checkSizeText(headers, fileSize, riffSize, runTime, findings);
    findings.at("figures");
    const report::DerivedMeasures m(headers, fileSize, riffSize, runTime);
    checkFigure([&] { return m.totalRate(); }, kReportPatterns[7], findings);
    checkFigure([&] { return m.framesPerSecond(); }, kReportPatterns[6], findings);
    checkFigure([&] { return m.pictureRatio(); }, kReportPatterns[5], findings);
    checkFigure([&] { return m.videoBitrate(); }, kReportPatterns[8], findings);
    checkFigure([&] { return report::DerivedMeasures::audioBitrate(headers.audioStream1); },
                kReportPatterns[7], findings);
    return findings.take();
}

std::string repairBytes(const std::uint8_t* data, std::size_t size) {
    const std::vector<std::uint8_t> file(data, data + size);
    Findings findings;

    findings.at("repair");
    container::MemorySource source(file);
    container::RepairOptions options;
    if (size % 2 == 1) options.openDmlAbove = 4096;
    options.searchWindow = 64 * 1024;
    std::stringstream out;
    const container::RepairResult result = container::writeRepairedCopy(source, out, options);
    if (result.status == container::RepairResult::Status::Refused) {
        findings.require(!result.problem.empty(), "a refusal without a reason");
        return findings.take();
    }
    const std::string text = out.str();
    const std::vector<std::uint8_t> copy(text.begin(), text.end());
    findings.require(result.length == static_cast<std::int64_t>(copy.size()),
                     "the copy's length is not what the repair says");
    findings.require(result.openDml || result.riffs == 1, "AVIX RIFFs in an AVI 1.0 copy");

    findings.at("copy");
    container::MemorySource written(copy);
    container::ChunkReader reader(written, container::WalkLimits{});
    const container::RiffWalk walk = container::walkRiff(reader);
    const report::Inspection in = report::inspectWalk(walk, container::readFirstFrames(reader, walk));
    findings.require(in.verdict == report::Verdict::Complete,
                     in.findings.empty() ? "the copy is not complete"
                                         : "the copy is not complete: " + in.findings.front().english);
    findings.require(walk.streams.size() == result.streams.size(), "the copy has other streams");
    for (std::size_t i = 0; i < walk.streams.size() && i < result.streams.size(); ++i) {
        const container::WalkedStream& s = walk.streams[i];
        findings.require(s.presentChunks == result.streams[i].chunks,
                         "the copy holds other chunks than the repair kept");
        findings.require(static_cast<std::uint32_t>(s.record.dwLength()) ==
                             static_cast<std::uint32_t>(result.streams[i].length),
                         "a stream's length is not what the repair made it");
    }
    return findings.take();
}

}  // namespace strovanik::fuzzing
