#pragma once

#include <chrono>
#include <optional>
#include <string>
#include <string_view>

#include "report/analysis.h"
#include "shell/form_design.h"
#include "shell/viewer_state.h"
#include "shell/window_port.h"

// The user commands of the main window, written once for every face. A face builds its
// controls from the design table, forwards each click to `click`, and implements the port.
//
// Each command runs to its end before the window handles the next event. A failing step ends
// that step only: no command leaves the window unusable, and none throws.
namespace strovanik::shell {

inline constexpr std::string_view kOpenDialogTitle = "동영상 파일 선택";
inline constexpr std::string_view kOpenDialogFilter = "AVI 파일(*.avi)|*.avi|모든 파일(*.*)|*.*";
inline constexpr std::string_view kSaveDialogTitle = "정보내용을 저장할 TXT파일 지정";
inline constexpr std::string_view kSaveDialogFilter = "문서 파일(*.TXT)|*.txt|모든 파일(*.*)|*.*";
// Follows the bare file name directly in the save dialog's proposed name.
inline constexpr std::string_view kSavedReportSuffix = "nfo.txt";

inline constexpr std::string_view kMessageOpenFileFirst = "동영상 파일을 열고 만드세요";
inline constexpr std::string_view kMessageSampleWritten = "샘플작성이 완료되었습니다";
inline constexpr std::string_view kMessagePathTooShort =
    "파일 경로가 너무 짧아서 샘플 파일의 이름을 만들 수 없습니다";
inline constexpr std::string_view kMessageSourceUnreadable =
    "동영상 파일을 읽을 수 없어서 샘플을 만들지 못했습니다";
inline constexpr std::string_view kMessageSampleUnwritable =
    "샘플 파일을 쓸 수 없어서 샘플을 만들지 못했습니다";
inline constexpr std::string_view kMessageReportUnsaved =
    "정보내용을 파일에 저장하지 못했습니다. 폴더와 디스크를 확인하세요";

// The file check and the structure sample, from the report box's context menu.
inline constexpr std::string_view kCheckFileCommand = "파일 점검";
inline constexpr std::string_view kStructureSampleCommand = "구조 샘플 만들기";
// Followed directly by the bare file name.
inline constexpr std::string_view kCheckDialogTitle = "파일 점검 - ";
inline constexpr std::string_view kStructureSampleDialogTitle = "구조 샘플을 저장할 파일 지정";
inline constexpr std::string_view kStructureSampleDialogFilter =
    "AVI 파일(*.avi)|*.avi|모든 파일(*.*)|*.*";
inline constexpr std::string_view kMessageCheckUnreadable =
    "파일을 읽을 수 없어서 점검하지 못했습니다";
inline constexpr std::string_view kQuestionReplaceSample =
    "같은 이름의 파일이 이미 있습니다. 바꾸시겠습니까?";
inline constexpr std::string_view kMessageStructureSampleWritten = "구조 샘플을 만들었습니다";
// Around the byte offset where the structure could not be followed.
inline constexpr std::string_view kMessageStructureKeptFromStart = "다만 ";
inline constexpr std::string_view kMessageStructureKeptFromEnd =
    "바이트부터는 구조를 따라갈 수 없어서 파일 내용을 그대로 담았습니다";
inline constexpr std::string_view kMessageStructureSampleFailed = "구조 샘플을 만들지 못했습니다";
inline constexpr std::string_view kReasonSampleIsTheFile =
    "분석 중인 파일 자신에는 쓸 수 없습니다. 다른 이름을 고르세요";
inline constexpr std::string_view kReasonSourceMissing = "동영상 파일이 없어졌습니다";
inline constexpr std::string_view kReasonSourceUnreadable = "동영상 파일을 읽을 수 없습니다";
inline constexpr std::string_view kReasonNotAvi = "동영상 파일이 더 이상 AVI 파일이 아닙니다";
inline constexpr std::string_view kReasonSampleUnwritable = "샘플 파일을 쓸 수 없습니다";

// The repaired copy, from the report box's context menu and the check dialog of a truncated or
// damaged file.
inline constexpr std::string_view kRepairCommand = "복구본 만들기";
inline constexpr std::string_view kRepairDialogTitle = "복구본을 저장할 파일 지정";
inline constexpr std::string_view kRepairProgressText = "복구본을 만들고 있습니다";
inline constexpr std::string_view kMessageRepairWritten = "복구본을 만들었습니다";
inline constexpr std::string_view kMessageRepairFailed = "복구본을 만들지 못했습니다";

// What a message box returns; every box has the OK button only.
inline constexpr std::int32_t kMessageBoxOk = 1;

class Form1Commands {
public:
    Form1Commands(ViewerState& state, WindowPort& port) : state_(state), port_(port) {}

    // Start-up, before the window is first shown: the caption, then the file the command line
    // names (empty: none), loaded and analysed.
    void startUp(std::string_view commandLinePath);

    // A click on a control, after a check box has changed its state. Controls without a
    // command ignore it.
    void click(ControlId control);

    // Loads a file as the open command does once its dialog has given the name: the open
    // command and a file dropped on the window.
    void openChosenFile(std::string_view path);

    // Command1: open and analyse. Command2: save the report. Command3: end the program.
    // Command4: copy the report. Command5: write the header sample.
    void openFile();
    void saveReport();
    void endProgram();
    void copyReport();
    void writeHeaderSampleFile();
    // Check1 and Check2: the report options.
    void koreanSwitched();
    void briefSwitched();
    // Label3, Label6, Label8, Label10.
    void openLink(ControlId link);

    // The report box's context menu. Both run only while an AVI file is loaded, when the
    // window has them enabled; otherwise they do nothing.
    // 파일 점검 (also Ctrl+I): the --check lines of the current file in a dialog, in Korean while
    // Check1 is checked. The walk of the whole file is made at the first check of a load and
    // kept for the next ones.
    void checkFile();
    // 구조 샘플 만들기: the current file's structure sample, under a name the save dialog gives.
    void makeStructureSample();
    // 복구본 만들기: a repaired copy of the current file, under a name the save dialog gives,
    // after a question when that name exists; a file the check calls complete gets a message
    // instead. A repair that runs longer than the progress delay shows a progress dialog
    // whose cancel leaves no file behind.
    void makeRepairedCopy();
    void setProgressDelay(std::chrono::milliseconds delay) { progressDelay_ = delay; }
    bool fileCommandsEnabled() const { return examined_.has_value(); }

    // The load sequence for the path in filePath: bare name, size, analysis, dialog folder.
    void LoadFile();
    // Recognises the current file and shows its report or its message.
    void AnalyseCurrentFile();

    const ViewerState& state() const { return state_; }

private:
    void showMessage(std::string_view text);
    void measureFileSize();
    report::ReportLayout chosenLayout() const;
    void setExamined(std::optional<report::FileResult> result);
    bool inspectCurrentFile();
    void sampleFailed(std::string_view reason, std::string_view problem = {});
    // Whether a command may write `target`: never the analysed file itself (the message then
    // opens with `failed`), and a file that exists only after the user said Yes.
    bool mayWrite(const std::string& target, std::string_view failed);

    ViewerState& state_;
    WindowPort& port_;
    // The last analysis of the loaded AVI file; nothing while no AVI file is loaded.
    std::optional<report::FileResult> examined_;
    std::chrono::milliseconds progressDelay_{500};
};

}  // namespace strovanik::shell
