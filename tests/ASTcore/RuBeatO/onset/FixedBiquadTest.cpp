#include <gtest/gtest.h>

#include <cmath>
#include <complex>
#include <cstdint>
#include <limits>
#include <random>
#include <vector>

#include "FixedBiquad.h"

namespace {

constexpr int32_t kIdentityC0 = 1 << 29;

int64_t exactFloorProduct(int32_t x, int32_t c) {
  const int64_t p = int64_t{x} * int64_t{c};
  // Floor division by 2^32 without shifting a negative value.
  int64_t q = p / (int64_t{1} << 32);
  if (p % (int64_t{1} << 32) < 0) --q;
  return q;
}

void expectIdentity(const BiquadRecord& r) {
  EXPECT_EQ(r.c0, kIdentityC0);
  EXPECT_EQ(r.c1, 0);
  EXPECT_EQ(r.c2, 0);
  EXPECT_EQ(r.c3, 0);
  EXPECT_EQ(r.c4, 0);
  EXPECT_EQ(r.shift, 3);
}

// Reference: the same filter in double precision from the record's own words.
std::vector<double> referenceFilter(const BiquadRecord& r, const std::vector<int32_t>& in) {
  const double scale = std::ldexp(1.0, 32 - r.shift);
  const double b0 = r.c0 / scale, b1 = r.c1 / scale, b2 = r.c2 / scale;
  const double f1 = r.c3 / scale, f2 = r.c4 / scale;
  std::vector<double> out;
  double x1 = 0, x2 = 0, y1 = 0, y2 = 0;
  for (int32_t xi : in) {
    const double x = xi;
    const double y = b0 * x + b1 * x1 + b2 * x2 + f1 * y1 + f2 * y2;
    out.push_back(y);
    x2 = x1;
    x1 = x;
    y2 = y1;
    y1 = y;
  }
  return out;
}

}  // namespace

TEST(FixedBiquad, MulIsTheFloorOfTheExactProductOrOneBelow) {
  std::mt19937 gen(7);
  std::uniform_int_distribution<int32_t> any(std::numeric_limits<int32_t>::min(),
                                             std::numeric_limits<int32_t>::max());
  std::vector<std::pair<int32_t, int32_t>> cases = {
      {0, 0},
      {std::numeric_limits<int32_t>::min(), std::numeric_limits<int32_t>::min()},
      {std::numeric_limits<int32_t>::max(), std::numeric_limits<int32_t>::max()},
      {std::numeric_limits<int32_t>::min(), std::numeric_limits<int32_t>::max()},
      {-1, -1},
      {-1, 1},
      {65535, 65535},
      {-65536, 65535}};
  for (int i = 0; i < 200000; ++i) cases.emplace_back(any(gen), any(gen));
  for (const auto& [x, c] : cases) {
    const int64_t exact = exactFloorProduct(x, c);
    const int64_t got = biquadMul(x, c);
    ASSERT_TRUE(got == exact || got == exact - 1) << x << " * " << c << ": " << got << " vs " << exact;
  }
}

// The four 16 x 16-bit partial products of a target without a wide
// multiplier, each of which fits 32 bits.
int32_t partialProducts(int32_t x, int32_t c) {
  const int32_t xh = x >> 16;
  const int32_t ch = c >> 16;
  const uint32_t xl = static_cast<uint32_t>(x) & 0xFFFFu;
  const uint32_t cl = static_cast<uint32_t>(c) & 0xFFFFu;
  const uint32_t lowLow = (xl * cl) >> 16;
  const int64_t highLow = (int64_t{xh} * cl) >> 16;
  const int64_t lowHigh = (int64_t{xl} * ch + lowLow) >> 16;
  return static_cast<int32_t>(int64_t{xh} * ch + highLow + lowHigh);
}

