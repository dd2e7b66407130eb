#include <gtest/gtest.h>

#include <boost/math/special_functions/bessel.hpp>
#include <cmath>
#include <complex>
#include <limits>
#include <random>
#include <vector>

#include "BitsOf.h"
#include "CSpectrum.h"
#include "FftWorkRecord.h"
#include "LevelAmplitude.h"
#include "SpectralWindows.h"

namespace {

constexpr double kPi = 3.14159265358979323846;

// Each window written out from its textbook definition, in double
// precision, with the Bessel function taken from Boost.
std::vector<double> closedForm(int type, int N) {
  std::vector<double> w(N);
  const double d = N - 1;
  auto cosines = [&](std::vector<double> a) {
    for (int n = 0; n < N; ++n) {
      const double x = 2 * kPi * n / d;
      double v = 0;
      for (std::size_t k = 0; k < a.size(); ++k) v += a[k] * std::cos(k * x);
      w[n] = v;
    }
  };
  const double alphas[] = {1.7, 1.8, 1.9, 2.0, 2.5, 3.0, 3.5};
  if (type == 0) cosines({0.54, -0.46});
  if (type >= 1 && type <= 7) {
    const double beta = kPi * alphas[type - 1];
    // Centred on N/2 with half-width N/2, mirrored onto the first half.
    for (int n = 0; n < N; ++n) {
      const int m = n >= N / 2 ? n : N - 1 - n;
      const double r = (m - N / 2) / (N / 2.0);
      w[n] = boost::math::cyl_bessel_i(0, beta * std::sqrt(1 - r * r)) / boost::math::cyl_bessel_i(0, beta);
    }
  }
  if (type == 8) cosines({0.44959, -0.49364, 0.05677});
  if (type == 9) cosines({0.42323, -0.49755, 0.07922});
  if (type == 10) cosines({0.40217, -0.49703, 0.09892, -0.00188});
  if (type == 11) cosines({0.35875, -0.48829, 0.14128, -0.01168});
  if (type == 12)
    for (int n = 0; n < N; ++n) w[n] = 2.0 * (n <= N / 2 ? n : N - 1 - n) / d;
  double sum = 0;
  for (double v : w) sum += v;
  for (double& v : w) v *= 2 / sum;
  return w;
}

TEST(SpectralWindows, EveryTypeOfLength1000MatchesItsClosedFormAndSumsToTwo) {
  for (int type = 0; type <= 12; ++type) {
    std::vector<float> w(1000);
    ASSERT_EQ(CSpectrum::MakeWindow(1000, type, w.data()), 0);
    const std::vector<double> ref = closedForm(type, 1000);
    double sum = 0;
    for (int n = 0; n < 1000; ++n) {
      sum += w[n];
      ASSERT_NEAR(w[n], ref[n], 1e-6 + 1e-5 * ref[n]) << "type " << type << " entry " << n;
    }
    EXPECT_NEAR(sum, 2.0, 1e-4) << type;
  }
}

TEST(SpectralWindows, OddLengthsAreSymmetricAndFullySetAndStrayTypesFallBack) {
  for (int type : {4, 12}) {
    std::vector<float> w(7, -1.0f);
    CSpectrum::MakeWindow(7, type, w.data());
    const std::vector<double> ref = closedForm(type, 7);
    for (int n = 0; n < 7; ++n) {
      EXPECT_NEAR(w[n], ref[n], 1e-6) << type << " " << n;
      EXPECT_FLOAT_EQ(w[n], w[6 - n]);
    }
  }
  std::vector<float> bh61(33), stray(33);
  BlackmanHarris61Window(33, bh61.data());
  for (int type : {13, 40, -1}) {
    CSpectrum::MakeWindow(33, type, stray.data());
    EXPECT_EQ(stray, bh61) << type;
  }
  // The single-type makers are the catalogue's own windows.
  std::vector<float> a(64), b(64);
  TriangularWindow(64, a.data());
  CSpectrum::MakeWindow(64, 12, b.data());
  EXPECT_EQ(a, b);
  BlackmanHarris92Window(64, a.data());
  CSpectrum::MakeWindow(64, 11, b.data());
  EXPECT_EQ(a, b);
  float untouched = 5.0f;
  HammingWindow(0, &untouched);
  EXPECT_EQ(untouched, 5.0f);
}

TEST(SpectralWindows, BesselI0MatchesBoost) {
  for (double x : {0.0, 0.3, 1.0, 5.34, 10.99, 20.0})
    EXPECT_NEAR(BesselI0(x), boost::math::cyl_bessel_i(0, x), 1e-12 * boost::math::cyl_bessel_i(0, x)) << x;
}

TEST(CSpectrum, SetupSizesWindowAndTransform) {
  CSpectrum s;
  EXPECT_EQ(s.windowSize, 128);
  EXPECT_EQ(s.fftLength, 256);
  EXPECT_EQ(s.fftBase, 256);
  EXPECT_EQ(s.windowOffset, 0);
  EXPECT_EQ(s.windowStride, 1.0);
  s.Setup(100, 11, 50.0f, 1.5f);
  EXPECT_EQ(s.windowSize, 64);
  EXPECT_EQ(s.fftLength, 96);
  EXPECT_EQ(s.fftBase, 64);
  EXPECT_EQ(s.windowOffset, 16);
  EXPECT_EQ(s.windowStride, 1.5);
  s.Setup(3, 0, 50.0f, 2.0f);
  EXPECT_EQ(s.windowSize, 4);
  // Types past the scale table are limited to the last one; overlap 0
  // halves the windows, and every write stays inside them.
  s.Setup(256, 20, 0.0f, 8.0f);
  EXPECT_EQ(s.windowType, 12);
  EXPECT_EQ(s.synthesisLength(), 1025);
}

TEST(CSpectrum, SynthesisWindowsOverlapToAFlatSumAndMirrorEachOther) {
  // At 50 % overlap the synthesis window times the analysis window is a
  // triangle two hops wide; a hop apart those add up to one constant.
  for (float factor : {2.0f, 4.0f, 8.0f}) {
    CSpectrum s;
    s.Setup(64, 4, 50.0f, factor);
    const std::int64_t L = s.fftLength, W = s.windowSize;
    std::vector<float> analysis(L + 1);
    CSpectrum::MakeWindow(L + 1, 4, analysis.data());
    std::vector<double> product(L + 1);
    for (std::int64_t i = 0; i <= L; ++i) product[i] = double(s.synthesisWindow[i]) * analysis[i];
    for (std::int64_t i = 0; i <= L; ++i) EXPECT_NEAR(product[i], product[L - i], 1e-6 * product[L / 2]);
    for (std::int64_t i = 0; i < W; ++i)
      EXPECT_NEAR(product[L / 2 - W + i] + product[L / 2 + i], product[L / 2], 1e-5 * product[L / 2]) << i;
    EXPECT_EQ(product[L / 2 - W], 0.0);
  }
}

TEST(CSpectrum, WindowedPowerSpectrumMatchesANaiveDft) {
  CSpectrum s;
  const int N = 200, M = 256;
  std::mt19937 rng(3);
  std::uniform_real_distribution<float> u(-1000.0f, 1000.0f);
  std::vector<float> x(N), w(N), out(M / 2 + 1);
  for (float& v : x) v = u(rng);
  CSpectrum::MakeWindow(N, 0, w.data());
  ASSERT_EQ(s.WindowedPowerSpectrum(x.data(), w.data(), N, out.data(), M), 0);
  for (int k = 0; k <= M / 2; ++k) {
    std::complex<long double> X = 0;
    for (int n = 0; n < N; ++n) X += (long double)x[n] * w[n] * std::polar(1.0L, -2.0L * kPi * k * n / M);
    const long double expected = (k == 0 || k == M / 2) ? std::abs(X) : std::norm(X);
    EXPECT_NEAR(out[k], expected, 1e-4 * expected + 1e-3) << k;
  }
  EXPECT_EQ(s.WindowedPowerSpectrum(x.data(), w.data(), N, out.data(), 100), 2);
  EXPECT_EQ(s.WindowedPowerSpectrum(x.data(), w.data(), N, out.data(), 128), 2);
}

TEST(CSpectrum, WindowedPowerSpectrumHasTheBitsOfTheSquaresSummedBinByBin) {
  std::mt19937 rng(5);
  std::uniform_real_distribution<float> u(-30000.0f, 30000.0f);
  // Transforms too short for a vector, with a part vector left, and the
  // attack detector's.
  for (int M : {2, 4, 8, 16, 32, 2048}) {
    CSpectrum s;
    const int N = M - M / 4;
    std::vector<float> x(N), w(N), out(M / 2 + 1);
    for (float& v : x) v = u(rng);
    CSpectrum::MakeWindow(N, SpectralWindows::kHamming, w.data());
    ASSERT_EQ(s.WindowedPowerSpectrum(x.data(), w.data(), N, out.data(), M), 0);
    std::vector<float> sums(M, 0.0f);
    for (int i = 0; i < N; ++i) sums[i] = x[i] * w[i];
    sharedFftWorkRecord().RealFftFloat(M, 1, sums.data());
    EXPECT_EQ(BitsOf(out[0]), BitsOf(std::fabs(sums[0])));
    EXPECT_EQ(BitsOf(out[M / 2]), BitsOf(std::fabs(sums[1])));
    for (int k = 1; k < M / 2; ++k) {
      const float expected = sums[2 * k] * sums[2 * k] + sums[2 * k + 1] * sums[2 * k + 1];
      ASSERT_EQ(BitsOf(out[k]), BitsOf(expected)) << M << " " << k;
    }
  }
}

TEST(CSpectrum, ResidualLevelsBecomeAmplitudesAndNoiseFramesGetRandomPhases) {
  CSpectrum s;
  const std::int64_t M = 128;
  SMSFrame frame;
  frame.Allocate(SMSFrame::kMagnitudes, M + 1, true);
  for (std::int64_t k = 0; k <= M; ++k) frame.magnitudes[k] = -100.0f;
  frame.magnitudes[5] = -std::numeric_limits<float>::max();
  std::vector<float> out(2 * M, 1.0f);
  EXPECT_EQ(s.SynthesizeResidual(frame, out.data(), 44100.0, 22050.0, M), 1);
  // -100 dB is 32768e-5; the lowest float is silence; inner bins add.
  for (std::int64_t k = 1; k < M; ++k) {
    const double a = std::hypot(out[2 * k] - 1.0, out[2 * k + 1] - 1.0);
    EXPECT_NEAR(a, k == 5 ? 0.0 : 0.32768, 1e-5) << k;
  }
  // Successive noise frames do not repeat their phases bin by bin.
  std::vector<float> next(2 * M, 0.0f), again(2 * M, 0.0f);
  s.SynthesizeResidual(frame, next.data(), 44100.0, 22050.0, M);
  s.SynthesizeResidual(frame, again.data(), 44100.0, 22050.0, M);
  int same = 0;
  for (std::int64_t k = 1; k < M; ++k) same += std::fabs(next[2 * k] - again[2 * k]) < 1e-6f;
  EXPECT_LT(same, 5);
}

TEST(CSpectrum, ResidualSynthesisAssignsTheOuterBinsAndAddsTheInnerOnesAtTheirPhases) {
  CSpectrum s;
  const std::int64_t M = 64;
  SMSFrame frame;
  frame.Allocate(SMSFrame::kMagnitudes | SMSFrame::kPhases, M + 1, true);
  for (std::int64_t k = 0; k <= M; ++k) {
    frame.magnitudes[k] = -20.0f - 0.5f * static_cast<float>(k);
    frame.phases[k] = static_cast<float>(0.37 * static_cast<double>(k) - 3.0);
  }
  std::vector<float> out(2 * M, 1.0f);
  s.SynthesizeResidual(frame, out.data(), 44100.0, 22050.0, M);
  auto amplitude = [&](std::int64_t k) { return 32768.0 * std::pow(10.0, frame.magnitudes[k] / 20.0); };
  EXPECT_NEAR(out[0], amplitude(0) * std::cos(frame.phases[0]), 1e-2) << "bin 0 is set, not added to";
  EXPECT_NEAR(out[1], amplitude(M) * std::cos(frame.phases[M]), 1e-2) << "the top bin is set, not added to";
  for (std::int64_t k = 1; k < M; ++k) {
    EXPECT_NEAR(out[2 * k], 1.0 + amplitude(k) * std::cos(frame.phases[k]), 1e-2) << k;
    EXPECT_NEAR(out[2 * k + 1], 1.0 + amplitude(k) * std::sin(frame.phases[k]), 1e-2) << k;
  }
}

TEST(CSpectrum, NoiseFramesTurnTheirPhasesOnePlaceAFrameBetweenFreshDraws) {
  CSpectrum s;
  const std::int64_t M = 64;
  SMSFrame frame;
  frame.Allocate(SMSFrame::kMagnitudes, M + 1, true);
  for (std::int64_t k = 0; k <= M; ++k) frame.magnitudes[k] = -40.0f;
  std::vector<float> first(2 * M, 0.0f), second(2 * M, 0.0f);
  s.SynthesizeResidual(frame, first.data(), 44100.0, 22050.0, M);
  s.SynthesizeResidual(frame, second.data(), 44100.0, 22050.0, M);
  // The second frame's bin k has the first frame's phase of bin k + 1.
  for (std::int64_t k = 1; k + 1 < M; ++k) {
    EXPECT_FLOAT_EQ(second[2 * k], first[2 * (k + 1)]) << k;
    EXPECT_FLOAT_EQ(second[2 * k + 1], first[2 * (k + 1) + 1]) << k;
  }
}

}  // namespace

