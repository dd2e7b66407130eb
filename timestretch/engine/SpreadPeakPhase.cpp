#include "SpreadPeakPhase.h"

#include <algorithm>
#include <cmath>

#include "BandStretch.h"

using namespace PhaseMath;

int SpreadPeakPhase(int bandCount, int keepA, const SMSFrame& in, SMSFrame& out, const float* nyquist, int keepB,
                    const double* edges, double f, double lowerExtent, double upperExtent) {
  const int band = (bandCount == 1 || edges[0] > f) ? 0 : 1;
  const double nu = nyquist[band];
  const std::int64_t n = in.binCount;
  if (n <= 0 || !out.phases || !(nu > 0.0)) return 0;
  const double perHz = static_cast<double>(n - 1) / nu;
  const double x = BinOf(f, n, nu);
  const auto c = static_cast<std::int64_t>(std::floor(std::floor(x + 0.5) + 1e-8));
  auto write = [&](std::int64_t k, double v) {
    if (k >= 0 && k < out.binCount) out.phases[k] = static_cast<float>(Wrap(v));
  };
  auto outAt = [&](std::int64_t k) { return k >= 0 && k < out.binCount ? static_cast<double>(out.phases[k]) : 0.0; };

  const auto down = std::min(static_cast<std::int64_t>(std::floor(lowerExtent * perHz + 0.5)),
                             static_cast<std::int64_t>(std::floor(x)));
  for (std::int64_t step = 1; step <= down; ++step) {
    const std::int64_t k = c - step;
    const double next = PhaseAt(in, k + 1);
    const double here = UnwrapAgainst(PhaseAt(in, k), next);
    write(k, outAt(k + 1) + (here - next));
  }
  const auto up = std::min(static_cast<std::int64_t>(std::floor(static_cast<double>(n - 1) - x)),
                           static_cast<std::int64_t>(std::floor(upperExtent * perHz + 0.5)));
  for (std::int64_t step = 1; step <= up; ++step) {
    const std::int64_t k = c + step;
    if (keepA && keepB) {
      write(k, PhaseAt(in, k));
      continue;
    }
    const double previous = PhaseAt(in, k - 1);
    const double here = UnwrapAgainst(PhaseAt(in, k), previous);
    write(k, outAt(k - 1) + (here - previous));
  }
  return 0;
}
