#include "report/repair_run.h"

#include <array>

#include "container/avi_header_set.h"
#include "container/container_kind.h"
#include "container/file_replacement.h"
#include "container/file_source.h"
#include "container/text_encoding.h"
#include "report/number_text.h"

namespace strovanik::report {

namespace {

using Status = RepairRun::Status;

std::optional<Verdict> verdictOf(std::string_view path) {
    auto opened = container::FileSource::open(path);
    if (opened.status != container::FileSource::OpenStatus::Opened) return std::nullopt;
    try {
        return inspect(*opened.source).verdict;
    } catch (const container::ReadError&) {
        return std::nullopt;
    }
}

}  // namespace

RepairRun repairFile(std::string_view sourcePath, std::string_view targetPath, bool evenIfComplete,
                     const container::RepairOptions& options,
                     const container::RepairProgress& progress) {
    RepairRun run;
    auto opened = container::FileSource::open(sourcePath);
    if (opened.status == container::FileSource::OpenStatus::Missing) {
        run.status = Status::SourceMissing;
        return run;
    }
    if (opened.status != container::FileSource::OpenStatus::Opened) {
        run.status = Status::SourceUnreadable;
        run.problem = opened.reason;
        return run;
    }
    if (container::sameFile(sourcePath, targetPath)) {
        run.status = Status::SameFile;
        return run;
    }
    container::FileSource& source = *opened.source;
    try {
        std::array<std::uint8_t, 12> first{};
        container::readPadded(source, 0, first);
        if (container::recogniseContainer(first).kind != container::ContainerKind::Avi) {
            run.status = Status::NotAvi;
            return run;
        }
        run.originalVerdict = inspect(source).verdict;
        if (run.originalVerdict == Verdict::Complete && !evenIfComplete) {
            run.status = Status::NeedsNoRepair;
            return run;
        }
        if (!container::replaceFileWithRepairedCopy(targetPath, source, options, progress,
                                                    run.repair, run.problem)) {
            run.status = run.repair.status == container::RepairResult::Status::Refused &&
                                 !run.repair.problem.empty()
                             ? Status::Refused
                             : Status::Unwritable;
            return run;
        }
    } catch (const container::ReadError& error) {
        run.status = Status::SourceUnreadable;
        run.problem = error.what();
        return run;
    } catch (const container::RepairCancelled&) {
        run.status = Status::Cancelled;
        return run;
    }
    run.status = Status::Written;
    run.copyVerdict = verdictOf(targetPath);
    return run;
}

std::string repairText(std::string_view copyName, const RepairRun& run, ReportLayout layout) {
    if (run.status != Status::Written) return {};
    const bool english = layout == ReportLayout::English;
    const container::RepairResult& r = run.repair;
    const std::string form =
        !r.openDml ? std::string("AVI 1.0")
        : english  ? "OpenDML, " + plainForm(r.riffs) + (r.riffs == 1 ? " RIFF" : " RIFFs")
                   : "OpenDML, RIFF " + plainForm(r.riffs) + "개";
    const std::string seconds = patternForm(r.seconds, "0.00");
    std::string text = std::string(copyName) + ": ";
    const std::string verdict = run.copyVerdict
                                    ? std::string(english ? verdictName(*run.copyVerdict)
                                                          : koreanVerdictName(*run.copyVerdict))
                                    : std::string(english ? "not checked" : "확인 못 함");
    if (english) {
        text += "repaired copy (" + form + "), " + seconds + " s, " + verdict + "\n";
    } else {
        text += "복구본 (" + form + "), 길이 " + seconds + "초, " + verdict + "\n";
    }
    for (std::size_t i = 0; i < r.streams.size(); ++i) {
        const container::RepairedStream& s = r.streams[i];
        const std::string type = " (" + container::fourCcText(s.type) + ")";
        if (english) {
            text += "    stream " + plainForm(static_cast<std::int64_t>(i)) + type + ": " +
                    plainForm(s.chunks) + " chunks kept, " + plainForm(s.keyFrames) +
                    " key frames, length " + plainForm(s.length) + "\n";
        } else {
            text += "    스트림 " + plainForm(static_cast<std::int64_t>(i)) + type + ": 청크 " +
                    plainForm(s.chunks) + "개 남김, 키 프레임 " + plainForm(s.keyFrames) +
                    "개, 길이 " + plainForm(s.length) + "\n";
        }
    }
    for (const container::SkippedSpan& span : r.skipped) {
        const std::string at = plainForm(span.offset);
        const std::string bytes = plainForm(span.bytes);
        if (english) {
            text +=
                "    left out: " + bytes + " bytes at byte " + at +
                (span.cutShort ? " (a chunk cut short by the end of the file)\n" : " (damage)\n");
        } else {
            text += "    뺀 부분: " + at + "번째 바이트부터 " + bytes + "바이트" +
                    (span.cutShort ? " (파일 끝에서 잘린 청크)\n" : " (손상)\n");
        }
    }
    return text;
}

std::optional<std::string> repairProblemText(const RepairRun& run, ReportLayout layout) {
    const bool english = layout == ReportLayout::English;
    const std::string problem = run.problem;
    switch (run.status) {
        case Status::Written:
            return std::nullopt;
        case Status::NeedsNoRepair:
            return english ? "the file is complete: it needs no repair, and no copy was written"
                           : "파일이 정상이라 복구할 것이 없어서 복구본을 만들지 않았습니다";
        case Status::SourceMissing:
            return english ? "no such file" : "파일이 없습니다";
        case Status::SourceUnreadable:
            return english ? "cannot be read: " + problem : "파일을 읽을 수 없습니다: " + problem;
        case Status::NotAvi:
            return english ? "not an AVI file" : "AVI 파일이 아닙니다";
        case Status::SameFile:
            return english ? "the copy cannot replace the file itself"
                           : "복구본이 원래 파일을 대신할 수는 없습니다";
        case Status::Refused:
            return english ? "no copy can be made: " + problem
                           : "복구본을 만들 수 없습니다: " + problem;
        case Status::Unwritable:
            return english ? "the copy cannot be written: " + problem
                           : "복구본을 쓸 수 없습니다: " + problem;
        case Status::Cancelled:
            return english ? "the repair was cancelled; no copy was left behind"
                           : "복구를 취소해서 복구본을 남기지 않았습니다";
    }
    return std::nullopt;
}

}  // namespace strovanik::report
