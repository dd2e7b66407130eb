#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <complex>
#include <cstdint>
#include <random>
#include <vector>

#include "engine/CPolyphaseMultiRateProcessing.h"
#include "engine/PolyphaseTables.h"

namespace {

using Filter = CPolyphaseMultiRateProcessing;

// The whole coefficient table, read back through a fresh decimator: an impulse
// at input offset q makes output j equal to coefficient (j + 1) * M - 1 - q.
std::vector<double> coefficientsOf(int factor, double rate, int taps) {
  std::vector<double> h(static_cast<std::size_t>(taps), 0.0);
  for (int q = 0; q < factor; ++q) {
    Filter f(Filter::kDecimate, factor, rate);
    std::vector<float> in(static_cast<std::size_t>(taps + factor), 0.0f);
    in[static_cast<std::size_t>(q)] = 1.0f;
    std::vector<float> out(in.size() / static_cast<std::size_t>(factor));
    std::int64_t n = 0;
    f.Decimate(static_cast<int>(in.size()), in.data(), out.data(), &n);
    for (int j = 0; j < n; ++j) {
      const int k = (j + 1) * factor - 1 - q;
      if (k >= 0 && k < taps) h[static_cast<std::size_t>(k)] = out[static_cast<std::size_t>(j)];
    }
  }
  return h;
}

double amplitudeAt(const std::vector<double>& h, double f) {
  std::complex<double> a = 0.0;
  for (std::size_t k = 0; k < h.size(); ++k) a += h[k] * std::polar(1.0, -2.0 * M_PI * f * static_cast<double>(k));
  return std::abs(a);
}

std::vector<float> randomSignal(std::size_t n, unsigned seed) {
  std::mt19937 gen(seed);
  std::uniform_real_distribution<float> d(-20000.0f, 20000.0f);
  std::vector<float> x(n);
  for (float& v : x) v = d(gen);
  return x;
}

// Plain convolution with zero history.
double convolveAt(const std::vector<double>& h, const std::vector<double>& x, std::size_t n) {
  double y = 0.0;
  for (std::size_t k = 0; k < h.size() && k <= n; ++k) y += h[k] * x[n - k];
  return y;
}

// The input with factor - 1 zeros after each sample: what the
// interpolator's filter sees.
std::vector<double> zeroStuffed(const std::vector<float>& x, int factor) {
  std::vector<double> stuffed(x.size() * static_cast<std::size_t>(factor), 0.0);
  for (std::size_t i = 0; i < x.size(); ++i) stuffed[i * static_cast<std::size_t>(factor)] = x[i];
  return stuffed;
}

// x raised by a fresh interpolator, fed in blocks of the given sizes in turn.
std::vector<float> interpolateInBlocks(int factor, double rate, const std::vector<float>& x,
                                       const std::vector<int>& sizes) {
  Filter up(Filter::kInterpolate, factor, rate);
  std::vector<float> raised;
  std::size_t start = 0;
  for (std::size_t i = 0; start < x.size(); ++i) {
    const auto size = static_cast<int>(
        std::min<std::size_t>(static_cast<std::size_t>(sizes[i % sizes.size()]), x.size() - start));
    std::vector<float> part(static_cast<std::size_t>(size * factor));
    std::int64_t n = -1;
    up.Interpolate(size, x.data() + start, part.data(), &n);
    EXPECT_EQ(n, size * factor);
    raised.insert(raised.end(), part.begin(), part.end());
    start += static_cast<std::size_t>(size);
  }
  return raised;
}

struct TableCase {
  int factor;
  double rate;
  int taps;
  const double* table;
  double sum;
  double first, second, centre;
  double minus3dB;
  double minus60dB;
  double stopbandDb;
};

const TableCase kTables[] = {
    {4, 44100, 70, PolyphaseTables::k70A, 0.99919738, 6.625840951e-06, 1.161989141e-05, 0.1364919740, 0.0614, 0.1060, 107},
    {4, 22050, 70, PolyphaseTables::k70B, 1.01422766, -4.510899956e-06, 3.507510167e-05, 0.1703140583, 0.0795, 0.1174, 97},
    {2, 11025, 70, PolyphaseTables::k70C, 1.00007893, -1.010905198e-06, -2.043854966e-06, 0.3351284685, 0.1683, 0.2204, 142},
    {4, 11025, 110, PolyphaseTables::k110, 0.99243512, 1.620448055e-06, 5.854779726e-06, 0.1802662088, 0.0869, 0.1152, 128},
    {8, 44100, 170, PolyphaseTables::k170, 0.96632375, 2.376141366e-06, 1.578285949e-06, 0.08957025535, 0.0425, 0.0583, 110},
    {2, 22050, 50, PolyphaseTables::k50, 0.99999996, -1.346332777e-07, -1.463709360e-06, 0.2627320684, 0.1222, 0.2088, 193},
    {2, 44100, 50, PolyphaseTables::k50, 0.99999996, -1.346332777e-07, -1.463709360e-06, 0.2627320684, 0.1222, 0.2088, 193},
};

// The first frequency from `from` up at which the amplitude falls to
// `level` of the gain at 0 Hz, by bisection within a 1e-4 step.
double crossing(const std::vector<double>& h, double level, double from = 0.0) {
  const double dc = amplitudeAt(h, 0.0);
  double f = from;
  while (f < 0.5 && amplitudeAt(h, f + 1e-4) / dc > level) f += 1e-4;
  double lo = f, hi = f + 1e-4;
  for (int i = 0; i < 40; ++i) {
    const double mid = 0.5 * (lo + hi);
    (amplitudeAt(h, mid) / dc > level ? lo : hi) = mid;
  }
  return lo;
}

}  // namespace

