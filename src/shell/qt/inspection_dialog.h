#pragma once

#include <QDialog>
#include <QFont>

#include "shell/window_port.h"

class QLabel;
class QPushButton;

namespace strovanik::shell::qt {

class ReportBox;

// The file check's dialog: a band in the verdict's colour over the check's lines in a
// read-only fixed-pitch box, which has the focus; 복사 copies the whole text, 닫기 closes.
// Escape and Enter close it wherever the focus is.
class InspectionDialog final : public QDialog {
    Q_OBJECT
public:
    InspectionDialog(const InspectionDialogRequest& request, const QFont& textFont,
                     QWidget* parent);

    ReportBox* textBox() const { return textBox_; }
    QLabel* verdictBand() const { return band_; }
    QPushButton* copyButton() const { return copy_; }
    QPushButton* closeButton() const { return close_; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    ReportBox* textBox_ = nullptr;
    QLabel* band_ = nullptr;
    QPushButton* copy_ = nullptr;
    QPushButton* close_ = nullptr;
};

}  // namespace strovanik::shell::qt
