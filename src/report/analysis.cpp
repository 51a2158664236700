#include "report/analysis.h"

#include <algorithm>
#include <array>
#include <optional>
#include <vector>

#include "catalogue/audio_format_catalogue.h"
#include "catalogue/video_codec_catalogue.h"
#include "container/avi_header_scan.h"
#include "container/file_source.h"

namespace strovanik::report {

namespace {

using container::ContainerKind;

CodecTexts nameCodecs(const container::AviHeaderSet& headers) {
    CodecTexts codecs;
    codecs.videoCodecText = catalogue::describeVideoCodec(headers.videoStream.fccHandler(),
                                                          headers.videoStream.biCompression());
    codecs.audioCodecText1 = catalogue::describeAudioFormat(
        static_cast<std::uint16_t>(headers.audioStream1.wFormatTag()));
    if (headers.hasSecondAudio()) {
        codecs.audioCodecText2 = catalogue::describeAudioFormat(
            static_cast<std::uint16_t>(headers.audioStream2.wFormatTag()));
    }
    return codecs;
}

void analyseAvi(container::ByteSource& source, const AnalysisRequest& request, FileResult& result) {
    Outcome& outcome = result.outcome;
    outcome.status = Outcome::Status::Reported;
    auto headers = container::scanAviHeaders(source);
    if (!headers) {
        outcome.problem =
            "the size of an odml list points outside the first 2 GiB of the file, so the "
            "header scan gave up";
        return;
    }
    outcome.headers = std::move(headers);
    outcome.codecs = nameCodecs(*outcome.headers);
    Figure<RunTime> runTime;
    try {
        runTime.value = computeRunTime(outcome.headers->mainHeader);
    } catch (const FigureError& error) {
        runTime.failure = error.what();
    }
    result.figures = computeFigures(*outcome.headers, request.fileSize, outcome.riffSize, runTime);
    if (!runTime.value) {
        outcome.problem = runTime.failure;
        return;
    }
    outcome.runTime = runTime.value;
    const ReportInput input{*outcome.headers, request.fileName, request.fileSize,
                            outcome.riffSize, *outcome.runTime, outcome.codecs};
    // The size row never fails, and it comes before any row that can.
    outcome.sizeMegabytes =
        DerivedMeasures(*outcome.headers, request.fileSize, outcome.riffSize, *outcome.runTime)
            .sizeMegabytes();
    try {
        writeReport(request.layout, input, outcome.report);
        outcome.complete = true;
    } catch (const FigureError& error) {
        outcome.problem = error.what();
    }
}

// A small AVI file is read once, whole, so that the header scan and the walk read memory
// instead of the file a few times each; a batch of small files spends most of its time in
// those reads otherwise. A file whose whole read fails is read piece by piece as before, so that a read fault shows
// where it always did.
constexpr std::int64_t kReadWholeUpTo = 64 * 1024;

std::optional<container::MemorySource> readWholeIfSmall(container::ByteSource& source,
                                                        std::span<const std::uint8_t> first) {
    const std::int64_t size = source.size();
    if (size > kReadWholeUpTo) return std::nullopt;
    std::vector<std::uint8_t> bytes(static_cast<std::size_t>(size));
    // The first bytes were read already; the rest follows them in the file, with no seek.
    const std::size_t known = std::min(bytes.size(), first.size());
    std::copy_n(first.begin(), known, bytes.begin());
    try {
        container::readPadded(source, static_cast<std::int64_t>(known),
                              std::span(bytes).subspan(known));
    } catch (const container::ReadError&) {
        return std::nullopt;
    }
    return container::MemorySource(std::move(bytes));
}

// The walk of the whole file, apart from the report: a file it cannot read keeps its report.
void inspectAvi(container::ByteSource& source, FileResult& result) {
    try {
        result.inspection = inspect(source);
    } catch (const container::ReadError&) {
        result.inspection.reset();
    }
}

}  // namespace

FileResult examine(container::ByteSource& source, const AnalysisRequest& request) {
    FileResult result;
    result.fileSize = request.fileSize;
    Outcome& outcome = result.outcome;
    std::array<std::uint8_t, 12> first{};
    std::optional<container::MemorySource> whole;
    container::ByteSource* avi = &source;
    try {
        container::readPadded(source, 0, first);
        const container::Recognition recognition = container::recogniseContainer(first);
        outcome.kind = recognition.kind;
        outcome.riffSize = recognition.riffSize;
        if (recognition.kind != ContainerKind::Avi) {
            outcome.status = Outcome::Status::Refused;
            return result;
        }
        whole = readWholeIfSmall(source, first);
        if (whole) avi = &*whole;
        analyseAvi(*avi, request, result);
    } catch (const container::ReadError& error) {
        if (outcome.status == Outcome::Status::Reported) {
            // The scan had begun: like an abandoned scan, the report stays empty.
            outcome.report.clear();
            outcome.complete = false;
        } else {
            outcome.status = Outcome::Status::Unreadable;
        }
        outcome.problem = error.what();
        return result;
    }
    if (request.inspect) inspectAvi(*avi, result);
    return result;
}

FileResult examineFile(std::string_view utf8Path, AnalysisRequest request,
                       std::optional<std::int64_t> fileSize) {
    auto opened = container::FileSource::open(utf8Path);
    if (opened.status != container::FileSource::OpenStatus::Opened) {
        FileResult result;
        result.outcome.status = opened.status == container::FileSource::OpenStatus::Missing
                                    ? Outcome::Status::Missing
                                    : Outcome::Status::Unreadable;
        result.outcome.problem = opened.reason;
        return result;
    }
    request.fileSize = fileSize.value_or(opened.source->size());
    return examine(*opened.source, request);
}

Outcome analyse(container::ByteSource& source, const AnalysisRequest& request) {
    return examine(source, request).outcome;
}

Outcome analyseFile(std::string_view utf8Path, std::string_view fileName, ReportLayout layout,
                    std::optional<std::int64_t> fileSize) {
    return examineFile(utf8Path, {fileName, 0, layout}, fileSize).outcome;
}

}  // namespace strovanik::report

namespace strovanik::report {

std::string_view bareFileName(std::string_view path) {
    const std::size_t cut = path.find_last_of(kPathSeparators);
    return cut == std::string_view::npos ? path : path.substr(cut + 1);
}

}  // namespace strovanik::report