TEST(PolyphaseMultiRate, EveryTableIsASymmetricLowPassWithItsSumAndCornerFrequencies) {
  for (const TableCase& c : kTables) {
    SCOPED_TRACE(testing::Message() << "factor " << c.factor << " rate " << c.rate);
    Filter f(Filter::kDecimate, c.factor, c.rate);
    EXPECT_EQ(f.GetDelay(), c.taps / 2 - 1);
    const std::vector<double> h(c.table, c.table + c.taps);
    // The decimator filters with this table.
    const std::vector<double> used = coefficientsOf(c.factor, c.rate, c.taps);
    double sum = 0.0;
    for (std::size_t k = 0; k < h.size(); ++k) {
      sum += h[k];
      EXPECT_FLOAT_EQ(static_cast<float>(used[k]), static_cast<float>(h[k]));
      EXPECT_EQ(h[k], h[h.size() - 1 - k]);
    }
    EXPECT_NEAR(sum, c.sum, 1e-8);
    EXPECT_NEAR(h[0], c.first, 1e-15);
    EXPECT_NEAR(h[1], c.second, 1e-15);
    EXPECT_NEAR(h[static_cast<std::size_t>(c.taps / 2 - 1)], c.centre, 1e-11);
    EXPECT_NEAR(crossing(h, std::pow(10.0, -3.0 / 20.0)), c.minus3dB, 5e-5);
    EXPECT_NEAR(crossing(h, 1e-3), c.minus60dB, 5e-5);
    // From the lower rate's Nyquist frequency to half the higher rate.
    const double dc = amplitudeAt(h, 0.0);
    double worst = 0.0;
    for (double fr = 0.5 / c.factor; fr <= 0.5; fr += 2e-5) worst = std::max(worst, amplitudeAt(h, fr) / dc);
    EXPECT_GE(-20.0 * std::log10(worst), c.stopbandDb);
  }
}

TEST(PolyphaseMultiRate, DecimatorMatchesNaiveConvolutionAndDownSamplingAcrossBlocks) {
  for (const TableCase& c : {kTables[0], kTables[5]}) {
    const std::vector<double> h = coefficientsOf(c.factor, c.rate, c.taps);
    const std::vector<float> x = randomSignal(4096, 7);
    const std::vector<double> xd(x.begin(), x.end());
    Filter f(Filter::kDecimate, c.factor, c.rate);
    std::vector<float> out;
    const int block = 512 / (4 / c.factor);
    for (std::size_t start = 0; start < x.size(); start += static_cast<std::size_t>(block)) {
      std::vector<float> part(static_cast<std::size_t>(block / c.factor));
      std::int64_t n = -1;
      f.Decimate(block, x.data() + start, part.data(), &n);
      ASSERT_EQ(n, block / c.factor);
      out.insert(out.end(), part.begin(), part.end());
    }
    ASSERT_EQ(out.size(), x.size() / static_cast<std::size_t>(c.factor));
    for (std::size_t j = 0; j < out.size(); ++j) {
      const double ref = convolveAt(h, xd, (j + 1) * static_cast<std::size_t>(c.factor) - 1);
      ASSERT_NEAR(out[j], ref, 1e-3 * (1.0 + std::fabs(ref))) << "output " << j;
    }
  }
}

