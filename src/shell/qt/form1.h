#pragma once

#include <QFont>
#include <QLabel>
#include <QString>
#include <QWidget>
#include <map>
#include <memory>
#include <string>

#include "shell/form1_commands.h"
#include "shell/form_design.h"
#include "shell/viewer_state.h"
#include "shell/window_port.h"

class QAction;
class QCheckBox;
class QProgressDialog;

namespace strovanik::shell::qt {

class ReportBox;

// The main window on Linux: the controls of the design table, each click forwarded to the
// shared commands, and the port through which the commands reach the window.
class Form1 final : public QWidget, public WindowPort {
    Q_OBJECT
public:
    explicit Form1(QWidget* parent = nullptr);
    ~Form1() override;

    // Before the window is first shown: the caption and the command line's file.
    void startUp(std::string_view commandLinePath);
    // Places the window in the middle of its screen.
    void centreOnScreen();

    // A control by its design name, for the faces' tests.
    QWidget* control(ControlId id) const { return controls_.at(id); }
    const ViewerState& state() const { return state_; }

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

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dropEvent(QDropEvent* event) override;

private:
    QFont fontFor(const FontDesign& design) const;
    QWidget* makeControl(const ControlDesign& design);
    QLabel* makeLabel(const ControlDesign& design, const QString& caption, const QFont& font);
    QCheckBox* checkBox(CheckBox box) const;
    std::optional<std::string> askPath(const FileDialogRequest& request, bool save);
    void showReportMenu(const QPoint& at);

    QString family_;
    QString fixedPitchFamily_;
    ViewerState state_;
    Form1Commands commands_{state_, *this};
    std::map<ControlId, QWidget*> controls_;
    ReportBox* reportBox_ = nullptr;
    // The report box's context menu entries for the current file; the check's carries Ctrl+I
    // for the whole window.
    QAction* checkAction_ = nullptr;
    QAction* sampleAction_ = nullptr;
    QAction* repairAction_ = nullptr;
    std::unique_ptr<QProgressDialog> progress_;
};

}  // namespace strovanik::shell::qt
