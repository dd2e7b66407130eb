// Whole-array onset stages against their formulas written out directly,
// and the onset-list merger on its grid (empty lists, shared cells,
// thinning).

#include <gtest/gtest.h>

#include <random>
#include <vector>

#include "OnsetArrayRoutines.h"

namespace {

std::vector<std::int64_t> randomValues(int n, unsigned seed) {
  std::mt19937 gen(seed);
  std::uniform_int_distribution<std::int64_t> dist(-50000, 50000);
  std::vector<std::int64_t> v(static_cast<std::size_t>(n));
  for (auto& x : v) x = dist(gen);
  return v;
}

TEST(OnsetArrayRoutines, CentredMovingMeanEqualsTheWindowSumAroundEachPosition) {
  for (int w : {1, 4, 5, 16}) {
    const std::vector<std::int64_t> x = randomValues(40, 3u + unsigned(w));
    std::vector<std::int64_t> y = x;
    onset::centredMovingMean(y.data(), std::int64_t(y.size()), w);
    for (int j = 0; j < int(x.size()); ++j) {
      std::int64_t sum = 0;
      for (int k = j + w / 2 - w + 1; k <= j + w / 2; ++k)
        if (k >= 0 && k < int(x.size())) sum += x[std::size_t(k)];
      EXPECT_EQ(y[std::size_t(j)], sum / w) << "window " << w << " position " << j;
    }
  }
}

TEST(OnsetArrayRoutines, PreEmphasisAndRectifierFollowTheirFormulas) {
  const std::vector<std::int64_t> x = randomValues(30, 8);
  std::vector<std::int64_t> y = x;
  onset::preEmphasize(y.data(), std::int64_t(y.size()), 15);
  for (std::size_t i = 0; i < x.size(); ++i)
    EXPECT_EQ(y[i], x[i] - ((15 * (i ? x[i - 1] : 0)) >> 4));
  onset::halfWaveRectify(y.data(), std::int64_t(y.size()));
  for (auto v : y) EXPECT_GE(v, 0);

  std::vector<std::int64_t> steady(50, 1000);
  onset::followEnvelope(steady.data(), 50, 8192, 100);
  EXPECT_EQ(steady.back(), 1000);  // an instant attack follows a constant input
}

TEST(OnsetArrayRoutines, SmallHelpers) {
  const std::int64_t cells[4] = {1, 2, 3, 5};
  EXPECT_EQ(onset::meanOfCells(cells, 4), 2);
  EXPECT_EQ(onset::meanOfCells(cells, 0), 0);
  EXPECT_EQ(onset::normalisingDivision(100, 128), 6400);
  EXPECT_EQ(onset::normalisingDivision(100, 129), 100 * 8192 / 129);
  EXPECT_EQ(onset::normalisingDivision(-100, 129), -(100 * 8192 / 129));

  const std::int32_t samples[10] = {2, 99, 4, 99, 6, 99, 8, 99, 10, 99};
  std::int64_t means[4] = {-1, -1, -1, -1};
  onset::frameMeansOfEverySecondValue(means, 4, samples, 10, 2);
  EXPECT_EQ(std::vector<std::int64_t>(means, means + 4), (std::vector<std::int64_t>{3, 7, 5, 0}));

  std::int64_t pattern[5] = {9, 9, 9, 9, 9};
  onset::leadInPattern(pattern, 5);
  EXPECT_EQ(std::vector<std::int64_t>(pattern, pattern + 5), (std::vector<std::int64_t>{4000, 8000, 4000, 0, 0}));

  std::vector<bool> flags = {true, true, false, true, true, false, true};
  onset::thinByCount(flags, 3);
  EXPECT_EQ(flags, (std::vector<bool>{true, false, false, true, false, false, true}));
  std::vector<bool> same = {true, true};
  onset::thinByCount(same, 1);
  EXPECT_EQ(same, (std::vector<bool>{true, true}));
}

TEST(OnsetArrayRoutines, MergedOnsetListsSitOnTheGridOnePerTenCells) {
  std::vector<std::int64_t> out = {42};
  onset::mergeOnsetLists(out, {}, {}, 128 * 100);
  EXPECT_EQ(out, (std::vector<std::int64_t>{42}));  // nothing flagged: unchanged

  // 300 falls in the cell of 256; 2600 and 2700 in the cells of 2560 and
  // 2688 but the second is within ten cells of the first; 5000 (second
  // list) in the cell of 4992.
  onset::mergeOnsetLists(out, {300, 2600}, {2700, 5000}, 128 * 100);
  EXPECT_EQ(out, (std::vector<std::int64_t>{256, 2560, 4992}));

  // Two positions in one cell: the second is compared with the later cells,
  // which lie above it, so the list matches nothing more.
  onset::mergeOnsetLists(out, {300, 310, 6000}, {}, 128 * 100);
  EXPECT_EQ(out, (std::vector<std::int64_t>{256}));
}

}  // namespace
