#pragma once
// A running minimum and maximum, the bookkeeping behind the sync analysis's
// curve scaling (normalizeActivityCurve in syncAnalyze.h scales a whole
// curve).

// Widens [minimum, maximum] to include `value`.
inline void updateRunningMinMax(double value, double& minimum, double& maximum) {
  if (value < minimum) minimum = value;
  if (value > maximum) maximum = value;
}
