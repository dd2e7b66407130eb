// The spectral front end against a direct DFT of the windowed, doubled
// frame, closed-form windows and the framing rules.

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <random>
#include <stdexcept>
#include <vector>

#include "Spectrum/CFft.h"

namespace {

const long double kPi = 3.14159265358979323846264338327950288L;

std::vector<float> randomSignal(std::size_t n, unsigned seed) {
  std::mt19937 gen(seed);
  std::uniform_real_distribution<float> dist(-1.0f, 1.0f);
  std::vector<float> x(n);
  for (auto& v : x) v = dist(gen);
  return x;
}

// |2 * DFT(frame)| for bins 0 .. n/2 - 1.
std::vector<double> naiveMagnitudes(const std::vector<double>& frame) {
  const std::size_t n = frame.size();
  std::vector<double> out(n / 2);
  for (std::size_t k = 0; k < n / 2; ++k) {
    long double re = 0, im = 0;
    for (std::size_t j = 0; j < n; ++j) {
      const long double angle = 2 * kPi * static_cast<long double>((j * k) % n) / n;
      re += 2 * frame[j] * std::cos(angle);
      im += 2 * frame[j] * std::sin(angle);
    }
    out[k] = static_cast<double>(std::sqrt(re * re + im * im));
  }
  return out;
}

std::vector<double> closedFormWindow(std::size_t length, int type) {
  std::vector<double> w(length);
  const double d = static_cast<double>(length - 1);
  const double pi = static_cast<double>(kPi);
  for (std::size_t i = 0; i < length; ++i) {
    const double t = static_cast<double>(i) / d;
    switch (type) {
      case 0: w[i] = 0.54 - 0.46 * std::cos(2 * pi * t); break;
      case 1: w[i] = 0.5 - 0.5 * std::cos(2 * pi * t); break;
      case 2: w[i] = 0.42 - 0.5 * std::cos(2 * pi * t) + 0.08 * std::cos(4 * pi * t); break;
      default: w[i] = 0.62 - 0.48 * std::fabs(t - 0.5) + 0.38 * std::cos(2 * pi * (t - 0.5)); break;
    }
  }
  return w;
}

// Reads the window back: a unit impulse at k has magnitude 2 * window[k]
// in every bin (as long as the window is not negative).
std::vector<float> windowOf(CFft& fft) {
  const std::size_t n = fft.GetSize();
  std::vector<float> w(n), mags(n / 2), impulse(n);
  for (std::size_t k = 0; k < n; ++k) {
    std::fill(impulse.begin(), impulse.end(), 0.0f);
    impulse[k] = 1.0f;
    fft.ComputeMagnitude(mags.data(), impulse.data(), n, -1, true, 1);
    w[k] = mags[0] / 2;
  }
  return w;
}

double maxRelativeError(const std::vector<float>& got, const std::vector<double>& ref) {
  double peak = 0, err = 0;
  for (std::size_t i = 0; i < ref.size(); ++i) {
    peak = std::max(peak, std::fabs(ref[i]));
    err = std::max(err, std::fabs(got[i] - ref[i]));
  }
  return err / peak;
}

TEST(CFft, ConstantOnesGiveTwiceTheLengthAtDcAndNothingElse) {
  const std::size_t n = 64;
  CFft fft(n, 16);
  const std::vector<float> ones(n, 1.0f);
  std::vector<float> mags(n / 2, -1.0f);
  fft.ComputeMagnitude(mags.data(), ones.data(), n, -1, false, 1);
  EXPECT_FLOAT_EQ(mags[0], 2.0f * n);
  for (std::size_t k = 1; k < n / 2; ++k) EXPECT_NEAR(mags[k], 0.0f, 1e-4f) << k;
}

TEST(CFft, WindowedMagnitudesMatchADirectDftOfTheDoubledFrame) {
  for (std::uint32_t type = 0; type <= 3; ++type) {
    for (std::size_t n : {8u, 32u, 256u, 1024u}) {
      CFft fft(n, 1);
      ASSERT_EQ(fft.MakeWindow(n, type), 0);
      const auto x = randomSignal(n, 7 + type);
      const auto win = closedFormWindow(n, static_cast<int>(type));
      std::vector<double> frame(n);
      for (std::size_t j = 0; j < n; ++j) frame[j] = x[j] * win[j];
      std::vector<float> mags(n / 2);
      fft.ComputeMagnitude(mags.data(), x.data(), n, -1, true, 1);
      EXPECT_LT(maxRelativeError(mags, naiveMagnitudes(frame)), 2e-5) << "type " << type << " n " << n;
    }
  }
}

TEST(CFft, WindowsFollowTheirClosedForms) {
  const std::size_t n = 128;
  for (std::uint32_t type = 0; type <= 3; ++type) {
    CFft fft(n, 1);
    ASSERT_EQ(fft.MakeWindow(n, type), 0);
    const auto got = windowOf(fft);
    const auto ref = closedFormWindow(n, static_cast<int>(type));
    for (std::size_t i = 0; i < n; ++i) EXPECT_NEAR(got[i], ref[i], 2e-5) << "type " << type << " i " << i;
  }
}

TEST(CFft, HammingOfLengthFiveAndBartlettHannOfLengthThreeHaveTheirKnownValues) {
  CFft fft(8, 1);
  ASSERT_EQ(fft.MakeWindow(5, CFft::Hamming), 0);
  const auto hamming = windowOf(fft);
  const float expected[] = {0.08f, 0.54f, 1.0f, 0.54f, 0.08f, 1.0f, 1.0f, 1.0f};
  for (int i = 0; i < 8; ++i) EXPECT_NEAR(hamming[i], expected[i], 1e-6f) << i;

  CFft bh(4, 1);
  ASSERT_EQ(bh.MakeWindow(3, CFft::BartlettHann), 0);
  const auto w = windowOf(bh);
  EXPECT_NEAR(w[0], 0.0f, 1e-5f);
  EXPECT_NEAR(w[1], 1.0f, 1e-6f);
  EXPECT_NEAR(w[2], 0.0f, 1e-5f);
  EXPECT_FLOAT_EQ(w[3], 1.0f);
}

TEST(CFft, UnknownWindowTypeIsRefusedAndLeavesTheWindowAlone) {
  CFft fft(16, 1);
  ASSERT_EQ(fft.MakeWindow(16, CFft::Hann), 0);
  const auto before = windowOf(fft);
  EXPECT_EQ(fft.MakeWindow(16, 4), -1);
  EXPECT_EQ(fft.MakeWindow(0, CFft::Blackman), 0);
  EXPECT_EQ(windowOf(fft), before);
}

TEST(CFft, OversizedWindowIsRefused) {
  CFft fft(16, 1);
  EXPECT_EQ(fft.MakeWindow(32, CFft::Hann), 0);
  EXPECT_THROW(fft.MakeWindow(33, CFft::Hann), std::out_of_range);
}

TEST(CFft, NoWindowFlagIgnoresTheWindow) {
  const std::size_t n = 32;
  CFft plain(n, 1), windowed(n, 1);
  ASSERT_EQ(windowed.MakeWindow(n, CFft::Blackman), 0);
  const auto x = randomSignal(n, 3);
  std::vector<float> a(n / 2), b(n / 2);
  plain.ComputeMagnitude(a.data(), x.data(), n, -1, false, 1);
  windowed.ComputeMagnitude(b.data(), x.data(), n, -1, false, 1);
  EXPECT_EQ(a, b);
}

TEST(CFft, StrideTakesEveryStrideThSampleAndShortInputIsZeroPadded) {
  // n = 8, stride 4, len 10: in[0], in[4], in[8] and five zeros.
  const std::size_t n = 8;
  CFft fft(n, 1);
  const auto x = randomSignal(10, 11);
  std::vector<float> mags(n / 2);
  fft.ComputeMagnitude(mags.data(), x.data(), x.size(), -1, false, 4);
  const std::vector<double> frame = {x[0], x[4], x[8], 0, 0, 0, 0, 0};
  EXPECT_LT(maxRelativeError(mags, naiveMagnitudes(frame)), 1e-5);

  // A long enough input takes exactly n strided samples.
  const auto y = randomSignal(n * 3, 12);
  fft.ComputeMagnitude(mags.data(), y.data(), y.size(), -1, false, 3);
  std::vector<double> strided(n);
  for (std::size_t k = 0; k < n; ++k) strided[k] = y[3 * k];
  EXPECT_LT(maxRelativeError(mags, naiveMagnitudes(strided)), 1e-5);
}

TEST(CFft, EmptyInputGivesAZeroSpectrum) {
  CFft fft(16, 1);
  const auto x = randomSignal(16, 5);
  std::vector<float> mags(8);
  fft.ComputeMagnitude(mags.data(), x.data(), x.size(), -1, false, 1);
  fft.ComputeMagnitude(mags.data(), x.data(), 0, -1, false, 1);
  for (float v : mags) EXPECT_EQ(v, 0.0f);
}

TEST(CFft, BadStrideOrNullInputIsRefused) {
  CFft fft(16, 1);
  const auto x = randomSignal(16, 5);
  std::vector<float> mags(8);
  EXPECT_THROW(fft.ComputeMagnitude(mags.data(), x.data(), 16, -1, false, 0), std::invalid_argument);
  EXPECT_THROW(fft.ComputeMagnitude(mags.data(), x.data(), 16, -1, false, -2), std::invalid_argument);
  EXPECT_THROW(fft.ComputeMagnitude(mags.data(), nullptr, 16, -1, false, 1), std::invalid_argument);
}

TEST(CFft, SizeThatIsNoPowerOfTwoIsRefused) {
  EXPECT_THROW(CFft(0, 1), std::invalid_argument);
  EXPECT_THROW(CFft(1, 1), std::invalid_argument);
  EXPECT_THROW(CFft(12, 1), std::invalid_argument);
  CFft fft(2, 9);
  EXPECT_EQ(fft.GetSize(), 2u);
  EXPECT_EQ(fft.GetHop(), 9u);
  EXPECT_EQ(fft.GetFloatValue(), 0.0f);
}

TEST(CFft, OtherDirectionsRunTheBackwardTransformOnTheDoubledFrame) {
  // A frame laid out as a packed spectrum with only DC and bin 1 set.
  const std::size_t n = 16;
  CFft fft(n, 1);
  std::vector<float> frame(n, 0.0f);
  frame[0] = 3.0f;   // R[0]
  frame[2] = 1.0f;   // R[1]
  frame[3] = 0.5f;   // I[1]
  for (int direction : {1, 0, -2}) {
    std::vector<float> mags(n / 2);
    fft.ComputeMagnitude(mags.data(), frame.data(), n, direction, false, 1);
    // Backward transform of the doubled frame: 2 * (R0/2 + R1 cos + I1 sin).
    std::vector<double> timeSignal(n);
    for (std::size_t j = 0; j < n; ++j) {
      const double a = 2 * static_cast<double>(kPi) * j / n;
      timeSignal[j] = 2 * (1.5 + std::cos(a) + 0.5 * std::sin(a));
    }
    // The magnitudes then read that signal as if it were a packed spectrum.
    std::vector<double> packedMags(n / 2);
    packedMags[0] = std::fabs(timeSignal[0]);
    for (std::size_t k = 1; k < n / 2; ++k) packedMags[k] = std::hypot(timeSignal[2 * k], timeSignal[2 * k + 1]);
    EXPECT_LT(maxRelativeError(mags, packedMags), 1e-5) << direction;
  }
}

TEST(CFft, NullOutputTransformsButWritesNothing) {
  const std::size_t n = 16;
  CFft fft(n, 1);
  const auto x = randomSignal(n, 9);
  fft.ComputeMagnitude(nullptr, x.data(), n, -1, false, 1);
  std::vector<float> mags(n / 2);
  fft.GetMagnitude(mags.data());
  std::vector<double> frame(x.begin(), x.end());
  EXPECT_LT(maxRelativeError(mags, naiveMagnitudes(frame)), 1e-5);
}

TEST(CFft, SpectrogramCountsFramesAndZeroPadsTheLast) {
  const std::size_t n = 32, hop = 8;
  const auto x = randomSignal(n + hop + 1, 21);
  CFft fft(n, hop);
  std::vector<std::vector<float>> out(1);  // not cleared
  fft.Spectrogram(out, x.data(), n + hop);
  EXPECT_EQ(out.size(), 3u);
  fft.Spectrogram(out, x.data(), n + hop + 1);
  ASSERT_EQ(out.size(), 6u);

  const auto hamming = closedFormWindow(n, 0);
  for (std::size_t f = 0; f < 3; ++f) {
    std::vector<double> frame(n, 0.0);
    for (std::size_t k = 0; k < n; ++k) {
      const std::size_t i = f * hop + k;
      frame[k] = i < x.size() ? x[i] * hamming[k] : 0.0;
    }
    ASSERT_EQ(out[3 + f].size(), n / 2);
    EXPECT_LT(maxRelativeError(out[3 + f], naiveMagnitudes(frame)), 2e-5) << f;
  }
}

TEST(CFft, SpectrogramOfShortOrEmptyInputAndZeroHop) {
  const std::size_t n = 16;
  const auto x = randomSignal(5, 2);
  CFft fft(n, 4);
  std::vector<std::vector<float>> out;
  fft.Spectrogram(out, x.data(), 0);
  EXPECT_TRUE(out.empty());
  fft.Spectrogram(out, x.data(), x.size());
  EXPECT_EQ(out.size(), 1u);
  CFft noHop(n, 0);
  EXPECT_THROW(noHop.Spectrogram(out, x.data(), x.size()), std::invalid_argument);
}

TEST(CFft, SpectrogramReplacesTheWindowWithHamming) {
  const std::size_t n = 16;
  CFft fft(n, n);
  ASSERT_EQ(fft.MakeWindow(n, CFft::Hann), 0);
  const auto x = randomSignal(n, 4);
  std::vector<std::vector<float>> out;
  fft.Spectrogram(out, x.data(), n);
  const auto w = windowOf(fft);
  const auto ref = closedFormWindow(n, 0);
  for (std::size_t i = 0; i < n; ++i) EXPECT_NEAR(w[i], ref[i], 1e-6) << i;
}

}  // namespace
