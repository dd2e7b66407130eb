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

std::int64_t boundedFrame(double v, std::int64_t count) {
  if (std::isnan(v) || v < 0.0) return 0;
  if (v >= static_cast<double>(count)) return count - 1;
  return static_cast<std::int64_t>(v);
}

}  // namespace

wavPainterSeeker::wavPainterSeeker(ISeekable<float>* seeker, int channel, std::int64_t sampleCount, int zoom,
                                   QWidget* parent, Qt::WindowFlags flags, double scrollOffset)
    : wavPainter(sampleCount, zoom, parent, flags, scrollOffset),
      mSeeker(seeker),
      mChannel(channel),
      mReportReadFailure(showMemoryErrorLater) {}

std::pair<float, float> wavPainterSeeker::columnRange(std::int64_t a, std::int64_t n, std::vector<float>& buffer) {
  float minimum = 1.0f, maximum = -1.0f;
  if (!mSeeker || n <= 0) return {minimum, maximum};
  // The reader writes all of its channels; only the low byte of the channel
  // number counts, and a channel the file lacks reads as silence.
  const std::uint32_t channels = std::max<std::uint32_t>(mSeeker->channels(), 1);
  const std::uint32_t channel = static_cast<std::uint8_t>(mChannel);
  buffer.resize(static_cast<std::size_t>(n) * std::max<std::uint32_t>(channels, 2));
  mSeeker->seek(static_cast<std::uint64_t>(a));
  const std::uint64_t got = mSeeker->read(buffer.data(), static_cast<std::uint64_t>(n));
  for (std::int64_t k = 0; k < n; ++k) {
    const float v = static_cast<std::uint64_t>(k) < got && channel < channels ? buffer[k * channels + channel] : 0.0f;
    minimum = std::min(minimum, v);
    maximum = std::max(maximum, v);
  }
  return {minimum, maximum};
}

void wavPainterSeeker::prepare() {
  mColumns.clear();
  mReadFailures = 0;
  if (mSampleCount < 1) return;
  const int w = width();
  mColumns.assign(static_cast<std::size_t>(std::max(w, 0)), {0, 0});
  if (w < 1) return;
  const double perWidth = static_cast<double>(mSampleCount) / mZoom;
  std::vector<float> buffer;
  for (int i = 0; i < w; ++i) {
    const std::int64_t a = boundedFrame(std::ceil((double(i - 1) / w + mScrollOffset) * perWidth), mSampleCount);
    const std::int64_t b = boundedFrame(std::floor((double(i + 1) / w + mScrollOffset) * perWidth), mSampleCount);
    std::pair<float, float> range{1.0f, -1.0f};
    try {
      range = columnRange(a, std::llabs(b - a), buffer);
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
