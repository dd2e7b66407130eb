#include "TempoRatio.h"

#include <cstdint>

double calcTempo(unsigned numerator, unsigned denominator, unsigned bars, double tempo) {
  // A zero tempo would divide by zero, a negative or NaN one gives no length.
  if (denominator == 0 || !(tempo > 0.0)) return 0.0;
  const std::uint32_t quarters = static_cast<std::uint32_t>(bars) * static_cast<std::uint32_t>(numerator);
  const double seconds = static_cast<double>(quarters) * 4.0 * 60.0 / (denominator * tempo);
  const double grid = seconds * 10000.0;
  if (!(grid < 1.8e19)) return 0.0;  // beyond what the grid count can hold
  return static_cast<double>(static_cast<std::uint64_t>(grid) + 5) / 10000.0;
}

double calcRatio(double sectionSeconds, double rangeSeconds) {
  if (!(sectionSeconds >= 0.01)) return 0.0;
  return rangeSeconds / sectionSeconds;
}

bool isRatioOutOfRange(double percent) { return !(percent >= 50.0 && percent <= 200.0); }

double calcTempoFromBars(unsigned numerator, unsigned denominator, unsigned bars, double rangeSeconds) {
  if (numerator == 0 || denominator == 0 || bars == 0) return 0.0;
  if (!(rangeSeconds * 10000.0 >= 1.0)) return 0.0;
  const std::uint32_t quartersPerBar = (4u * numerator) / denominator;
  const std::uint32_t product = static_cast<std::uint32_t>(bars) * quartersPerBar * 60u;
  return static_cast<double>(product) / rangeSeconds;
}

bool isRatioBelowHalf(double ratio) { return ratio < 0.5; }
bool isRatioAboveDouble(double ratio) { return ratio > 2.0; }
