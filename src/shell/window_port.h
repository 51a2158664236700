#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "report/inspection.h"

// Everything the commands need from a window. Each face (the Qt window on Linux, the native
// window on Windows, the tests' recording fake) implements it; the commands never see a
// toolkit. All text crossing the port is UTF-8.
namespace strovanik::shell {

enum class CheckBox { Check1, Check2 };

// What a file dialog is asked to show. `filter` is the vertical-bar text of the commands
// ("description|pattern|description|pattern"; see parseDialogFilter); the first choice is
// preselected. An empty `initialFolder` leaves the start folder to the platform.
struct FileDialogRequest {
    std::string initialFolder;
    std::string title;
    std::string filter;
    std::string proposedName;  // empty: the name field starts empty
    // Whether the save dialog itself asks before it replaces an existing file. A command that
    // asks its own question (through askYesNo) turns it off, so the user is asked once.
    bool confirmReplace = true;
};

// The file check's dialog: the text of the check, with CR LF line ends, and its verdict, which
// the face makes stand out (a colour the eye finds at once) beside the word in the text.
struct InspectionDialogRequest {
    std::string title;
    std::string text;
    report::Verdict verdict = report::Verdict::Complete;
    std::string verdictWord;  // the verdict in the text's language, for the face's band
    // A third button, 복구본 만들기 (kRepairCommand), for a truncated or damaged file.
    bool offersRepair = false;
};

// How the file check's dialog was left: closed, or by its button that asks for a repaired copy.
enum class InspectionChoice { Closed, Repair };

class WindowPort {
public:
    virtual ~WindowPort() = default;

    virtual void setCaption(std::string_view caption) = 0;

    // The report box's whole text. Reports are written with CR LF line ends, and whatever the
    // widget keeps inside, the text read back must have them again: it is what gets saved and
    // copied. A text that the widget still shows unchanged comes back byte for byte.
    virtual std::string reportText() const = 0;
    virtual void setReportText(std::string_view text) = 0;

    virtual bool isChecked(CheckBox box) const = 0;
    virtual void setEnabled(CheckBox box, bool enabled) = 0;

    // A modal message box with an OK button only, no icon, and the application's own title
    // (kApplicationTitle). Returns when the user has closed it.
    virtual void showMessage(std::string_view text) = 0;

    // A modal question with the buttons Yes and No; true for Yes. Closing it answers No.
    virtual bool askYesNo(std::string_view question) = 0;

    // The file check's dialog, modal: a read-only fixed-pitch text box that has the focus, so
    // that Ctrl+A, Ctrl+C copies the text (with CR LF ends), and the buttons 복사 (copy all)
    // and 닫기 (close), and 복구본 만들기 when the request offers it; Escape and Enter close it.
    // Returns when it is closed, saying how.
    virtual InspectionChoice showInspection(const InspectionDialogRequest& request) = 0;

    // A modal progress dialog for a long task, with the text given, a bar and a button 취소
    // (cancel): opened by beginProgress, moved by advanceProgress (0 to 100), which lets the
    // window handle its events and returns false once the user has cancelled (or closed the
    // dialog), and closed by endProgress.
    virtual void beginProgress(std::string_view text) = 0;
    virtual bool advanceProgress(int percent) = 0;
    virtual void endProgress() = 0;

    // Whether the commands of the current file can run: the report box's context menu entries
    // 파일 점검, 구조 샘플 만들기 and 복구본 만들기, and Ctrl+I. While disabled the key does nothing.
    virtual void setFileCommandsEnabled(bool enabled) = 0;

    // The open and save dialogs, modal. The chosen full name, or nothing when cancelled.
    // The open dialog accepts a name that names no file. The save dialog asks before it
    // replaces an existing file (unless the request says otherwise) and adds no extension of
    // its own.
    virtual std::optional<std::string> askOpenPath(const FileDialogRequest& request) = 0;
    virtual std::optional<std::string> askSavePath(const FileDialogRequest& request) = 0;

    // Replaces the clipboard's content with plain text.
    virtual void copyText(std::string_view text) = 0;

    // Opens a web address (a full URL) in the browser without waiting for it. Failures are the
    // face's to swallow: a link never stops the window.
    virtual void openAddress(std::string_view address) = 0;

    // Ends the program at once, saving nothing.
    virtual void quit() = 0;
};

}  // namespace strovanik::shell
