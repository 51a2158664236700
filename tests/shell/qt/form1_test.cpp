#include "form1.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QDesktopServices>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QLabel>
#include <QMessageBox>
#include <QMimeData>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTest>
#include <QTextBlock>
#include <QTimer>
#include <QUrl>
#include <algorithm>
#include <filesystem>
#include <functional>
#include <vector>

#include "controls.h"
#include "report/analysis.h"
#include "shell/form1_commands.h"
#include "support/avi_writer.h"

namespace strovanik::shell::qt {
namespace {

namespace fs = std::filesystem;
using report::ReportLayout;
using testing::AviPlan;
using testing::TempFolder;

QString fromUtf8(std::string_view text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

// Runs `answer` on the next modal window (a dialog or a message box) once it is up. The
// commands wait inside the dialog's own event loop, which is where the answer comes from.
void whenModalShown(std::function<void(QWidget*)> answer) {
    auto* timer = new QTimer(qApp);
    timer->setInterval(5);
    QObject::connect(timer, &QTimer::timeout, [timer, answer = std::move(answer)] {
        QWidget* modal = QApplication::activeModalWidget();
        if (modal == nullptr || !modal->isVisible()) return;
        timer->stop();
        timer->deleteLater();
        answer(modal);
    });
    timer->start();
}

// What a message box showed, answered with OK.
struct SeenMessage {
    QString title;
    QString text;
    QMessageBox::Icon icon = QMessageBox::Information;
    int buttons = 0;
};
void answerNextMessage(SeenMessage& seen) {
    whenModalShown([&seen](QWidget* modal) {
        auto* box = qobject_cast<QMessageBox*>(modal);
        ASSERT_NE(box, nullptr);
        seen.title = box->windowTitle();
        seen.text = box->text();
        seen.icon = box->icon();
        seen.buttons = static_cast<int>(box->buttons().size());
        box->button(QMessageBox::Ok)->click();
    });
}

// What a file dialog was set up with, answered with `path` or cancelled.
struct SeenDialog {
    QString title;
    QString folder;
    QStringList filters;
    QString selectedFilter;
    QString proposedName;
    bool save = false;
};
void answerNextFileDialog(SeenDialog& seen, std::optional<QString> path) {
    whenModalShown([&seen, path](QWidget* modal) {
        auto* dialog = qobject_cast<QFileDialog*>(modal);
        ASSERT_NE(dialog, nullptr);
        seen.title = dialog->windowTitle();
        seen.folder = dialog->directory().absolutePath();
        seen.filters = dialog->nameFilters();
        seen.selectedFilter = dialog->selectedNameFilter();
        const QStringList selected = dialog->selectedFiles();
        seen.proposedName = selected.isEmpty() ? QString() : QFileInfo(selected.first()).fileName();
        seen.save = dialog->acceptMode() == QFileDialog::AcceptSave;
        if (path) {
            dialog->selectFile(*path);
            static_cast<QDialog*>(dialog)->accept();  // as the dialog's own button does
        } else {
            dialog->reject();
        }
    });
}

// Records the addresses the links open instead of starting a browser.
class AddressRecorder : public QObject {
    Q_OBJECT
public:
    QStringList opened;
public slots:
    void open(const QUrl& url) { opened << url.toString(); }
};

class Form1Test : public ::testing::Test {
protected:
    void SetUp() override {
        form = std::make_unique<Form1>();
        QDesktopServices::setUrlHandler(QStringLiteral("https"), &recorder, "open");
    }
    void TearDown() override { QDesktopServices::unsetUrlHandler(QStringLiteral("https")); }

    void startAndShow(const std::string& path = {}) {
        form->startUp(path);
        form->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(form.get()));
    }
    std::string writeAvi(std::string_view name) {
        const fs::path path = folder / name;
        testing::writeFile(path, testing::buildAvi(AviPlan{}));
        return path.string();
    }
    static std::string reportOf(const std::string& path, ReportLayout layout) {
        return report::analyseFile(path, report::bareFileName(path), layout).report;
    }
    template <typename T>
    T* widget(ControlId id) const {
        auto* found = qobject_cast<T*>(form->control(id));
        EXPECT_NE(found, nullptr) << controlDesign(id).name;
        return found;
    }
    void clickButton(ControlId id) {
        QTest::mouseClick(widget<QAbstractButton>(id), Qt::LeftButton);
    }
    std::string reportBoxText() const { return form->reportText(); }

    TempFolder folder;
    AddressRecorder recorder;
    std::unique_ptr<Form1> form;
};

TEST_F(Form1Test, EveryControlHasItsDesignedPlaceCaptionAndLook) {
    startAndShow();
    EXPECT_EQ(form->windowTitle(), QStringLiteral("Strovanik v1.75^^"));
    EXPECT_EQ(form->size(), QSize(426, 524));
    EXPECT_EQ(form->minimumSize(), form->maximumSize()) << "the window has a fixed size";
    EXPECT_FALSE(form->windowIcon().isNull());

    for (const ControlDesign& design : kForm1Controls) {
        QWidget* control = form->control(design.id);
        const PixelRect place = pixelsFromTwips(design.place);
        EXPECT_EQ(control->objectName(), fromUtf8(design.name));
        EXPECT_EQ(control->geometry(), QRect(place.left, place.top, place.width, place.height))
            << design.name;
        EXPECT_TRUE(control->isVisible()) << design.name;
        const QString caption = fromUtf8(design.caption);
        switch (design.kind) {
            case ControlKind::Label:
            case ControlKind::LinkLabel: {
                auto* label = qobject_cast<QLabel*>(control);
                ASSERT_NE(label, nullptr) << design.name;
                EXPECT_EQ(label->text(), caption) << design.name;
                EXPECT_EQ(label->textFormat() == Qt::RichText, false);
                break;
            }
            case ControlKind::Button:
            case ControlKind::CheckBox: {
                auto* button = qobject_cast<QAbstractButton*>(control);
                ASSERT_NE(button, nullptr) << design.name;
                EXPECT_EQ(button->text(), caption) << design.name;
                break;
            }
            case ControlKind::TextBox:
                EXPECT_EQ(qobject_cast<QPlainTextEdit*>(control)->toPlainText(), QString());
                break;
            case ControlKind::Image:
                EXPECT_EQ(qobject_cast<QLabel*>(control)->pixmap().size(), QSize(32, 32));
                break;
            case ControlKind::Banner:
                break;
        }
        if (design.font.points > 0) {
            EXPECT_DOUBLE_EQ(control->font().pointSizeF(), design.font.points) << design.name;
            EXPECT_EQ(control->font().bold(), design.font.bold) << design.name;
            EXPECT_EQ(control->font().underline(), design.font.underline) << design.name;
        }
        if (design.textColour) {
            const QColor colour = control->palette().color(QPalette::WindowText);
            EXPECT_EQ(colour, QColor(design.textColour->red, design.textColour->green,
                                     design.textColour->blue))
                << design.name;
        }
        if (design.kind == ControlKind::LinkLabel) {
            EXPECT_EQ(control->cursor().shape(), Qt::PointingHandCursor) << design.name;
        }
    }
    EXPECT_TRUE(widget<QCheckBox>(ControlId::Check1)->isChecked());
    EXPECT_FALSE(widget<QCheckBox>(ControlId::Check2)->isChecked());
    EXPECT_TRUE(widget<QCheckBox>(ControlId::Check2)->isEnabled());
}

TEST_F(Form1Test, TheBannerLiesOverTheTitleLabelsAndThePicture) {
    startAndShow();
    const QWidget* banner = form->control(ControlId::ShockwaveFlash1);
    for (const ControlId under : {ControlId::Label1, ControlId::Label2, ControlId::Image1}) {
        const QWidget* control = form->control(under);
        EXPECT_TRUE(banner->geometry().intersects(control->geometry()))
            << controlDesign(under).name;
        EXPECT_EQ(form->childAt(control->geometry().center()), banner) << controlDesign(under).name;
    }
}

TEST_F(Form1Test, TabMovesThroughTheControlsInTheDesignedOrder) {
    startAndShow();
    std::vector<QWidget*> expected;
    for (const ControlDesign& design : kForm1Controls) {
        if (takesFocus(design.kind)) expected.push_back(form->control(design.id));
    }
    ASSERT_EQ(expected.size(), 8u);
    expected.front()->setFocus();
    QApplication::processEvents();
    for (std::size_t i = 0; i < expected.size(); ++i) {
        ASSERT_EQ(QApplication::focusWidget(), expected[i]) << "tab stop " << i;
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    }
    EXPECT_EQ(QApplication::focusWidget(), expected.front()) << "the chain closes";
}

TEST_F(Form1Test, StartWithAnAviShowsItsReport) {
    const std::string path = writeAvi("a.avi");
    startAndShow(path);
    EXPECT_EQ(reportBoxText(), reportOf(path, ReportLayout::KoreanDetailed));
    EXPECT_EQ(form->state().fileName, "a.avi");
}

TEST_F(Form1Test, OpenSwitchesSaveAndCopyReachTheirCommands) {
    startAndShow();
    const std::string path = writeAvi("first.avi");

    SeenDialog open;
    answerNextFileDialog(open, fromUtf8(path));
    clickButton(ControlId::Command1);
    EXPECT_EQ(open.title, QStringLiteral("동영상 파일 선택"));
    EXPECT_FALSE(open.save);
    // The first choice is preselected and shows its description alone.
    EXPECT_EQ(open.selectedFilter, QStringLiteral("AVI 파일(*.avi)"));
    EXPECT_EQ(open.filters, qtNameFilters(kOpenDialogFilter));
    EXPECT_EQ(reportBoxText(), reportOf(path, ReportLayout::KoreanDetailed));

    QTest::mouseClick(widget<QCheckBox>(ControlId::Check1), Qt::LeftButton);
    EXPECT_FALSE(widget<QCheckBox>(ControlId::Check2)->isEnabled());
    EXPECT_EQ(reportBoxText(), reportOf(path, ReportLayout::English));
    QTest::mouseClick(widget<QCheckBox>(ControlId::Check1), Qt::LeftButton);
    QTest::mouseClick(widget<QCheckBox>(ControlId::Check2), Qt::LeftButton);
    EXPECT_TRUE(widget<QCheckBox>(ControlId::Check2)->isChecked());
    EXPECT_EQ(reportBoxText(), reportOf(path, ReportLayout::KoreanBrief));

    SeenDialog save;
    const fs::path saved = folder / "saved.txt";
    answerNextFileDialog(save, QString::fromStdString(saved.string()));
    clickButton(ControlId::Command2);
    EXPECT_TRUE(save.save);
    EXPECT_EQ(save.title, QStringLiteral("정보내용을 저장할 TXT파일 지정"));
    EXPECT_EQ(save.folder, QString::fromStdString(folder.path().string()));
    EXPECT_EQ(save.proposedName, QStringLiteral("first.avinfo.txt"));
    EXPECT_EQ(save.filters, qtNameFilters(kSaveDialogFilter));
    const testing::Bytes bytes = testing::readFile(saved);
    EXPECT_EQ(std::string(bytes.begin(), bytes.end()),
              reportOf(path, ReportLayout::KoreanBrief) + "\r\n");

    QGuiApplication::clipboard()->setText(QStringLiteral("something else"));
    clickButton(ControlId::Command4);
    EXPECT_EQ(QGuiApplication::clipboard()->text().toStdString(),
              reportOf(path, ReportLayout::KoreanBrief));
}

TEST_F(Form1Test, CancelledOpenChangesNothing) {
    startAndShow();
    SeenDialog open;
    answerNextFileDialog(open, std::nullopt);
    clickButton(ControlId::Command1);
    EXPECT_EQ(open.title, QStringLiteral("동영상 파일 선택"));
    EXPECT_FALSE(form->state().fileLoaded());
    EXPECT_EQ(reportBoxText(), "");
}

TEST_F(Form1Test, SaveAsksBeforeItReplacesAFile) {
    startAndShow(writeAvi("a.avi"));
    const fs::path existing = folder / "keep.txt";
    testing::writeFile(existing, testing::Bytes{'o', 'l', 'd'});
    SeenDialog save;
    QString question;
    whenModalShown([&](QWidget* modal) {
        auto* dialog = qobject_cast<QFileDialog*>(modal);
        ASSERT_NE(dialog, nullptr);
        // The question comes up inside accept(); it is answered "No", then the dialog closes.
        whenModalShown([&, dialog](QWidget* box) {
            auto* question_box = qobject_cast<QMessageBox*>(box);
            ASSERT_NE(question_box, nullptr);
            question = question_box->text();
            question_box->button(QMessageBox::No)->click();
            QTimer::singleShot(0, dialog, &QFileDialog::reject);
        });
        dialog->selectFile(QString::fromStdString(existing.string()));
        static_cast<QDialog*>(dialog)->accept();
    });
    clickButton(ControlId::Command2);
    EXPECT_FALSE(question.isEmpty());
    const testing::Bytes kept = testing::readFile(existing);
    EXPECT_EQ(std::string(kept.begin(), kept.end()), "old");
}

TEST_F(Form1Test, HeaderSampleAndMessagesBoxesHaveOkOnlyNoIconAndTheProgramsTitle) {
    const std::string path = writeAvi("a.avi");
    startAndShow(path);
    SeenMessage seen;
    answerNextMessage(seen);
    clickButton(ControlId::Command5);
    EXPECT_EQ(seen.text, QStringLiteral("샘플작성이 완료되었습니다"));
    EXPECT_EQ(seen.title, QStringLiteral("Strovanik"));
    EXPECT_EQ(seen.icon, QMessageBox::NoIcon);
    EXPECT_EQ(seen.buttons, 1);
    EXPECT_EQ(fs::file_size(folder / "aHDR.avi"), 3'200'004u);
}

TEST_F(Form1Test, LinksOpenTheirAddressesAndExitClosesTheWindow) {
    startAndShow();
    QStringList expected;
    for (const ControlId link :
         {ControlId::Label3, ControlId::Label6, ControlId::Label8, ControlId::Label10}) {
        QTest::mouseClick(form->control(link), Qt::LeftButton);
        expected << fromUtf8(webAddressUrl(controlDesign(link).caption));
    }
    EXPECT_EQ(recorder.opened, expected);
    // A press that leaves the label before the release is no click.
    QWidget* link = form->control(ControlId::Label3);
    QTest::mousePress(link, Qt::LeftButton);
    QTest::mouseRelease(link, Qt::LeftButton, {}, QPoint(-5, -5));
    EXPECT_EQ(recorder.opened.size(), 4);

    clickButton(ControlId::Command3);
    EXPECT_FALSE(form->isVisible());
}

TEST_F(Form1Test, ADroppedFileIsOpenedLikeAChosenOne) {
    startAndShow();
    const std::string path = writeAvi("dropped file.avi");
    QMimeData data;
    data.setUrls({QUrl::fromLocalFile(QString::fromStdString(path))});
    const QPoint at = form->control(ControlId::Text1)->geometry().center();
    QDragEnterEvent enter(at, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(form.get(), &enter);
    EXPECT_TRUE(enter.isAccepted());
    QDropEvent drop(at, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(form.get(), &drop);
    EXPECT_TRUE(drop.isAccepted());
    QTRY_COMPARE_WITH_TIMEOUT(form->state().fileName, std::string("dropped file.avi"), 2000);
    EXPECT_EQ(reportBoxText(), reportOf(path, ReportLayout::KoreanDetailed));
    EXPECT_EQ(form->state().dialogFolder, (folder.path() / "").string());

    // Text without a file is not taken.
    QMimeData text;
    text.setText(QStringLiteral("not a file"));
    QDragEnterEvent textEnter(at, Qt::CopyAction, &text, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(form.get(), &textEnter);
    EXPECT_FALSE(textEnter.isAccepted());
}

// Where the first colon of each row that has one is drawn, in pixels from the left.
std::vector<int> colonPositions(const QPlainTextEdit& box) {
    std::vector<int> positions;
    for (QTextBlock block = box.document()->begin(); block.isValid(); block = block.next()) {
        const int colon = static_cast<int>(block.text().indexOf(QChar(':')));
        if (colon < 0) continue;
        QTextCursor cursor(block);
        cursor.setPosition(block.position() + colon);
        positions.push_back(box.cursorRect(cursor).left());
    }
    return positions;
}

TEST_F(Form1Test, EveryLabelsColonOfAKoreanReportStandsInOneColumn) {
    AviPlan plan;
    plan.audio = {testing::AudioPlan{}, testing::AudioPlan{}};
    const fs::path path = folder / "two sounds.avi";
    testing::writeFile(path, testing::buildAvi(plan));
    startAndShow(path.string());
    auto* box = widget<QPlainTextEdit>(ControlId::Text1);
    const QString family = box->font().family();
    EXPECT_TRUE(std::any_of(kFixedPitchKoreanFontFamilies.begin(),
                            kFixedPitchKoreanFontFamilies.end(),
                            [&](std::string_view name) { return fromUtf8(name) == family; }))
        << family.toStdString() << " is none of the fixed-pitch Korean fonts";

    for (const bool brief : {false, true}) {
        widget<QCheckBox>(ControlId::Check2)->setChecked(brief);
        form->setReportText(reportOf(
            path.string(), brief ? ReportLayout::KoreanBrief : ReportLayout::KoreanDetailed));
        QApplication::processEvents();
        const std::vector<int> colons = colonPositions(*box);
        ASSERT_GE(colons.size(), 10u) << "brief " << brief;
        const auto [left, right] = std::minmax_element(colons.begin(), colons.end());
        EXPECT_EQ(*left, *right) << "brief " << brief << ": the colons lie between " << *left
                                 << " and " << *right << " px";
        // The colon follows the label: a Hangul syllable takes the room of two letters.
        const QFontMetrics metrics(box->font());
        EXPECT_EQ(metrics.horizontalAdvance(QStringLiteral("파")),
                  2 * metrics.horizontalAdvance(QChar('a')));
    }
}

TEST_F(Form1Test, EnterPressesTheFocusedButtonAndNothingElse) {
    const std::string path = writeAvi("a.avi");
    startAndShow(path);
    const std::string report = reportOf(path, ReportLayout::KoreanDetailed);
    struct Case {
        Qt::Key key;
        Qt::KeyboardModifiers modifiers;
    };
    for (const Case c :
         {Case{Qt::Key_Return, Qt::NoModifier}, Case{Qt::Key_Enter, Qt::KeypadModifier}}) {
        QGuiApplication::clipboard()->setText(QStringLiteral("something else"));
        auto* copy = widget<QPushButton>(ControlId::Command4);
        copy->setFocus();
        QTest::keyClick(copy, c.key, c.modifiers);
        EXPECT_EQ(QGuiApplication::clipboard()->text().toStdString(), report) << c.key;
    }
    // On a check box Enter changes nothing; in the report box it starts a new line.
    auto* korean = widget<QCheckBox>(ControlId::Check1);
    korean->setFocus();
    QTest::keyClick(korean, Qt::Key_Return);
    EXPECT_TRUE(korean->isChecked());
    EXPECT_EQ(reportBoxText(), report);
    auto* box = widget<QPlainTextEdit>(ControlId::Text1);
    box->setFocus();
    box->moveCursor(QTextCursor::End);
    QTest::keyClick(box, Qt::Key_Return);
    EXPECT_EQ(reportBoxText(), report + "\r\n");

    auto* exit = widget<QPushButton>(ControlId::Command3);
    exit->setFocus();
    QTest::keyClick(exit, Qt::Key_Return);
    EXPECT_FALSE(form->isVisible());
}

TEST_F(Form1Test, CtrlCInTheReportBoxCopiesWithCrLfLineEnds) {
    const std::string path = writeAvi("a.avi");
    startAndShow(path);
    const std::string report = reportOf(path, ReportLayout::KoreanDetailed);
    auto* box = widget<QPlainTextEdit>(ControlId::Text1);
    box->setFocus();
    QTest::keyClick(box, Qt::Key_A, Qt::ControlModifier);
    QTest::keyClick(box, Qt::Key_C, Qt::ControlModifier);
    EXPECT_EQ(QGuiApplication::clipboard()->text().toStdString(), report);

    // The first two rows, from the start of the text to the start of the third row.
    QTextCursor cursor(box->document());
    cursor.movePosition(QTextCursor::Down, QTextCursor::KeepAnchor, 2);
    box->setTextCursor(cursor);
    QTest::keyClick(box, Qt::Key_C, Qt::ControlModifier);
    const std::size_t secondEnd = report.find("\r\n", report.find("\r\n") + 2) + 2;
    EXPECT_EQ(QGuiApplication::clipboard()->text().toStdString(), report.substr(0, secondEnd));
}

TEST(ReportBox, TextReadBackHasCrLfLineEndsWhateverTheWidgetKeeps) {
    struct Case {
        std::string given;
    };
    const std::vector<std::string> cases = {
        "",
        "one line\r\n",
        "  파 일 명 : a.avi\r\n\r\n  비디오\r\n",
        "no end",
        "odd\rcarriage\r\n",  // a lone CR inside a line survives
        "a\xC2\xA0"
        "b\r\n",  // so does a no-break space
    };
    for (const std::string& given : cases) {
        ReportBox box;
        box.setReport(given);
        EXPECT_EQ(box.report(), given);
    }
    ReportBox box;
    box.setReport("first\r\nsecond\r\n");
    box.moveCursor(QTextCursor::End);
    box.insertPlainText(QStringLiteral("typed\nmore"));
    EXPECT_EQ(box.report(), "first\r\nsecond\r\ntyped\r\nmore");
}

TEST(QtNameFilters, EachChoiceShowsItsDescriptionAndAllFilesMeansEveryName) {
    EXPECT_EQ(qtNameFilters(kOpenDialogFilter),
              (QStringList{QStringLiteral("AVI 파일(*.avi) (*.avi)"),
                           QStringLiteral("모든 파일(*.*) (*)")}));
    EXPECT_EQ(qtNameFilters("Videos|*.avi;*.divx"),
              QStringList{QStringLiteral("Videos (*.avi *.divx)")});
    EXPECT_TRUE(qtNameFilters("").isEmpty());
}

TEST(WrappedCaption, BreaksBetweenHangulLettersButNeverInsideLatinRuns) {
    QFont font;
    font.setPixelSize(12);
    const QFontMetrics metrics(font);
    const QString caption = QStringLiteral("동영상헤더샘플만들기(3MB)");
    const int narrow = metrics.horizontalAdvance(QStringLiteral("동영상헤더")) + 1;
    const QStringList lines = wrappedCaption(caption, metrics, narrow);
    EXPECT_EQ(lines.join(QString()), caption);
    for (const QString& line : lines) {
        EXPECT_LE(metrics.horizontalAdvance(line), narrow) << line.toStdString();
    }
    EXPECT_EQ(lines.last(), QStringLiteral("(3MB)"));
    EXPECT_EQ(wrappedCaption(caption, metrics, 10000), QStringList{caption});
    EXPECT_EQ(wrappedCaption(QStringLiteral("복 사 하 기"), metrics, 10000),
              QStringList{QStringLiteral("복 사 하 기")});
}

}  // namespace
}  // namespace strovanik::shell::qt

#include "form1_test.moc"
