#pragma once
// A waveform from samples in memory (16-bit scale), reduced per pixel
// column like the file waveform.

#include <utility>
#include <vector>

#include "wavPainter.h"

class wavPainterContinue : public wavPainter {
 public:
  wavPainterContinue(std::vector<double>* samples, std::int64_t sampleCount, int zoom, QWidget* parent,
                     Qt::WindowFlags flags, double scrollOffset);

  std::vector<double>* mSamples;  // the owner's
  std::vector<std::pair<int, int>> mColumns;

  void prepare() override;
  void drawForeground(QPainter* painter) override;
};
