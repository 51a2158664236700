#include "form1.h"

#include <QAction>
#include <QCheckBox>
#include <QClipboard>
#include <QCoreApplication>
#include <QDesktopServices>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileDialog>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QMenu>
#include <QMessageBox>
#include <QMimeData>
#include <QPainter>
#include <QProgressDialog>
#include <QScreen>
#include <QStyle>
#include <QTimer>
#include <QUrl>
#include <algorithm>

#include "app_art.h"
#include "controls.h"
#include "inspection_dialog.h"

namespace strovanik::shell::qt {

namespace {

QString fromUtf8(std::string_view text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

QRect pixelRect(const TwipRect& place) {
    const PixelRect pixels = pixelsFromTwips(place);
    return {pixels.left, pixels.top, pixels.width, pixels.height};
}

// The banner over the title labels and the picture, painted by our own code.
class Banner final : public QWidget {
public:
    Banner(const QFont& titleFont, const QFont& taglineFont, QWidget* parent)
        : QWidget(parent), titleFont_(titleFont), taglineFont_(taglineFont) {}

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter painter(this);
        paintBanner(painter, rect(), titleFont_, taglineFont_);
    }

private:
    QFont titleFont_;
    QFont taglineFont_;
};

// The first local file of a drag, if it carries one.
std::optional<QString> droppedFile(const QMimeData* data) {
    if (data == nullptr || !data->hasUrls()) return std::nullopt;
    for (const QUrl& url : data->urls()) {
        if (url.isLocalFile()) return url.toLocalFile();
    }
    return std::nullopt;
}

}  // namespace

QFont Form1::fontFor(const FontDesign& design) const {
    QFont font(design.fixedPitch ? fixedPitchFamily_ : family_);
    if (design.fixedPitch) font.setStyleHint(QFont::TypeWriter);
    font.setPointSizeF(design.points > 0 ? design.points : kDefaultFontPoints);
    font.setBold(design.bold);
    font.setUnderline(design.underline);
    return font;
}

Form1::Form1(QWidget* parent)
    : QWidget(parent), family_(koreanFontFamily()), fixedPitchFamily_(koreanFontFamily(true)) {
    setObjectName(QStringLiteral("Form1"));
    setWindowIcon(appIcon());
    setFont(fontFor({}));
    setFixedSize(pixelsFromTwips(kClientWidthTwips), pixelsFromTwips(kClientHeightTwips));
    setWindowFlags(Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                   Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint |
                   Qt::MSWindowsFixedSizeDialogHint);
    setAcceptDrops(true);

    QWidget* previous = nullptr;
    for (const ControlDesign& design : kForm1Controls) {
        QWidget* widget = makeControl(design);
        widget->setObjectName(fromUtf8(design.name));
        widget->setGeometry(pixelRect(design.place));
        controls_[design.id] = widget;
        if (takesFocus(design.kind)) {
            if (previous != nullptr) setTabOrder(previous, widget);
            previous = widget;
        } else {
            widget->setFocusPolicy(Qt::NoFocus);
        }
    }
    // The banner lies over the title labels and the picture.
    controls_.at(ControlId::ShockwaveFlash1)->raise();

    checkAction_ = new QAction(fromUtf8(kCheckFileCommand), this);
    checkAction_->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_I));
    checkAction_->setShortcutContext(Qt::WindowShortcut);
    connect(checkAction_, &QAction::triggered, this, [this] { commands_.checkFile(); });
    addAction(checkAction_);
    sampleAction_ = new QAction(fromUtf8(kStructureSampleCommand), this);
    connect(sampleAction_, &QAction::triggered, this, [this] { commands_.makeStructureSample(); });
    repairAction_ = new QAction(fromUtf8(kRepairCommand), this);
    connect(repairAction_, &QAction::triggered, this, [this] { commands_.makeRepairedCopy(); });
    setFileCommandsEnabled(false);
    // The box's own entries stay; the file's commands come below them. The menu key asks for
    // the menu too, at the text cursor.
    reportBox_->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(reportBox_, &QWidget::customContextMenuRequested, this, &Form1::showReportMenu);
}

void Form1::showReportMenu(const QPoint& at) {
    std::unique_ptr<QMenu> menu(reportBox_->createStandardContextMenu(at));
    menu->setObjectName(QStringLiteral("ReportMenu"));
    menu->addSeparator();
    menu->addAction(checkAction_);
    menu->addAction(sampleAction_);
    menu->addAction(repairAction_);
    menu->exec(reportBox_->viewport()->mapToGlobal(at));
}

