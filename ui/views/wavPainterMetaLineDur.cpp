#include "wavPainterMetaLineDur.h"

#include <QPainter>
#include <QPolygon>

wavPainterMetaLineDur::wavPainterMetaLineDur(std::vector<TextItem>* items, std::int64_t sampleCount, int zoom,
                                             QWidget* parent, Qt::WindowFlags flags, double scrollOffset)
    : wavPainter(sampleCount, zoom, parent, flags, scrollOffset), mItems(items) {}

void wavPainterMetaLineDur::findSelected() {
  mSelIndex = -1;
  if (!mItems) return;
  for (std::size_t i = 0; i < mItems->size(); ++i) {
    const TextItem& item = (*mItems)[i];
    if (item.start == mSelStart && item.end == mSelEnd) {
      mSelIndex = static_cast<int>(i);
      return;
    }
  }
}

int wavPainterMetaLineDur::selectedValue() {
  findSelected();
  return mSelIndex < 0 ? -1 : (*mItems)[static_cast<std::size_t>(mSelIndex)].value;
}

void wavPainterMetaLineDur::drawForeground(QPainter* painter) {
  const QBrush remembered = painter->brush();
  painter->setPen(layerPen(mForegroundColor));
  painter->setCompositionMode(QPainter::CompositionMode_Multiply);
  if (!mItems || mItems->empty()) return;
  const int w = width(), h = height();
  for (std::size_t i = 0; i < mItems->size(); ++i) {
    const TextItem& item = (*mItems)[i];
    const int start = static_cast<int>(item.start);
    const int end = static_cast<int>(item.end);
    const bool selected = mSelectionOn && start == mSelStart && end == mSelEnd;
    if (selected) mSelIndex = static_cast<int>(i);
    const int x1 = sampleToX(start, false);
    const int x2 = sampleToX(end, false);
    if (x2 < 0 || x1 > w - 1) continue;
    const int c1 = std::max(x1, 0);
    const int c2 = std::min(x2, w - 1);
    setPenAndBrush(painter, selected ? QColor(255, 200, 200) : QColor(220, 220, 220));
    painter->drawPolygon(QPolygon({QPoint(c1, 0), QPoint(c1, h - 1), QPoint(c2, (h - 1) / 2)}));
    setPenAndBrush(painter, Qt::black);
    if (x1 < 0) painter->drawPolygon(QPolygon({QPoint(0, 0), QPoint(3, 0), QPoint(0, 3)}));
    if (x2 > w - 1) painter->drawPolygon(QPolygon({QPoint(w - 1, 0), QPoint(w - 4, 0), QPoint(w - 1, 3)}));
    painter->setPen(layerPen(selected ? mForegroundColor : mLabelColor));
    painter->setBrush(remembered);
    painter->drawText(QPoint(c1 + 2, h - 5), QString::fromUtf8(item.label));
  }
}
