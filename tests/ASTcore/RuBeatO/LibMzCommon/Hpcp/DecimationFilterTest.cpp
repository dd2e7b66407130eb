// The decimation low-pass against its frequency response evaluated in closed
// form from the coefficients, and its history across calls. What the cascade
// does to the semitone analysis is tested there.

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <complex>
#include <vector>

#include "Hpcp/DecimationFilter.h"

namespace {

const double kPi = 3.14159265358979323846;

// |H(e^jw)| of the coefficients, in double precision.
double responseAt(const Hpcp::DecimationFilter& f, double hz) {
  const std::complex<double> z1 = std::polar(1.0, -2 * kPi * hz / 44100.0);
  std::complex<double> num = 0, den = 0, zk = 1;
  for (int k = 0; k < 5; ++k, zk *= z1) {
    num += static_cast<double>(f.b[k]) * zk;
    den += (k == 0 ? 1.0 : static_cast<double>(f.a[k])) * zk;
  }
  return std::abs(num / den);
}

std::vector<float> sine(double hz, std::size_t n) {
  std::vector<float> x(n);
  for (std::size_t i = 0; i < n; ++i) x[i] = static_cast<float>(std::sin(2 * kPi * hz * static_cast<double>(i) / 44100.0));
  return x;
}

// Amplitude of the `hz` component over the second half (after the start-up
// transient), by projection onto sine and cosine.
double amplitudeAt(const std::vector<float>& y, double hz) {
  double s = 0, c = 0;
  const std::size_t from = y.size() / 2;
  for (std::size_t i = from; i < y.size(); ++i) {
    const double w = 2 * kPi * hz * static_cast<double>(i) / 44100.0;
    s += y[i] * std::sin(w);
    c += y[i] * std::cos(w);
  }
  const double n = static_cast<double>(y.size() - from);
  return hz == 0.0 ? c / n : 2.0 * std::hypot(s, c) / n;
}

double db(double gain) { return 20 * std::log10(gain); }

}  // namespace

TEST(DecimationFilter, SineComesOutScaledByTheClosedFormResponse) {
  for (double hz : {0.0, 500.0, 2640.0, 4410.0, 5512.5, 6615.0, 8385.0, 10000.0, 13000.0, 20000.0}) {
    Hpcp::DecimationFilter f;
    auto x = hz == 0.0 ? std::vector<float>(8192, 1.0f) : sine(hz, 8192);
    std::vector<float> y(x.size());
    f.run(y.data(), x.data(), static_cast<int32_t>(x.size()));
    const double expected = responseAt(f, hz);
    EXPECT_NEAR(amplitudeAt(y, hz), expected, 1e-4 + 1e-3 * expected) << hz;
  }
  const Hpcp::DecimationFilter f;
  EXPECT_NEAR(responseAt(f, 0.0), 0.98855, 1e-4);
  for (double hz = 0; hz <= 4410; hz += 50) EXPECT_GT(db(responseAt(f, hz)), -0.11) << hz;
  for (double hz = 6615; hz <= 22050; hz += 50) EXPECT_LT(db(responseAt(f, hz)), -29.9) << hz;
}

TEST(DecimationFilter, StreamsInPiecesExactlyAsInOneCall) {
  auto x = sine(3000.0, 1000);
  x[0] = 1.0f;  // an impulse first
  Hpcp::DecimationFilter whole, pieces;
  std::vector<float> expected(x.size());
  whole.run(expected.data(), x.data(), 1000);
  EXPECT_FLOAT_EQ(expected[0], 0.0492556095f);
  int32_t at = 0;  // in place, in pieces, with empty and negative counts between
  for (int32_t len : {1, 0, 7, 180, -3, 333, 479}) {
    pieces.run(x.data() + at, x.data() + at, len);
    at += std::max(len, 0);
  }
  EXPECT_EQ(x, expected);
}

TEST(DecimationFilter, CascadeIsTwoPassesBitForBitWithTheSquaredResponse) {
  for (double hz : {440.0, 4410.0, 8385.0}) {
    auto x = sine(hz, 16384);
    x[0] = 1.0f;
    std::vector<float> twice(x.size());
    Hpcp::DecimationFilter one, two;
    one.run(twice.data(), x.data(), static_cast<int32_t>(x.size()));
    two.run(twice.data(), twice.data(), static_cast<int32_t>(x.size()));
    Hpcp::lowPassForDecimation(x.data(), static_cast<int32_t>(x.size()));
    EXPECT_EQ(x, twice) << hz;
    // One pass alone would leave 1 % more at 440 Hz and 30 dB more at 8385 Hz.
    const double expected = responseAt(one, hz) * responseAt(one, hz);
    EXPECT_NEAR(amplitudeAt(x, hz), expected, 1e-4 + 3e-3 * expected) << hz;
  }
}

TEST(DecimationLowPass, AStreamInHopsIsTheCascadeOverTheWholeStreamAndClearingRestartsIt) {
  auto x = sine(5000.0, 4000);
  x[0] = 1.0f;
  for (std::size_t i = 0; i < x.size(); i += 7) x[i] -= 0.5f;  // content above the pass band
  auto expected = x;
  Hpcp::lowPassForDecimation(expected.data(), static_cast<int32_t>(expected.size()));

  Hpcp::DecimationLowPass stream;
  std::vector<float> out(x.size(), 0.0f);
  int32_t at = 0;  // into a separate output, in hops of uneven size
  for (int32_t len : {180, 1, 0, 179, 720, -5, 1000, 1920}) {
    stream.run(out.data() + at, x.data() + at, len);
    at += std::max(len, 0);
  }
  ASSERT_EQ(at, 4000);
  EXPECT_EQ(out, expected);

  // Carried on without a clear, the history shapes the next output; after
  // a clear the stream starts afresh.
  std::vector<float> again(x.begin(), x.begin() + 500), fresh(again);
  stream.run(again.data(), again.data(), 500);
  Hpcp::lowPassForDecimation(fresh.data(), 500);
  EXPECT_NE(again, fresh);
  stream.clearHistory();
  std::vector<float> restarted(x.begin(), x.begin() + 500);
  stream.run(restarted.data(), restarted.data(), 500);
  EXPECT_EQ(restarted, fresh);
}
