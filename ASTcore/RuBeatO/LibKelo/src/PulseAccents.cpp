#include "PulseAccents.h"

#include <algorithm>
#include <array>
#include <cstddef>

namespace kelo {

namespace {

constexpr std::size_t kSpan = 6;  // pulses: the least common multiple of 2 and 3

// How far the beats of a grouping of `count` pulses starting at `phase`
// stand out from the pulses between them, in the rises folded onto six
// positions, with the strongest of the beats, the downbeat, set aside.
double beatContrast(const std::array<double, kSpan>& m, std::size_t count, std::size_t phase) {
  double beats = 0.0, strongest = 0.0, between = 0.0;
  std::size_t beatCount = 0;
  for (std::size_t k = 0; k < kSpan; ++k) {
    if ((k + kSpan - phase) % count == 0) {
      beats += m[k];
      strongest = beatCount == 0 ? m[k] : std::max(strongest, m[k]);
      ++beatCount;
    } else {
      between += m[k];
    }
  }
  return (beats - strongest) / static_cast<double>(beatCount - 1) -
         between / static_cast<double>(kSpan - beatCount);
}

}  // namespace

std::vector<double> pulseRises(const std::vector<FeatureVector>& rows) {
  std::vector<double> rises(rows.size(), 0.0);
  for (std::size_t i = 1; i < rows.size(); ++i) {
    double r = 0.0;
    const std::size_t bands = std::min(rows[i].size(), rows[i - 1].size());
    for (std::size_t b = 0; b < bands; ++b) r += std::max(0.0, rows[i](b) - rows[i - 1](b));
    rises[i] = r;
  }
  return rises;
}

int strongestGroupingPhase(const std::vector<double>& rises, std::uint32_t first, int count) {
  if (count < 1 || rises.size() < 2 * static_cast<std::size_t>(count)) return -1;
  std::vector<double> sum(static_cast<std::size_t>(count), 0.0);
  for (std::size_t i = 0; i < rises.size(); ++i)
    sum[(first + static_cast<std::uint32_t>(i)) % static_cast<std::uint32_t>(count)] += rises[i];
  return static_cast<int>(std::max_element(sum.begin(), sum.end()) - sum.begin());
}

int accentedPulsesPerBeat(const std::vector<double>& rises, std::uint32_t first) {
  if (rises.size() < 2 * kSpan) return 2;
  std::array<double, kSpan> sum{};
  std::array<int, kSpan> n{};
  for (std::size_t i = 0; i < rises.size(); ++i) {
    const std::size_t k = (first + static_cast<std::uint32_t>(i)) % kSpan;
    sum[k] += rises[i];
    ++n[k];
  }
  std::array<double, kSpan> m{};
  for (std::size_t k = 0; k < kSpan; ++k) m[k] = sum[k] / n[k];
  const double twos = std::max(beatContrast(m, 2, 0), beatContrast(m, 2, 1));
  const double threes = std::max({beatContrast(m, 3, 0), beatContrast(m, 3, 1), beatContrast(m, 3, 2)});
  return threes > twos ? 3 : 2;
}

}  // namespace kelo
