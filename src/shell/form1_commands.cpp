#include "shell/form1_commands.h"

#include <exception>
#include <filesystem>
#include <system_error>

#include "container/container_kind.h"
#include "container/file_source.h"
#include "container/text_encoding.h"
#include "report/analysis.h"
#include "container/file_replacement.h"
#include "report/check_text.h"
#include "report/repair_run.h"
#include "shell/header_sample.h"
#include "shell/saved_text_encoding.h"
#include "shell/structure_sample_file.h"

namespace strovanik::shell {

namespace {

using report::Outcome;

// Runs one step of a command; whatever it throws ends that step only. The window must stay
// usable whatever a file holds, so nothing escapes into the event loop.
template <typename Step>
void step(Step&& body) {
    try {
        body();
    } catch (const std::exception&) {
    }
}

// The check's lines as every text of the window has them: with CR LF ends.
std::string withCrLf(std::string_view text) {
    std::string lines;
    lines.reserve(text.size() + text.size() / 32);
    for (const char c : text) {
        if (c == '\n') lines += '\r';
        lines += c;
    }
    return lines;
}

}  // namespace

void Form1Commands::startUp(std::string_view commandLinePath) {
    state_.dialogFolder.clear();
    state_.windowCaption = std::string(kWindowCaption);
    port_.setCaption(state_.windowCaption);
    setExamined(std::nullopt);
    state_.filePath = std::string(commandLinePath);
    if (state_.filePath.empty()) return;
    LoadFile();
}

void Form1Commands::click(ControlId control) {
    switch (control) {
        case ControlId::Command1:
            openFile();
            break;
        case ControlId::Command2:
            saveReport();
            break;
        case ControlId::Command3:
            endProgram();
            break;
        case ControlId::Command4:
            copyReport();
            break;
        case ControlId::Command5:
            writeHeaderSampleFile();
            break;
        case ControlId::Check1:
            koreanSwitched();
            break;
        case ControlId::Check2:
            briefSwitched();
            break;
        case ControlId::Label3:
        case ControlId::Label6:
        case ControlId::Label8:
        case ControlId::Label10:
            openLink(control);
            break;
        default:
            break;
    }
}

void Form1Commands::showMessage(std::string_view text) {
    port_.showMessage(text);
    state_.lastMessageResult = kMessageBoxOk;
}

void Form1Commands::measureFileSize() {
    // Measured through the same read-only open as the analysis: a missing file is empty and
    // nothing is created; one that cannot be opened keeps the size of the earlier file.
    auto opened = container::FileSource::open(state_.filePath);
    switch (opened.status) {
        case container::FileSource::OpenStatus::Opened:
            state_.fileSize = opened.source->size();
            break;
        case container::FileSource::OpenStatus::Missing:
            state_.fileSize = 0;
            break;
        case container::FileSource::OpenStatus::Unreadable:
            break;
    }
}

void Form1Commands::LoadFile() {
    // What was known of the earlier file, its walk included, is not this file's.
    examined_.reset();
    step([&] {
        state_.nameScratch = state_.filePath;
        SplitFileName(state_);
        state_.fileName = state_.nameScratch;
    });
    step([&] { measureFileSize(); });
    AnalyseCurrentFile();
    step([&] {
        state_.dialogFolder =
            state_.filePath.substr(0, state_.filePath.size() - state_.fileName.size());
    });
}

report::ReportLayout Form1Commands::chosenLayout() const {
    const bool korean = port_.isChecked(CheckBox::Check1);
    // The brief box counts only while the Korean one is checked.
    const bool brief = korean && port_.isChecked(CheckBox::Check2);
    return report::chooseLayout(korean, brief);
}

void Form1Commands::AnalyseCurrentFile() {
    std::optional<report::FileResult> examined;
    step([&] {
        report::FileResult result = report::examineFile(
            state_.filePath, {state_.fileName, 0, chosenLayout()}, state_.fileSize);
        const Outcome& outcome = result.outcome;
        switch (outcome.status) {
            case Outcome::Status::Missing:
                // A path that names no file reads as an empty one: no known signature.
                state_.riffSize = 0;
                showMessage(container::refusalMessage(container::ContainerKind::Unknown));
                break;
            case Outcome::Status::Unreadable:
                // Ends quietly: the report box keeps the earlier report.
                break;
            case Outcome::Status::Refused:
                state_.riffSize = outcome.riffSize;
                showMessage(container::refusalMessage(outcome.kind));
                break;
            case Outcome::Status::Reported:
                state_.riffSize = outcome.riffSize;
                if (outcome.runTime) state_.runSeconds = outcome.runTime->runSeconds;
                if (outcome.sizeMegabytes) state_.sizeMegabytes = *outcome.sizeMegabytes;
                // A report that ended early shows what was written (nothing when the scan
                // gave up), without a message.
                port_.setReportText(outcome.report);
                examined = std::move(result);
                break;
        }
    });
    // A switch re-runs the analysis of the same load: the walk already made still holds.
    if (examined && examined_) examined->inspection = std::move(examined_->inspection);
    setExamined(std::move(examined));
}

void Form1Commands::setExamined(std::optional<report::FileResult> result) {
    examined_ = std::move(result);
    step([&] { port_.setFileCommandsEnabled(examined_.has_value()); });
}

void Form1Commands::openFile() {
    std::optional<std::string> chosen;
    step([&] {
        chosen = port_.askOpenPath({state_.dialogFolder, std::string(kOpenDialogTitle),
                                    std::string(kOpenDialogFilter), ""});
    });
    if (!chosen) return;
    openChosenFile(*chosen);
}

void Form1Commands::openChosenFile(std::string_view path) {
    state_.dialogFileName = std::string(path);
    state_.filePath = state_.dialogFileName;
    LoadFile();
}

void Form1Commands::saveReport() {
    std::optional<std::string> chosen;
    step([&] {
        chosen = port_.askSavePath({state_.dialogFolder, std::string(kSaveDialogTitle),
                                    std::string(kSaveDialogFilter),
                                    state_.fileName + std::string(kSavedReportSuffix)});
    });
    if (!chosen) return;
    state_.dialogFileName = *chosen;
    bool saved = false;
    step([&] {
        const std::string text = port_.reportText() + "\r\n";
        const std::string bytes = encodeSavedText(text, systemSavedTextEncoding());
        std::string problem;
        saved = container::replaceFileContents(state_.dialogFileName, bytes, problem);
    });
    if (!saved) step([&] { port_.showMessage(kMessageReportUnsaved); });
}

void Form1Commands::endProgram() { port_.quit(); }

void Form1Commands::copyReport() {
    step([&] { port_.copyText(port_.reportText()); });
}

void Form1Commands::writeHeaderSampleFile() {
    step([&] {
        if (state_.filePath.empty()) {
            showMessage(kMessageOpenFileFirst);
            return;
        }
        const std::optional<std::string> samplePath = headerSamplePath(state_.filePath);
        if (!samplePath) {
            showMessage(kMessagePathTooShort);
            return;
        }
        std::array<std::uint8_t, 4> firstWord{};
        const HeaderSampleStatus status =
            writeHeaderSample(state_.filePath, *samplePath, firstWord);
        if (status == HeaderSampleStatus::SourceUnreadable) {
            showMessage(kMessageSourceUnreadable);
            return;
        }
        state_.samplePath = *samplePath;
        if (status == HeaderSampleStatus::SampleUnwritable) {
            showMessage(kMessageSampleUnwritable);
            return;
        }
        state_.sampleWord = firstWord;
        state_.sampleCounter = static_cast<std::int32_t>(kHeaderSampleBytes);
        showMessage(kMessageSampleWritten);
    });
}

bool Form1Commands::inspectCurrentFile() {
    report::FileResult result = report::examineFile(
        state_.filePath, {state_.fileName, 0, chosenLayout(), true}, state_.fileSize);
    if (!result.inspection) {
        std::string message(kMessageCheckUnreadable);
        if (!result.outcome.problem.empty()) message += "\n(" + result.outcome.problem + ")";
        port_.showMessage(message);
        return false;
    }
    examined_ = std::move(result);
    return true;
}

void Form1Commands::checkFile() {
    if (!examined_) return;
    step([&] {
        if (!examined_->inspection && !inspectCurrentFile()) return;
        const bool english = !port_.isChecked(CheckBox::Check1);
        const report::Verdict verdict = examined_->inspection->verdict;
        const InspectionChoice choice = port_.showInspection(
            {std::string(kCheckDialogTitle) + state_.fileName,
             withCrLf(report::checkText(state_.filePath, *examined_,
                                        english ? report::ReportLayout::English
                                                : report::ReportLayout::KoreanDetailed)),
             verdict,
             std::string(english ? report::verdictName(verdict)
                                 : report::koreanVerdictName(verdict)),
             verdict != report::Verdict::Complete});
        if (choice == InspectionChoice::Repair) makeRepairedCopy();
    });
}

void Form1Commands::makeRepairedCopy() {
    if (!examined_) return;
    step([&] {
        if (!examined_->inspection && !inspectCurrentFile()) return;
        if (examined_->inspection->verdict == report::Verdict::Complete) {
            report::RepairRun whole;
            whole.status = report::RepairRun::Status::NeedsNoRepair;
            port_.showMessage(*report::repairProblemText(whole, report::ReportLayout::KoreanDetailed));
            return;
        }
        FileDialogRequest request{state_.dialogFolder, std::string(kRepairDialogTitle),
                                  std::string(kStructureSampleDialogFilter),
                                  repairedCopyName(state_.fileName)};
        request.confirmReplace = false;
        const std::optional<std::string> chosen = port_.askSavePath(request);
        if (!chosen) return;
        state_.dialogFileName = *chosen;
        if (!mayWrite(*chosen, kMessageRepairFailed)) return;
        // The dialog appears only once the repair has run for a moment.
        const auto started = std::chrono::steady_clock::now();
        bool shown = false;
        const container::RepairProgress progress = [&](std::int64_t done, std::int64_t total) {
            if (!shown && std::chrono::steady_clock::now() - started < progressDelay_) return true;
            if (!shown) port_.beginProgress(kRepairProgressText);
            shown = true;
            return port_.advanceProgress(total > 0 ? static_cast<int>(done * 100 / total) : 0);
        };
        const report::RepairRun run =
            report::repairFile(state_.filePath, *chosen, true, {}, progress);
        if (shown) port_.endProgress();
        if (run.status == report::RepairRun::Status::Written) {
            port_.showMessage(std::string(kMessageRepairWritten) + "\n" +
                              report::repairText(*chosen, run, report::ReportLayout::KoreanDetailed));
        } else {
            port_.showMessage(std::string(kMessageRepairFailed) + "\n" +
                              *report::repairProblemText(run, report::ReportLayout::KoreanDetailed));
        }
    });
}

void Form1Commands::sampleFailed(std::string_view reason, std::string_view problem) {
    std::string message = std::string(kMessageStructureSampleFailed) + "\n" + std::string(reason);
    if (!problem.empty()) message += "\n(" + std::string(problem) + ")";
    port_.showMessage(message);
}

bool Form1Commands::mayWrite(const std::string& target, std::string_view failed) {
    if (isSameFile(target, state_.filePath)) {
        port_.showMessage(std::string(failed) + "\n" + std::string(kReasonSampleIsTheFile));
        return false;
    }
    std::error_code error;
    const bool exists = std::filesystem::exists(std::filesystem::symlink_status(
                            container::pathFromUtf8(target), error)) &&
                        !error;
    return !exists || port_.askYesNo(kQuestionReplaceSample);
}

void Form1Commands::makeStructureSample() {
    if (!examined_) return;
    std::optional<std::string> chosen;
    step([&] {
        FileDialogRequest request{state_.dialogFolder, std::string(kStructureSampleDialogTitle),
                                  std::string(kStructureSampleDialogFilter),
                                  structureSampleName(state_.fileName)};
        // The question comes from here, so that the analysed file is refused before it.
        request.confirmReplace = false;
        chosen = port_.askSavePath(request);
    });
    if (!chosen) return;
    state_.dialogFileName = *chosen;
    step([&] {
        if (!mayWrite(*chosen, kMessageStructureSampleFailed)) return;
        const StructureSampleResult result = writeStructureSampleFile(state_.filePath, *chosen);
        using Status = StructureSampleResult::Status;
        switch (result.status) {
            case Status::Written: {
                std::string message = std::string(kMessageStructureSampleWritten) + "\n" + *chosen;
                if (result.keptAsItIsFrom) {
                    message += "\n" + std::string(kMessageStructureKeptFromStart) +
                               std::to_string(*result.keptAsItIsFrom) +
                               std::string(kMessageStructureKeptFromEnd);
                }
                port_.showMessage(message);
                break;
            }
            case Status::SourceMissing:
                sampleFailed(kReasonSourceMissing);
                break;
            case Status::SourceUnreadable:
                sampleFailed(kReasonSourceUnreadable, result.problem);
                break;
            case Status::NotAvi:
                sampleFailed(kReasonNotAvi);
                break;
            case Status::Unwritable:
                sampleFailed(kReasonSampleUnwritable, result.problem);
                break;
        }
    });
}

void Form1Commands::koreanSwitched() {
    step([&] { port_.setEnabled(CheckBox::Check2, port_.isChecked(CheckBox::Check1)); });
    if (state_.fileLoaded()) AnalyseCurrentFile();
}

void Form1Commands::briefSwitched() {
    if (state_.fileLoaded()) AnalyseCurrentFile();
}

void Form1Commands::openLink(ControlId link) {
    step([&] {
        const ControlDesign& design = controlDesign(link);
        if (design.kind == ControlKind::LinkLabel) port_.openAddress(webAddressUrl(design.caption));
    });
}

}  // namespace strovanik::shell