QLabel* Form1::makeLabel(const ControlDesign& design, const QString& caption, const QFont& font) {
    QLabel* label = nullptr;
    if (design.kind == ControlKind::LinkLabel) {
        auto* link = new LinkLabel(caption, this);
        const ControlId id = design.id;
        connect(link, &LinkLabel::clicked, this, [this, id] { commands_.click(id); });
        label = link;
    } else {
        label = new QLabel(caption, this);
    }
    label->setFont(font);
    label->setAlignment(
        (design.alignment == TextAlignment::Centre ? Qt::AlignHCenter : Qt::AlignLeft) |
        Qt::AlignTop);
    if (design.textColour) {
        QPalette palette = label->palette();
        palette.setColor(QPalette::WindowText, QColor(design.textColour->red,
                                                      design.textColour->green,
                                                      design.textColour->blue));
        label->setPalette(palette);
    }
    return label;
}

QWidget* Form1::makeControl(const ControlDesign& design) {
    const QString caption = fromUtf8(design.caption);
    const QFont font = fontFor(design.font);
    const ControlId id = design.id;
    switch (design.kind) {
        case ControlKind::TextBox: {
            reportBox_ = new ReportBox(this);
            reportBox_->setFont(font);
            return reportBox_;
        }
        case ControlKind::Label:
        case ControlKind::LinkLabel:
            return makeLabel(design, caption, font);
        case ControlKind::Button: {
            QPushButton* button = design.captionWraps ? new WrappingButton(caption, this)
                                                      : new QPushButton(caption, this);
            button->setFont(font);
            button->setAutoDefault(false);
            connect(button, &QPushButton::clicked, this, [this, id] { commands_.click(id); });
            return button;
        }
        case ControlKind::CheckBox: {
            auto* box = new QCheckBox(caption, this);
            box->setFont(font);
            box->setChecked(design.initiallyChecked);
            // `clicked` comes from the user only, after the box has changed its state.
            connect(box, &QCheckBox::clicked, this, [this, id] { commands_.click(id); });
            return box;
        }
        case ControlKind::Banner: {
            QFont title = fontFor({15.0, true});
            QFont tagline = fontFor({10.0});
            return new Banner(title, tagline, this);
        }
        case ControlKind::Image: {
            auto* image = new QLabel(this);
            image->setPixmap(QPixmap::fromImage(appIconImage(32)));
            return image;
        }
    }
    return new QWidget(this);
}

void Form1::startUp(std::string_view commandLinePath) { commands_.startUp(commandLinePath); }

void Form1::centreOnScreen() {
    const QScreen* current = screen() != nullptr ? screen() : QGuiApplication::primaryScreen();
    if (current == nullptr) return;
    move(current->availableGeometry().center() - rect().center());
}

void Form1::setCaption(std::string_view caption) { setWindowTitle(fromUtf8(caption)); }

std::string Form1::reportText() const { return reportBox_->report(); }

void Form1::setReportText(std::string_view text) { reportBox_->setReport(text); }

QCheckBox* Form1::checkBox(CheckBox box) const {
    return static_cast<QCheckBox*>(
        controls_.at(box == CheckBox::Check1 ? ControlId::Check1 : ControlId::Check2));
}

bool Form1::isChecked(CheckBox box) const { return checkBox(box)->isChecked(); }

void Form1::setEnabled(CheckBox box, bool enabled) { checkBox(box)->setEnabled(enabled); }

void Form1::showMessage(std::string_view text) {
    QMessageBox box(QMessageBox::NoIcon, fromUtf8(kApplicationTitle), fromUtf8(text),
                    QMessageBox::Ok, this);
    box.exec();
}

