#pragma once
// The play position as one vertical line.

#include "wavPainter.h"

class wavPainterLocation : public wavPainter {
 public:
  wavPainterLocation(std::int64_t sampleCount, int zoom, QWidget* parent, Qt::WindowFlags flags,
                     double scrollOffset);

  int mLocationX = -1;  // pixel column; -1 shows nothing

  void drawForeground(QPainter* painter) override;
};
