#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <limits>
#include <random>
#include <vector>

#include "BitsOf.h"
#include "PhaseMath.h"
#include "PhaseRuns.h"

using PhaseMath::kPi;
using PhaseMath::kTwoPi;

namespace {

// Wrapping and unwrapping written the plain way, with branches and the
// library's floor: the masked selects must give the same bits.
double referenceWrap(double phase) {
  if (phase >= 0.0) {
    if (phase < kTwoPi) return phase;
    if (phase < 2.0 * kTwoPi) return phase - kTwoPi;
  } else if (phase >= -kTwoPi) {
    const double p = phase + kTwoPi;
    return p < kTwoPi ? p : 0.0;
  }
  double p = phase - std::floor(phase / kTwoPi) * kTwoPi;
  if (p >= kTwoPi) p -= kTwoPi;
  return p < 0.0 ? 0.0 : p;
}

double referenceUnwrap(double x, double y) {
  if (x > y + kPi) return x - kTwoPi;
  if (y - kPi > x) return x + kTwoPi;
  return x;
}

// Phases as the engine holds them, with the odd one far out, a negative
// zero and values a hair from the turn's ends.
std::vector<float> phases(std::int64_t n, unsigned seed) {
  std::mt19937 gen(seed);
  std::uniform_real_distribution<float> u(0.0f, 6.2831855f);
  std::vector<float> p(static_cast<std::size_t>(n));
  for (auto& v : p) v = u(gen);
  const float specials[] = {-0.0f, 0.0f, 6.2831850f, 6.2831855f, -1e-30f, 40.0f, -13.0f, 1e7f};
  for (std::size_t i = 0; i < p.size(); i += 7) p[i] = specials[(i / 7) % 8];
  return p;
}

}  // namespace

TEST(PhaseMath, WrapAndUnwrapGiveTheBitsOfThePlainBranches) {
  std::mt19937 gen(11);
  std::uniform_real_distribution<double> wide(-3000.0, 3000.0);
  std::uniform_real_distribution<double> near(-2.5 * kTwoPi, 2.5 * kTwoPi);
  std::vector<double> values = {0.0, -0.0, kTwoPi, -kTwoPi, 2.0 * kTwoPi, -1e-18, -1e-300, 1e-300,
                                std::nextafter(kTwoPi, 0.0), std::nextafter(2.0 * kTwoPi, 0.0),
                                std::nextafter(-kTwoPi, 0.0), std::nextafter(-kTwoPi, -10.0), 1e17, -1e17,
                                1e300, -1e300, std::numeric_limits<double>::infinity(),
                                std::numeric_limits<double>::quiet_NaN()};
  for (int k = -40; k <= 40; ++k) {
    values.push_back(k * kTwoPi);
    values.push_back(std::nextafter(k * kTwoPi, 1e9));
    values.push_back(std::nextafter(k * kTwoPi, -1e9));
  }
  for (int i = 0; i < 200000; ++i) values.push_back(i % 2 ? wide(gen) : near(gen));
  for (double v : values) {
    const double w = PhaseMath::Wrap(v), r = referenceWrap(v);
    if (std::isnan(r)) {
      ASSERT_TRUE(std::isnan(w)) << v;
      continue;
    }
    ASSERT_EQ(BitsOf(w), BitsOf(r)) << v;
  }
  for (int i = 0; i < 200000; ++i) {
    const double x = near(gen), y = near(gen);
    ASSERT_EQ(BitsOf(PhaseMath::UnwrapAgainst(x, y)), BitsOf(referenceUnwrap(x, y))) << x << " " << y;
  }
  for (double x : {0.0, kPi, -kPi, 2.0 * kPi})
    for (double y : {0.0, -0.0, kPi, -kPi})
      EXPECT_EQ(BitsOf(PhaseMath::UnwrapAgainst(x, y)), BitsOf(referenceUnwrap(x, y))) << x << " " << y;
}

