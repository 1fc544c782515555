#include "gui/Artwork.hpp"

#include <QFont>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>

namespace artwork {

namespace {

QPixmap canvas(QSize size, qreal scale = 1.0) {
    QPixmap pixmap(size * scale);
    pixmap.setDevicePixelRatio(scale);
    pixmap.fill(Qt::transparent);
    return pixmap;
}

// Three arcs on each side of a camera lens: the signal the detector listens for. unit scales
// every length, so the logo and the icon draw the same picture.
void paintRadar(QPainter& p, QPointF centre, double unit) {
    const double r = unit * 0.12;
    for (int i = 1; i <= 3; ++i) {
        const double radius = r + i * unit * 0.08;
        p.setPen(
            QPen(QColor(255, 170, 0, 255 - i * 50), unit * 0.035, Qt::SolidLine, Qt::RoundCap));
        p.setBrush(Qt::NoBrush);
        const QRectF box(centre.x() - radius, centre.y() - radius, 2 * radius, 2 * radius);
        p.drawArc(box, -40 * 16, 80 * 16);
        p.drawArc(box, 140 * 16, 80 * 16);
    }
    QRadialGradient lens(centre, r);
    lens.setColorAt(0.0, QColor(120, 200, 255));
    lens.setColorAt(0.6, QColor(20, 80, 160));
    lens.setColorAt(1.0, QColor(10, 20, 40));
    p.setPen(QPen(QColor(230, 230, 230), unit * 0.02));
    p.setBrush(lens);
    p.drawEllipse(centre, r, r);
    p.setBrush(QColor(255, 255, 255, 200));
    p.setPen(Qt::NoPen);
    p.drawEllipse(centre + QPointF(-r * 0.35, -r * 0.35), r * 0.2, r * 0.2);
}

} // namespace

QPixmap logo(QSize size, qreal scale) {
    QPixmap pixmap = canvas(size, scale);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    const double w = size.width();
    const double h = size.height();
    paintRadar(p, QPointF(w / 2.0, h * 0.42), h);

    QFont font(QStringLiteral("DejaVu Sans"));
    font.setPixelSize(static_cast<int>(h * 0.13));
    font.setBold(true);
    p.setFont(font);
    p.setPen(QColor(235, 235, 235));
    p.drawText(QRectF(0, h * 0.72, w, h * 0.2), Qt::AlignCenter,
               QStringLiteral("detector-updater"));
    return pixmap;
}

void paintIcon(QPainter& p, QSizeF size) {
    p.setRenderHint(QPainter::Antialiasing);
    const QRectF tile(QPointF(0, 0), size);
    const double w = size.width();
    QLinearGradient shade(tile.topLeft(), tile.bottomLeft());
    shade.setColorAt(0.0, QColor(44, 56, 82));
    shade.setColorAt(1.0, QColor(14, 18, 30));
    p.setPen(Qt::NoPen);
    p.setBrush(shade);
    p.drawRoundedRect(tile.adjusted(w * 0.04, w * 0.04, -w * 0.04, -w * 0.04), w * 0.18, w * 0.18);
    paintRadar(p, tile.center(), w * 1.15);
}

QPixmap icon(QSize size) {
    QPixmap pixmap = canvas(size);
    QPainter p(&pixmap);
    paintIcon(p, QSizeF(size));
    return pixmap;
}

QPixmap device(QSize size, qreal scale) {
    QPixmap pixmap = canvas(size, scale);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    const double w = size.width();
    const double h = size.height();
    const QRectF body(w * 0.05, h * 0.2, w * 0.9, h * 0.6);

    QLinearGradient shell(body.topLeft(), body.bottomLeft());
    shell.setColorAt(0.0, QColor(90, 90, 96));
    shell.setColorAt(1.0, QColor(30, 30, 34));
    p.setPen(QPen(QColor(170, 170, 175), 1.5));
    p.setBrush(shell);
    p.drawRoundedRect(body, h * 0.12, h * 0.12);

    // Display with a speed reading.
    const QRectF display(body.left() + body.width() * 0.08, body.top() + body.height() * 0.2,
                         body.width() * 0.5, body.height() * 0.6);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(10, 25, 15));
    p.drawRoundedRect(display, 4, 4);
    QFont font(QStringLiteral("DejaVu Sans Mono"));
    font.setPixelSize(static_cast<int>(display.height() * 0.6));
    font.setBold(true);
    p.setFont(font);
    p.setPen(QColor(90, 255, 120));
    p.drawText(display, Qt::AlignCenter, QStringLiteral("60"));

    // Radar lens and a status light.
    const QPointF lens(body.left() + body.width() * 0.8, body.center().y());
    p.setBrush(QColor(20, 20, 22));
    p.setPen(QPen(QColor(200, 200, 200), 1.5));
    p.drawEllipse(lens, body.height() * 0.28, body.height() * 0.28);
    p.setBrush(QColor(255, 60, 40));
    p.setPen(Qt::NoPen);
    p.drawEllipse(QPointF(body.left() + body.width() * 0.65, body.top() + body.height() * 0.25),
                  body.height() * 0.06, body.height() * 0.06);
    // USB cable leaving the side.
    p.setPen(QPen(QColor(160, 160, 160), h * 0.05, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(QPointF(body.right(), body.center().y()), QPointF(w * 0.99, body.center().y()));
    return pixmap;
}

QPixmap database(QSize size, qreal scale) {
    QPixmap pixmap = canvas(size, scale);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    const double w = size.width();
    const double h = size.height();
    const double rx = w * 0.4;
    const double ry = h * 0.1;
    const double left = w / 2.0 - rx;
    p.setPen(QPen(QColor(200, 200, 200), 1.5));
    for (int i = 2; i >= 0; --i) {
        const double top = h * (0.15 + i * 0.22);
        QPainterPath drum;
        drum.moveTo(left, top + ry);
        drum.lineTo(left, top + ry + h * 0.2);
        drum.arcTo(QRectF(left, top + h * 0.2, 2 * rx, 2 * ry), 180, 180);
        drum.lineTo(left + 2 * rx, top + ry);
        p.setBrush(QColor(40, 90, 160));
        p.drawPath(drum);
        p.setBrush(QColor(70, 130, 210));
        p.drawEllipse(QRectF(left, top, 2 * rx, 2 * ry));
    }
    // A camera on the front drum.
    const QRectF cam(w * 0.38, h * 0.64, w * 0.24, h * 0.14);
    p.setBrush(QColor(240, 240, 240));
    p.setPen(Qt::NoPen);
    p.drawRoundedRect(cam, 3, 3);
    p.setBrush(QColor(40, 90, 160));
    p.drawEllipse(cam.center(), cam.height() * 0.3, cam.height() * 0.3);
    return pixmap;
}

} // namespace artwork
