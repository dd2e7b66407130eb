#include "wavPainterContinue.h"

#include <QPainter>

#include <algorithm>

wavPainterContinue::wavPainterContinue(std::vector<double>* samples, std::int64_t sampleCount, int zoom,
                                       QWidget* parent, Qt::WindowFlags flags, double scrollOffset)
    : wavPainter(sampleCount, zoom, parent, flags, scrollOffset), mSamples(samples) {}

void wavPainterContinue::prepare() {
  mColumns.clear();
  if (mSampleCount < 1 || width() < 1) return;
  const std::int64_t available = mSamples ? static_cast<std::int64_t>(mSamples->size()) : 0;
  for (int i = 0; i < width(); ++i) {
    std::int64_t a = 0, n = 0;
    columnFrames(i, a, n);
    double minimum = 1.0, maximum = -1.0;
    for (std::int64_t k = a; k < a + n; ++k) {
      // Samples the vector does not hold read as silence.
      const double v = k < available ? (*mSamples)[static_cast<std::size_t>(k)] / 32768.0 : 0.0;
      minimum = std::min(minimum, v);
      maximum = std::max(maximum, v);
    }
    mColumns.emplace_back(amplitudeToY(minimum, true), amplitudeToY(maximum, true));
  }
}

void wavPainterContinue::drawForeground(QPainter* painter) {
  painter->setPen(layerPen(mForegroundColor));
  painter->setCompositionMode(QPainter::CompositionMode_Multiply);
  for (std::size_t i = 0; i < mColumns.size(); ++i) {
    const int x = static_cast<int>(i);
    painter->drawLine(x, mColumns[i].first, x, mColumns[i].second);
  }
}
