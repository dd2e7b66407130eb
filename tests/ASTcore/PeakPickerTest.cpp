// Snapping beat-grid times onto onsets: the tempo-dependent tolerance, the
// choice between the onsets around a grid time, and the order of the grid.

#include <gtest/gtest.h>

#include "PeakPicker.h"

namespace {

// Where a single grid time ends up, with onsets at 1 s and 3 s.
float snapped(float t, std::uint64_t tempo) {
  std::vector<float> target = {t};
  const std::vector<float> onsets = {1.0f, 3.0f};
  PeakPicker().run(target, onsets, tempo);
  return target[0];
}

}  // namespace

TEST(PeakPicker, ToleranceFollowsTheTempo) {
  struct Case {
    std::uint64_t tempo;
    float inside;   // distance after the onset that still snaps
    float outside;  // distance that no longer does
  };
  // 0.05 s up to 40 BPM, 0.015 s from 60 BPM, linear between.
  const Case cases[] = {{120, 0.014f, 0.016f}, {61, 0.014f, 0.016f}, {60, 0.014f, 0.016f},
                        {50, 0.031f, 0.034f},  {40, 0.049f, 0.051f}, {30, 0.049f, 0.051f},
                        {0, 0.049f, 0.051f}};
  for (const Case& c : cases) {
    EXPECT_EQ(snapped(1.0f + c.inside, c.tempo), 1.0f) << c.tempo;
    EXPECT_EQ(snapped(1.0f + c.outside, c.tempo), 1.0f + c.outside) << c.tempo;
    // The same distance before an onset pulls the grid time up onto it.
    EXPECT_EQ(snapped(3.0f - c.inside, c.tempo), 3.0f) << c.tempo;
    EXPECT_EQ(snapped(3.0f - c.outside, c.tempo), 3.0f - c.outside) << c.tempo;
  }
  EXPECT_DOUBLE_EQ(PeakPicker::tolerance(50), 0.0325);
}

TEST(PeakPicker, ExactlyHalfwayGoesDownOnlyWithinTheTolerance) {
  const std::vector<float> onsets = {1.0f, 1.0625f};
  std::vector<float> target = {1.03125f};
  PeakPicker().run(target, onsets, 120);  // 0.015 s: the lower onset is too far
  EXPECT_EQ(target[0], 1.03125f);
  PeakPicker().run(target, onsets, 30);  // 0.05 s: it is near enough
  EXPECT_EQ(target[0], 1.0f);
}

TEST(PeakPicker, GridTimesBeforeTheFirstAndAfterTheLastOnset) {
  const std::vector<float> onsets = {1.0f, 5.0f};
  std::vector<float> target = {0.99f, 5.01f, 6.0f};
  PeakPicker().run(target, onsets, 120);
  EXPECT_EQ(target, (std::vector<float>{1.0f, 5.0f, 6.0f}));

  std::vector<float> untouched = {0.5f, 1.0f};
  PeakPicker().run(untouched, {}, 120);
  EXPECT_EQ(untouched, (std::vector<float>{0.5f, 1.0f}));
  std::vector<float> none;
  PeakPicker().run(none, onsets, 120);
  EXPECT_TRUE(none.empty());
}

TEST(PeakPicker, TwoGridTimesNeverShareAnOnset) {
  const std::vector<float> onsets = {1.0f, 5.0f};
  // Both within reach below 1.0: the later one takes it, the earlier stays.
  std::vector<float> below = {0.99f, 0.995f};
  PeakPicker().run(below, onsets, 120);
  EXPECT_EQ(below, (std::vector<float>{0.99f, 1.0f}));
  // Both within reach above 1.0: the earlier one takes it.
  std::vector<float> above = {1.02f, 1.03f};
  PeakPicker().run(above, onsets, 30);
  EXPECT_EQ(above, (std::vector<float>{1.0f, 1.03f}));
}

TEST(PeakPicker, AJitteredGridLandsOnTheOnsetsAndStaysInOrder) {
  std::vector<float> onsets, target;
  for (int k = 0; k < 40; ++k) {
    onsets.push_back(0.5f * k + 0.003f * (k % 3));
    target.push_back(0.5f * k + ((k % 2) ? 0.007f : -0.006f));
  }
  PeakPicker picker;
  picker.run(target, onsets, 120);
  EXPECT_EQ(target, onsets);
  for (int p : {0, 7, 20, 39, 1000}) EXPECT_NEAR(picker.slope(p), 0.5f, 0.001f) << p;
}

TEST(PeakPicker, SlopeOfShortOrMissingLists) {
  PeakPicker picker;
  EXPECT_EQ(picker.slope(0), 0.0f);
  std::vector<float> one = {2.0f};
  picker.run(one, {2.0f}, 120);
  EXPECT_EQ(picker.slope(0), 0.0f);
  std::vector<float> two = {1.0f, 1.25f};
  picker.run(two, {}, 120);
  EXPECT_EQ(picker.slope(0), 0.25f);
  EXPECT_EQ(picker.slope(-5), 0.25f);
}
