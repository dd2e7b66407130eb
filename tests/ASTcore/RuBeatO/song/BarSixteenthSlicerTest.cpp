// The bar and sixteenth-note grid built from scripted engine reports: the
// meter each bar line announces, the span of the grid, the truncated steps,
// and the reports handed on to the listener.

#include <gtest/gtest.h>

#include <stdexcept>
#include <vector>

#include "BarSixteenthSlicer.h"
#include "RecordingListener.h"

namespace {

constexpr float kRate = 44100.0f;

// Tatums every `spacing` samples, then bar lines at the given tatums in the
// given meter, then the end of the analysis.
void script(BarSixteenthSlicer& s, int tatums, int spacing, const std::vector<int>& barTatums, int numerator,
            int denominator) {
  for (int k = 0; k < tatums; ++k) BarSixteenthSlicer::_onTatum({k * spacing, k}, &s);
  int bar = 0;
  for (int t : barTatums) BarSixteenthSlicer::_onBarline({t, bar++, numerator, denominator}, 1.0, &s);
  BarSixteenthSlicer::_onDoneAnalysis(0, &s);
}

}  // namespace

TEST(BarSixteenthSlicer, EachMeterGivesItsStepsPerTatumAndBeatsPerBar) {
  struct Case {
    int numerator, denominator, subdivision, beatsPerBar;
  };
  for (const Case c : {Case{4, 4, 4, 4}, Case{3, 4, 4, 3}, Case{6, 8, 6, 2}, Case{9, 8, 6, 3}, Case{5, 8, 2, 5},
                       Case{7, 8, 2, 7}}) {
    BarSixteenthSlicer s(kRate, nullptr);
    script(s, 20, 1000, {0, 8}, c.numerator, c.denominator);
    EXPECT_EQ(s.subdivision, c.subdivision) << c.numerator << "/" << c.denominator;
    EXPECT_EQ(s.beatsPerBar, c.beatsPerBar) << c.numerator << "/" << c.denominator;
    EXPECT_EQ(s.grid.size(), static_cast<std::size_t>(7 * c.subdivision));
  }
  // 6/8 and 3/4 both hold twelve sixteenths, 7/8 fourteen.
  BarSixteenthSlicer compound(kRate, nullptr);
  script(compound, 4, 1000, {0, 1}, 6, 8);
  EXPECT_EQ(compound.gridPerBar(), 12);
}

TEST(BarSixteenthSlicer, AMeterOtherThanQuartersOrEighthsIsRefusedAfterItsBarLineIsKept) {
  RecordingListener listener;
  BarSixteenthSlicer s(kRate, &listener);
  BarSixteenthSlicer::_onBarline({0, 0, 4, 4}, 1.0, &s);
  try {
    BarSixteenthSlicer::_onBarline({4, 1, 3, 2}, 1.0, &s);
    FAIL() << "3/2 accepted";
  } catch (const std::domain_error& e) {
    EXPECT_STREQ(e.what(), "Unsupported meter");
  }
  EXPECT_EQ(s.barlines, (std::vector<std::int32_t>{0, 4}));
  EXPECT_EQ(listener.barlines.size(), 1u);
  EXPECT_EQ(s.subdivision, 4);
  EXPECT_EQ(s.beatsPerBar, 4);
}

TEST(BarSixteenthSlicer, TheGridRunsFromTheFirstBarLineToOneTatumBeforeTheLast) {
  BarSixteenthSlicer s(kRate, nullptr);
  script(s, 12, 22050, {0, 4, 8}, 4, 4);
  ASSERT_EQ(s.grid.size(), 28u);
  // Steps are truncated quarters of each tatum interval.
  const int expected[] = {0, 5512, 11025, 16537};
  for (int j = 0; j < 4; ++j) EXPECT_FLOAT_EQ(s.grid[static_cast<std::size_t>(j)], expected[j] / kRate);
  EXPECT_FLOAT_EQ(s.grid.back(), (6 * 22050 + 16537) / kRate);

  // Completing the last bar adds the steps up to and including its bar line.
  s.completeLastBar();
  ASSERT_EQ(s.grid.size(), 33u);
  EXPECT_FLOAT_EQ(s.grid[28], 7 * 22050 / kRate);
  EXPECT_FLOAT_EQ(s.grid.back(), 8 * 22050 / kRate);
  for (std::size_t i = 1; i < s.grid.size(); ++i) EXPECT_GT(s.grid[i], s.grid[i - 1]);
}

TEST(BarSixteenthSlicer, TooFewBarLinesOrStillTatumsGiveNoGrid) {
  struct Case {
    std::vector<int> bars;
    int spacing;
  };
  for (const Case& c : {Case{{}, 1000}, Case{{3}, 1000}, Case{{4, 5}, 1000}, Case{{0, 8}, 0}}) {
    BarSixteenthSlicer s(kRate, nullptr);
    script(s, 10, c.spacing, c.bars, 4, 4);
    EXPECT_TRUE(s.grid.empty()) << c.bars.size() << " bar lines";
    s.completeLastBar();
    if (c.spacing > 0) {
      EXPECT_TRUE(s.grid.empty());
    }
  }
  // Bar lines beyond the tatums reported are never read past the end.
  BarSixteenthSlicer ahead(kRate, nullptr);
  script(ahead, 3, 1000, {0, 40}, 4, 4);
  EXPECT_EQ(ahead.grid.size(), 8u);
  ahead.completeLastBar();
  EXPECT_EQ(ahead.grid.size(), 8u);
}

TEST(BarSixteenthSlicer, BeatsBecomeTimesAndEveryReportReachesTheListener) {
  RecordingListener listener;
  BarSixteenthSlicer s(kRate, &listener);
  BarSixteenthSlicer::_onTatum({0, 0}, &s);
  BarSixteenthSlicer::_onTatum({22050, 1}, &s);
  BarSixteenthSlicer::_onBeat({1, 1}, 1.0, &s);
  BarSixteenthSlicer::_onBeat({2, 2}, 1.0, &s);  // beyond the tatums: no time
  BarSixteenthSlicer::_onChord({0, 2, 0, 2, 0}, 1.0, &s);
  BarSixteenthSlicer::_onKeysig({0, 2, 0}, 1.0, &s);
  BarSixteenthSlicer::_onBarline({0, 0, 3, 4}, 1.0, &s);
  EXPECT_EQ(s.beatTimes, std::vector<float>{0.5f});
  EXPECT_EQ(listener.calls,
            (std::vector<std::string>{"tatum", "tatum", "beat", "beat", "chord", "keysig", "barline"}));
  EXPECT_EQ(listener.beats[1].tatum, 2);

  BarSixteenthSlicer quiet(kRate, nullptr);
  BarSixteenthSlicer::_onChord({}, 1.0, &quiet);
  BarSixteenthSlicer::_onBeat({0, 0}, 1.0, &quiet);
  EXPECT_TRUE(quiet.beatTimes.empty());
}
