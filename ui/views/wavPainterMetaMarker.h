#pragma once
// Markers at sample positions as circles at mid-height, the selected one in
// magenta, with a mark where two lie within 5 pixels.

#include <cstdint>
#include <vector>

#include "ResultCode.h"
#include "wavPainter.h"

class wavPainterMetaMarker : public wavPainter {
 public:
  wavPainterMetaMarker(std::vector<std::int64_t>* markers, std::int64_t sampleCount, int zoom, QWidget* parent,
                       Qt::WindowFlags flags, double scrollOffset);

  std::vector<std::int64_t>* mMarkers;  // the owner's
  int mSelIndex = -1;

  // Moves marker `index` to `position`; 0x80000001 when there is no such
  // marker.
  ResultCode setMarker(std::size_t index, std::int64_t position);
  // Selects the marker lying strictly within 5 samples of `position` and
  // returns its index, else -1.
  int selectMarker(std::int64_t position);

  void drawForeground(QPainter* painter) override;
};
