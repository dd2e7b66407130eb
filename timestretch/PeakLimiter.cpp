#include "PeakLimiter.h"

#include <algorithm>
#include <cmath>
#include <vector>

#include "PeakCurveFit.h"

namespace {

constexpr double kHighFraction = 0.9;
// The curve may overshoot the limit and undershoot the flanks by this much
// (in units of the limit) before it is rejected.
constexpr double kFitTolerance = 0.001;
// Over-range stretches of at most this many samples look for their flanks
// at the neighbouring minima.
constexpr std::int64_t kNarrowStretch = 14;
constexpr std::int64_t kShortestFit = 5;
constexpr std::int64_t kFlatTopOffset = 8;

bool clip(float* x, std::int64_t from, std::int64_t to, double max, double min) {
  bool changed = false;
  for (std::int64_t i = from; i < to; ++i) {
    const double v = x[i];
    const double c = std::min(max, std::max(min, v));
    if (c != v) {
      x[i] = static_cast<float>(c);
      changed = true;
    }
  }
  return changed;
}

// [a, b] around `peak`: the first samples below `threshold` on each side,
// within [0, n).
void highStretch(const std::vector<double>& y, std::int64_t peak, double threshold, std::int64_t& a,
                 std::int64_t& b) {
  const auto n = static_cast<std::int64_t>(y.size());
  a = peak;
  while (a > 0 && !(y[static_cast<std::size_t>(a)] < threshold)) --a;
  b = peak;
  while (b < n - 1 && !(y[static_cast<std::size_t>(b)] < threshold)) ++b;
}

// Overwrites y[a, b) with the quintic through the stretch's ends and the
// limit at p; false when the curve leaves its bounds.
bool fitCurve(std::vector<double>& y, std::int64_t a, std::int64_t b, double p, double limit) {
  const double span = static_cast<double>(b - a);
  auto at = [&](std::int64_t i) { return y[static_cast<std::size_t>(i)] / limit; };
  PeakCurveFit fit;
  fit.SetValuePoint(0, 0.0, at(a));
  fit.SetValuePoint(1, 1.0 / span, at(a + 1));
  fit.SetValuePoint(2, p, 1.0);
  fit.SetValuePoint(3, (span - 1.0) / span, at(b - 1));
  fit.SetValuePoint(4, 1.0, at(b));
  fit.SetZeroSlope(5, p);
  if (!fit.Solve()) return false;
  const double floor = std::min(at(a), at(b)) - kFitTolerance;
  std::vector<double> curve(static_cast<std::size_t>(b - a));
  for (std::int64_t j = 0; j < b - a; ++j) {
    const double v = fit.Evaluate(static_cast<double>(j) / span);
    if (!(v <= 1.0 + kFitTolerance) || v < floor) return false;
    curve[static_cast<std::size_t>(j)] = v;
  }
  for (std::int64_t j = 0; j < b - a; ++j) {
    y[static_cast<std::size_t>(a + j)] = std::min(limit, curve[static_cast<std::size_t>(j)] * limit);
  }
  return true;
}

// Cap of two parabolas meeting at c with the value `limit`, blended from
// each end of [a, b] toward the middle.
void capPeak(std::vector<double>& y, std::int64_t a, std::int64_t b, std::int64_t c, std::int64_t run, double h,
             double limit) {
  auto Y = [&](std::int64_t i) -> double& { return y[static_cast<std::size_t>(i)]; };
  const std::int64_t sl = c - a;
  const std::int64_t sr = b - c;
  const double halfRun = static_cast<double>(run) / 2.0;
  std::vector<double> cap(static_cast<std::size_t>(b - a + 1), limit);
  auto Cap = [&](std::int64_t i) -> double& { return cap[static_cast<std::size_t>(i - a)]; };
  const double riseLeft = limit - std::min(h, Y(a));
  if (sl >= 9 && static_cast<double>(sl) - halfRun <= 3.0) {
    const double k = riseLeft / 64.0;
    for (std::int64_t i = a; i < a + kFlatTopOffset; ++i) Cap(i) = limit - k * double((a + 8 - i) * (a + 8 - i));
  } else {
    const double k = riseLeft / double(std::max<std::int64_t>(1, sl) * std::max<std::int64_t>(1, sl));
    for (std::int64_t i = a; i <= c; ++i) Cap(i) = limit - k * double((c - i) * (c - i));
  }
  const double riseRight = limit - std::min(h, Y(b));
  if (sr >= 9 && static_cast<double>(sr) - halfRun <= 3.0) {
    const double k = riseRight / 64.0;
    for (std::int64_t i = b; i > b - kFlatTopOffset; --i) Cap(i) = limit - k * double((i - (b - 8)) * (i - (b - 8)));
  } else {
    const double k = riseRight / double(std::max<std::int64_t>(1, sr) * std::max<std::int64_t>(1, sr));
    for (std::int64_t i = c; i <= b; ++i) Cap(i) = limit - k * double((i - c) * (i - c));
  }
  for (double& v : cap) v = std::max(0.0, v);

  const double quarter = static_cast<double>(b - a) / 4.0;
  const std::int64_t m = a + (b - a) / 2;
  const double reachLeft = std::min(std::max(static_cast<double>(sl) / 2.0, 0.5), quarter);
  const bool highLeft = Y(a) > h;
  for (std::int64_t i = a; i <= m; ++i) {
    const double w = highLeft ? 1.0 : std::min(1.0, static_cast<double>(i - a) / reachLeft);
    Y(i) = std::min(limit, Y(i) * (1.0 - w) + Cap(i) * w);
  }
  const double reachRight = std::min(std::max(static_cast<double>(sr) / 2.0, 0.5), quarter);
  const bool highRight = Y(b) > h;
  for (std::int64_t i = b; i > m; --i) {
    const double w = highRight ? 1.0 : std::min(1.0, static_cast<double>(b - i) / reachRight);
    Y(i) = std::min(limit, Y(i) * (1.0 - w) + Cap(i) * w);
  }
}

}  // namespace