std::optional<std::string> Form1::askPath(const FileDialogRequest& request, bool save) {
    QFileDialog dialog(this, fromUtf8(request.title), fromUtf8(request.initialFolder));
    dialog.setAcceptMode(save ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
    // A typed name that names no file is accepted; the commands deal with it.
    dialog.setFileMode(QFileDialog::AnyFile);
    dialog.setOption(QFileDialog::DontConfirmOverwrite, !request.confirmReplace);
    dialog.setOption(QFileDialog::HideNameFilterDetails, true);
    const QStringList filters = qtNameFilters(request.filter);
    dialog.setNameFilters(filters);
    if (!filters.isEmpty()) dialog.selectNameFilter(filters.first());
    if (!request.proposedName.empty()) dialog.selectFile(fromUtf8(request.proposedName));
    if (dialog.exec() != QDialog::Accepted) return std::nullopt;
    const QStringList chosen = dialog.selectedFiles();
    if (chosen.isEmpty() || chosen.first().isEmpty()) return std::nullopt;
    return chosen.first().toStdString();
}

bool Form1::askYesNo(std::string_view question) {
    QMessageBox box(QMessageBox::NoIcon, fromUtf8(kApplicationTitle), fromUtf8(question),
                    QMessageBox::Yes | QMessageBox::No, this);
    box.button(QMessageBox::Yes)->setText(QStringLiteral("예"));
    box.button(QMessageBox::No)->setText(QStringLiteral("아니요"));
    // Replacing a file is undone by nothing: Enter alone keeps it.
    box.setDefaultButton(QMessageBox::No);
    return box.exec() == QMessageBox::Yes;
}

InspectionChoice Form1::showInspection(const InspectionDialogRequest& request) {
    // The check's lines stand in columns only in letters of one width.
    QFont fixed(fixedPitchFamily_);
    fixed.setStyleHint(QFont::TypeWriter);
    fixed.setFixedPitch(true);
    fixed.setPointSizeF(reportBox_->font().pointSizeF());
    InspectionDialog dialog(request, fixed, this);
    return dialog.exec() == InspectionDialog::kRepairChosen ? InspectionChoice::Repair
                                                             : InspectionChoice::Closed;
}

void Form1::beginProgress(std::string_view text) {
    progress_ = std::make_unique<QProgressDialog>(fromUtf8(text), QStringLiteral("취소"), 0, 100, this);
    progress_->setObjectName(QStringLiteral("ProgressDialog"));
    progress_->setWindowTitle(windowTitle());
    // Wide enough for the window's title in the dialog's own title bar.
    progress_->setMinimumWidth(fontMetrics().horizontalAdvance(windowTitle()) * 2 + 120);
    progress_->setWindowModality(Qt::WindowModal);
    progress_->setMinimumDuration(0);
    progress_->setAutoClose(false);
    progress_->setAutoReset(false);
    progress_->setValue(0);
}

bool Form1::advanceProgress(int percent) {
    if (!progress_) return true;
    // A modal progress dialog handles the window's events as its value moves.
    progress_->setValue(std::clamp(percent, 0, 100));
    QCoreApplication::processEvents();
    return !progress_->wasCanceled();
}

void Form1::endProgress() { progress_.reset(); }

Form1::~Form1() = default;

void Form1::setFileCommandsEnabled(bool enabled) {
    checkAction_->setEnabled(enabled);
    sampleAction_->setEnabled(enabled);
    repairAction_->setEnabled(enabled);
}

std::optional<std::string> Form1::askOpenPath(const FileDialogRequest& request) {
    return askPath(request, false);
}

std::optional<std::string> Form1::askSavePath(const FileDialogRequest& request) {
    return askPath(request, true);
}

void Form1::copyText(std::string_view text) {
    QClipboard* clipboard = QGuiApplication::clipboard();
    clipboard->clear();
    clipboard->setText(fromUtf8(text));
}

void Form1::openAddress(std::string_view address) {
    QDesktopServices::openUrl(QUrl(fromUtf8(address)));
}

void Form1::quit() {
    close();
    QCoreApplication::quit();
}

void Form1::keyPressEvent(QKeyEvent* event) {
    // Enter presses the focused button, as Space does. The buttons leave the key to the
    // window: none of them is a default button that Enter would press from elsewhere.
    const bool enter = event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter;
    auto* button = qobject_cast<QPushButton*>(focusWidget());
    const bool plain = (event->modifiers() & ~Qt::KeypadModifier) == Qt::NoModifier;
    if (enter && plain && button != nullptr && button->isEnabled()) {
        button->click();
        return;
    }
    QWidget::keyPressEvent(event);
}

void Form1::dragEnterEvent(QDragEnterEvent* event) {
    if (droppedFile(event->mimeData())) event->acceptProposedAction();
}

void Form1::dropEvent(QDropEvent* event) {
    const std::optional<QString> file = droppedFile(event->mimeData());
    if (!file) return;
    event->acceptProposedAction();
    // Loaded once the drop has finished: the analysis may show a message box, and the source
    // of the drag should not wait for it.
    const std::string path = file->toStdString();
    QTimer::singleShot(0, this, [this, path] { commands_.openChosenFile(path); });
}

}  // namespace strovanik::shell::qt
