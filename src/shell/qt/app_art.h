#pragma once

#include <QIcon>
#include <QImage>
#include <QRectF>

class QPainter;

// The program's own pictures, drawn in code so that every size is sharp: the icon (window,
// launcher, the picture Image1) and the banner over the title labels.
namespace strovanik::shell::qt {

// A film frame under a magnifying glass, filling `area`.
void paintAppIcon(QPainter& painter, const QRectF& area);
QImage appIconImage(int size);
QIcon appIcon();

// The banner: a blue band with the icon, the program's name and a line about what it does.
// Text needs a font database, so this one runs inside an application only.
void paintBanner(QPainter& painter, const QRectF& area, const QFont& titleFont,
                 const QFont& taglineFont);

}  // namespace strovanik::shell::qt
