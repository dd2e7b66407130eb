#include "wavPainterSelecter.h"

#include <QPainter>

wavPainterSelecter::wavPainterSelecter(std::int64_t sampleCount, int zoom, QWidget* parent, Qt::WindowFlags flags,
                                       double scrollOffset)
    : wavPainter(sampleCount, zoom, parent, flags, scrollOffset) {}

void wavPainterSelecter::drawForeground(QPainter* painter) {
  const int h = height();
  // A band from x1 to x2 - 1; an empty or reversed range fills nothing.
  const auto band = [&](int start, int end, int bottom, const QColor& colour) {
    const int x1 = sampleToX(start, false);
    const int x2 = sampleToX(end, false);
    painter->setOpacity(0.5);
    if (x2 - 1 >= x1 && bottom >= 0) painter->fillRect(QRect(QPoint(x1, 0), QPoint(x2 - 1, bottom)), colour);
  };
  if (mSelectionOn) band(mSelStart, mSelEnd, h - 1, Qt::yellow);
  if (mMarkOn) band(mMarkStart, mMarkEnd, h / 2 - 1, QColor(255, 64, 64));
}
