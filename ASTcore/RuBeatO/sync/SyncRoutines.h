#pragma once
// A running minimum and maximum, the bookkeeping behind the sync analysis's
// curve scaling (normalizeActivityCurve in syncAnalyze.h scales a whole
// curve).

#include <cstdint>

// Widens [minimum, maximum] to include `value`.
inline void updateRunningMinMax(double value, double& minimum, double& maximum) {
  if (value < minimum) minimum = value;
  if (value > maximum) maximum = value;
}

// Scales `count` values in place to (c - min) / max, min and max taken over
// the values. With a maximum of 0 there is no scale to divide by: the values
// are only shifted to (c - min), never made infinite or not a number.
inline void normalizeMinMax(double* values, std::uint32_t count) {
  if (values == nullptr || count == 0) return;
  double minimum = values[0];
  double maximum = values[0];
  for (std::uint32_t i = 1; i < count; ++i) updateRunningMinMax(values[i], minimum, maximum);
  const double scale = maximum != 0.0 ? maximum : 1.0;
  for (std::uint32_t i = 0; i < count; ++i) values[i] = (values[i] - minimum) / scale;
}
