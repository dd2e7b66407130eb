// The bar-line regulariser: the most frequent phase of a four-tatum grid
// wins (the lowest on ties) and comes out as a numbered 4/4 grid up to the
// highest tatum seen.

#include <gtest/gtest.h>

#include <vector>

#include "RegularBarlineFilter.h"

namespace {

struct Seen {
  std::vector<kelo::t_barline> bars;
  std::vector<double> values;
};

int record(kelo::t_barline b, double value, void* user) {
  static_cast<Seen*>(user)->bars.push_back(b);
  static_cast<Seen*>(user)->values.push_back(value);
  return 0;
}

std::vector<int> tatumsOf(const Seen& s) {
  std::vector<int> t;
  for (const auto& b : s.bars) t.push_back(b.tatum);
  return t;
}

TEST(RegularBarlineFilter, TheMostFrequentPhaseBecomesAWholeFourFourGrid) {
  kelo::RegularBarlineFilter filter;
  EXPECT_EQ(filter.numerator(), 4);
  EXPECT_EQ(filter.denominator(), 4);
  Seen seen;
  filter.setCallback(&record, &seen);
  // Phase 1 three times, phase 3 once; the meter of the last is kept.
  for (int tatum : {1, 5, 11, 13}) filter.add(kelo::t_barline{tatum, 0, 3, 8});
  EXPECT_EQ(filter.numerator(), 3);
  EXPECT_EQ(filter.denominator(), 8);
  EXPECT_EQ(filter.flush(), 0);
  EXPECT_EQ(tatumsOf(seen), (std::vector<int>{1, 5, 9}));  // below 13, the highest seen
  for (std::size_t k = 0; k < seen.bars.size(); ++k) {
    EXPECT_EQ(seen.bars[k].barNumber, static_cast<int>(k));
    EXPECT_EQ(seen.bars[k].numerator, 4);
    EXPECT_EQ(seen.bars[k].denominator, 4);
    EXPECT_EQ(seen.values[k], 1.0);
  }
}

TEST(RegularBarlineFilter, TiesGoToTheLowerPhaseResetForgetsCountsAndNoCallbackReportsNothing) {
  kelo::RegularBarlineFilter filter;
  Seen seen;
  filter.setCallback(&record, &seen);
  for (int tatum : {2, 3, 6, 7}) filter.add(kelo::t_barline{tatum, 0, 4, 4});
  filter.flush();
  EXPECT_EQ(tatumsOf(seen), (std::vector<int>{2, 6}));

  filter.reset();
  seen.bars.clear();
  filter.flush();  // nothing seen: highest 0, no bar below it
  EXPECT_TRUE(seen.bars.empty());
  // A negative tatum counts on its phase without reaching outside the counts.
  for (int tatum : {-3, 1, 9}) filter.add(kelo::t_barline{tatum, 0, 4, 4});
  filter.flush();
  EXPECT_EQ(tatumsOf(seen), (std::vector<int>{1, 5}));

  kelo::RegularBarlineFilter silent;
  silent.add(kelo::t_barline{8, 0, 4, 4});
  EXPECT_EQ(silent.flush(), 0);
}

}  // namespace