void ReshapePeak(float* x, std::int64_t from, std::int64_t to, std::int64_t centre, std::int64_t run, double max,
                 double min) {
  if (run <= 2) {
    clip(x, centre, std::min(to, centre + run), max, min);
    return;
  }
  const bool positive = x[centre] > 0.0f;
  auto samePolarity = [&](std::int64_t i) { return positive ? x[i] > 0.0f : x[i] < 0.0f; };
  std::int64_t lo = centre;
  while (lo > from && samePolarity(lo - 1)) --lo;
  std::int64_t hi = centre;
  while (hi + 1 < to && samePolarity(hi + 1)) ++hi;
  if (hi - lo + 1 <= 5) {
    clip(x, lo, hi + 1, max, min);
    return;
  }

  // Work on a positive copy of the half-wave.
  const double limit = positive ? max : -min;
  std::vector<double> y;
  try {
    y.resize(static_cast<std::size_t>(hi - lo + 1));
  } catch (const std::bad_alloc&) {
    return;  // the caller's final clamp still applies
  }
  for (std::int64_t i = lo; i <= hi; ++i) y[static_cast<std::size_t>(i - lo)] = positive ? x[i] : -double(x[i]);
  const std::int64_t c = centre - lo;
  const auto n = static_cast<std::int64_t>(y.size());
  auto Y = [&](std::int64_t i) { return y[static_cast<std::size_t>(i)]; };

  double h = kHighFraction * limit;
  std::int64_t a = 0, b = 0;
  highStretch(y, c, h, a, b);
  if (b - a <= kNarrowStretch) {
    while (a > 0 && Y(a - 1) < Y(a)) --a;
    while (b < n - 1 && Y(b + 1) < Y(b)) ++b;
    const double lower = (2.0 * std::max(Y(a), Y(b)) + limit) / 3.0;
    if (lower <= h && lower != 0.0) {
      h = lower;
      highStretch(y, c, h, a, b);
    }
  }
  if (b - a <= kShortestFit) {
    clip(x, lo, hi + 1, max, min);
    return;
  }

  const double p = (static_cast<double>(c - a) + (run % 2 == 0 ? 0.5 : 0.0)) / static_cast<double>(b - a);
  try {
    if (!fitCurve(y, a, b, p, limit)) capPeak(y, a, b, c, run, h, limit);
  } catch (const std::bad_alloc&) {
    return;
  }
  for (std::int64_t i = a; i <= b; ++i) {
    const double v = Y(i);
    x[lo + i] = static_cast<float>(positive ? v : -v);
  }
}

int LimitPeaks(float* x, std::int64_t from, std::int64_t to, double max, double min) {
  if (to - 5 <= from) return clip(x, from, to, max, min) ? 1 : 0;
  int changed = 0;
  std::int64_t i = from;
  while (i < to - 5) {
    const double v = x[i];
    if (v >= min && v <= max) {
      ++i;
      continue;
    }
    const bool above = v > max;
    std::int64_t r = 1;
    while (r < to - 5 - i && (above ? x[i + r] > max : x[i + r] < min)) ++r;
    ReshapePeak(x, from, to, i + (r - 1) / 2, r, max, min);
    changed = 1;
    i += r;
  }
  return changed;
}
