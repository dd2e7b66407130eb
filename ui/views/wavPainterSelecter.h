#pragma once
// The selection as a half-transparent yellow band, and an optional red mark
// over the upper half.

#include "wavPainter.h"

class wavPainterSelecter : public wavPainter {
 public:
  wavPainterSelecter(std::int64_t sampleCount, int zoom, QWidget* parent, Qt::WindowFlags flags,
                     double scrollOffset);

  bool mSelectionOn = false;
  int mSelStart = 0;
  int mSelEnd = 0;
  bool mMarkOn = false;
  int mMarkStart = 0;
  int mMarkEnd = 0;

  void drawForeground(QPainter* painter) override;
};
