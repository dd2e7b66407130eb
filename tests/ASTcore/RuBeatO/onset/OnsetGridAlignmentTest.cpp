#include <gtest/gtest.h>

#include <vector>

#include "OnsetGridAlignment.h"

namespace {

onset::GridLayout layout(std::int64_t start, std::int64_t end, std::int64_t frameCount, double fpb,
                         std::int32_t divisions, std::int32_t toleranceDivisor) {
  onset::GridLayout g{};
  g.startFrame = start;
  g.endFrame = end;
  g.frameCount = frameCount;
  g.framesPerBeat = fpb;
  g.divisions = divisions;
  g.toleranceDivisor = toleranceDivisor;
  g.peakThreshold = 26;
  g.gridThreshold = 5;
  return g;
}

}  // namespace

TEST(OnsetGridAlignment, PeaksMoveToTheStartOfTheirRisingEdge) {
  //                                  0   1   2  3   4   5   6   7   8   9
  const std::vector<std::int16_t> in{-1, -1, 50, 0, -1, -1, -1, 30, -1, 20};
  std::vector<std::int16_t> out(in.size(), 99);
  onset::placeOnRisingEdges(in.data(), out.data(), static_cast<std::int64_t>(in.size()));
  // 50 goes back to frame 0; 30 to frame 4, the start of its edge (the edge
  // may reach back to two frames after 50's frame); 20's edge lies before the
  // limit of two frames after 30, so it stays.
  const std::vector<std::int16_t> expected{50, 0, 0, 0, 30, 0, 0, 0, 0, 20};
  EXPECT_EQ(out, expected);
}

TEST(OnsetGridAlignment, EdgeSearchStopsTwoFramesAfterThePreviousPeak) {
  const std::vector<std::int16_t> in{40, -1, -1, -1, 60};
  std::vector<std::int16_t> out(in.size());
  onset::placeOnRisingEdges(in.data(), out.data(), 5);
  const std::vector<std::int16_t> expected{40, 0, 60, 0, 0};
  EXPECT_EQ(out, expected);
}

TEST(OnsetGridAlignment, AnchorsAndDivisionPointsAreMarked) {
  std::vector<std::int16_t> v(200, 0);
  for (int f : {10, 50, 90, 130, 170}) v[f] = 100;
  v[71] = 3;   // weak: taken by the wider second search
  v[112] = 8;  // strong enough for the first search
  onset::markGrid(v.data(), 200, layout(10, 190, 190, 40.0, 2, 12));
  EXPECT_EQ(v[10], 100);  // the starting anchor is not marked
  for (int f : {50, 90, 130, 170}) EXPECT_EQ(v[f], 400) << f;
  EXPECT_EQ(v[30], 301);  // an empty grid point
  EXPECT_EQ(v[29], 0);
  EXPECT_EQ(v[71], 303);
  EXPECT_EQ(v[70], 0);
  EXPECT_EQ(v[112], 308);
  EXPECT_EQ(v[110], 0);
  EXPECT_EQ(v[150], 301);
}

TEST(OnsetGridAlignment, MissingBeatsWidenTheDivision) {
  std::vector<std::int16_t> v(200, 0);
  v[10] = 100;
  v[90] = 100;  // the beat at 50 has no peak: 10..90 is divided in 2 * 2 parts
  onset::markGrid(v.data(), 200, layout(10, 100, 190, 40.0, 2, 12));
  EXPECT_EQ(v[90], 400);
  for (int f : {30, 50, 70}) EXPECT_EQ(v[f], 301) << f;
}

TEST(OnsetGridAlignment, ClosingAnchorPastTheLastFrameIsNotWritten) {
  // The array holds exactly frameCount frames; the closing anchor lies at
  // frameCount, one past the end.
  std::vector<std::int16_t> v(100, 0);
  v[47] = 90;
  v[99] = 2;
  onset::markGrid(v.data(), 100, layout(0, 100, 100, 48.0, 4, 6));
  EXPECT_EQ(v[47], 390);
  // 47..100 in four parts: 60, 73, 86.
  for (int f : {60, 73, 86}) EXPECT_EQ(v[f], 301) << f;
  EXPECT_EQ(v[99], 2);
}

TEST(OnsetGridAlignment, SearchWindowsPastTheLastFrameAreClipped) {
  // Predicted beats and the grid after the last anchor run past the array.
  std::vector<std::int16_t> v(100, 0);
  v[47] = 90;
  v[99] = 50;
  onset::markGrid(v.data(), 100, layout(0, 120, 120, 48.0, 4, 6));
  EXPECT_EQ(v[47], 390);
  EXPECT_EQ(v[99], 350);  // found by a window that reaches frame 111
}

TEST(OnsetGridAlignment, DegenerateGridsMarkNothingOrStayInside) {
  std::vector<std::int16_t> v(50, 0);
  v[20] = 100;
  const std::vector<std::int16_t> before = v;
  onset::markGrid(v.data(), 50, layout(0, 50, 50, 0.5, 2, 12));  // under a frame per beat
  onset::markGrid(v.data(), 50, layout(0, 50, 50, 10.0, 0, 12));  // no divisions
  EXPECT_EQ(v, before);
  // No tolerance (preset 7): no beat finds an anchor, and the grid goes on
  // from the start at the initial step.
  onset::markGrid(v.data(), 50, layout(0, 50, 50, 10.0, 1, 0));
  EXPECT_EQ(v[10], 301);
  EXPECT_EQ(v[20], 400);
  EXPECT_EQ(v[40], 301);
}
