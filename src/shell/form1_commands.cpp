#include "shell/form1_commands.h"

#include <exception>

#include "container/container_kind.h"
#include "container/file_source.h"
#include "report/analysis.h"
#include "container/file_replacement.h"
#include "shell/header_sample.h"
#include "shell/saved_text_encoding.h"

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

}  // namespace

void Form1Commands::startUp(std::string_view commandLinePath) {
    state_.dialogFolder.clear();
    state_.windowCaption = std::string(kWindowCaption);
    port_.setCaption(state_.windowCaption);
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

void Form1Commands::AnalyseCurrentFile() {
    step([&] {
        const bool korean = port_.isChecked(CheckBox::Check1);
        // The brief box counts only while the Korean one is checked.
        const bool brief = korean && port_.isChecked(CheckBox::Check2);
        const Outcome outcome = report::analyseFile(
            state_.filePath, state_.fileName, report::chooseLayout(korean, brief), state_.fileSize);
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
                break;
        }
    });
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
