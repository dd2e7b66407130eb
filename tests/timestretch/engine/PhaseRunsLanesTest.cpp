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

// Region terms whose every array holds, besides ordinary phases, values
// that each rule treats on an edge: signed zeros, a hair below a turn or
// above minus a turn, exactly a turn or two, NaN and infinities, advances
// beyond 2^31 turns; the deviation switch is also -0.0 and NaN.
struct Regions {
  std::vector<double> arrays[13];
  PhaseRuns::RegionTerms terms;

  Regions(std::int64_t n, std::uint32_t seed) {
    const double nan = std::numeric_limits<double>::quiet_NaN(), inf = std::numeric_limits<double>::infinity();
    const double special[] = {0.0,
                              -0.0,
                              std::nextafter(kTwoPi, 0.0),
                              kTwoPi,
                              -std::nextafter(kTwoPi, 0.0),
                              -kTwoPi,
                              std::nextafter(2.0 * kTwoPi, 0.0),
                              2.0 * kTwoPi,
                              -1e-300,
                              nan,
                              inf,
                              -inf,
                              3e10,
                              -3e10,
                              kPi,
                              std::nextafter(kPi, 0.0)};
    std::mt19937 gen(seed);
    std::uniform_real_distribution<double> turn(0.0, kTwoPi), far(-3000.0, 9000.0), part(0.0, 1.0);
    std::uniform_int_distribution<int> pick(0, 40);
    for (int a = 0; a < 13; ++a) {
      auto& v = arrays[a];
      v.resize(static_cast<std::size_t>(n) + 1);
      for (auto& x : v) {
        const bool fraction = a % 3 == 2 && a < 9;
        x = fraction ? part(gen) : a == 10 ? far(gen) : a == 11 ? (pick(gen) % 3 ? 1.0 : 0.0) : turn(gen);
        const int s = pick(gen);
        if (s < 16 && a != 11) x = special[s];
        if (a == 11 && s < 3) x = s == 0 ? -0.0 : s == 1 ? nan : 0.0;
      }
    }
    PhaseRuns::PhasePairs* pairs[3] = {&terms.previous, &terms.phaseA, &terms.phaseB};
    for (int p = 0; p < 3; ++p) *pairs[p] = {arrays[3 * p].data(), arrays[3 * p + 1].data(), arrays[3 * p + 2].data()};
    terms.nearerBin = arrays[9].data();
    terms.advance = arrays[10].data();
    terms.useDeviation = arrays[11].data();
    terms.analysed = arrays[12].data();
  }
};

// The same bits, or both NaN: where two NaNs meet, which one goes on
// follows the order the compiler gives a sum's or product's operands, in
// the plain loop as in the vector ones.
template <typename T>
bool sameValue(T a, T b) {
  return BitsOf(a) == BitsOf(b) || (std::isnan(a) && std::isnan(b));
}

using Copy = std::int64_t (*)(const PhaseRuns::RegionTerms&, std::int64_t, double*, double*);

std::int64_t wholeRun(const PhaseRuns::RegionTerms& t, std::int64_t n, double* phase, double* offset) {
  PhaseRuns::AdvanceRegions(t, n, phase, offset);
  return n;
}

}  // namespace

// Each vector copy, and the whole run that chains them, against the plain
// loop bit for bit at every length from 0 to 37, the plain loop finishing
// what a copy leaves; nothing past the end is written.
TEST(PhaseRunsLanes, EveryCopyGivesThePlainBitsOnEdgeValuesAtEveryLength) {
  const bool four = PhaseRuns::AdvanceRegionsFour(Regions(4, 1).terms, 4, std::vector<double>(4).data(),
                                                  std::vector<double>(4).data()) == 4;
  if (!four) std::printf("no AVX2 here: the four-lane copy is not tested\n");
  const Copy copies[] = {PhaseRuns::AdvanceRegionsFour, PhaseRuns::AdvanceRegionsTwo, wholeRun};
  const std::int64_t widths[] = {4, 2, 1};
  for (std::uint32_t seed = 1; seed <= 40; ++seed) {
    for (std::int64_t n = 0; n <= 37; ++n) {
      const Regions r(n, seed * 100 + static_cast<std::uint32_t>(n));
      std::vector<double> phase(n + 1, 7.0), offset(n + 1, 7.0);
      PhaseRuns::AdvanceRegionsPlain(r.terms, n, phase.data(), offset.data());
      for (int c = 0; c < 3; ++c) {
        std::vector<double> p(n + 1, 7.0), o(n + 1, 7.0);
        const std::int64_t done = copies[c](r.terms, n, p.data(), o.data());
        if (c == 0 && !four) {
          ASSERT_EQ(done, 0);
          continue;
        }
        ASSERT_EQ(done, n / widths[c] * widths[c]) << c << " " << n;
        PhaseRuns::AdvanceRegionsPlain(PhaseRuns::RegionTermsFrom(r.terms, done), n - done, p.data() + done,
                                       o.data() + done);
        for (std::int64_t k = 0; k <= n; ++k) {
          ASSERT_TRUE(sameValue(p[k], phase[k])) << c << " " << seed << " " << n << " " << k;
          ASSERT_TRUE(sameValue(o[k], offset[k])) << c << " " << seed << " " << n << " " << k;
        }
      }
    }
  }
}

