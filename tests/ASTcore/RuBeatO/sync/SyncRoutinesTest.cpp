// The sync analysis's small routines: the running minimum and maximum, and
// the min-max normaliser against values worked out by hand.

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "SyncRoutines.h"

namespace {

TEST(SyncRoutines, RunningMinMaxWidensToEveryValue) {
  double lo = 5.0, hi = 5.0;
  for (double v : {7.0, -2.0, 3.0, 9.5}) updateRunningMinMax(v, lo, hi);
  EXPECT_EQ(lo, -2.0);
  EXPECT_EQ(hi, 9.5);
}

TEST(SyncRoutines, MinMaxNormaliserSubtractsTheMinimumAndDividesByTheMaximum) {
  struct Case {
    std::vector<double> in, out;
  };
  const Case cases[] = {
      {{2.0, 4.0, 10.0}, {0.0, 0.2, 0.8}},       // (c - 2) / 10
      {{-4.0, 0.0, 4.0}, {0.0, 1.0, 2.0}},       // (c + 4) / 4: above 1, as the rule gives
      {{3.0, 3.0}, {0.0, 0.0}},                  // flat
      {{-3.0, -1.0, 0.0}, {0.0, 2.0, 3.0}},      // a maximum of 0: only shifted
      {{0.0, 0.0, 0.0}, {0.0, 0.0, 0.0}},
      {{-6.0, -2.0}, {-0.0, 4.0 / -2.0}},        // a negative maximum still divides
  };
  for (const Case& c : cases) {
    std::vector<double> v = c.in;
    normalizeMinMax(v.data(), static_cast<std::uint32_t>(v.size()));
    for (std::size_t i = 0; i < v.size(); ++i) {
      EXPECT_TRUE(std::isfinite(v[i]));
      EXPECT_DOUBLE_EQ(v[i], c.out[i]) << "value " << i << " of case starting " << c.in[0];
    }
  }
  normalizeMinMax(nullptr, 3);
  double one = 7.0;
  normalizeMinMax(&one, 0);
  EXPECT_EQ(one, 7.0);
}

}  // namespace
