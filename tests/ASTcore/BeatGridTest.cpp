#include <gtest/gtest.h>

#include "CASTcore.h"
#include "CASTcoreTestAccess.h"
#include "SlotOf.h"

namespace {

constexpr std::uint64_t kBeat = 22050;  // half a second per beat

// `beats` beats of half a second with division `div` (2*div entries a beat),
// onsets at 0 and at the end of the grid plus one beat.
WavInfo* gridWave(int beats, int div = 1) {
  auto* w = new WavInfo;
  w->beatDiv = static_cast<std::uint16_t>(div);
  const int entries = beats * 2 * div;
  for (int k = 0; k < entries; ++k) w->beatTime.push_back(0.5f * k / (2 * div));
  w->onsetTime = {0.0f, 0.5f * beats};
  return w;
}

const WavInfo& wave0(CASTcore& core) {
  WavInfo* w = nullptr;
  core.getWaveInfo(0, &w);
  return *w;
}

}  // namespace

TEST(BarLength, TrimmedMeanOfTheBeatIntervals) {
  CASTcore core;
  auto* w = new WavInfo;
  // Beats at 0, 0.5, 1.0, 1.5 and 3.0 s with half-beat points between.
  w->beatTime = {0.0f, 0.25f, 0.5f, 0.75f, 1.0f, 1.25f, 1.5f, 2.25f, 3.0f};
  core.addWavList(w);
  ASSERT_EQ(core.estimateBarLen(0), 0u);
  EXPECT_FLOAT_EQ(wave0(core).barLen, 2.0f) << "the 1.5 s interval lies outside one deviation";

  WavInfo* single = new WavInfo;
  single->beatTime = {0.0f, 0.25f};
  single->barLen = 7.0f;
  core.addWavList(single);
  EXPECT_EQ(core.estimateBarLen(1), 0x80000002u);
  WavInfo* second = nullptr;
  core.getWaveInfo(1, &second);
  EXPECT_EQ(second->barLen, 7.0f);
}

TEST(BeatTempo, LimitsFollowTheDenominator) {
  CASTcore core;
  std::uint8_t verdict = 9;
  // 10 entries up to 25000 frames: 2500 frames an entry, 5000 a beat.
  std::vector<float> times(10, 0.0f);
  times.back() = 25000.0f / 44100.0f;
  ASSERT_EQ(core.checkBeatTempo(1, times, verdict), 0u);
  EXPECT_EQ(verdict, 1) << "5000 frames a beat is faster than 500 per minute";
  times.back() = 10.0f;  // 44100 frames an entry
  ASSERT_EQ(core.checkBeatTempo(1, times, verdict), 0u);
  EXPECT_EQ(verdict, 0);
  ASSERT_EQ(core.checkBeatTempo(20, times, verdict), 0u);
  EXPECT_EQ(verdict, 2);

  EXPECT_TRUE(Result::failed(core.checkBeatTempo(1, {}, verdict))) << "no division by an empty grid";
  EXPECT_TRUE(Result::failed(core.checkBeatTempo(1, {1.0f}, verdict)));
  EXPECT_TRUE(Result::failed(core.checkBeatTempo(0, times, verdict)));
}

TEST(BeatGrid, DoublingTheBeatLengthIsOneUndoableStep) {
  CASTcore core;
  core.addWavList(gridWave(16));
  std::uint16_t div = 0;
  QString message;
  const int steps = core.undoCount();
  ASSERT_EQ(core.divBeatDnUp(0, 0, 3, 0, div, message), 0u);
  EXPECT_EQ(div, 2);
  EXPECT_EQ(wave0(core).beatDiv, 2);
  EXPECT_EQ(core.undoCount(), steps + 1);
  core.undo();
  EXPECT_EQ(wave0(core).beatDiv, 1);
}

TEST(BeatGrid, TooSlowAResultIsRefusedWithItsMessage) {
  CASTcore core;
  auto* slow = gridWave(4);
  for (float& t : slow->beatTime) t *= 30.0f;  // 15 s beats: 4 per minute
  slow->onsetTime.back() *= 30.0f;
  core.addWavList(slow);
  AllInfo before;
  before.assign(core.getAllInfo());
  std::uint16_t div = 0;
  QString message;
  EXPECT_EQ(core.divBeatDnUp(0, 0, 3, 0, div, message), 0x80000002u);
  EXPECT_EQ(message, "Tempo error!");
  EXPECT_EQ(wave0(core), *before.waves()[0]);
  EXPECT_EQ(core.divBeatDnUp(2, 0, 3, 0, div, message), 0x80000007u);
}

