#pragma once

#include <QFontMetrics>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QString>
#include <QStringList>
#include <string>
#include <string_view>

// The few controls of the window that Qt has no exact match for.
namespace strovanik::shell::qt {

// A label that opens its address when clicked: underlined, in its own colour, with the hand
// pointer. Like the window's other labels it takes no keyboard focus.
class LinkLabel final : public QLabel {
    Q_OBJECT
public:
    explicit LinkLabel(const QString& text, QWidget* parent = nullptr);

signals:
    void clicked();

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    bool pressed_ = false;
};

// A button whose caption breaks into lines to fit, for the one tall button.
class WrappingButton final : public QPushButton {
    Q_OBJECT
public:
    using QPushButton::QPushButton;

protected:
    void paintEvent(QPaintEvent* event) override;
};

// The report box. Reports are written with CR LF line ends, which the widget keeps as its own
// paragraphs; the text read back has CR LF again and, while the widget still shows the text it
// was given, is exactly that text, byte for byte.
class ReportBox final : public QPlainTextEdit {
    Q_OBJECT
public:
    explicit ReportBox(QWidget* parent = nullptr);

    void setReport(std::string_view utf8);
    std::string report() const;

protected:
    // What Ctrl+C, Ctrl+X and dragging a selection take: plain text with CR LF line ends,
    // as the copy button puts it on the clipboard.
    QMimeData* createMimeDataFromSelection() const override;

private:
    std::string lastReport_;
    QString lastShown_;
};

// The lines of a caption broken to fit `width`: between Hangul letters and at spaces, never
// inside a run of Latin letters, digits and signs.
QStringList wrappedCaption(const QString& caption, const QFontMetrics& metrics, int width);

// The file dialog's type list from the commands' filter text. Each entry shows its own
// description (the dialog hides the pattern part) and lets through the names its pattern
// matches; "*.*" means every name, as on the system the filters were written for.
QStringList qtNameFilters(std::string_view filter);

// The Korean font family to use: the first of the design's families that is installed, else
// any installed family that covers Hangul, else the default one. With `fixedPitch`, the
// same from the design's fixed-pitch families, falling back on fixed-pitch ones only.
QString koreanFontFamily(bool fixedPitch = false);

}  // namespace strovanik::shell::qt