TEST(FixedBiquad, MulEqualsTheSixteenBitPartialProducts) {
  std::mt19937 gen(11);
  std::uniform_int_distribution<int32_t> any(std::numeric_limits<int32_t>::min(),
                                             std::numeric_limits<int32_t>::max());
  std::uniform_int_distribution<int32_t> level(-32768, 32767);
  const int32_t edges[] = {std::numeric_limits<int32_t>::min(), std::numeric_limits<int32_t>::min() + 1,
                           -65537, -65536, -65535, -32768, -1, 0, 1, 32767, 65535, 65536, 65537,
                           std::numeric_limits<int32_t>::max() - 1, std::numeric_limits<int32_t>::max()};
  std::vector<std::pair<int32_t, int32_t>> cases;
  for (int32_t x : edges) {
    for (int32_t c : edges) cases.emplace_back(x, c);
  }
  for (int i = 0; i < 200000; ++i) cases.emplace_back(any(gen), any(gen));
  // Values of the filter's own range: an envelope at 2^16 scale against
  // coefficients of every size.
  for (int i = 0; i < 200000; ++i) cases.emplace_back(level(gen) * 65536, any(gen));
  for (const auto& [x, c] : cases) {
    ASSERT_EQ(biquadMul(x, c), partialProducts(x, c)) << x << " * " << c;
  }
}

TEST(FixedBiquad, FrequencyAtOrAboveHalfTheRateGivesTheIdentity) {
  for (float freq : {22050.0f, 22050.5f, 30000.0f, 0.0f, -5.0f, std::nanf("")}) {
    BiquadRecord r{};
    designBiquad(5, &r, 1.0f, freq, 3.0f, 44100.0f);
    SCOPED_TRACE(freq);
    expectIdentity(r);
  }
  BiquadRecord r{};
  designBiquad(5, &r, 1.0f, 22049.0f, 3.0f, 44100.0f);
  EXPECT_NE(r.c0, kIdentityC0);
}

TEST(FixedBiquad, EnvelopeLowPassHasTheExpectedScale) {
  BiquadRecord r{};
  designBiquad44k(5, &r, 3.0f, 172.26563f, 3.0f);
  // K is about 0.01227; the first feedback term (about 1.965) is the largest,
  // so the words are scaled by 2^29 with shift 3.
  EXPECT_EQ(r.shift, 3);
  EXPECT_NEAR(r.c3 / std::ldexp(1.0, 29), 1.9656, 1e-3);
  EXPECT_NEAR(r.c4 / std::ldexp(1.0, 29), -0.9662, 1e-3);
  EXPECT_NEAR(r.c0 / std::ldexp(1.0, 29), 1.48e-4, 1e-6);
  EXPECT_LE(std::abs(r.c1 - 2 * r.c0), 1);  // b1 = 2 b0 up to truncation
  EXPECT_EQ(r.c2, r.c0);
}

TEST(FixedBiquad, NeutralDesignsGiveTheIdentity) {
  BiquadRecord r{};
  designBiquad(1, &r, 1.0f, 1000.0f, 0.0f, 44100.0f);
  expectIdentity(r);
  for (int type : {5, 6, 7, 8}) {
    BiquadRecord s{};
    designBiquad(type, &s, 1.0f, 1000.0f, -3.0f, 44100.0f);
    SCOPED_TRACE(type);
    expectIdentity(s);
  }
  for (int type : {3, 4, 9, 10, 11, 12}) {
    BiquadRecord s{};
    designBiquad(type, &s, 1.0f, 1000.0f, 0.0f, 44100.0f);
    SCOPED_TRACE(type);
    expectIdentity(s);
  }
  for (int type : {0, 13, -1}) {
    BiquadRecord s{};
    designBiquad(type, &s, 1.0f, 1000.0f, 6.0f, 44100.0f);
    expectIdentity(s);
  }
}

