#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>
#include <random>
#include <vector>

#include "BinLevelsPhases.h"

namespace {

std::uint32_t bitsOf(float v) {
  std::uint32_t b;
  std::memcpy(&b, &v, sizeof b);
  return b;
}

// Packed sums of random magnitude over 60 decades, with every special value
// a transform of bad input can hold sprinkled in.
std::vector<float> packedSums(std::int64_t bins, unsigned seed) {
  std::mt19937 rng(seed);
  std::uniform_real_distribution<float> u(-1.0f, 1.0f);
  std::uniform_real_distribution<float> decade(-30.0f, 30.0f);
  std::vector<float> p(static_cast<std::size_t>(2 * bins + 2));
  for (float& v : p) v = u(rng) * std::pow(10.0f, decade(rng));
  const float special[] = {0.0f,
                           -0.0f,
                           std::numeric_limits<float>::infinity(),
                           -std::numeric_limits<float>::infinity(),
                           std::numeric_limits<float>::quiet_NaN(),
                           std::numeric_limits<float>::denorm_min(),
                           std::numeric_limits<float>::max(),
                           -std::numeric_limits<float>::max()};
  std::uniform_int_distribution<std::size_t> at(0, p.size() - 1);
  for (int i = 0; i < 40; ++i) p[at(rng)] = special[i % 8];
  // A run of exact zeros: bins with no energy.
  for (std::size_t i = 10; i < 20 && i < p.size(); ++i) p[i] = 0.0f;
  return p;
}

TEST(BinLevelsPhases, LevelsAndPhasesFollowTheLibrarysLogarithmAndArctangent) {
  const std::int64_t bins = 4097;
  const auto p = packedSums(bins, 5);
  std::vector<float> levels(bins + 1), phases(bins + 1);
  BinLevelsPhases::Compute(p.data(), 1, bins, levels.data(), phases.data());
  int checked = 0;
  for (std::int64_t b = 1; b < bins; ++b) {
    const double re = p[2 * b], im = -static_cast<double>(p[2 * b + 1]);
    const double power = re * re + im * im;
    if (!std::isfinite(power)) continue;
    if (power == 0.0) {
      EXPECT_EQ(levels[b], BinLevelsPhases::kNoEnergy) << b;
      EXPECT_EQ(phases[b], 0.0f) << b;
      continue;
    }
    const double db = 10.0 * std::log10(power) - 20.0 * std::log10(32768.0);
    ASSERT_NEAR(levels[b], db, 2e-5 * std::max(1.0, std::fabs(db))) << b;
    // The same angle: a bin on the negative real axis may come out at pi
    // where the library gives -pi for a negative zero.
    const double d = phases[b] - std::atan2(im, re);
    ASSERT_NEAR(std::remainder(d, 2.0 * 3.141592653589793), 0.0, 3e-7) << b;
    ++checked;
  }
  EXPECT_GT(checked, 4000);
}

TEST(BinLevelsPhases, TheWideCopyGivesTheBaselinesBitsOnEveryRangeAndSpecialValue) {
  const auto p = packedSums(600, 9);
  // Ranges of every length up to a few vectors, from several starts, so
  // that each tail and each misalignment is met.
  for (std::int64_t first = 1; first <= 5; ++first) {
    for (std::int64_t end = first; end <= first + 41; ++end) {
      std::vector<float> la(600, 7.0f), pa(600, 7.0f), lb(600, 7.0f), pb(600, 7.0f);
      BinLevelsPhases::ComputeBaseline(p.data(), first, end, la.data(), pa.data());
      if (!BinLevelsPhases::ComputeWide(p.data(), first, end, lb.data(), pb.data()))
        GTEST_SKIP() << "no AVX2 copy on this build or CPU";
      std::vector<float> lc(600, 7.0f), pc(600, 7.0f);
      BinLevelsPhases::Compute(p.data(), first, end, lc.data(), pc.data());
      for (std::size_t b = 0; b < 600; ++b) {
        ASSERT_EQ(bitsOf(la[b]), bitsOf(lb[b])) << first << " " << end << " " << b;
        ASSERT_EQ(bitsOf(pa[b]), bitsOf(pb[b])) << first << " " << end << " " << b;
        ASSERT_EQ(bitsOf(la[b]), bitsOf(lc[b])) << first << " " << end << " " << b;
        ASSERT_EQ(bitsOf(pa[b]), bitsOf(pc[b])) << first << " " << end << " " << b;
      }
    }
  }
  // The whole frame as the analysis passes it.
  std::vector<float> la(600), pa(600), lb(600), pb(600);
  BinLevelsPhases::ComputeBaseline(p.data(), 1, 599, la.data(), pa.data());
  BinLevelsPhases::Compute(p.data(), 1, 599, lb.data(), pb.data());
  EXPECT_EQ(std::memcmp(la.data(), lb.data(), la.size() * sizeof(float)), 0);
  EXPECT_EQ(std::memcmp(pa.data(), pb.data(), pa.size() * sizeof(float)), 0);
}

TEST(BinLevelsPhases, DoubleSumsGiveTheBitsOfTheSameSumsRoundedToFloat) {
  // Sums between floats (rounded both ways), halfway cases, zeros of both
  // signs and values past the float range, at every tail length.
  std::mt19937 rng(17);
  std::uniform_real_distribution<double> u(-1.0e6, 1.0e6);
  std::vector<double> d(2 * 80);
  for (std::size_t i = 0; i < d.size(); ++i) {
    d[i] = u(rng);
    if (i % 7 == 3) d[i] = static_cast<double>(static_cast<float>(d[i])) * (1.0 + 0x1p-24);  // a tie
    if (i % 11 == 5) d[i] = (i % 2 ? -0.0 : 0.0);
    if (i % 13 == 6) d[i] = 1.0e39;
  }
  std::vector<float> f(d.size());
  for (std::size_t i = 0; i < d.size(); ++i) f[i] = static_cast<float>(d[i]);
  for (std::int64_t end = 1; end <= 80; ++end) {
    std::vector<float> lf(80, 7.0f), pf(80, 7.0f), ld(80, 7.0f), pd(80, 7.0f), lb(80, 7.0f), pb(80, 7.0f);
    BinLevelsPhases::Compute(f.data(), 1, end, lf.data(), pf.data());
    BinLevelsPhases::Compute(d.data(), 1, end, ld.data(), pd.data());
    BinLevelsPhases::ComputeBaseline(d.data(), 1, end, lb.data(), pb.data());
    for (std::size_t b = 0; b < 80; ++b) {
      ASSERT_EQ(bitsOf(lf[b]), bitsOf(ld[b])) << end << " " << b;
      ASSERT_EQ(bitsOf(pf[b]), bitsOf(pd[b])) << end << " " << b;
      ASSERT_EQ(bitsOf(lf[b]), bitsOf(lb[b])) << end << " " << b;
      ASSERT_EQ(bitsOf(pf[b]), bitsOf(pb[b])) << end << " " << b;
    }
  }
}

TEST(BinLevelsPhases, ALevelOfPowerFromTheBitsMatchesTheLogarithmOverTheWholeRange) {
  // Every binade a square of floats can reach, mantissas at both ends of
  // the range the series is folded into.
  for (int e = -298; e <= 254; ++e) {
    for (double m : {0.5, 0.70710678118654746, 0.70710678118654757, 0.75, 0.999999999, 1.0}) {
      const double power = std::ldexp(m, e);
      const double db = 10.0 * std::log10(power) - 20.0 * std::log10(32768.0);
      ASSERT_NEAR(BinLevelsPhases::LevelOfPower(power), db, 1e-5 * std::max(1.0, std::fabs(db))) << e << " " << m;
    }
  }
  EXPECT_EQ(BinLevelsPhases::LevelOfPower(0.0), BinLevelsPhases::kNoEnergy);
  EXPECT_EQ(BinLevelsPhases::LevelOfPower(-1.0), BinLevelsPhases::kNoEnergy);
  EXPECT_EQ(BinLevelsPhases::LevelOfPower(std::nan("")), BinLevelsPhases::kNoEnergy);
  EXPECT_TRUE(std::isnan(BinLevelsPhases::LevelOfPower(std::numeric_limits<double>::infinity())));
}

}  // namespace
