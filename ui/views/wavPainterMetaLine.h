#pragma once
// Vertical lines at sample positions (the beats), every n-th one from a base
// index in red (the bar starts), with a mark where two lines share a column.

#include <QPainter>

#include <cstdint>
#include <vector>

#include "wavPainter.h"

class wavPainterMetaLine : public wavPainter {
 public:
  wavPainterMetaLine(std::vector<std::int64_t>* lines, std::int64_t sampleCount, int zoom, QWidget* parent,
                     Qt::WindowFlags flags, double scrollOffset);

  std::vector<std::int64_t>* mLines;  // the owner's, ascending
  std::int64_t mHighlightBase = 0;
  std::int64_t mHighlightPeriod = 0;  // 0: no highlighting
  QPainter::CompositionMode mCompositionMode = QPainter::CompositionMode_Multiply;
  bool mDrawLines = true;

  // Makes the line nearest to `position` the highlight base (a tie goes to
  // the later line; -1 for no lines).
  void selectNearest(std::int64_t position);

  void drawForeground(QPainter* painter) override;
};