TEST(FixedBiquad, LargeCoefficientsLowerTheScale) {
  // A 24 dB peak at a quarter of the rate with q 1: K = 1, V = 15.85, so
  // b0 = (2 + V) / 3 = 5.95 lies in [4, 8).
  BiquadRecord r{};
  designBiquad(1, &r, 1.0f, 11025.0f, 24.0f, 44100.0f);
  EXPECT_EQ(r.shift, 5);
  EXPECT_NEAR(r.c0 / std::ldexp(1.0, 27), (2.0 + std::pow(10.0, 1.2)) / 3.0, 1e-4);
  // A 15 dB peak (b0 = 2.54) stays below 4 and keeps a finer scale.
  BiquadRecord s{};
  designBiquad(1, &s, 1.0f, 11025.0f, 15.0f, 44100.0f);
  EXPECT_EQ(s.shift, 4);
}

TEST(FixedBiquad, InvalidQOrNullRecordChangesNothing) {
  BiquadRecord r{1, 2, 3, 4, 5, 6, 7, 8};
  designBiquad(5, &r, 0.0f, 1000.0f, 3.0f, 44100.0f);
  designBiquad(5, &r, -1.0f, 1000.0f, 3.0f, 44100.0f);
  EXPECT_EQ(r.c0, 1);
  EXPECT_EQ(r.shift, 8);
  designBiquad(5, nullptr, 1.0f, 1000.0f, 3.0f, 44100.0f);
  designBiquadFs(5, nullptr, 1.0f, 1000.0f, 3.0f, 44100.0f);
  designBiquadFromParams(nullptr, &r);
  EXPECT_EQ(r.c0, 1);
}

TEST(FixedBiquad, DesignEntryPointsClearOnlyTheirStates) {
  BiquadRecord r{0, 0, 0, 0, 0, 11, 22, 0};
  designBiquadNoReset(5, &r, 1.0f, 500.0f, 1.0f, 44100.0f);
  EXPECT_EQ(r.z1, 11);
  EXPECT_EQ(r.z2, 22);
  designBiquadFs(5, &r, 1.0f, 500.0f, 1.0f, 44100.0f);
  EXPECT_EQ(r.z1, 0);
  EXPECT_EQ(r.z2, 22);

  BiquadRecord fromParams{0, 0, 0, 0, 0, 11, 22, 0};
  const BiquadParams p{1.0f, 500.0f, 1.0f, 5};
  designBiquadFromParams(&p, &fromParams);
  EXPECT_EQ(fromParams.c0, r.c0);
  EXPECT_EQ(fromParams.c3, r.c3);
  EXPECT_EQ(fromParams.z1, 0);
}

TEST(FixedBiquad, LowPassFollowsTheFloatingPointFilter) {
  BiquadRecord r{};
  designBiquad44k(5, &r, 3.0f, 172.26563f, 3.0f);
  std::vector<int32_t> in(4000);
  std::mt19937 gen(3);
  std::uniform_int_distribution<int32_t> dist(0, 20000);
  for (auto& v : in) v = dist(gen) * 65536;  // an envelope at the detector's scale
  std::vector<int32_t> out(in.size());
  runBiquad(in.data(), &r, out.data(), static_cast<int>(in.size()));
  const auto ref = referenceFilter(r, in);
  for (std::size_t i = 0; i < in.size(); ++i) {
    ASSERT_NEAR(out[i] / 65536.0, ref[i] / 65536.0, 2.0) << i;
  }
  // DC gain 1: a constant settles at its own value.
  std::vector<int32_t> dc(20000, 1000 * 65536), dcOut(dc.size());
  BiquadRecord s{};
  designBiquad44k(5, &s, 3.0f, 172.26563f, 3.0f);
  runBiquad(dc.data(), &s, dcOut.data(), static_cast<int>(dc.size()));
  EXPECT_NEAR(dcOut.back() >> 16, 1000, 2);
}

