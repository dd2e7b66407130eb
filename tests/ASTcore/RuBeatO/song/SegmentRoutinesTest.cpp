// The boundary vote threshold and the per-segment/per-position conversions:
// a round trip through both conversions, and the threshold's edges.

#include <gtest/gtest.h>

#include <stdexcept>
#include <utility>
#include <vector>

#include "SegmentRoutines.h"

namespace {

using Segments = std::vector<std::pair<int, int>>;

TEST(SegmentRoutines, FewerThanThreeColumnsGiveOneSegmentWhateverTheVotes) {
  EXPECT_EQ(thresholdSegmentBoundaries({{0, 0}, {0, 0}}), (Segments{{0, 2}}));
  EXPECT_EQ(thresholdSegmentBoundaries({}), (Segments{{0, 0}}));
}

TEST(SegmentRoutines, ACutFollowsEveryInnerColumnWithMoreThanAFifthOfZeroVotes) {
  // Five rounds: more than trunc(0.2 * 5) = 1 zero is needed. The first and
  // last columns never cut.
  const std::vector<std::vector<int>> columns = {
      {0, 0, 0, 0, 0}, {3, 0, 1, 2, 2}, {0, 0, 1, 1, 1}, {1, 1, 1, 1, 1}, {0, 0, 0, 1, 1}, {0, 0, 0, 0, 0}};
  EXPECT_EQ(thresholdSegmentBoundaries(columns), (Segments{{0, 3}, {3, 5}, {5, 6}}));
}

TEST(SegmentRoutines, StartValuesAndExpansionInvertEachOther) {
  const std::vector<int> countdown = {2, 1, 0, 0, 3, 2, 1, 0, 1, 0};
  const std::vector<int> perSegment = {7, 4, 9, 4};
  std::vector<int> perPosition;
  expandSegmentValues(perPosition, perSegment, countdown);
  EXPECT_EQ(perPosition, (std::vector<int>{7, 7, 7, 4, 9, 9, 9, 9, 4, 4}));
  std::vector<int> back = {99};
  segmentStartValues(back, perPosition, countdown);
  EXPECT_EQ(back, perSegment);

  std::vector<int> out;
  EXPECT_THROW(expandSegmentValues(out, {1, 2}, countdown), std::out_of_range);
  segmentStartValues(out, {5, 6, 7}, {});  // no countdown beyond position 0
  EXPECT_EQ(out, (std::vector<int>{5}));
}

}  // namespace
