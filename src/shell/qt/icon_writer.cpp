// Writes the program's icon as PNG files for the desktop's icon theme, at build time:
// icon_writer FOLDER SIZE... gives FOLDER/SIZExSIZE/apps/strovanik.png for each size.
#include <QDir>
#include <QImage>
#include <cstdio>
#include <cstdlib>

#include "app_art.h"

int main(int argc, char** argv) {
    if (argc < 3) {
        std::fprintf(stderr, "usage: %s FOLDER SIZE...\n", argv[0]);
        return 2;
    }
    const QString folder = QString::fromLocal8Bit(argv[1]);
    for (int i = 2; i < argc; ++i) {
        const int size = std::atoi(argv[i]);
        if (size <= 0) return 2;
        const QString appsFolder = QStringLiteral("%1/%2x%2/apps").arg(folder).arg(size);
        if (!QDir().mkpath(appsFolder)) return 1;
        if (!strovanik::shell::qt::appIconImage(size).save(appsFolder + "/strovanik.png")) return 1;
    }
    return 0;
}
