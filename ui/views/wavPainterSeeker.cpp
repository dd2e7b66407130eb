#include "wavPainterSeeker.h"

#include <QMessageBox>
#include <QPainter>
#include <QPointer>
#include <QTimer>

#include <algorithm>
#include <cmath>
#include <exception>

namespace {

// A message box from inside a paint would run a nested event loop in the
// middle of painting: the report waits until the paint is over.
void showMemoryErrorLater(const QString& text) {
  QTimer::singleShot(0, [text] {
    QMessageBox box(QMessageBox::NoIcon, QStringLiteral("ASTproto"), text, QMessageBox::Ok);
    box.exec();
  });
}

}  // namespace

wavPainterSeeker::wavPainterSeeker(ISeekable<float>* seeker, int channel, std::int64_t sampleCount, int zoom,
                                   QWidget* parent, Qt::WindowFlags flags, double scrollOffset)
    : wavPainter(sampleCount, zoom, parent, flags, scrollOffset),
      mSeeker(seeker),
      mChannel(channel),
      mReportReadFailure(showMemoryErrorLater) {}

void wavPainterSeeker::prepare() {
  mColumns.clear();
  mReadFailures = 0;
  if (mSampleCount < 1) return;
  const int w = width();
  mColumns.assign(static_cast<std::size_t>(std::max(w, 0)), {0, 0});
  if (w < 1) return;
  const double perWidth = static_cast<double>(mSampleCount) / mZoom;
  const std::uint32_t channel = static_cast<std::uint8_t>(mChannel);  // only the low byte counts
  // Columns of a few blocks or more take whole blocks from the peak cache,
  // which reads the recording once instead of once per change of view.
  const bool usePeaks = mSeeker && 2.0 * perWidth / w >= 4.0 * WaveformPeakCache::kBlock &&
                        (mPeaks.matches(*mSeeker, channel) || mPeaks.build(*mSeeker, channel));
  std::vector<float> buffer;
  for (int i = 0; i < w; ++i) {
    std::int64_t a = 0, n = 0;
    columnFrames(i, a, n);
    std::pair<float, float> range{1.0f, -1.0f};
    try {
      if (mSeeker)
        range = usePeaks ? mPeaks.range(*mSeeker, a, n, buffer) : WaveformPeakCache::scan(*mSeeker, channel, a, n, buffer);
    } catch (const std::exception&) {
      ++mReadFailures;
      range = {1.0f, -1.0f};
    }
    mColumns[static_cast<std::size_t>(i)] = {amplitudeToY(range.first, true), amplitudeToY(range.second, true)};
  }
  if (mReadFailures == 0) {
    mFailureReported = false;
  } else if (!mFailureReported) {
    mFailureReported = true;
    if (mReportReadFailure) mReportReadFailure(QStringLiteral("Memory error!"));
  }
}

void wavPainterSeeker::drawForeground(QPainter* painter) {
  painter->setPen(layerPen(mForegroundColor));
  painter->setCompositionMode(QPainter::CompositionMode_Multiply);
  for (std::size_t i = 0; i < mColumns.size(); ++i) {
    const int x = static_cast<int>(i);
    painter->drawLine(x, mColumns[i].first, x, mColumns[i].second);
  }
}
