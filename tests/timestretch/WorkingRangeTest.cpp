#include <gtest/gtest.h>

#include <vector>

#include "SegmentStretcher.h"
#include "WorkingRange.h"

namespace {

std::unique_ptr<StretchRegion> region(std::int64_t start, std::int64_t end, std::int64_t outputLength) {
  auto r = std::make_unique<StretchRegion>();
  r->point.start = start;
  r->end = end;
  r->length = end - start;
  r->outputLength = outputLength;
  return r;
}

}  // namespace

TEST(WorkingRange, CoversTheRegionsAndTellsWhetherAnyNeedsStretching) {
  std::vector<float> left(100), right(100);
  for (int i = 0; i < 100; ++i) left[i] = static_cast<float>(i), right[i] = static_cast<float>(-i);
  TimeMachineInput in{left.data(), right.data(), 100, 44100, 16};
  StretchRegionList regions;
  regions.push_back(region(10, 40, 30));
  regions.push_back(region(40, 70, 30));
  TimeMachineInput range;
  std::uint8_t stretch = 9;
  ASSERT_EQ(MakeWorkingRange(regions, in, &range, &stretch), 0);
  EXPECT_EQ(range.left, left.data() + 10);
  EXPECT_EQ(range.right, right.data() + 10);
  EXPECT_EQ(range.sampleCount, 60u);
  EXPECT_EQ(stretch, 0);
  regions.back()->outputLength = 33;
  ASSERT_EQ(MakeWorkingRange(regions, in, &range, &stretch), 0);
  EXPECT_EQ(stretch, 1);
  regions.push_back(region(70, 101, 31));  // one past the input
  EXPECT_EQ(MakeWorkingRange(regions, in, &range, &stretch), -2);
  regions.back() = region(71, 90, 19);  // a gap
  EXPECT_EQ(MakeWorkingRange(regions, in, &range, &stretch), -2);

  TimeMachineOutput out;
  ASSERT_EQ(CopyRegionRange(in, *regions[1], &out), 30);
  EXPECT_EQ(out.left[0], 40.0f);
  EXPECT_EQ(out.right[29], -69.0f);
  FreeStretchOutput(&out);
  in.right = nullptr;
  ASSERT_EQ(CopyRegionRange(in, *regions[0], &out), 30);
  EXPECT_EQ(out.right, nullptr);
  FreeStretchOutput(&out);
  EXPECT_EQ(CopyRegionRange(in, *region(90, 120, 30), &out), -2);
}
