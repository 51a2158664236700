#include <gtest/gtest.h>

#include <QApplication>

// The window tests run on Qt's offscreen platform: no display is needed, and the widget file
// dialogs (never a desktop's own) are the ones the tests answer.
int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication::setAttribute(Qt::AA_DontUseNativeDialogs);
    QApplication application(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
