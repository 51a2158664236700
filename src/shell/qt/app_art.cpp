#include "app_art.h"

#include <QIconEngine>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QRadialGradient>

#include "shell/form_design.h"

namespace strovanik::shell::qt {

namespace {

const QColor kDeepBlue(22, 58, 115);
const QColor kBlue(43, 95, 171);
const QColor kFilm(34, 34, 40);
const QColor kGold(245, 184, 46);

// The film frame: a dark strip with sprocket holes down both sides and a picture between.
void paintFilmFrame(QPainter& painter, const QRectF& strip) {
    painter.setPen(Qt::NoPen);
    painter.setBrush(kFilm);
    painter.drawRoundedRect(strip, strip.width() * 0.06, strip.width() * 0.06);
    const double hole = strip.width() * 0.11;
    const double margin = strip.width() * 0.05;
    painter.setBrush(QColor(235, 235, 240));
    for (int i = 0; i < 4; ++i) {
        const double y = strip.top() + margin + i * (strip.height() - 2 * margin - hole) / 3.0;
        painter.drawRect(QRectF(strip.left() + margin, y, hole, hole));
        painter.drawRect(QRectF(strip.right() - margin - hole, y, hole, hole));
    }
    const QRectF picture(strip.left() + 2 * margin + hole, strip.top() + margin,
                         strip.width() - 2 * (2 * margin + hole), strip.height() - 2 * margin);
    QLinearGradient sky(picture.topLeft(), picture.bottomLeft());
    sky.setColorAt(0.0, QColor(120, 190, 255));
    sky.setColorAt(1.0, QColor(60, 140, 220));
    painter.setBrush(sky);
    painter.drawRect(picture);
    // A hill, so the frame reads as a picture even at 16 pixels.
    QPainterPath hill;
    hill.moveTo(picture.bottomLeft());
    hill.cubicTo(picture.left() + picture.width() * 0.3, picture.top() + picture.height() * 0.45,
                 picture.left() + picture.width() * 0.6, picture.top() + picture.height() * 0.55,
                 picture.right(), picture.top() + picture.height() * 0.6);
    hill.lineTo(picture.bottomRight());
    hill.closeSubpath();
    painter.setBrush(QColor(70, 160, 90));
    painter.drawPath(hill);
}

}  // namespace

void paintAppIcon(QPainter& painter, const QRectF& area) {
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    const double s = std::min(area.width(), area.height());
    const QRectF square(area.center().x() - s / 2, area.center().y() - s / 2, s, s);

    QLinearGradient background(square.topLeft(), square.bottomRight());
    background.setColorAt(0.0, kBlue);
    background.setColorAt(1.0, kDeepBlue);
    painter.setPen(Qt::NoPen);
    painter.setBrush(background);
    painter.drawRoundedRect(square, s * 0.18, s * 0.18);

    paintFilmFrame(painter,
                   QRectF(square.left() + s * 0.12, square.top() + s * 0.12, s * 0.56, s * 0.62));

    // The magnifying glass over the frame's lower right corner.
    const QPointF lens(square.left() + s * 0.62, square.top() + s * 0.60);
    const double radius = s * 0.20;
    QRadialGradient glass(lens, radius);
    glass.setColorAt(0.0, QColor(255, 255, 255, 150));
    glass.setColorAt(1.0, QColor(200, 225, 255, 90));
    painter.setBrush(glass);
    painter.setPen(QPen(kGold, s * 0.065));
    painter.drawEllipse(lens, radius, radius);
    painter.setPen(QPen(kGold, s * 0.10, Qt::SolidLine, Qt::RoundCap));
    const QPointF handleStart(lens.x() + radius * 0.75, lens.y() + radius * 0.75);
    painter.drawLine(handleStart, QPointF(square.left() + s * 0.88, square.top() + s * 0.88));
    painter.restore();
}

namespace {

QImage iconImage(const QSize& size) {
    QImage image(size, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    paintAppIcon(painter, QRectF(QPointF(0, 0), size));
    return image;
}

// The icon drawn at the size asked for, when it is asked for: nothing is painted while the
// program starts up. The window system is offered the sizes of title bars, task bars and
// window switchers, which it takes all at once when the window is created; the launcher's
// larger sizes come from the installed icon files.
class AppIconEngine final : public QIconEngine {
public:
    void paint(QPainter* painter, const QRect& rect, QIcon::Mode, QIcon::State) override {
        paintAppIcon(*painter, rect);
    }
    QPixmap pixmap(const QSize& size, QIcon::Mode, QIcon::State) override {
        return QPixmap::fromImage(iconImage(size));
    }
    QIconEngine* clone() const override { return new AppIconEngine; }
    QList<QSize> availableSizes(QIcon::Mode, QIcon::State) override {
        QList<QSize> sizes;
        for (const int size : {16, 24, 32, 48, 64}) sizes.append(QSize(size, size));
        return sizes;
    }
};

}  // namespace

QImage appIconImage(int size) { return iconImage(QSize(size, size)); }

QIcon appIcon() { return QIcon(new AppIconEngine); }

void paintBanner(QPainter& painter, const QRectF& area, const QFont& titleFont,
                 const QFont& taglineFont) {
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setRenderHint(QPainter::TextAntialiasing);

    QLinearGradient band(area.topLeft(), area.topRight());
    band.setColorAt(0.0, kDeepBlue);
    band.setColorAt(0.55, kBlue);
    band.setColorAt(1.0, QColor(64, 150, 200));
    painter.setPen(Qt::NoPen);
    painter.setBrush(band);
    painter.drawRect(area);

    // Perforations along both edges, like the border of a film.
    painter.setBrush(QColor(255, 255, 255, 60));
    const double hole = 3.0;
    for (double x = area.left() + 4; x + hole < area.right(); x += 9) {
        painter.drawRect(QRectF(x, area.top() + 2, hole + 1, hole));
        painter.drawRect(QRectF(x, area.bottom() - 2 - hole, hole + 1, hole));
    }

    const double iconSize = std::min(32.0, area.height() - 12);
    const QRectF iconArea(area.left() + 10, area.center().y() - iconSize / 2, iconSize, iconSize);
    paintAppIcon(painter, iconArea);

    const QRectF textArea(iconArea.right() + 10, area.top() + 7, area.width() - iconSize - 30,
                          area.height() - 14);
    painter.setPen(Qt::white);
    painter.setFont(titleFont);
    painter.drawText(textArea, Qt::AlignLeft | Qt::AlignVCenter,
                     QString::fromUtf8(kBannerTitle.data(), static_cast<int>(kBannerTitle.size())));
    painter.setPen(QColor(225, 238, 255));
    painter.setFont(taglineFont);
    painter.drawText(
        textArea, Qt::AlignRight | Qt::AlignVCenter,
        QString::fromUtf8(kBannerTagline.data(), static_cast<int>(kBannerTagline.size())));
    painter.restore();
}

}  // namespace strovanik::shell::qt