// The one-offset runs four at a time, then the whole run, and the
// two-offset runs against the plain loops at every length, in place too: sums a hair either side of the near
// rule's ends, signed zeros, NaN and infinities, and far-out offsets.
TEST(PhaseRunsLanes, WrappedRunsGiveThePlainBitsOnEdgeValuesAtEveryLength) {
  const float nan = std::numeric_limits<float>::quiet_NaN(), inf = std::numeric_limits<float>::infinity();
  const float special[] = {0.0f, -0.0f, std::nextafter(6.2831855f, 0.0f), 6.2831855f, -6.2831855f,
                           std::nextafter(-6.2831855f, 0.0f), 12.566371f, nan, inf, -inf, -1e-30f, 1e7f};
  std::mt19937 gen(5);
  std::uniform_real_distribution<float> turn(0.0f, 6.2831855f);
  std::uniform_int_distribution<int> pick(0, 23);
  for (std::int64_t n = 0; n <= 37; ++n) {
    for (double a : {0.0, -0.0, 1.5, -2.9, 6.283185307179586, -6.283185307179586, 20.0, -1e12}) {
      std::vector<float> in(static_cast<std::size_t>(n) + 1);
      for (auto& v : in) {
        const int s = pick(gen);
        v = s < 12 ? special[s] : turn(gen);
      }
      std::vector<float> plain(in.size(), 99.0f), four(plain), whole(plain), inPlace(in);
      PhaseRuns::AddWrappedPlain(plain.data(), in.data(), n, a);
      const std::int64_t done = PhaseRuns::AddWrappedFour(four.data(), in.data(), n, a);
      ASSERT_TRUE(done == 0 || done == n / 4 * 4) << n;
      PhaseRuns::AddWrappedPlain(four.data() + done, in.data() + done, n - done, a);
      PhaseRuns::AddWrapped(whole.data(), in.data(), n, a);
      PhaseRuns::AddWrapped(inPlace.data(), inPlace.data(), n, a);
      inPlace[static_cast<std::size_t>(n)] = 99.0f;
      for (std::size_t k = 0; k < in.size(); ++k) {
        for (const auto* got : {&four, &whole, &inPlace})
          ASSERT_TRUE(sameValue((*got)[k], plain[k])) << n << " " << k << " " << a;
      }
      // Two offsets: the run ends without a call while its sums stay near.
      for (double b : {0.0, -0.0, 2.5, -1e12}) {
        std::vector<float> plain2(in.size(), 99.0f), two(plain2), inPlace2(in);
        PhaseRuns::AddWrapped2Plain(plain2.data(), in.data(), n, a, b);
        PhaseRuns::AddWrapped2(two.data(), in.data(), n, a, b);
        PhaseRuns::AddWrapped2(inPlace2.data(), inPlace2.data(), n, a, b);
        inPlace2[static_cast<std::size_t>(n)] = 99.0f;
        for (std::size_t k = 0; k < in.size(); ++k) {
          ASSERT_TRUE(sameValue(two[k], plain2[k])) << n << " " << k << " " << a << " " << b;
          ASSERT_TRUE(sameValue(inPlace2[k], plain2[k])) << n << " " << k << " " << a << " " << b;
        }
      }
    }
  }
}
