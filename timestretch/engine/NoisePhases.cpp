#include "NoisePhases.h"

#include <algorithm>
#include <cmath>

#include "LevelAmplitude.h"
#include "PhaseMath.h"

using namespace PhaseMath;

namespace NoisePhases {

bool IsSteadyPeak(const SMSFrame& frameA, const SMSFrame& frameB, double fA, double fB, double nyquist,
                  double framePeriod, const SteadyLimits& limits) {
  if (!frameA.magnitudes || !frameB.magnitudes || !frameA.phases || !frameB.phases || frameA.binCount <= 0 ||
      frameB.binCount <= 0)
    return false;
  const std::int64_t kA = RoundedBin(fA, frameA.binCount, nyquist);
  const std::int64_t kB = RoundedBin(fB, frameB.binCount, nyquist);
  const double rise = static_cast<double>(frameB.magnitudes[kB]) - frameA.magnitudes[kA];
  if (!(rise < limits.maxRiseDb) || !(rise > limits.maxFallDb) || !(std::fabs(fB - fA) < limits.maxJumpHz))
    return false;
  // The continuity test of a transient frame lets a third of all noise
  // peaks pass (any phase within a sixth of a turn); a tenth of a radian
  // lets through one in thirty, and every partial of a steady tone.
  const double predicted = Wrap(PhaseAt(frameA, kA) + kTwoPi * (fA + fB) / 2.0 * framePeriod);
  const double actual = UnwrapAgainst(PhaseAt(frameB, kB), predicted);
  return std::fabs(actual - predicted) < limits.maxDeviation;
}

double MoveToInputTime(const PeakRegionTable& table, SMSFrame* const* framesA, SMSFrame* const* output,
                       const float* nyquist, int bands, double lowerEdgeHz, double inputTime, double framePeriod,
                       const SteadyLimits& limits) {
  auto energy = [](float dB) {
    const double a = LevelAmplitude::FromDb(dB, kNoEnergy);
    return a * a;
  };
  // The low band holds the bass and the chords, whose fainter partials can
  // fail the steadiness test; moved, they would lose their locking.
  if (bands < 2 || !std::isfinite(inputTime)) return 0.0;
  const int top = bands - 1;
  if (!output[top] || !output[top]->magnitudes || output[top]->binCount < 2) return 0.0;
  // The band's own range: what lies below its lower edge is blanked.
  const std::int64_t first = RoundedBin(std::max(lowerEdgeHz, 0.0), output[top]->binCount, nyquist[top]);
  double moved = 0.0;
  for (std::int32_t r = 0; r < table.count; ++r) {
    if (table.band[r] != top || table.flags[r] || table.source[r] == PeakTracking::kNoSource) continue;
    const SMSFrame* frameB = table.spectrum[r];
    SMSFrame* out = output[top];
    if (!frameB || !out || !framesA[top] || !out->phases || !frameB->phases || frameB->binCount != out->binCount)
      continue;
    const double nu = nyquist[top];
    if (IsSteadyPeak(*framesA[top], *frameB, table.source[r], table.centre[r], nu, framePeriod, limits)) continue;
    const std::int64_t n = out->binCount;
    const double turnPerBin = kTwoPi * (nu / static_cast<double>(n - 1)) * (inputTime - frameB->time);
    const std::int64_t from = RoundedBin(table.centre[r] - table.lowerExtent[r], n, nu);
    const std::int64_t to = std::min(RoundedBin(table.centre[r] + table.upperExtent[r], n, nu), n - 1);
    for (std::int64_t k = from; k <= to; ++k) {
      out->phases[k] = static_cast<float>(Wrap(frameB->phases[k] + static_cast<double>(k) * turnPerBin));
      if (k >= first) moved += energy(out->magnitudes[k]);
    }
  }
  if (!(moved > 0.0)) return 0.0;
  double total = 0.0;
  const SMSFrame& out = *output[top];
  for (std::int64_t k = first; k < out.binCount; ++k) total += energy(out.magnitudes[k]);
  return total > 0.0 ? std::min(1.0, moved / total) : 0.0;
}

}  // namespace NoisePhases
