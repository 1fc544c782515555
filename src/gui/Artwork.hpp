#pragma once
// The window's pictures, drawn in code for this project: the logo, the detector, the database.

#include <QPixmap>
#include <QSize>

namespace artwork {

// Radar waves around a camera lens, with the application's name under them.
QPixmap logo(QSize size);
// A generic windscreen detector: a dark body, a display and a radar lens.
QPixmap device(QSize size);
// A database drum with a camera symbol.
QPixmap database(QSize size);

} // namespace artwork
