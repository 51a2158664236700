#pragma once

#include <windows.h>
// The headers below build on windows.h.
#include <shellapi.h>

#include <array>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "banner.h"
#include "base_window.h"
#include "progress_dialog.h"
#include "shell/form1_commands.h"
#include "shell/form_design.h"
#include "shell/viewer_state.h"
#include "shell/window_port.h"

// The main window on Windows: the controls of the design table as native controls, each
// click forwarded to the shared commands, and the port through which the commands reach the
// window and the system's services.
namespace strovanik::shell::win32 {

class Form1 : public BaseWindow<Form1>, public WindowPort {
public:
    struct Options {
        // The program's window ends the message loop when it closes; windows made by the
        // tests do not.
        bool endsMessageLoop = false;
    };

    explicit Form1(Options options);
    Form1() : Form1(Options{}) {}
    ~Form1() override;

    // Creates the window, hidden, with every control, in the middle of the work area.
    bool create(HINSTANCE instance);
    // Before the window is first shown: the caption and the command line's file.
    void startUp(std::string_view commandLinePath);
    void show(int showCommand);

    // Runs the thread's message loop until the quit message, with the keyboard navigation of
    // a dialog (Tab, Shift+Tab, Space and Enter on buttons) for `window`. Returns the quit
    // code.
    static int runMessageLoop(HWND window);
    // The window's own keys, before the dialog navigation: Ctrl+I anywhere in `window` opens
    // the file check. True when the message was taken.
    static bool translateShortcut(HWND window, const MSG& message);

    // The report box's context menu entries and Ctrl+I, as WM_COMMAND identifiers.
    static constexpr int kCheckFileCommandId = 2001;
    static constexpr int kStructureSampleCommandId = 2002;
    static constexpr int kRepairCommandId = 2003;
    bool fileCommandsEnabled() const { return fileCommandsEnabled_; }

    HWND control(ControlId id) const { return controls_.at(indexOf(id)); }
    // The identifier the control carries in WM_COMMAND.
    static int commandIdOf(ControlId id) { return kFirstCommandId + static_cast<int>(id); }
    const ViewerState& state() const { return state_; }
    // The screen's dots per inch the window was laid out for.
    int dpi() const { return dpi_; }

    static const wchar_t* className() { return L"StrovanikForm1"; }
    LRESULT handleMessage(UINT message, WPARAM wParam, LPARAM lParam);

    // WindowPort
    void setCaption(std::string_view caption) override;
    std::string reportText() const override;
    void setReportText(std::string_view text) override;
    bool isChecked(CheckBox box) const override;
    void setEnabled(CheckBox box, bool enabled) override;
    void showMessage(std::string_view text) override;
    std::optional<std::string> askOpenPath(const FileDialogRequest& request) override;
    std::optional<std::string> askSavePath(const FileDialogRequest& request) override;
    bool askYesNo(std::string_view question) override;
    InspectionChoice showInspection(const InspectionDialogRequest& request) override;
    void beginProgress(std::string_view text) override;
    bool advanceProgress(int percent) override;
    void endProgress() override;
    void setFileCommandsEnabled(bool enabled) override;
    void copyText(std::string_view text) override;
    void openAddress(std::string_view address) override;
    void quit() override;

private:
    static constexpr int kFirstCommandId = 1000;
    static std::size_t indexOf(ControlId id) { return static_cast<std::size_t>(id); }

    struct CachedFont {
        FontDesign design;
        HFONT font;
    };

    int scaled(int pixelsAt96) const { return MulDiv(pixelsAt96, dpi_, 96); }
    RECT placeOf(const TwipRect& twips) const;
    HFONT fontFor(const FontDesign& design);
    HWND makeControl(HINSTANCE instance, const ControlDesign& design);
    std::optional<ControlId> controlOfCommand(int commandId) const;
    bool isLink(HWND window) const;
    void fileDropped(HDROP drop);
    void activated(bool active);
    void showReportMenu(LPARAM where);
    static LRESULT CALLBACK reportBoxProcedure(HWND box, UINT message, WPARAM wParam, LPARAM lParam,
                                               UINT_PTR id, DWORD_PTR form);

    Options options_;
    ViewerState state_;
    Form1Commands commands_{state_, *this};
    std::array<HWND, 20> controls_{};
    std::vector<CachedFont> fonts_;
    Banner banner_;
    HICON bigIcon_ = nullptr;
    HICON smallIcon_ = nullptr;
    HICON pictureIcon_ = nullptr;
    HWND focusBeforeDeactivation_ = nullptr;
    std::string droppedPath_;
    int dpi_ = 96;
    bool fileCommandsEnabled_ = false;
    std::unique_ptr<ProgressDialog> progress_;  // while a long command runs
};

}  // namespace strovanik::shell::win32
