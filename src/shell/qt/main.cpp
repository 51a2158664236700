#include <QApplication>
#include <string>
#include <vector>

#include "app_art.h"
#include "form1.h"
#include "shell/command_line.h"

int main(int argc, char** argv) {
    // The whole command line is the path of the file to open, so Qt is shown none of it: a
    // file named like one of Qt's own options still opens. (QT_QPA_PLATFORM and the like
    // still work.)
    const std::vector<std::string> arguments(argv + 1, argv + argc);
    int qtArgumentCount = 1;
    QApplication application(qtArgumentCount, argv);
    QApplication::setApplicationName(QStringLiteral("strovanik"));
    QApplication::setDesktopFileName(QStringLiteral("strovanik"));
    QApplication::setWindowIcon(strovanik::shell::qt::appIcon());

    strovanik::shell::qt::Form1 form;
    form.startUp(strovanik::shell::pathFromArguments(arguments));
    form.centreOnScreen();
    form.show();
    return QApplication::exec();
}