TEST(BeatGrid, HalvingRemovesThirdsFirstThenHalves) {
  CASTcore core;
  core.addWavList(gridWave(8, 2));
  std::uint16_t div = 0;
  QString message;
  ASSERT_EQ(core.divBeatDnUp(1, 0, 3, 0, div, message), 0u);
  EXPECT_EQ(div, 1) << "division 2 halves to 1";

  CASTcore six;
  six.addWavList(gridWave(8, 6));
  ASSERT_EQ(six.divBeatDnUp(1, 0, 3, 0, div, message), 0u);
  EXPECT_EQ(div, 1) << "6 loses its third first (2), then halves";
  EXPECT_EQ(wave0(six).beatTime.size(), 8u * 4 + 1)
      << "every third entry kept (two per half-length beat), then the end of the audio";
}

TEST(BeatGrid, OddDivisionsInsertMidpointsWithLeadInAndOut) {
  CASTcore core;
  auto* w = new WavInfo;
  w->beatTime = {1.0f, 1.5f, 2.0f};
  w->onsetTime = {0.0f, 3.0f};
  core.addWavList(w);
  WavInfo work = wave0(core);
  std::uint8_t tooFar = 0;
  ASSERT_EQ(core.doubleGrid(work, 1, tooFar), 0u);
  const std::vector<float> expected = {0.5f, 1.0f, 1.25f, 1.5f, 1.75f, 2.0f, 2.5f};
  ASSERT_EQ(work.beatTime.size(), expected.size());
  for (std::size_t i = 0; i < expected.size(); ++i) EXPECT_NEAR(work.beatTime[i], expected[i], 1e-4) << i;

  WavInfo thirds = wave0(core);
  ASSERT_EQ(core.tripleGrid(thirds, 1, tooFar), 0u);
  ASSERT_GE(thirds.beatTime.size(), 7u);
  for (std::size_t i = 1; i < thirds.beatTime.size(); ++i) EXPECT_LT(thirds.beatTime[i - 1], thirds.beatTime[i]);
  EXPECT_NEAR(thirds.beatTime[thirds.beatTime.size() - 1], 2.0f + 2.0f / 3.0f, 1e-3);

  WavInfo noOnsets;
  noOnsets.beatTime = {1.0f, 2.0f};
  EXPECT_EQ(core.doubleGrid(noOnsets, 1, tooFar), 0x80000001u);
}

TEST(BeatGrid, ToggleNamesSectionsWhoseEdgesDisagree) {
  CASTcore core;
  core.addWavList(gridWave(16));
  SecInfo odd;
  odd.used = 1;
  odd.wavNo = 0;
  odd.startAdrs = 2 * kBeat;
  odd.endAdrs = 6 * kBeat + kBeat / 2;  // a half-beat point
  core.updateSecInfo(4, odd);
  SecInfo shifted = odd;
  shifted.startAdrs = kBeat / 2;
  shifted.endAdrs = 4 * kBeat + kBeat / 2;
  core.updateSecInfo(5, shifted);
  QString message;
  ASSERT_EQ(core.toggleBeat(0, message), 0u);
  EXPECT_EQ(message, "can't find suitable toggle beat setting :\r\n[Main B]\r\nedit start and end points again!");
  EXPECT_EQ(slotOf(core, 4).halfBeat, 0);
  EXPECT_EQ(slotOf(core, 5).halfBeat, 1);
}

TEST(BeatGrid, ClosingBeatAnchorsNearbySectionEdges) {
  CASTcore core;
  auto* w = gridWave(8);
  w->onsetTime = {0.0f, 4.0f};  // audio ends one entry after the grid
  core.addWavList(w);
  SecInfo s;
  s.used = 1;
  s.wavNo = 0;
  s.startAdrs = 0;
  s.endAdrs = 176400 - 100;
  s.barNum = 1;
  core.updateSecInfo(3, s);
  ASSERT_EQ(core.addLastAdrsAsBeat(0), 0u);
  EXPECT_FLOAT_EQ(wave0(core).beatTime.back(), 4.0f);
  EXPECT_EQ(slotOf(core, 3).endAdrs, 176400u);
  EXPECT_EQ(slotOf(core, 3).endOfs, -100);
  EXPECT_EQ(core.addLastAdrsAsBeat(1), 0x80000001u);
}

