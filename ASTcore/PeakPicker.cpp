#include "PeakPicker.h"

#include <algorithm>

PeakPicker::~PeakPicker() = default;

double PeakPicker::tolerance(std::uint64_t tempo) {
  if (tempo < 40) return 0.05;
  if (tempo > 60) return 0.015;
  return static_cast<double>(60 - tempo) * 0.035 / 20.0 + 0.015;
}

void PeakPicker::run(std::vector<float>& targetList, const std::vector<float>& referenceList,
                     std::uint64_t bpm) {
  target = &targetList;
  reference = &referenceList;
  tempo = bpm;
  lower = upper = pos = -1;
  const double tol = tolerance(tempo);

  const auto count = static_cast<std::int32_t>(targetList.size());
  for (pos = 0; pos < count; ++pos) {
    const float t = targetList[static_cast<std::size_t>(pos)];
    bracket(t);
    if (lower < 0 && upper >= 0) {
      snapUp(tol);
    } else if (lower >= 0 && upper >= 0) {
      const double mid = (static_cast<double>(referenceList[static_cast<std::size_t>(lower)]) +
                          referenceList[static_cast<std::size_t>(upper)]) /
                         2.0;
      // Exactly halfway counts as nearer the lower entry.
      if (t > mid) {
        snapUp(tol);
      } else {
        snapDown(tol);
      }
    } else if (lower >= 0) {
      snapDown(tol);
    }
  }
  pos = count - 1;
}

void PeakPicker::bracket(float t) {
  const std::vector<float>& ref = *reference;
  const auto n = static_cast<std::int32_t>(ref.size());
  for (std::int32_t j = upper >= 0 ? upper : 0; j < n; ++j) {
    if (ref[static_cast<std::size_t>(j)] > t) {
      upper = j;
      lower = j - 1;
      return;
    }
  }
  upper = -1;
  lower = n - 1;
}

void PeakPicker::snapUp(double tol) {
  std::vector<float>& tgt = *target;
  const float r = (*reference)[static_cast<std::size_t>(upper)];
  const auto p = static_cast<std::size_t>(pos);
  if (!(static_cast<double>(tgt[p]) > static_cast<double>(r) - tol)) return;
  // When the next grid time already lies at or below this onset, the onset
  // belongs to it; taking it here would put two grid times on one onset.
  if (p + 1 < tgt.size() && !(tgt[p + 1] > r)) return;
  tgt[p] = r;
}

void PeakPicker::snapDown(double tol) {
  std::vector<float>& tgt = *target;
  const float r = (*reference)[static_cast<std::size_t>(lower)];
  const auto p = static_cast<std::size_t>(pos);
  if (!(static_cast<double>(r) + tol > static_cast<double>(tgt[p]))) return;
  // Never onto or behind the grid time before it.
  if (p > 0 && !(r > tgt[p - 1])) return;
  tgt[p] = r;
}

float PeakPicker::slope(std::int32_t position) const {
  if (!target || target->empty()) return 0.0f;
  const auto last = static_cast<std::int64_t>(target->size()) - 1;
  const std::int64_t p = std::clamp<std::int64_t>(position, 0, last);
  const std::int64_t lo = std::max<std::int64_t>(p - 8, 0);
  const std::int64_t hi = std::min<std::int64_t>(p + 8, last);
  if (hi <= lo) return 0.0f;
  return ((*target)[static_cast<std::size_t>(hi)] - (*target)[static_cast<std::size_t>(lo)]) /
         static_cast<float>(hi - lo);
}
