#include <desktop/TrayIconArt.h>

#include <QIconEngine>
#include <QPainter>
#include <QPixmap>
#include <algorithm>
#include <cmath>
#include <map>

namespace nimbolt {

// One face of side pixels: a ring, twelve ticks and two hands, drawn anti-aliased.
QImage trayIconImage(int side)
{
    QImage image(side, side, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.translate(side / 2.0, side / 2.0);
    painter.scale(side / 64.0, side / 64.0);

    painter.setPen(QPen(QColor(0x20, 0x3a, 0x6b), 5));
    painter.setBrush(QColor(0xfb, 0xf6, 0xe4));
    painter.drawEllipse(QPointF(0, 0), 28, 28);

    painter.setPen(QPen(QColor(0x20, 0x3a, 0x6b), 3, Qt::SolidLine, Qt::RoundCap));
    for (int hour = 0; hour < 12; ++hour) {
        double angle = hour * M_PI / 6;
        double inner = hour % 3 == 0 ? 17 : 20;
        painter.drawLine(QPointF(inner * std::sin(angle), -inner * std::cos(angle)),
            QPointF(23 * std::sin(angle), -23 * std::cos(angle)));
    }
    // Ten past ten: the hour hand a third of the way from ten to eleven, the minute hand at two.
    auto hand = [&](double turns, double length, double width, const QColor& color) {
        double angle = turns * 2 * M_PI;
        painter.setPen(QPen(color, width, Qt::SolidLine, Qt::RoundCap));
        painter.drawLine(QPointF(0, 0), QPointF(length * std::sin(angle), -length * std::cos(angle)));
    };
    hand((10 + 10 / 60.0) / 12, 13, 5, QColor(0x20, 0x3a, 0x6b));
    hand(10 / 60.0, 20, 3.5, QColor(0x20, 0x3a, 0x6b));
    painter.setPen(Qt::NoPen);
    painter.setBrush(QColor(0xd9, 0x3b, 0x2b));
    painter.drawEllipse(QPointF(0, 0), 4, 4);
    painter.end();
    return image;
}

// Draws a face only when a size of it is asked for, and keeps it: a program without a tray, or
// with a tray that asks for one size, draws none or one instead of all six at start-up.
class ClockFaceEngine final : public QIconEngine {
public:
    QPixmap pixmap(const QSize& size, QIcon::Mode, QIcon::State) override
    {
        int side = std::max(std::min(size.width(), size.height()), 1);
        QPixmap& face = m_faces[side];
        if (face.isNull())
            face = QPixmap::fromImage(trayIconImage(side));
        return face;
    }

    void paint(QPainter* painter, const QRect& rect, QIcon::Mode mode, QIcon::State state) override
    {
        QPixmap face = pixmap(rect.size(), mode, state);
        painter->drawPixmap(rect.topLeft() + QPoint((rect.width() - face.width()) / 2, (rect.height() - face.height()) / 2), face);
    }

    QList<QSize> availableSizes(QIcon::Mode, QIcon::State) override
    {
        return { { 16, 16 }, { 22, 22 }, { 24, 24 }, { 32, 32 }, { 48, 48 }, { 64, 64 } };
    }

    QIconEngine* clone() const override { return new ClockFaceEngine(*this); }

private:
    std::map<int, QPixmap> m_faces;
};

QIcon trayIconArt()
{
    return QIcon(new ClockFaceEngine);
}

}