TEST(PolyphaseMultiRate, InterpolatorMatchesNaiveZeroStuffedConvolutionAcrossBlocks) {
  for (const TableCase& c : {kTables[0], kTables[5], kTables[4]}) {
    const int m = c.factor;
    std::vector<double> h = coefficientsOf(m, c.rate, c.taps);
    h.resize(static_cast<std::size_t>((c.taps / m) * m));  // the branches use whole phases only
    const std::vector<float> x = randomSignal(600, 11);
    std::vector<double> stuffed(x.size() * static_cast<std::size_t>(m), 0.0);
    for (std::size_t i = 0; i < x.size(); ++i) stuffed[i * static_cast<std::size_t>(m)] = x[i];
    Filter f(Filter::kInterpolate, m, c.rate);
    std::vector<float> out;
    for (std::size_t start = 0; start < x.size(); start += 200) {
      std::vector<float> part(200 * static_cast<std::size_t>(m));
      std::int64_t n = -1;
      f.Interpolate(200, x.data() + start, part.data(), &n);
      ASSERT_EQ(n, 200 * m);
      out.insert(out.end(), part.begin(), part.end());
    }
    for (std::size_t i = 0; i < out.size(); ++i) {
      const double ref = m * convolveAt(h, stuffed, i);
      ASSERT_NEAR(out[i], ref, 1e-3 * (1.0 + std::fabs(ref))) << "output " << i;
    }
  }
}

TEST(PolyphaseMultiRate, SineKeepsItsFrequencyAndLevelThroughDownAndUpSampling) {
  struct Case {
    int factor;
    double rate;
    double frequency;
  };
  for (const Case& c : {Case{4, 44100, 1000.0}, Case{2, 22050, 700.0}, Case{4, 44100, 2000.0}}) {
    SCOPED_TRACE(testing::Message() << c.rate << " Hz, sine " << c.frequency);
    const int n = 8192;
    std::vector<float> x(n);
    for (int i = 0; i < n; ++i) x[static_cast<std::size_t>(i)] = static_cast<float>(10000.0 * std::sin(2.0 * M_PI * c.frequency * i / c.rate));
    Filter down(Filter::kDecimate, c.factor, c.rate);
    Filter up(Filter::kInterpolate, c.factor, c.rate);
    std::vector<float> low(static_cast<std::size_t>(n / c.factor));
    std::vector<float> back(static_cast<std::size_t>(n));
    std::int64_t lowCount = 0, backCount = 0;
    down.Decimate(n, x.data(), low.data(), &lowCount);
    up.Interpolate(static_cast<int>(lowCount), low.data(), back.data(), &backCount);
    ASSERT_EQ(backCount, n);
    // Each linear-phase filter lags by half its table (the interpolator's unused
    // tail coefficients do not move its centre); the decimator's output j
    // stands for input (j + 1) * M - 1, which wins back M - 1 samples.
    const int taps = down.GetDelay() * 2 + 2;
    const int usedTaps = taps / c.factor * c.factor;
    const double lag = (taps - 1) - (c.factor - 1);
    // The expected level follows the two filters' gains at this frequency.
    std::vector<double> h = coefficientsOf(c.factor, c.rate, taps);
    const double f = c.frequency / c.rate;
    const double gainDown = amplitudeAt(h, f);
    h.resize(static_cast<std::size_t>(usedTaps));
    const double expectedLevel = 10000.0 * gainDown * amplitudeAt(h, f);
    // Fit amplitude and phase over a settled stretch by projection.
    double s = 0.0, co = 0.0;
    const int from = 1024, to = n - 1024;
    for (int i = from; i < to; ++i) {
      const double t = 2.0 * M_PI * c.frequency * (i - lag) / c.rate;
      s += back[static_cast<std::size_t>(i)] * std::sin(t);
      co += back[static_cast<std::size_t>(i)] * std::cos(t);
    }
    const double level = 2.0 * std::hypot(s, co) / (to - from);
    EXPECT_NEAR(level, expectedLevel, expectedLevel * 0.005);
    EXPECT_GT(level, 10000.0 * 0.8);
    // Whatever is left after removing the fitted sine is small: the frequency survived.
    double residual = 0.0;
    const double a = 2.0 * s / (to - from), b = 2.0 * co / (to - from);
    for (int i = from; i < to; ++i) {
      const double t = 2.0 * M_PI * c.frequency * (i - lag) / c.rate;
      const double e = back[static_cast<std::size_t>(i)] - (a * std::sin(t) + b * std::cos(t));
      residual += e * e;
    }
    EXPECT_LT(std::sqrt(residual / (to - from)), 10000.0 * 0.01);
    // With the lag removed the sine comes back in phase.
    EXPECT_GT(a, 0.0);
    EXPECT_LT(std::fabs(b), 0.02 * std::fabs(a));
  }
}

