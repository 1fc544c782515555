#include "gui/Spinner.hpp"

#include <QPainter>
#include <algorithm>

namespace {
constexpr int kSpokes = 12;
constexpr int kTickMs = 80;
} // namespace

Spinner::Spinner(QWidget* parent)
    : QWidget(parent) {
    m_timer.setInterval(kTickMs);
    connect(&m_timer, &QTimer::timeout, this, [this] {
        m_step = (m_step + 1) % kSpokes;
        update();
    });
}

void Spinner::setAnimating(bool animating) {
    if (animating) {
        m_timer.start();
    } else {
        m_timer.stop();
    }
    update();
}

void Spinner::paintEvent(QPaintEvent* /*event*/) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const double side = std::min(width(), height());
    painter.translate(width() / 2.0, height() / 2.0);
    painter.scale(side / 32.0, side / 32.0);
    for (int i = 0; i < kSpokes; ++i) {
        // Spokes behind the brightest one fade out, like a turning comet tail.
        const int age = (m_step - i + kSpokes) % kSpokes;
        const int alpha = 255 - age * 200 / kSpokes;
        painter.save();
        painter.rotate(i * 360.0 / kSpokes);
        painter.setPen(QPen(QColor(255, 255, 255, alpha), 3.0, Qt::SolidLine, Qt::RoundCap));
        painter.drawLine(QPointF(0, -7), QPointF(0, -13));
        painter.restore();
    }
}
