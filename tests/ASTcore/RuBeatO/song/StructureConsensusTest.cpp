// Fusing rounds of structure inference: the boundary decoding, label modes,
// clustering by agreement, and the merging of recurring label pairs.

#include <gtest/gtest.h>

#include <vector>

#include "StructureConsensus.h"

namespace {

using Segments = std::vector<std::pair<int, int>>;

// Per-bar countdowns of segments with the given lengths.
std::vector<int> countdownOf(const std::vector<int>& lengths) {
  std::vector<int> c;
  for (int n : lengths)
    for (int i = n - 1; i >= 0; --i) c.push_back(i);
  return c;
}

RoundRuns columnsOf(const RoundRuns& rounds) {
  RoundRuns cols(rounds[0].size(), std::vector<int>(rounds.size()));
  for (std::size_t r = 0; r < rounds.size(); ++r)
    for (std::size_t p = 0; p < rounds[r].size(); ++p) cols[p][r] = rounds[r][p];
  return cols;
}

}  // namespace

TEST(StructureConsensus, ModeTakesTheSmallestOfEqualCounts) {
  EXPECT_EQ(modeOfLabels({3, 1, 3, 1}), 1);
  EXPECT_EQ(modeOfLabels({5, 2, 5}), 5);
  EXPECT_EQ(modeOfLabels({}), 0);
}

TEST(StructureConsensus, RecurringPairsOfSingleSegmentsMergeAndLabelsAreRenumbered) {
  struct Case {
    std::vector<int> in, out;
  };
  for (const Case& c : {Case{{0, 1, 2, 0, 1, 3}, {0, 0, 1, 0, 0, 2}}, Case{{4, 2, 4}, {4, 2, 4}},
                        Case{{3, 3, 1, 2}, {0, 0, 1, 2}}, Case{{2, 0, 1, 2, 0, 1}, {0, 0, 1, 0, 0, 1}}}) {
    std::vector<int> out;
    mergeRecurringLabelPairs(out, c.in);
    EXPECT_EQ(out, c.out);
  }
}

TEST(StructureConsensus, BoundaryDecodingOfShortAndUnvotedSequences) {
  EXPECT_EQ(decodeSegmentBoundaries(RoundRuns(1, std::vector<int>(3, 1))), (Segments{{0, 1}}));
  for (int n = 2; n <= 9; ++n)
    EXPECT_EQ(decodeSegmentBoundaries(RoundRuns(static_cast<std::size_t>(n), std::vector<int>(10, 5))),
              (Segments{{0, n}}))
        << n;
  // Without votes, long stretches are still cut: no segment longer than 8,
  // except the last, which may reach 9.
  const Segments long30 = decodeSegmentBoundaries(RoundRuns(30, std::vector<int>(10, 5)));
  ASSERT_GT(long30.size(), 3u);
  EXPECT_EQ(long30.front().first, 0);
  EXPECT_EQ(long30.back().second, 30);
  for (std::size_t i = 0; i < long30.size(); ++i) {
    if (i > 0) {
      EXPECT_EQ(long30[i].first, long30[i - 1].second);
    }
    EXPECT_LE(long30[i].second - long30[i].first, i + 1 == long30.size() ? 9 : 8);
  }
}

TEST(StructureConsensus, BoundariesGoWhereMostRoundsEndASegment) {
  // Nine rounds end segments after 4, 8 and 12 bars, one round elsewhere.
  RoundRuns rounds(9, countdownOf({4, 4, 4, 4}));
  rounds.push_back(countdownOf({3, 6, 7}));
  EXPECT_EQ(decodeSegmentBoundaries(columnsOf(rounds)), (Segments{{0, 4}, {4, 8}, {8, 12}, {12, 16}}));
}

TEST(StructureConsensus, FusedSegmentsShareALabelOnlyWhenEveryRoundAgrees) {
  // A A B A in every round, each round with its own label numbers; one
  // round calls the third A something else in a second run.
  RoundRuns countdowns, labels;
  for (int r = 0; r < 10; ++r) {
    countdowns.push_back(countdownOf({4, 4, 4, 4}));
    std::vector<int> l;
    for (int part : {r, r, r + 1, r}) l.insert(l.end(), 4, part);
    labels.push_back(l);
  }
  std::vector<int> countdown, label;
  fuseRoundSegmentations(countdown, label, countdowns, labels, 0.9);
  EXPECT_EQ(countdown, countdownOf({4, 4, 4, 4}));
  std::vector<int> expected;
  for (int part : {0, 0, 1, 0}) expected.insert(expected.end(), 4, part);
  EXPECT_EQ(label, expected);

  for (int p = 12; p < 16; ++p) labels[3][static_cast<std::size_t>(p)] = 77;
  fuseRoundSegmentations(countdown, label, countdowns, labels, 0.9);
  // One round in ten disagrees: the last A is a part of its own.
  const int parts[] = {0, 0, 1, 2};
  for (int part = 0; part < 4; ++part) EXPECT_EQ(label[static_cast<std::size_t>(4 * part)], parts[part]);

  // Per segment, A A B A has no recurring pair of single segments.
  std::vector<int> perBar;
  relabelSegments(countdownOf({4, 4, 4, 4}), perBar, expected);
  EXPECT_EQ(perBar, expected);

  fuseRoundSegmentations(countdown, label, {}, {}, 0.9);
  EXPECT_TRUE(countdown.empty());
  EXPECT_TRUE(label.empty());
}

TEST(StructureConsensus, ClusteringComparesWithTheNearestEarlierRow) {
  const RoundRuns rows = {{1, 2, 3, 4}, {1, 2, 3, 5}, {1, 2, 3, 4}, {9, 9, 9, 9}};
  EXPECT_EQ(clusterSegmentLabels(rows, 0.1), (std::vector<int>{0, 1, 0, 2}));
  EXPECT_EQ(clusterSegmentLabels(rows, 0.3), (std::vector<int>{0, 0, 0, 1}));
}