TEST(PolyphaseMultiRate, DecimatorDropsTheSamplesBeyondWholeGroups) {
  Filter f(Filter::kDecimate, 4, 44100);
  const std::vector<float> x = randomSignal(513, 3);
  std::vector<float> out(200, 123.0f);
  std::int64_t n = 0;
  f.Decimate(513, x.data(), out.data(), &n);
  EXPECT_EQ(n, 128);
  EXPECT_EQ(out[128], 123.0f);
}

TEST(PolyphaseMultiRate, TooShortBlockLeavesTheDecimatorUntouched) {
  Filter used(Filter::kDecimate, 4, 44100);
  Filter fresh(Filter::kDecimate, 4, 44100);
  const float three[3] = {5000.0f, -3000.0f, 7000.0f};
  float out[4] = {};
  std::int64_t n = -1;
  used.Decimate(3, three, out, &n);
  EXPECT_EQ(n, 0);
  const float four[4] = {1.0f, 2.0f, 3.0f, 4.0f};
  float a = 0.0f, b = 0.0f;
  used.Decimate(4, four, &a, &n);
  EXPECT_EQ(n, 1);
  fresh.Decimate(4, four, &b, &n);
  EXPECT_EQ(a, b);
}

TEST(PolyphaseMultiRate, InterpolatorImpulseWalksThroughTheTableTwoCoefficientsAtATime) {
  const std::vector<double> h = coefficientsOf(2, 22050, 50);
  Filter f(Filter::kInterpolate, 2, 22050);
  std::vector<float> in(30, 0.0f);
  in[0] = 1.0f;
  std::vector<float> out(60);
  std::int64_t n = 0;
  f.Interpolate(30, in.data(), out.data(), &n);
  ASSERT_EQ(n, 60);
  for (std::size_t i = 0; i < 50; ++i) EXPECT_FLOAT_EQ(out[i], static_cast<float>(2.0 * h[i])) << i;
  for (std::size_t i = 50; i < 60; ++i) EXPECT_EQ(out[i], 0.0f);
  std::int64_t none = -1;
  f.Interpolate(0, in.data(), out.data(), &none);
  EXPECT_EQ(none, 0);
}

TEST(PolyphaseMultiRate, ConstantInputSettlesAtConstantTimesTheTableSum) {
  Filter f(Filter::kDecimate, 4, 44100);
  std::vector<float> x(280, 1000.0f);
  std::vector<float> out(70);
  std::int64_t n = 0;
  f.Decimate(280, x.data(), out.data(), &n);
  ASSERT_EQ(n, 70);
  for (std::size_t j = 17; j < 70; ++j) EXPECT_NEAR(out[j], 999.19738, 1e-3);
  EXPECT_LT(out[0], 500.0f);
}

TEST(PolyphaseMultiRate, UnsupportedCombinationsAreRefusedAtConstruction) {
  auto refused = [](int mode, int factor, double rate) {
    try {
      Filter f(mode, factor, rate);
    } catch (int code) {
      return code == Filter::kRefused;
    }
    return false;
  };
  EXPECT_TRUE(refused(Filter::kDecimate, 1, 44100));
  EXPECT_TRUE(refused(Filter::kInterpolate, 4, 11025));
  EXPECT_TRUE(refused(Filter::kDecimate, 2, 48000));
  EXPECT_TRUE(refused(3, 2, 44100));
  Filter a(Filter::kDecimate, 4, 44100), b(Filter::kDecimate, 2, 22050);
  EXPECT_EQ(a.GetDelay(), 34);
  EXPECT_EQ(b.GetDelay(), 24);
}

