#pragma once
// A caption in the top left corner.

#include <QString>

#include "wavPainter.h"

class wavPainterText : public wavPainter {
 public:
  wavPainterText(const QString& text, std::int64_t sampleCount, int zoom, QWidget* parent, Qt::WindowFlags flags,
                 double scrollOffset);

  QString mText;

  void setText(const QString& text) { mText = text; }
  void drawForeground(QPainter* painter) override;
};
