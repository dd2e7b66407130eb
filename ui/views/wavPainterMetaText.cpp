#include "wavPainterMetaText.h"

#include <QPainter>

wavPainterMetaText::wavPainterMetaText(std::vector<MetaTextItem>* items, std::int64_t sampleCount, int zoom,
                                       QWidget* parent, Qt::WindowFlags flags, double scrollOffset)
    : wavPainter(sampleCount, zoom, parent, flags, scrollOffset), mItems(items) {}

void wavPainterMetaText::drawForeground(QPainter* painter) {
  painter->setPen(layerPen(mForegroundColor));
  if (!mItems) return;
  const int h = height();
  for (const MetaTextItem& item : *mItems) {
    const int x = sampleToX(static_cast<int>(item.position), false);
    if (x < 0 || x > width() - 1) continue;
    painter->drawLine(x, 0, x, h - 1);
    painter->drawText(QPoint(x + 2, h - 1), QString::fromUtf8(item.text));
  }
}