TEST(FixedBiquad, RunnerKeepsStateAcrossCalls) {
  std::vector<int32_t> in(300);
  for (std::size_t i = 0; i < in.size(); ++i) in[i] = static_cast<int32_t>((i * 7919) % 5000) * 65536;
  BiquadRecord whole{}, split{};
  designBiquad44k(6, &whole, 1.0f, 300.0f, 1.0f);
  split = whole;
  std::vector<int32_t> a(in.size()), b(in.size());
  runBiquad(in.data(), &whole, a.data(), 300);
  runBiquad(in.data(), &split, b.data(), 100);
  runBiquad(in.data() + 100, &split, b.data() + 100, 200);
  EXPECT_EQ(a, b);
}

TEST(FixedBiquad, FullScaleInputSaturatesInsteadOfWrapping) {
  BiquadRecord r{};
  designBiquad44k(5, &r, 3.0f, 172.26563f, 3.0f);
  std::vector<int32_t> in(5000);
  for (std::size_t i = 0; i < in.size(); ++i) {
    in[i] = (i / 300) % 2 ? std::numeric_limits<int32_t>::min() : std::numeric_limits<int32_t>::max();
  }
  std::vector<int32_t> out(in.size());
  runBiquad(in.data(), &r, out.data(), static_cast<int>(in.size()));
  // A wrapped value would flip sign in the middle of a positive half period.
  for (std::size_t i = 250; i < 300; ++i) EXPECT_GT(out[i], 0) << i;
  for (std::size_t i = 550; i < 600; ++i) EXPECT_LT(out[i], 0) << i;
}

TEST(FixedBiquad, FirstOrderKeepsTheBiquadsFirstOrderPart) {
  FirstOrderRecord f{0, 0, 0, 99, 0};
  BiquadRecord b{};
  const int shift = designFirstOrder44k(7, &f, 1.0f, 2000.0f, 0.0f);
  designBiquad44k(7, &b, 1.0f, 2000.0f, 0.0f);
  EXPECT_EQ(shift, b.shift);
  EXPECT_EQ(f.c0, b.c0);
  EXPECT_EQ(f.c1, b.c1);
  EXPECT_EQ(f.c2, b.c3);
  EXPECT_EQ(f.z, 0);

  // As a one-pole low-pass it settles at the input's value.
  std::vector<int32_t> dc(3000, 5000 * 65536), out(dc.size());
  runFirstOrder(dc.data(), &f, out.data(), static_cast<int>(dc.size()));
  EXPECT_NEAR(out.back() >> 16, 5000, 2);
  EXPECT_EQ(designFirstOrder44k(7, nullptr, 1.0f, 2000.0f, 0.0f), 0);
}

TEST(FixedBiquad, ShelvesReachTheirGainAwayFromTheCorner) {
  // Evaluate |H| from the float value of the words at DC and at Nyquist.
  auto gainAt = [](const BiquadRecord& r, double w) {
    const double s = std::ldexp(1.0, 32 - r.shift);
    const std::complex<double> z = std::polar(1.0, -w);
    const std::complex<double> num = r.c0 / s + r.c1 / s * z + r.c2 / s * z * z;
    const std::complex<double> den = 1.0 - r.c3 / s * z - r.c4 / s * z * z;
    return 20.0 * std::log10(std::abs(num / den));
  };
  for (float gain : {6.0f, -6.0f}) {
    BiquadRecord low{}, high{};
    designBiquad(3, &low, 0.7f, 1000.0f, gain, 44100.0f);
    designBiquad(4, &high, 0.7f, 1000.0f, gain, 44100.0f);
    EXPECT_NEAR(gainAt(low, 0.0), gain, 0.1);
    EXPECT_NEAR(gainAt(low, M_PI * 0.9), 0.0, 0.3);
    EXPECT_NEAR(gainAt(high, M_PI * 0.99), gain, 0.3);
    EXPECT_NEAR(gainAt(high, 0.0), 0.0, 0.1);
  }
}
