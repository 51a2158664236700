#include "controls.h"

#include <QFontDatabase>
#include <QMimeData>
#include <QMouseEvent>
#include <QStyle>
#include <QStyleOptionButton>
#include <QStylePainter>
#include <QTextDocumentFragment>
#include <QTextOption>
#include <span>

#include "shell/dialog_filter.h"
#include "shell/form_design.h"

namespace strovanik::shell::qt {

namespace {

QString fromUtf8(std::string_view text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

// A Hangul syllable stands alone; any other run of letters, digits and signs ("(3MB)") is kept
// whole; spaces only separate.
QStringList captionPieces(const QString& caption) {
    QStringList pieces;
    QString run;
    auto endRun = [&] {
        if (!run.isEmpty()) pieces << run;
        run.clear();
    };
    for (const QChar c : caption) {
        const bool hangul = c.unicode() >= 0xAC00 && c.unicode() <= 0xD7A3;
        if (c.isSpace()) {
            endRun();
            pieces << QStringLiteral(" ");
        } else if (hangul) {
            endRun();
            pieces << QString(c);
        } else {
            run += c;
        }
    }
    endRun();
    return pieces;
}

// The widget's text with CR LF line ends, whichever line ends it holds.
QString withCrLf(QString text) {
    text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    text.replace(QChar('\n'), QStringLiteral("\r\n"));
    return text;
}

}  // namespace

QStringList wrappedCaption(const QString& caption, const QFontMetrics& metrics, int width) {
    QStringList lines;
    QString line;
    for (const QString& piece : captionPieces(caption)) {
        if (piece == QStringLiteral(" ") && line.isEmpty()) continue;
        if (!line.isEmpty() && metrics.horizontalAdvance(line + piece) > width) {
            lines << line.trimmed();
            line.clear();
            if (piece == QStringLiteral(" ")) continue;
        }
        line += piece;
    }
    if (!line.trimmed().isEmpty()) lines << line.trimmed();
    return lines;
}

LinkLabel::LinkLabel(const QString& text, QWidget* parent) : QLabel(text, parent) {
    setCursor(Qt::PointingHandCursor);
    setFocusPolicy(Qt::NoFocus);
}

void LinkLabel::mousePressEvent(QMouseEvent* event) {
    pressed_ = event->button() == Qt::LeftButton;
    event->accept();
}

void LinkLabel::mouseReleaseEvent(QMouseEvent* event) {
    const bool click = pressed_ && event->button() == Qt::LeftButton &&
                       rect().contains(event->position().toPoint());
    pressed_ = false;
    event->accept();
    if (click) emit clicked();
}

void WrappingButton::paintEvent(QPaintEvent*) {
    QStylePainter painter(this);
    QStyleOptionButton option;
    initStyleOption(&option);
    const QString caption = option.text;
    option.text.clear();
    painter.drawControl(QStyle::CE_PushButton, option);
    const QRect area = style()
                           ->subElementRect(QStyle::SE_PushButtonContents, &option, this)
                           .adjusted(1, 1, -1, -1);
    painter.setPen(option.palette.color(isEnabled() ? QPalette::Active : QPalette::Disabled,
                                        QPalette::ButtonText));
    painter.drawText(
        area, Qt::AlignCenter,
        wrappedCaption(caption, painter.fontMetrics(), area.width()).join(QChar('\n')));
}

ReportBox::ReportBox(QWidget* parent) : QPlainTextEdit(parent) {
    setLineWrapMode(QPlainTextEdit::NoWrap);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    // Tab moves on to the next control, as in the window's tab order.
    setTabChangesFocus(true);
    // Files dropped here go to the window, which opens them.
    setAcceptDrops(false);
}

void ReportBox::setReport(std::string_view utf8) {
    lastReport_ = std::string(utf8);
    QString text = fromUtf8(utf8);
    text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    setPlainText(text);
    lastShown_ = toPlainText();
}

std::string ReportBox::report() const {
    const QString shown = toPlainText();
    if (shown == lastShown_) return lastReport_;
    return withCrLf(shown).toStdString();
}

QMimeData* ReportBox::createMimeDataFromSelection() const {
    auto* data = new QMimeData;
    data->setText(withCrLf(textCursor().selection().toPlainText()));
    return data;
}

QStringList qtNameFilters(std::string_view filter) {
    QStringList filters;
    for (const FilterChoice& choice : parseDialogFilter(filter)) {
        QStringList patterns;
        for (const QString& pattern :
             fromUtf8(choice.pattern).split(QChar(';'), Qt::SkipEmptyParts)) {
            patterns << (pattern.trimmed() == QStringLiteral("*.*") ? QStringLiteral("*")
                                                                    : pattern.trimmed());
        }
        filters << fromUtf8(choice.description) + QStringLiteral(" (") + patterns.join(QChar(' ')) +
                       QChar(')');
    }
    return filters;
}

QString koreanFontFamily(bool fixedPitch) {
    const QStringList installed = QFontDatabase::families();
    const auto preferred = fixedPitch
                               ? std::span<const std::string_view>(kFixedPitchKoreanFontFamilies)
                               : std::span<const std::string_view>(kKoreanFontFamilies);
    for (const std::string_view family : preferred) {
        const QString name = fromUtf8(family);
        if (installed.contains(name, Qt::CaseInsensitive)) return name;
    }
    for (const QString& family : QFontDatabase::families(QFontDatabase::Korean)) {
        if (QFontDatabase::isPrivateFamily(family)) continue;
        if (!fixedPitch || QFontDatabase::isFixedPitch(family)) return family;
    }
    return fixedPitch ? QFontDatabase::systemFont(QFontDatabase::FixedFont).family()
                      : QFont().family();
}

}  // namespace strovanik::shell::qt
