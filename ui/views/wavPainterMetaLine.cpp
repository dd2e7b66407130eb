#include "wavPainterMetaLine.h"

#include <QPolygon>

#include <cstdlib>

wavPainterMetaLine::wavPainterMetaLine(std::vector<std::int64_t>* lines, std::int64_t sampleCount, int zoom,
                                       QWidget* parent, Qt::WindowFlags flags, double scrollOffset)
    : wavPainter(sampleCount, zoom, parent, flags, scrollOffset), mLines(lines) {}

void wavPainterMetaLine::selectNearest(std::int64_t position) {
  if (!mLines || mLines->empty()) {
    mHighlightBase = -1;
    return;
  }
  const std::vector<std::int64_t>& lines = *mLines;
  std::size_t i = 0;
  bool stopped = false;
  for (; i < lines.size(); ++i) {
    if (lines[i] >= position) {
      stopped = true;
      break;
    }
  }
  if (!stopped) {
    mHighlightBase = static_cast<std::int64_t>(lines.size()) - 1;
    return;
  }
  if (i > 0 && position - lines[i - 1] < lines[i] - position) --i;
  mHighlightBase = static_cast<std::int64_t>(i);
}

void wavPainterMetaLine::drawForeground(QPainter* painter) {
  painter->setPen(layerPen(mForegroundColor));
  painter->setCompositionMode(mCompositionMode);
  if (!mLines || mLines->empty()) return;
  const int w = width(), h = height();
  const bool atEnd = mScrollOffset >= mZoom - 1;
  int previous = -2;
  for (std::size_t i = 0; i < mLines->size(); ++i) {
    const std::int64_t index = static_cast<std::int64_t>(i);
    const bool highlighted = mHighlightPeriod > 0 && std::llabs(index - mHighlightBase) % mHighlightPeriod == 0;
    int x = sampleToX(static_cast<int>((*mLines)[i]), false);
    if (atEnd) x = std::min(x, w - 1);
    if (x >= 0 && x <= w - 1) {
      painter->setPen(layerPen(highlighted ? QColor(Qt::red) : mForegroundColor));
      if (mDrawLines) painter->drawLine(x, 0, x, h - 1);
      if (x == previous) {
        setPenAndBrush(painter, Qt::black);
        painter->drawPolygon(QPolygon({QPoint(x - 1, 0), QPoint(x + 1, 0), QPoint(x, 3)}));
      }
    }
    previous = x;
  }
}
