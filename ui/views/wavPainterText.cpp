#include "wavPainterText.h"

#include <QPainter>

wavPainterText::wavPainterText(const QString& text, std::int64_t sampleCount, int zoom, QWidget* parent,
                               Qt::WindowFlags flags, double scrollOffset)
    : wavPainter(sampleCount, zoom, parent, flags, scrollOffset), mText(text) {}

void wavPainterText::drawForeground(QPainter* painter) {
  painter->setPen(layerPen(mForegroundColor));
  painter->setCompositionMode(QPainter::CompositionMode_Multiply);
  painter->drawText(QPointF(10.0, 12.0), mText);
}