// One analysed bin per output bin, the band stretchers' case: every inner
// bin adds its amplitude times the float cosine and sine of its phase,
// rounded to float, to what the spectrum holds, and blanked bins (alone, in
// pairs, at either end of a vector's pair) add nothing. Bit for bit against
// the sum written out bin by bin, for odd and even bin counts.
TEST(CSpectrum, ResidualSynthesisAddsEveryBinAsThePlainSumDoesAtOddAndEvenSizes) {
  const float silent = -std::numeric_limits<float>::max();
  for (std::int64_t M : {1, 2, 3, 4, 5, 64, 65, 1023, 4095}) {
    CSpectrum s;
    SMSFrame frame;
    frame.Allocate(SMSFrame::kMagnitudes | SMSFrame::kPhases, M + 1, true);
    std::mt19937 gen(static_cast<unsigned>(M));
    std::uniform_real_distribution<float> level(-140.0f, 0.0f), phase(0.0f, 6.2831855f);
    for (std::int64_t k = 0; k <= M; ++k) {
      frame.magnitudes[k] = k % 7 == 2 || k % 13 == 5 || k % 13 == 6 ? silent : level(gen);
      frame.phases[k] = phase(gen);
    }
    std::vector<float> out(static_cast<std::size_t>(2 * M + 1));
    for (std::size_t i = 0; i < out.size(); ++i) out[i] = 0.25f * static_cast<float>(i % 9) - 1.0f;
    std::vector<float> expected(out);
    auto amplitude = [&](std::int64_t k) { return LevelAmplitude::FromDb(frame.magnitudes[k], silent); };
    expected[0] = static_cast<float>(amplitude(0) * std::cos(frame.phases[0]));
    expected[1] = static_cast<float>(amplitude(M) * std::cos(frame.phases[M]));
    for (std::int64_t k = 1; k < M; ++k) {
      if (frame.magnitudes[k] <= silent) continue;
      expected[2 * k] += static_cast<float>(amplitude(k) * std::cos(frame.phases[k]));
      expected[2 * k + 1] += static_cast<float>(amplitude(k) * std::sin(frame.phases[k]));
    }
    ASSERT_EQ(s.SynthesizeResidual(frame, out.data(), 44100.0, 22050.0, M), 1);
    for (std::size_t i = 0; i < out.size(); ++i) ASSERT_EQ(BitsOf(out[i]), BitsOf(expected[i])) << M << " " << i;
  }
}

