// Segments of whole bars from bar energy profiles: boundaries at clear
// changes, long stretches split evenly, labels by similarity.

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "BarEnergySegmenter.h"

namespace {

using Rows = std::vector<std::vector<double>>;

void append(Rows& rows, int bars, std::vector<double> profile) {
  for (int i = 0; i < bars; ++i) rows.push_back(profile);
}

}  // namespace

TEST(BarEnergySegmenter, CutsAtClearChangesAndLabelsRecurringParts) {
  Rows rows;
  append(rows, 20, {-20, -26, -26, -26});  // A: long, split evenly
  append(rows, 6, {-6, -8, -8, -8});       // B
  append(rows, 4, {-21, -26, -25, -26});   // A again, within the label tolerance
  append(rows, 3, {-40, -40, -40, -40});   // C
  const std::vector<BarSegment> s = BarEnergySegmenter::segment(rows);
  ASSERT_EQ(s.size(), 6u);
  const int first[] = {0, 6, 13, 20, 26, 30};
  const int bars[] = {6, 7, 7, 6, 4, 3};
  const int labels[] = {0, 0, 0, 1, 0, 2};
  for (std::size_t i = 0; i < s.size(); ++i) {
    EXPECT_EQ(s[i].firstBar, first[i]) << i;
    EXPECT_EQ(s[i].bars, bars[i]) << i;
    EXPECT_EQ(s[i].label, labels[i]) << i;
  }
}

TEST(BarEnergySegmenter, ProfilesAreTheBeatLevelsInDecibels) {
  // Beats of 10 frames; frames of beat k hold energy 10^-(k % 4).
  std::vector<float> energy(100);
  std::vector<double> beats;
  for (int k = 0; k < 10; ++k) {
    beats.push_back(10.0 * k);
    for (int i = 0; i < 10; ++i) energy[static_cast<std::size_t>(10 * k + i)] = static_cast<float>(std::pow(10.0, -(k % 4)));
  }
  const Rows rows = BarEnergySegmenter::barProfiles(energy, beats, 1, 4, 2);
  ASSERT_EQ(rows.size(), 2u);
  const double expected[2][4] = {{-10, -20, -30, 0}, {-10, -20, -30, 0}};
  for (int b = 0; b < 2; ++b)
    for (int i = 0; i < 4; ++i) EXPECT_NEAR(rows[static_cast<std::size_t>(b)][static_cast<std::size_t>(i)], expected[b][i], 1e-4);
  // Bars beyond the beats are not made up.
  EXPECT_EQ(BarEnergySegmenter::barProfiles(energy, beats, 1, 4, 5).size(), 2u);
  // Silence sits on the floor.
  EXPECT_EQ(BarEnergySegmenter::barProfiles(std::vector<float>(100, 0.0f), beats, 0, 4, 1)[0][0], -100.0);
}
