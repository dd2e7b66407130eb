#pragma once
// What a button's icon shows, as pixels at the size the buttons draw it, so
// a test can tell which picture (play, stop, ...) a button shows.

#include <QIcon>
#include <QImage>
#include <QSize>

inline QImage iconImage(const QIcon& icon) { return icon.pixmap(QSize(24, 24)).toImage(); }