// Every length from 0 to 37 (both tails), offsets that carry sums past
// both ends of the turn and one that leaves them far out.
TEST(PhaseRuns, AddingAnOffsetGivesThePlainLoopsBitsAtEveryLength) {
  for (std::int64_t n = 0; n <= 37; ++n) {
    const std::vector<float> in = phases(n, static_cast<unsigned>(n));
    for (double a : {0.0, -0.0, 1.5, -2.9, 3.1, -7.0, 20.0}) {
      for (double b : {0.0, -0.0, -1.25, 2.5}) {
        std::vector<float> vec(static_cast<std::size_t>(n) + 1, 99.0f), plain(vec), inPlace(in);
        PhaseRuns::AddWrapped2(vec.data(), in.data(), n, a, b);
        PhaseRuns::AddWrapped2Plain(plain.data(), in.data(), n, a, b);
        PhaseRuns::AddWrapped2(inPlace.data(), inPlace.data(), n, a, b);
        for (std::int64_t k = 0; k < n; ++k) {
          const auto expected = static_cast<float>(referenceWrap(static_cast<double>(in[k]) + a + b));
          ASSERT_EQ(BitsOf(vec[k]), BitsOf(expected)) << n << " " << k << " " << a << " " << b;
          ASSERT_EQ(BitsOf(plain[k]), BitsOf(expected)) << n << " " << k;
          ASSERT_EQ(BitsOf(inPlace[k]), BitsOf(expected)) << n << " " << k;
        }
        EXPECT_EQ(vec[static_cast<std::size_t>(n)], 99.0f) << "written past the run";
      }
      std::vector<float> vec(static_cast<std::size_t>(n) + 1, 99.0f);
      PhaseRuns::AddWrapped(vec.data(), in.data(), n, a);
      for (std::int64_t k = 0; k < n; ++k)
        ASSERT_EQ(BitsOf(vec[k]), BitsOf(static_cast<float>(referenceWrap(static_cast<double>(in[k]) + a))))
            << n << " " << k << " " << a;
      EXPECT_EQ(vec[static_cast<std::size_t>(n)], 99.0f);
    }
  }
}

// The coherence pull, written out from its definition, against the vector
// loop: odd lengths, silent bins between sounding ones (alone and in
// pairs), and amounts that push a sum past one turn.
TEST(PhaseRuns, PullingTheChannelsTogetherGivesTheReferenceBitsAndSkipsSilentBins) {
  const float silent = PhaseMath::kNoEnergy;
  for (std::int64_t n : {0, 1, 2, 3, 4, 5, 16, 31, 257}) {
    const std::vector<float> analysedL = phases(n, 100 + static_cast<unsigned>(n));
    const std::vector<float> analysedR = phases(n, 200 + static_cast<unsigned>(n));
    const std::vector<float> outL = phases(n, 300 + static_cast<unsigned>(n));
    const std::vector<float> outR = phases(n, 400 + static_cast<unsigned>(n));
    std::vector<float> levels(static_cast<std::size_t>(n), -20.0f);
    for (std::int64_t k = 0; k < n; ++k)
      if (k % 5 == 1 || k % 11 == 3 || k % 11 == 4) levels[k] = silent;
    if (n > 2) levels[2] = std::numeric_limits<float>::quiet_NaN();
    for (double amount : {1.0, 0.35, 9.0}) {
      std::vector<float> l(outL), r(outR);
      PhaseRuns::PullTogether(l.data(), r.data(), levels.data(), analysedL.data(), analysedR.data(), n, amount);
      for (std::int64_t k = 0; k < n; ++k) {
        float el = outL[k], er = outR[k];
        if (levels[k] > silent) {
          const double inL = analysedL[k];
          const double dIn = referenceUnwrap(analysedR[k], inL) - inL;
          const double dOut = referenceUnwrap(referenceUnwrap(outR[k], outL[k]) - outL[k], dIn);
          const double c = (dOut - dIn) * 0.5 * amount;
          el = static_cast<float>(referenceWrap(outL[k] + c));
          er = static_cast<float>(referenceWrap(outR[k] - c));
        }
        ASSERT_EQ(BitsOf(l[k]), BitsOf(el)) << n << " " << k << " " << amount;
        ASSERT_EQ(BitsOf(r[k]), BitsOf(er)) << n << " " << k << " " << amount;
      }
      // The four-bin copy alone covers whole fours or nothing.
      std::vector<float> fl(outL), fr(outR);
      const std::int64_t four =
          PhaseRuns::PullFour(fl.data(), fr.data(), levels.data(), analysedL.data(), analysedR.data(), n, amount);
      EXPECT_TRUE(four == 0 || four == n / 4 * 4) << n << " " << four;
      for (std::int64_t k = 0; k < n; ++k) {
        ASSERT_EQ(BitsOf(fl[k]), BitsOf(k < four ? l[k] : outL[k])) << n << " " << k << " " << amount;
        ASSERT_EQ(BitsOf(fr[k]), BitsOf(k < four ? r[k] : outR[k])) << n << " " << k << " " << amount;
      }
      std::vector<float> pl(outL), pr(outR);
      PhaseRuns::PullTogetherPlain(pl.data(), pr.data(), levels.data(), analysedL.data(), analysedR.data(), n,
                                   amount);
      EXPECT_EQ(pl, l);
      EXPECT_EQ(pr, r);
    }
  }
}