// Long streams in blocks of uneven sizes: the delay line is moved back
// many times on the way, and every output still matches the filter run
// directly on the whole input, and a single call over all of it.
TEST(PolyphaseMultiRate, LongStreamsInUnevenBlocksMatchTheDirectFilterThroughout) {
  const std::vector<float> x = randomSignal(30000, 23);
  const std::vector<double> xd(x.begin(), x.end());
  const int sizes[] = {1, 7, 8, 333, 4096, 5000, 64, 999};
  for (const TableCase& c : {kTables[0], kTables[4], kTables[5]}) {
    SCOPED_TRACE(testing::Message() << "factor " << c.factor << " rate " << c.rate);
    const int m = c.factor;
    const std::vector<double> h = coefficientsOf(m, c.rate, c.taps);

    Filter whole(Filter::kDecimate, m, c.rate);
    std::vector<float> once(x.size() / static_cast<std::size_t>(m));
    std::int64_t n = -1;
    whole.Decimate(static_cast<int>(x.size()), x.data(), once.data(), &n);
    ASSERT_EQ(n, static_cast<std::int64_t>(once.size()));
    Filter parts(Filter::kDecimate, m, c.rate);
    std::vector<float> pieces;
    std::size_t start = 0;
    for (int i = 0; start < x.size(); ++i) {
      // Whole groups only, as the decimator drops the rest of a block.
      int size = std::max(m, sizes[i % 8] / m * m);
      size = static_cast<int>(std::min<std::size_t>(static_cast<std::size_t>(size), x.size() - start));
      std::vector<float> part(static_cast<std::size_t>(size / m));
      parts.Decimate(size, x.data() + start, part.data(), &n);
      pieces.insert(pieces.end(), part.begin(), part.begin() + n);
      start += static_cast<std::size_t>(size);
    }
    ASSERT_EQ(pieces.size(), once.size());
    for (std::size_t j = 0; j < once.size(); ++j) {
      ASSERT_EQ(pieces[j], once[j]) << "output " << j;
      const double ref = convolveAt(h, xd, (j + 1) * static_cast<std::size_t>(m) - 1);
      ASSERT_NEAR(once[j], ref, 1e-3 * (1.0 + std::fabs(ref))) << "output " << j;
    }

    if (c.rate == 11025 && m == 4) continue;  // no interpolator table
    std::vector<double> branches = h;
    branches.resize(static_cast<std::size_t>((c.taps / m) * m));
    const std::vector<double> stuffed = zeroStuffed(x, m);
    const std::vector<float> raised = interpolateInBlocks(m, c.rate, x, std::vector<int>(sizes, sizes + 8));
    for (std::size_t i = 0; i < raised.size(); i += 7) {
      const double ref = m * convolveAt(branches, stuffed, i);
      ASSERT_NEAR(raised[i], ref, 1e-3 * (1.0 + std::fabs(ref))) << "output " << i;
    }
  }
}

// Each output is one sum over the taps, oldest product last, whether the
// decimator takes its outputs one or several at a time and the interpolator
// its branches one after another or side by side: so every output equals,
// bit for bit, the direct sum over the table in that order, for blocks of
// every size (whole groups of outputs and leftovers alike).
TEST(PolyphaseMultiRate, EveryTableGivesTheDirectSumsBitsForBlocksOfAnySize) {
  const std::vector<float> x = randomSignal(9001, 31);
  const std::vector<double> xd(x.begin(), x.end());
  const int groups[] = {1, 3, 4, 5, 7, 8, 9, 2, 13, 6, 33};
  for (const TableCase& c : kTables) {
    SCOPED_TRACE(testing::Message() << "factor " << c.factor << " rate " << c.rate);
    const int m = c.factor;
    const std::vector<double> h(c.table, c.table + c.taps);

    Filter down(Filter::kDecimate, m, c.rate);
    std::vector<float> lowered;
    std::size_t start = 0;
    for (int i = 0; start + static_cast<std::size_t>(m) <= x.size(); ++i) {
      const auto size = static_cast<int>(
          std::min<std::size_t>(static_cast<std::size_t>(groups[i % 11] * m), x.size() - start) / m * m);
      std::vector<float> part(static_cast<std::size_t>(size / m));
      std::int64_t n = -1;
      down.Decimate(size, x.data() + start, part.data(), &n);
      ASSERT_EQ(n, size / m);
      lowered.insert(lowered.end(), part.begin(), part.end());
      start += static_cast<std::size_t>(size);
    }
    ASSERT_EQ(lowered.size(), x.size() / static_cast<std::size_t>(m));
    for (std::size_t j = 0; j < lowered.size(); ++j) {
      const double ref = convolveAt(h, xd, (j + 1) * static_cast<std::size_t>(m) - 1);
      ASSERT_EQ(lowered[j], static_cast<float>(ref)) << "output " << j;
    }

    if (c.rate == 11025 && m == 4) continue;  // no interpolator table
    std::vector<double> branches = h;
    branches.resize(static_cast<std::size_t>((c.taps / m) * m));
    const std::vector<double> stuffed = zeroStuffed(x, m);
    const std::vector<float> raised = interpolateInBlocks(m, c.rate, x, std::vector<int>(groups, groups + 11));
    ASSERT_EQ(raised.size(), x.size() * static_cast<std::size_t>(m));
    for (std::size_t i = 0; i < raised.size(); ++i) {
      const double ref = m * convolveAt(branches, stuffed, i);
      ASSERT_EQ(raised[i], static_cast<float>(ref)) << "output " << i;
    }
  }
}
