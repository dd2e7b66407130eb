#include "BeatGridEstimator.h"

#include <algorithm>
#include <cmath>
#include <complex>

namespace {

constexpr double kTwoPi = 6.283185307179586;
// Tempi are preferred near this one when two candidates are equally strong.
constexpr double kCentreBpm = 120.0;
// The faster of two octave candidates wins with at least this share of the
// slower one's autocorrelation.
constexpr double kOctaveShare = 0.8;
// Beats per chunk when the phase is followed through the recording.
constexpr double kChunkBeats = 8.0;
// A period correction beyond this share means the chunk phases did not
// follow one tempo; the period is then kept.
constexpr double kMaxDrift = 0.03;
// A later beat of the bar must carry this much more attack on average
// than the earlier candidate to count as the downbeat.
constexpr double kAccentMargin = 1.1;
// Frames before the first sample within which a beat still counts.
constexpr double kStartTolerance = 2.0;
// Frames quieter than this share of the loudest frame count as silence.
constexpr double kSilenceShare = 1e-4;

// Sub-sample position of the peak of three neighbouring values, -0.5 .. 0.5.
double parabolicOffset(double left, double centre, double right) {
  const double curvature = left - 2.0 * centre + right;
  if (curvature >= 0.0) return 0.0;
  return std::clamp(0.5 * (left - right) / curvature, -0.5, 0.5);
}

}  // namespace

BeatGridEstimator::BeatGridEstimator(double framesPerSecond, double minBpm, double maxBpm)
    : fps(framesPerSecond), minBpm(minBpm), maxBpm(maxBpm) {}

std::vector<float> BeatGridEstimator::onsetStrength(const std::vector<float>& energy) {
  std::vector<float> out(energy.size());
  double previous = 0.0;  // the recording starts from silence
  for (std::size_t n = 0; n < energy.size(); ++n) {
    // The log keeps quiet and loud passages comparable; the 1000 sets where
    // the compression begins (about -30 dB).
    const double level = std::log1p(1000.0 * std::max(0.0f, energy[n]));
    out[n] = static_cast<float>(std::max(0.0, level - previous));
    previous = level;
  }
  return out;
}

double BeatGridEstimator::coarsePeriod(const std::vector<float>& onset) const {
  const std::size_t n = onset.size();
  const long lo = std::max(1L, static_cast<long>(std::floor(lagOf(maxBpm))) - 2);
  long hi = static_cast<long>(std::ceil(lagOf(minBpm))) + 2;
  hi = std::min(hi, static_cast<long>(n) - 1);
  if (hi - lo < 2) return 0.0;

  double mean = 0.0;
  for (float v : onset) mean += v;
  mean /= static_cast<double>(n);
  std::vector<double> x(n);
  for (std::size_t i = 0; i < n; ++i) x[i] = onset[i] - mean;

  std::vector<double> acf(static_cast<std::size_t>(hi + 1), 0.0);
  for (long lag = lo; lag <= hi; ++lag) {
    const double* a = x.data();
    const double* b = x.data() + lag;
    const std::size_t count = n - static_cast<std::size_t>(lag);
    double sum = 0.0;
    for (std::size_t i = 0; i < count; ++i) sum += a[i] * b[i];
    acf[static_cast<std::size_t>(lag)] = sum;
  }
  // A period between two whole lags splits its peak over both; the pair
  // sum measures it fairly whatever its fraction.
  const auto height = [&](long lag) {
    const double v = acf[static_cast<std::size_t>(lag)];
    return v + std::max(0.0, std::max(acf[static_cast<std::size_t>(lag - 1)], acf[static_cast<std::size_t>(lag + 1)]));
  };
  const auto isPeak = [&](long lag) {
    if (lag <= lo || lag >= hi) return false;
    const double v = acf[static_cast<std::size_t>(lag)];
    return v > 0.0 && v >= acf[static_cast<std::size_t>(lag - 1)] &&
           v >= acf[static_cast<std::size_t>(lag + 1)];
  };

  long best = -1;
  double bestScore = 0.0;
  for (long lag = lo + 1; lag < hi; ++lag) {
    if (!isPeak(lag)) continue;
    const double bpm = fps * 60.0 / static_cast<double>(lag);
    if (bpm < minBpm * 0.97 || bpm > maxBpm * 1.03) continue;
    const double octaves = std::log2(bpm / kCentreBpm);
    const double score = height(lag) * std::exp(-0.5 * octaves * octaves);
    if (score > bestScore) {
      bestScore = score;
      best = lag;
    }
  }
  if (best < 0) return 0.0;

  // A pulse train at period P also correlates at 2P; take P when it holds up.
  const double half = static_cast<double>(best) / 2.0;
  if (fps * 60.0 / half <= maxBpm * 1.03) {
    long halfPeak = -1;
    for (long lag = std::lround(half) - 2; lag <= std::lround(half) + 2; ++lag) {
      if (!isPeak(lag)) continue;
      if (halfPeak < 0 || height(lag) > height(halfPeak)) halfPeak = lag;
    }
    if (halfPeak > 0 && height(halfPeak) >= kOctaveShare * height(best)) best = halfPeak;
  }
  const auto at = [&](long lag) { return acf[static_cast<std::size_t>(lag)]; };
  return static_cast<double>(best) + parabolicOffset(at(best - 1), at(best), at(best + 1));
}

