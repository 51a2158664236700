#pragma once

#include <QDialog>
#include <QFont>

#include "shell/window_port.h"

class QLabel;
class QPushButton;

namespace strovanik::shell::qt {

class ReportBox;

// The file check's dialog: a band in the verdict's colour over the check's lines in a
// read-only fixed-pitch box, which has the focus; 복사 copies the whole text, 닫기 closes,
// 복구본 만들기 (when offered) closes it asking for a repaired copy.
// Escape and Enter close it wherever the focus is.
class InspectionDialog final : public QDialog {
    Q_OBJECT
public:
    InspectionDialog(const InspectionDialogRequest& request, const QFont& textFont,
                     QWidget* parent);

    // What exec() returns when the dialog was left through 복구본 만들기.
    static constexpr int kRepairChosen = 2;

    ReportBox* textBox() const { return textBox_; }
    QLabel* verdictBand() const { return band_; }
    QPushButton* copyButton() const { return copy_; }
    QPushButton* closeButton() const { return close_; }
    QPushButton* repairButton() const { return repair_; }  // null unless offered

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    ReportBox* textBox_ = nullptr;
    QLabel* band_ = nullptr;
    QPushButton* copy_ = nullptr;
    QPushButton* close_ = nullptr;
    QPushButton* repair_ = nullptr;
};

}  // namespace strovanik::shell::qt
