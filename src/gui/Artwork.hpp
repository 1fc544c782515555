#pragma once
// The window's pictures, drawn in code for this project: the logo, the detector, the database.
// size is in logical pixels; scale draws the same picture with scale times the pixels (the
// Windows window's pictures are drawn at twice their size).

#include <QPixmap>
#include <QSize>

class QPainter;

namespace artwork {

// Radar waves around a camera lens, with the application's name under them.
QPixmap logo(QSize size, qreal scale = 1.0);
// The application's icon: the logo's radar and lens on a rounded tile, without the name.
QPixmap icon(QSize size);
// The same icon painted on any device (the SVG icon is painted this way).
void paintIcon(QPainter& painter, QSizeF size);
// A generic windscreen detector: a dark body, a display and a radar lens.
QPixmap device(QSize size, qreal scale = 1.0);
// A database drum with a camera symbol.
QPixmap database(QSize size, qreal scale = 1.0);

} // namespace artwork
