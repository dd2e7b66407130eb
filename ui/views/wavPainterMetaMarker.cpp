#include "wavPainterMetaMarker.h"

#include <QPainter>
#include <QPolygon>

#include <cstdlib>

wavPainterMetaMarker::wavPainterMetaMarker(std::vector<std::int64_t>* markers, std::int64_t sampleCount, int zoom,
                                           QWidget* parent, Qt::WindowFlags flags, double scrollOffset)
    : wavPainter(sampleCount, zoom, parent, flags, scrollOffset), mMarkers(markers) {}

ResultCode wavPainterMetaMarker::setMarker(std::size_t index, std::int64_t position) {
  if (!mMarkers || index >= mMarkers->size()) return Result::fail(1);
  (*mMarkers)[index] = position;
  return Result::kOk;
}

int wavPainterMetaMarker::selectMarker(std::int64_t position) {
  mSelIndex = -1;
  if (!mMarkers) return -1;
  for (std::size_t i = 0; i < mMarkers->size(); ++i) {
    if (std::llabs((*mMarkers)[i] - position) < 5) {
      mSelIndex = static_cast<int>(i);
      break;
    }
  }
  return mSelIndex;
}

void wavPainterMetaMarker::drawForeground(QPainter* painter) {
  if (!mMarkers) return;
  const int mid = height() / 2;
  int previous = -100;
  for (std::size_t i = 0; i < mMarkers->size(); ++i) {
    const int x = sampleToX(static_cast<int>((*mMarkers)[i]), false);
    setPenAndBrush(painter, static_cast<int>(i) == mSelIndex ? QColor(Qt::magenta) : mForegroundColor);
    painter->drawEllipse(QPoint(x, mid), 5, 5);
    if (std::abs(x - previous) < 5) {
      setPenAndBrush(painter, Qt::black);
      painter->drawPolygon(QPolygon({QPoint(x - 2, 0), QPoint(x + 2, 0), QPoint(x, 3)}));
    }
    previous = x;
  }
}
