#include "inspection_dialog.h"

#include <QClipboard>
#include <QFontMetrics>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>
#include <QScreen>
#include <QVBoxLayout>
#include <algorithm>

#include "controls.h"
#include "shell/form1_commands.h"

namespace strovanik::shell::qt {

namespace {

QString fromUtf8(std::string_view text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

// The band's colours: green for a whole file, amber for a cut one, red for a damaged one,
// each dark enough for white letters.
QColor bandColour(report::Verdict verdict) {
    switch (verdict) {
        case report::Verdict::Complete:
            return {0x2E, 0x7D, 0x32};
        case report::Verdict::Truncated:
            return {0xB2, 0x5E, 0x00};
        case report::Verdict::Damaged:
            return {0xC6, 0x28, 0x28};
    }
    return Qt::darkGray;
}

constexpr int kMinimumColumns = 60;
constexpr int kMaximumLines = 30;

}  // namespace

InspectionDialog::InspectionDialog(const InspectionDialogRequest& request, const QFont& textFont,
                                   QWidget* parent)
    : QDialog(parent) {
    setObjectName(QStringLiteral("InspectionDialog"));
    setWindowTitle(fromUtf8(request.title));
    setModal(true);

    band_ = new QLabel(fromUtf8(request.verdictWord), this);
    band_->setObjectName(QStringLiteral("VerdictBand"));
    QFont bandFont = font();
    bandFont.setBold(true);
    bandFont.setPointSizeF(bandFont.pointSizeF() * 1.3);
    band_->setFont(bandFont);
    band_->setAutoFillBackground(true);
    QPalette bandPalette = band_->palette();
    bandPalette.setColor(QPalette::Window, bandColour(request.verdict));
    bandPalette.setColor(QPalette::WindowText, Qt::white);
    band_->setPalette(bandPalette);
    band_->setContentsMargins(12, 6, 12, 6);

    textBox_ = new ReportBox(this);
    textBox_->setObjectName(QStringLiteral("InspectionText"));
    textBox_->setReadOnly(true);
    // Read-only, the box still lets the keyboard move and select, for Ctrl+A and Ctrl+C.
    textBox_->setTextInteractionFlags(Qt::TextSelectableByKeyboard | Qt::TextSelectableByMouse);
    textBox_->setFont(textFont);
    textBox_->setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    textBox_->setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    textBox_->setReport(request.text);
    textBox_->installEventFilter(this);

    copy_ = new QPushButton(QStringLiteral("복사"), this);
    close_ = new QPushButton(QStringLiteral("닫기"), this);
    // Enter closes the dialog from every control, the copy button included.
    copy_->setAutoDefault(false);
    close_->setAutoDefault(false);
    close_->setDefault(true);
    connect(copy_, &QPushButton::clicked, this, [this] {
        QClipboard* clipboard = QGuiApplication::clipboard();
        clipboard->clear();
        clipboard->setText(fromUtf8(textBox_->report()));
    });
    connect(close_, &QPushButton::clicked, this, &QDialog::accept);

    auto* buttons = new QHBoxLayout;
    if (request.offersRepair) {
        repair_ = new QPushButton(fromUtf8(kRepairCommand), this);
        repair_->setObjectName(QStringLiteral("RepairButton"));
        repair_->setAutoDefault(false);
        connect(repair_, &QPushButton::clicked, this, [this] { done(kRepairChosen); });
        buttons->addWidget(repair_);
    }
    buttons->addStretch();
    buttons->addWidget(copy_);
    buttons->addWidget(close_);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(band_);
    layout->addWidget(textBox_, 1);
    layout->addLayout(buttons);

    // Wide enough for the longest line (Hangul letters are two columns wide) and tall enough
    // for every line, within the screen.
    const QFontMetrics metrics(textFont);
    const QStringList lines = textBox_->toPlainText().split(QChar('\n'));
    int width = metrics.horizontalAdvance(QString(kMinimumColumns, QChar('0')));
    for (const QString& line : lines) width = std::max(width, metrics.horizontalAdvance(line));
    const int rows = static_cast<int>(std::clamp<qsizetype>(lines.size(), 4, kMaximumLines));
    int height = metrics.lineSpacing() * (rows + 1);
    if (const QScreen* screen = parent != nullptr ? parent->screen() : nullptr) {
        width = std::min(width, screen->availableGeometry().width() * 9 / 10);
        height = std::min(height, screen->availableGeometry().height() * 2 / 3);
    }
    const int frame = 2 * textBox_->frameWidth() + metrics.averageCharWidth() * 2;
    textBox_->setMinimumSize(width + frame, height + frame);
}

void InspectionDialog::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    // The box has the keyboard from the start, so that Ctrl+A, Ctrl+C copies the text at once.
    textBox_->setFocus(Qt::ActiveWindowFocusReason);
}

bool InspectionDialog::eventFilter(QObject* watched, QEvent* event) {
    if (watched == textBox_ && event->type() == QEvent::KeyPress) {
        const auto* key = static_cast<QKeyEvent*>(event);
        if (key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter) {
            accept();
            return true;
        }
    }
    return QDialog::eventFilter(watched, event);
}

}  // namespace strovanik::shell::qt
