#include "wavPainter.h"

#include <QCoreApplication>
#include <QMouseEvent>
#include <QPainter>

#include <algorithm>
#include <climits>
#include <cmath>

namespace {

// floor(v + 0.5) as an int; a view of an empty recording, zoom 0 or width 0
// divides by zero, so infinities saturate and NaN gives 0.
int roundedToInt(double v) {
  const double r = std::floor(v + 0.5);
  if (std::isnan(r)) return 0;
  if (r >= static_cast<double>(INT_MAX)) return INT_MAX;
  if (r <= static_cast<double>(INT_MIN)) return INT_MIN;
  return static_cast<int>(r);
}

int clamped(int v, int high) { return std::max(std::min(v, high), 0); }

}  // namespace

wavPainter::wavPainter(std::int64_t sampleCount, int zoom, QWidget* parent, Qt::WindowFlags flags,
                       double scrollOffset)
    : QWidget(parent, flags), mSampleCount(sampleCount), mZoom(zoom), mScrollOffset(scrollOffset) {}

int wavPainter::xToSample(int x, bool clamp) const {
  const double w = width();
  const double perWidth = static_cast<double>(mSampleCount) / mZoom;
  const int sample = roundedToInt((x / w + mScrollOffset) * perWidth);
  if (!clamp) return sample;
  return std::max(static_cast<int>(std::min<std::int64_t>(sample, mSampleCount - 1)), 0);
}

int wavPainter::sampleToX(int sample, bool clamp) const {
  const double w = width();
  const int x = roundedToInt(w * (mZoom * (sample / static_cast<double>(mSampleCount)) - mScrollOffset));
  return clamp ? clamped(x, width() - 1) : x;
}

int wavPainter::amplitudeToY(double amplitude, bool clamp) const {
  const double h = height();
  const int y = roundedToInt(h * 0.5 - amplitude * h * 0.5);
  return clamp ? clamped(y, height() - 1) : y;
}

float wavPainter::yToAmplitude(int y, bool clamp) const {
  const double half = height() * 0.5;
  float a = static_cast<float>((half - y) / half);
  if (std::isnan(a)) a = 0.0f;
  return clamp ? std::max(-1.0f, std::min(a, 1.0f)) : a;
}

void wavPainter::columnFrames(int i, std::int64_t& first, std::int64_t& count) const {
  const double w = width();
  const double perWidth = static_cast<double>(mSampleCount) / mZoom;
  const auto bounded = [this](double v) -> std::int64_t {
    if (std::isnan(v) || v < 0.0) return 0;
    if (v >= static_cast<double>(mSampleCount)) return mSampleCount - 1;
    return static_cast<std::int64_t>(v);
  };
  first = bounded(std::ceil(((i - 1) / w + mScrollOffset) * perWidth));
  const std::int64_t last = bounded(std::floor(((i + 1) / w + mScrollOffset) * perWidth));
  count = last > first ? last - first : first - last;
}

QPen wavPainter::layerPen(const QColor& colour) {
  return QPen(QBrush(colour, Qt::SolidPattern), 1.0, Qt::SolidLine, Qt::RoundCap, Qt::BevelJoin);
}

void wavPainter::setPenAndBrush(QPainter* painter, const QColor& colour) {
  painter->setPen(layerPen(colour));
  painter->setBrush(QBrush(colour, Qt::SolidPattern));
}

void wavPainter::drawBackground(QPainter* painter) {
  const int w = width(), h = height();
  if (mBackgroundColor != QColor(Qt::transparent)) painter->fillRect(QRect(QPoint(0, 0), QPoint(w - 1, h - 1)), mBackgroundColor);
  if (mCentreLineColor != QColor(Qt::transparent)) {
    painter->setPen(layerPen(mCentreLineColor));
    painter->drawLine(0, h / 2, w - 1, h / 2);
  }
}

void wavPainter::drawForeground(QPainter*) {}

void wavPainter::prepare() {}

void wavPainter::mouseMoveEvent(QMouseEvent* event) {
  QObject* target = parent();
  if (!target) return;
  const QPointF local = event->localPos();
  const QPoint atParent(static_cast<int>(std::round(local.x())) + x(), static_cast<int>(std::round(local.y())) + y());
  QMouseEvent moved(event->type(), atParent, event->button(), event->buttons(), event->modifiers());
  QCoreApplication::sendEvent(target, &moved);
}

void wavPainter::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  setAttribute(Qt::WA_MouseTracking, true);
  if (mSkipPaint) return;
  if (mNeedsPrepare) {
    prepare();
    mNeedsPrepare = false;
  }
  if (mBackgroundOn) drawBackground(&painter);
  if (mForegroundOn) drawForeground(&painter);
}