// The stored spectrum is the added one on a cleared buffer, bit for bit,
// whatever the buffer held: blanked bins, vanishing levels whose products
// round to negative zero, noise frames without phases, resampled frames,
// every count of bins left after the pairs of a vector; nothing past 2M
// is written, and an M out of range writes nothing.
TEST(CSpectrum, StoredResidualIsTheResidualAddedToZeros) {
  const float silent = -std::numeric_limits<float>::max();
  for (std::int64_t M : {1, 2, 3, 4, 5, 6, 7, 8, 9, 64, 65, 1023, 4095}) {
    for (int kind = 0; kind < 3; ++kind) {
      SMSFrame frame;
      const bool phases = kind != 1;
      const std::int64_t bins = kind == 2 ? 2 * M + 1 : M + 1;
      frame.Allocate(SMSFrame::kMagnitudes | (phases ? SMSFrame::kPhases : 0), bins, true);
      std::mt19937 gen(static_cast<unsigned>(M * 3 + kind));
      std::uniform_real_distribution<float> level(-140.0f, 0.0f), phase(0.0f, 6.2831855f);
      for (std::int64_t k = 0; k < bins; ++k) {
        frame.magnitudes[k] = k % 7 == 2 || k % 13 == 5 || k % 13 == 6 ? silent : level(gen);
        if (k % 11 == 3) frame.magnitudes[k] = -3000.0f;
        if (phases) frame.phases[k] = phase(gen);
      }
      // Two objects: noise phases are drawn from each object's own sequence.
      CSpectrum adding, storing;
      std::vector<float> added(static_cast<std::size_t>(2 * M + 2), 0.0f);
      std::vector<float> stored(added.size(), std::numeric_limits<float>::quiet_NaN());
      stored[stored.size() - 1] = -0.0f;
      std::vector<float> tail(stored.end() - 2, stored.end());
      const double b = kind == 2 ? 44100.0 : 22050.0;
      adding.SynthesizeResidual(frame, added.data(), 44100.0, b, M);
      ASSERT_TRUE(storing.StoreResidual(frame, stored.data(), 44100.0, b, M));
      for (std::int64_t i = 0; i < 2 * M; ++i)
        ASSERT_EQ(BitsOf(stored[i]), BitsOf(added[i])) << M << " kind " << kind << " entry " << i;
      EXPECT_EQ(BitsOf(stored[2 * M]), BitsOf(tail[0]));
      EXPECT_EQ(BitsOf(stored[2 * M + 1]), BitsOf(tail[1]));
    }
  }
  CSpectrum s;
  SMSFrame frame;
  frame.Allocate(SMSFrame::kMagnitudes, 9, true);
  std::vector<float> out(4, 1.5f);
  EXPECT_FALSE(s.StoreResidual(frame, out.data(), 44100.0, 22050.0, 0));
  EXPECT_FALSE(s.StoreResidual(frame, out.data(), 44100.0, 22050.0, CSpectrum::kResidualSize));
  for (float v : out) EXPECT_EQ(v, 1.5f);
}