TEST(BeatGrid, BeatRangeRevalidatesSectionsAndDropsRenderings) {
  CASTcore core;
  core.addWavList(gridWave(16));
  SecInfo s;
  s.used = 1;
  s.wavNo = 0;
  s.endAdrs = 12 * kBeat;
  core.setSecInfo(3, s);
  CASTcoreTestAccess::setRendered(core, 3, 1);
  ASSERT_EQ(core.setBeatRange(3, 4), 0u);
  std::uint8_t num = 0, den = 0;
  core.getTimeSig(num, den);
  EXPECT_EQ(num, 3);
  EXPECT_EQ(slotOf(core, 3).barNum, 4) << "12 beats are four bars of 3/4";
  EXPECT_EQ(slotOf(core, 3).used, 0);
  EXPECT_EQ(core.isSecRendered(3), 0);
  EXPECT_EQ(core.undoText(), "set all");

  CASTcoreTestAccess::setRendered(core, 3, 1);
  EXPECT_TRUE(Result::failed(core.setBeatRange(3, 5)));
  EXPECT_EQ(core.isSecRendered(3), 0) << "cleared even when it fails";
}

TEST(BeatGrid, TimeSignatureChangesAreCheckedAndUndoable) {
  CASTcore core;
  core.addWavList(gridWave(16));
  const int steps = core.undoCount();
  EXPECT_EQ(core.setTimeSig(4, 3), Result::nest(2, 0x80000002u));
  EXPECT_EQ(core.undoCount(), steps);
  ASSERT_EQ(core.changeTimeSig(6, 8), 0u);
  std::uint8_t num = 0, den = 0;
  core.getTimeSig(num, den);
  EXPECT_EQ(num, 6);
  EXPECT_EQ(den, 8);
  EXPECT_EQ(core.undoCount(), steps + 1);
}

TEST(SectionRefresh, TempoComesFromTheTempoSlot) {
  CASTcore core;
  core.addWavList(gridWave(32));
  SecInfo s;
  s.used = 1;
  s.wavNo = 0;
  s.endAdrs = 16 * kBeat;
  core.updateSecInfo(3, s);
  ASSERT_EQ(core.refreshSecBars(0, 3, QString()), 0u);
  EXPECT_EQ(core.getCommonInfo().tempo, 120u);
  EXPECT_EQ(slotOf(core, 3).barNum, 4);
  EXPECT_EQ(slotOf(core, 3).barFit, 1);
  EXPECT_FLOAT_EQ(wave0(core).barLen, 2.0f);
}

TEST(SectionRefresh, AFailingSectionKeepsTheValidationsOwnMessage) {
  CASTcore core;
  core.addWavList(gridWave(32));
  SecInfo odd;  // nine beats with a pickup: refused with its own text
  odd.used = 1;
  odd.wavNo = 0;
  odd.startAdrs = 2 * kBeat;
  odd.endAdrs = 11 * kBeat;
  odd.pickupSw = 1;
  odd.pickupNum = 2;
  core.updateSecInfo(5, odd);
  EXPECT_EQ(core.refreshSecBars(0, 3, "grid changed"), Result::nest(8, 0x8000000Bu));
  EXPECT_EQ(core.lastError, "confirm beat number and pickup setting!\r\nodd beat with pickup is not allowed!");

  SecInfo backwards;  // refused without a text of its own
  backwards.used = 1;
  backwards.wavNo = 0;
  backwards.startAdrs = 8 * kBeat;
  backwards.endAdrs = 4 * kBeat;
  core.updateSecInfo(5, SecInfo());
  core.updateSecInfo(6, backwards);
  EXPECT_EQ(core.refreshSecBars(0, 3, "grid changed"), Result::nest(8, 0x80000003u));
  EXPECT_EQ(core.lastError, "grid changed");
}
