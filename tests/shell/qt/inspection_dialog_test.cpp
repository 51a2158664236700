#include "inspection_dialog.h"

#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QContextMenuEvent>
#include <QLabel>
#include <QMenu>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>

#include "cli/command_run.h"
#include "controls.h"
#include "form1.h"
#include "support/avi_writer.h"

// The report box's context menu and the file check's dialog in the real window, reached by the
// keyboard as a user reaches them, the dialog's text held against strovanik-report --check.
namespace strovanik::shell::qt {
namespace {

namespace fs = std::filesystem;
using testing::Bytes;

const fs::path kSamples = fs::path(STROVANIK_SOURCE_DIR) / "samples";

// Runs `act` on the first widget that `find` gives once the event loop has one. The watch
// ends with the returned guard, so that it never outlives what `act` refers to.
std::unique_ptr<QTimer> whenShown(std::function<QWidget*()> find,
                                  std::function<void(QWidget*)> act) {
    auto timer = std::make_unique<QTimer>();
    timer->setInterval(5);
    QObject::connect(timer.get(), &QTimer::timeout, [watch = timer.get(), find, act] {
        QWidget* shown = find();
        if (shown == nullptr || !shown->isVisible()) return;
        watch->stop();
        act(shown);
    });
    timer->start();
    return timer;
}

std::unique_ptr<QTimer> whenDialogShown(std::function<void(InspectionDialog*)> act) {
    return whenShown([] { return QApplication::activeModalWidget(); },
                     [act](QWidget* modal) {
                         auto* dialog = qobject_cast<InspectionDialog*>(modal);
                         ASSERT_NE(dialog, nullptr) << modal->metaObject()->className();
                         act(dialog);
                     });
}

class InspectionDialogTest : public ::testing::Test {
protected:
    void SetUp() override {
        const Bytes sample = testing::readFile(kSamples / "mp3_sound.avi");
        testing::writeFile(whole, testing::readFile(kSamples / "silent.avi"));
        testing::writeFile(cut, Bytes(sample.begin(), sample.begin() + 10'000));
        testing::writeFile(damaged, testing::buildAvi({}));
        testing::writeFile(asf, {0x30, 0x26, 0xB2, 0x75, 0x8E, 0x66, 0xCF, 0x11, 0xA6, 0xD9});
    }
    void start(const fs::path& path) {
        form = std::make_unique<Form1>();
        form->startUp(path.string());
        form->show();
        form->activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(form.get()));
        reportBox()->setFocus();
    }
    ReportBox* reportBox() const {
        return qobject_cast<ReportBox*>(form->control(ControlId::Text1));
    }
    // Ctrl+I from the report box; true when the check's dialog came up.
    bool pressCtrlI(std::function<void(InspectionDialog*)> act) {
        bool shown = false;
        const auto watch = whenDialogShown([&](InspectionDialog* dialog) {
            shown = true;
            act(dialog);
        });
        QTest::keyClick(reportBox(), Qt::Key_I, Qt::ControlModifier);
        QTest::qWait(30);
        return shown;
    }

    testing::TempFolder folder;
    fs::path whole = folder / "whole.avi";
    fs::path cut = folder / "cut.avi";
    fs::path damaged = folder / "damaged.avi";
    fs::path asf = folder / "clip.asf";
    std::unique_ptr<Form1> form;
};

TEST_F(InspectionDialogTest, CtrlIShowsWhatCheckPrintsWhichCopiesWithCrLfEnds) {
    // How each case copies the text and closes the dialog.
    enum class Way { CtrlCThenEnter, CtrlCThenEscape, CopyButtonThenEnterOnIt };
    const struct {
        const fs::path& file;
        bool english;
        Way way;
    } cases[] = {
        {whole, false, Way::CtrlCThenEnter},        {whole, true, Way::CtrlCThenEscape},
        {cut, false, Way::CopyButtonThenEnterOnIt}, {cut, true, Way::CtrlCThenEscape},
        {damaged, false, Way::CtrlCThenEnter},      {damaged, true, Way::CopyButtonThenEnterOnIt},
    };
    QColor completeBand;
    QColor damagedBand;
    for (const auto& c : cases) {
        start(c.file);
        if (c.english) QTest::mouseClick(form->control(ControlId::Check1), Qt::LeftButton);
        std::vector<std::string> args = {"--check", c.file.string()};
        if (c.english) args = {"--check", "--layout", "english", c.file.string()};
        const std::string expected = testing::withCrLf(testing::runInProcess(args).out);
        ASSERT_FALSE(expected.empty());
        reportBox()->setFocus();
        const bool shown = pressCtrlI([&](InspectionDialog* dialog) {
            EXPECT_EQ(dialog->windowTitle().toStdString(),
                      "파일 점검 - " + c.file.filename().string());
            EXPECT_EQ(dialog->textBox()->report(), expected) << c.file;
            EXPECT_TRUE(dialog->textBox()->isReadOnly());
            // Latin letters and digits of one width (Korean coding fonts give Hangul two).
            const QFontMetrics metrics(dialog->textBox()->font());
            EXPECT_EQ(metrics.horizontalAdvance(QStringLiteral("iiii")),
                      metrics.horizontalAdvance(QStringLiteral("WW00")));
            // Once the dialog is the active window, the keyboard is in the text box.
            EXPECT_TRUE(QTest::qWaitFor(
                [&] { return QApplication::focusWidget() == dialog->textBox(); }, 1000));
            const QColor band = dialog->verdictBand()->palette().color(QPalette::Window);
            if (c.file == whole) completeBand = band;
            if (c.file == damaged) damagedBand = band;
            QGuiApplication::clipboard()->clear();
            if (c.way == Way::CopyButtonThenEnterOnIt) {
                QTest::mouseClick(dialog->copyButton(), Qt::LeftButton);
                EXPECT_TRUE(dialog->isVisible()) << "copying leaves it open";
                dialog->copyButton()->setFocus();
                QTest::keyClick(dialog->copyButton(), Qt::Key_Return);
            } else {
                QTest::keyClick(dialog->textBox(), Qt::Key_A, Qt::ControlModifier);
                QTest::keyClick(dialog->textBox(), Qt::Key_C, Qt::ControlModifier);
                QTest::keyClick(dialog->textBox(),
                                c.way == Way::CtrlCThenEnter ? Qt::Key_Return : Qt::Key_Escape);
            }
            EXPECT_EQ(QGuiApplication::clipboard()->text().toStdString(), expected);
        });
        EXPECT_TRUE(shown) << c.file;
        EXPECT_EQ(QApplication::activeModalWidget(), nullptr) << "Enter and Escape close it";
    }
    EXPECT_NE(completeBand, damagedBand) << "the verdict's colour tells it at once";
}

TEST_F(InspectionDialogTest, TheMenuKeyShowsTheEntriesEnabledOnlyForAnAviFile) {
    const struct {
        const fs::path* file;  // nothing: no file loaded
        bool enabled;
    } cases[] = {{nullptr, false}, {&asf, false}, {&whole, true}, {&damaged, true}};
    for (const auto& c : cases) {
        std::unique_ptr<QTimer> refusal;
        if (c.file == &asf) {
            // The refusal's message box comes up during the start.
            refusal = whenShown([] { return QApplication::activeModalWidget(); },
                                [](QWidget* box) { qobject_cast<QMessageBox*>(box)->accept(); });
        }
        start(c.file != nullptr ? *c.file : fs::path());
        QStringList entries;
        bool checkEnabled = !c.enabled;
        bool sampleEnabled = !c.enabled;
        bool repairEnabled = !c.enabled;
        const auto menuWatch =
            whenShown([] { return QApplication::activePopupWidget(); },
                      [&](QWidget* popup) {
                          auto* menu = qobject_cast<QMenu*>(popup);
                          ASSERT_NE(menu, nullptr);
                          for (QAction* action : menu->actions()) {
                              entries << action->text();
                              if (action->text() == QStringLiteral("파일 점검"))
                                  checkEnabled = action->isEnabled();
                              if (action->text() == QStringLiteral("구조 샘플 만들기"))
                                  sampleEnabled = action->isEnabled();
                              if (action->text() == QStringLiteral("복구본 만들기"))
                                  repairEnabled = action->isEnabled();
                          }
                          menu->close();
                      });
        // What the menu key becomes: a request from the keyboard for the focused box's menu.
        QContextMenuEvent menuKey(QContextMenuEvent::Keyboard, QPoint(10, 10),
                                  reportBox()->viewport()->mapToGlobal(QPoint(10, 10)));
        QApplication::sendEvent(reportBox()->viewport(), &menuKey);
        QTest::qWait(20);
        EXPECT_TRUE(entries.contains(QStringLiteral("파일 점검")))
            << entries.join('|').toStdString();
        EXPECT_TRUE(entries.contains(QStringLiteral("구조 샘플 만들기")));
        EXPECT_EQ(checkEnabled, c.enabled);
        EXPECT_EQ(sampleEnabled, c.enabled);
        EXPECT_TRUE(entries.contains(QStringLiteral("복구본 만들기")));
        EXPECT_EQ(repairEnabled, c.enabled);
        if (!c.enabled) {
            // Ctrl+I does nothing: no dialog of any kind.
            bool anything = false;
            const auto watch = whenShown([] { return QApplication::activeModalWidget(); },
                                         [&](QWidget* modal) {
                                             anything = true;
                                             modal->close();
                                         });
            QTest::keyClick(reportBox(), Qt::Key_I, Qt::ControlModifier);
            QTest::qWait(30);
            EXPECT_FALSE(anything);
        }
    }
}

// The dialog of a cut or damaged file offers the repaired copy, whose button leads to the save
// dialog; a complete file's dialog has no such button.
TEST_F(InspectionDialogTest, ACutFilesDialogOffersTheRepairedCopy) {
    for (const fs::path* file : {&whole, &damaged}) {
        start(*file);
        const bool offered = file != &whole;
        bool hadButton = false;
        bool saveDialogShown = false;
        std::unique_ptr<QTimer> saveWatch;
        const bool shown = pressCtrlI([&](InspectionDialog* dialog) {
            hadButton = dialog->repairButton() != nullptr;
            if (!hadButton) {
                dialog->close();
                return;
            }
            EXPECT_EQ(dialog->repairButton()->text(), QStringLiteral("복구본 만들기"));
            saveWatch = whenShown([] { return QApplication::activeModalWidget(); },
                                  [&](QWidget* modal) {
                                      if (qobject_cast<InspectionDialog*>(modal) != nullptr) return;
                                      saveDialogShown = true;
                                      modal->close();
                                  });
            dialog->repairButton()->click();
        });
        QTest::qWait(100);
        EXPECT_TRUE(shown) << *file;
        EXPECT_EQ(hadButton, offered) << *file;
        EXPECT_EQ(saveDialogShown, offered) << *file;
    }
}

}  // namespace
}  // namespace strovanik::shell::qt