// The regions' phase arithmetic two at a time against the same written out
// with the plain branches: interpolations between bins a turn apart either
// way, advances of many turns (the far wrap), some beyond 2^31 turns and
// one infinite (both lanes then go the plain way), regions with and
// without the deviation, every count up to 21.
TEST(PhaseRuns, AdvancingRegionsGivesTheReferenceBitsForNearFarAndHugeAdvances) {
  std::mt19937 gen(17);
  std::uniform_real_distribution<double> turn(0.0, kTwoPi), far(-3000.0, 9000.0), part(0.0, 1.0);
  for (std::int64_t n = 0; n <= 21; ++n) {
    std::vector<double> pair[3][3];
    std::vector<double> nearer(n), advance(n), use(n), analysed(n);
    for (auto& p : pair)
      for (int i = 0; i < 3; ++i) p[i].resize(static_cast<std::size_t>(n));
    for (std::int64_t k = 0; k < n; ++k) {
      for (auto& p : pair) {
        p[0][k] = turn(gen);
        p[1][k] = turn(gen);
        p[2][k] = k % 5 == 2 ? 0.0 : part(gen);
      }
      nearer[k] = turn(gen);
      analysed[k] = turn(gen);
      use[k] = k % 3 == 1 ? 0.0 : 1.0;
      advance[k] = k % 4 == 0 ? turn(gen) - kPi : far(gen);
    }
    if (n > 5) advance[5] = 3e10;
    if (n > 12) advance[12] = -std::numeric_limits<double>::infinity();
    PhaseRuns::RegionTerms terms;
    PhaseRuns::PhasePairs* read[3] = {&terms.previous, &terms.phaseA, &terms.phaseB};
    for (int p = 0; p < 3; ++p) *read[p] = {pair[p][0].data(), pair[p][1].data(), pair[p][2].data()};
    terms.nearerBin = nearer.data();
    terms.advance = advance.data();
    terms.useDeviation = use.data();
    terms.analysed = analysed.data();
    std::vector<double> phase(n + 1, 7.0), offset(n + 1, 7.0);
    PhaseRuns::AdvanceRegions(terms, n, phase.data(), offset.data());
    for (std::int64_t k = 0; k < n; ++k) {
      double between[3];
      for (int p = 0; p < 3; ++p) {
        const double low = pair[p][0][k], high = referenceUnwrap(pair[p][1][k], low);
        between[p] = referenceWrap(low + pair[p][2][k] * (high - low));
      }
      const double e = referenceWrap(nearer[k] - between[2]);
      const double predicted = referenceWrap(between[1] + advance[k]);
      const double deviation = use[k] != 0.0 ? referenceUnwrap(between[2], predicted) - predicted : 0.0;
      const double p = referenceWrap(between[0] + e + advance[k] + deviation);
      const double o = referenceUnwrap(p, analysed[k]) - analysed[k];
      if (std::isnan(p)) {
        ASSERT_TRUE(std::isnan(phase[k])) << n << " " << k;
        continue;
      }
      ASSERT_EQ(BitsOf(phase[k]), BitsOf(p)) << n << " " << k << " " << advance[k];
      ASSERT_EQ(BitsOf(offset[k]), BitsOf(o)) << n << " " << k;
    }
    EXPECT_EQ(phase[n], 7.0);
    EXPECT_EQ(offset[n], 7.0);
  }
}

// The region phases go to their centre bins as AdvanceRegions gives them,
// without a second Wrap: that holds only while Wrap returns each of its own
// results unchanged, the signed zero, a NaN and the values a hair below a
// whole turn among them.
TEST(PhaseMath, WrapGivesItsOwnResultsBackUnchanged) {
  std::mt19937 gen(29);
  std::uniform_real_distribution<double> wide(-1e6, 1e6);
  std::vector<double> values = {0.0, -0.0, kTwoPi, -kTwoPi, std::nextafter(kTwoPi, 0.0), -1e-300, 1e300, -1e300,
                                std::numeric_limits<double>::infinity(), -std::numeric_limits<double>::infinity(),
                                std::numeric_limits<double>::quiet_NaN(), 3e10, -3e10};
  for (int k = -50; k <= 50; ++k) values.push_back(std::nextafter(k * kTwoPi, -1e9));
  for (int i = 0; i < 100000; ++i) values.push_back(wide(gen));
  for (double v : values) {
    const double once = PhaseMath::Wrap(v);
    ASSERT_EQ(BitsOf(PhaseMath::Wrap(once)), BitsOf(once)) << v;
  }
}
