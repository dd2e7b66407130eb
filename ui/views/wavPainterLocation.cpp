#include "wavPainterLocation.h"

#include <QPainter>

wavPainterLocation::wavPainterLocation(std::int64_t sampleCount, int zoom, QWidget* parent, Qt::WindowFlags flags,
                                       double scrollOffset)
    : wavPainter(sampleCount, zoom, parent, flags, scrollOffset) {}

void wavPainterLocation::drawForeground(QPainter* painter) {
  painter->setPen(layerPen(mForegroundColor));
  painter->drawLine(mLocationX, 0, mLocationX, height() - 1);
}