void BeatGridEstimator::refine(const std::vector<float>& onset, double& period, double& phase) const {
  if (period <= 0.0) return;
  const std::size_t n = onset.size();
  // Two passes: the second folds with the corrected period, so the phase
  // of each chunk is measured without the drift the first pass removed.
  for (int pass = 0; pass < 2; ++pass) {
    const std::size_t chunk = static_cast<std::size_t>(std::max(1.0, std::round(kChunkBeats * period)));
    double sw = 0.0, swx = 0.0, swy = 0.0, swxx = 0.0, swxy = 0.0;
    int chunks = 0;
    bool havePrevious = false;
    double previous = 0.0;
    for (std::size_t start = 0; start < n; start += chunk) {
      const std::size_t end = std::min(n, start + chunk);
      std::complex<double> fold(0.0, 0.0);
      double weight = 0.0, centre = 0.0;
      for (std::size_t i = start; i < end; ++i) {
        const double v = onset[i];
        if (v <= 0.0) continue;
        fold += std::polar(v, -kTwoPi * static_cast<double>(i) / period);
        weight += v;
        centre += v * static_cast<double>(i);
      }
      const double strength = std::abs(fold);
      if (weight <= 0.0 || strength <= 1e-9 * weight) continue;
      centre /= weight;
      double offset = -std::arg(fold) * period / kTwoPi;
      if (havePrevious) offset += std::round((previous - offset) / period) * period;
      previous = offset;
      havePrevious = true;

      sw += strength;
      swx += strength * centre;
      swy += strength * offset;
      swxx += strength * centre * centre;
      swxy += strength * centre * offset;
      ++chunks;
    }
    if (chunks == 0) return;

    double slope = 0.0;
    double intercept = swy / sw;
    const double det = sw * swxx - swx * swx;
    if (chunks >= 2 && det > 1e-12 * sw * swxx) {
      slope = (sw * swxy - swx * swy) / det;
      intercept = (swy - slope * swx) / sw;
      if (std::abs(slope) > kMaxDrift) {
        slope = 0.0;
        intercept = swy / sw;
      }
    }
    period /= (1.0 - slope);
    phase = intercept / (1.0 - slope);
  }
  phase -= std::floor(phase / period) * period;
}

BeatGrid BeatGridEstimator::estimate(const std::vector<float>& energy) const {
  BeatGrid grid;
  if (energy.empty()) return grid;
  const float loudest = *std::max_element(energy.begin(), energy.end());
  if (!(loudest > 0.0f)) return grid;

  const std::vector<float> onset = onsetStrength(energy);
  double period = coarsePeriod(onset);
  if (period <= 0.0) return grid;
  double phase = 0.0;
  refine(onset, period, phase);

  std::size_t firstSound = 0;
  while (firstSound < energy.size() && energy[firstSound] <= loudest * kSilenceShare) ++firstSound;
  // A beat a hair before the first sample (the phase is measured, not
  // exact) is the beat of a sound at the very start.
  const double from = std::max(-0.5 - kStartTolerance, static_cast<double>(firstSound) - period / 2.0);
  const double to = static_cast<double>(energy.size()) - 0.5;

  grid.period = period;
  grid.phase = phase;
  for (double k = std::ceil((from - phase) / period);; k += 1.0) {
    const double b = phase + k * period;
    if (b >= to) break;
    grid.beatFrames.push_back(b);
  }
  return grid;
}

int BeatGridEstimator::barPhase(const std::vector<float>& energy, const std::vector<double>& beatFrames,
                                int beatsPerBar) {
  if (beatsPerBar <= 1 || beatFrames.empty() || energy.empty()) return 0;
  std::vector<double> sums(static_cast<std::size_t>(beatsPerBar), 0.0);
  std::vector<int> counts(static_cast<std::size_t>(beatsPerBar), 0);
  const long last = static_cast<long>(energy.size()) - 1;
  for (std::size_t k = 0; k < beatFrames.size(); ++k) {
    // The attack at the beat: the largest energy rise around it, so that a
    // steady bed under the beats does not count as accent.
    const long centre = std::lround(beatFrames[k]);
    const long lo = std::clamp(centre - 2, 0L, last);
    const long hi = std::clamp(centre + 2, 0L, last);
    double accent = 0.0;
    for (long i = lo; i <= hi; ++i) {
      const double before = i > 0 ? energy[static_cast<std::size_t>(i - 1)] : 0.0;
      accent = std::max(accent, static_cast<double>(energy[static_cast<std::size_t>(i)]) - before);
    }
    const std::size_t c = k % static_cast<std::size_t>(beatsPerBar);
    sums[c] += accent;
    counts[c] += 1;
  }
  int best = 0;
  double bestMean = counts[0] ? sums[0] / counts[0] : 0.0;
  for (int c = 1; c < beatsPerBar; ++c) {
    if (counts[static_cast<std::size_t>(c)] == 0) continue;
    const double mean = sums[static_cast<std::size_t>(c)] / counts[static_cast<std::size_t>(c)];
    if (mean > bestMean * kAccentMargin + 1e-12) {
      best = c;
      bestMean = mean;
    }
  }
  return best;
}
