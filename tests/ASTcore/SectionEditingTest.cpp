#include <gtest/gtest.h>

#include "CASTcore.h"
#include "SlotOf.h"

namespace {

constexpr std::uint64_t kBeat = 22050;  // half a second per beat

// A core with one wave whose grid has division 1 (two entries per beat) and
// `beats` beats of half a second; entry k lies at k * 11025 frames.
void addGridWave(CASTcore& core, int beats, int division = 1) {
  auto* w = new WavInfo;
  w->fileName = L"grid.wav";
  w->beatDiv = static_cast<std::uint16_t>(division);
  const int entries = beats * 2 * division;
  for (int k = 0; k < entries; ++k) w->beatTime.push_back(0.5f * k / (2 * division));
  w->onsetTime = {0.0f, 0.5f * beats};
  ASSERT_EQ(core.addWavList(w), 0u);
}

SecInfo span(std::uint32_t firstBeat, std::uint32_t lastBeat) {
  SecInfo s;
  s.used = 1;
  s.wavNo = 0;
  s.startAdrs = firstBeat * kBeat;
  s.endAdrs = lastBeat * kBeat;
  return s;
}

class SectionEditing : public ::testing::Test {
 protected:
  void SetUp() override { addGridWave(core, 16); }
  CASTcore core;
};

}  // namespace

TEST_F(SectionEditing, BeatLookUpsAtExactTieAndPastTheEnd) {
  std::uint32_t beat = 0;
  ASSERT_EQ(core.getBeatPosOfAddress(0, 0, 2 * kBeat, beat), 0u);
  EXPECT_EQ(beat, 2u);
  core.getBeatPosOfAddress(0, 0, kBeat + kBeat / 2, beat);
  EXPECT_EQ(beat, 2u) << "a tie goes to the later beat";
  core.getBeatPosOfAddress(0, 0, kBeat + kBeat / 2 - 1, beat);
  EXPECT_EQ(beat, 1u);
  core.getBeatPosOfAddress(0, 0, 0, beat);
  EXPECT_EQ(beat, 0u);
  ASSERT_EQ(core.getBeatPosOfAddress(0, 0, 100 * kBeat, beat), 0u);
  EXPECT_EQ(beat, 15u) << "past the grid: the last beat";
  // With the half-beat flag the beats sit on the odd entries.
  core.getBeatPosOfAddress(0, 1, kBeat / 2, beat);
  EXPECT_EQ(beat, 0u);
  core.getBeatPosOfAddress(0, 1, 3 * kBeat / 2, beat);
  EXPECT_EQ(beat, 1u);
  EXPECT_EQ(core.getBeatPosOfAddress(1, 0, 0, beat), Result::nest(1, 0x80000001u));
  EXPECT_EQ(beat, 0xFFFFFFFFu);

  std::uint64_t address = 1;
  ASSERT_EQ(core.getAddressOfBeat(0, 0, 3, address), 0u);
  EXPECT_EQ(address, 3 * kBeat);
  ASSERT_EQ(core.getAddressOfBeat(0, 1, 3, address), 0u);
  EXPECT_EQ(address, 3 * kBeat + kBeat / 2);
  EXPECT_EQ(core.getAddressOfBeat(0, 0, 16, address), 0x80000003u);
  EXPECT_EQ(address, 0u);
}

TEST(BeatLookUps, LastBeatOfAnOddGridStepsBack) {
  CASTcore core;
  auto* w = new WavInfo;
  w->beatTime = {0.0f, 0.25f, 0.5f, 0.75f, 1.0f};  // 5 entries, step 2
  ASSERT_EQ(core.addWavList(w), 0u);
  std::uint64_t address = 0;
  ASSERT_EQ(core.getAddressOfBeat(0, 0, 2, address), 0u);
  EXPECT_EQ(address, 44100u) << "beat 2 is entry 4";
  ASSERT_EQ(core.getAddressOfBeat(0, 1, 1, address), 0u);
  EXPECT_EQ(address, 33075u) << "half-beat last beat is entry 3";
  EXPECT_EQ(core.getAddressOfBeat(0, 1, 2, address), 0x80000003u);
}

TEST_F(SectionEditing, NineBeatsWithoutPickupLeaveAShortLastBar) {
  ASSERT_EQ(core.setSecInfo(5, span(2, 11)), 0u);
  const SecInfo& s = slotOf(core, 5);
  EXPECT_EQ(s.barNum, 2);
  EXPECT_EQ(s.barFit, 0);
  EXPECT_EQ(s.barAdrs[0], 6 * kBeat);
  EXPECT_EQ(s.barOfs[0], 0);
  EXPECT_EQ(core.undoText(), "set section");
}

TEST_F(SectionEditing, PickupOnAnIntroPutsTheShortBarFirst) {
  SecInfo s = span(2, 11);
  s.pickupSw = 1;
  ASSERT_EQ(core.setSecInfo(0, s), 0u);
  const SecInfo& intro = slotOf(core, 0);
  EXPECT_EQ(intro.barNum, 3);
  EXPECT_EQ(intro.barFit, 1);
  EXPECT_EQ(intro.barAdrs[0], 3 * kBeat);
  EXPECT_EQ(intro.barAdrs[1], 7 * kBeat);

  ASSERT_EQ(core.setSecInfo(5, s), 0u);
  const SecInfo& main = slotOf(core, 5);
  EXPECT_EQ(main.barNum, 3);
  EXPECT_EQ(main.barAdrs[0], 6 * kBeat);
  EXPECT_EQ(main.barAdrs[1], 10 * kBeat);
}

TEST_F(SectionEditing, OddBeatCountWithPickupIsRefusedWithItsMessage) {
  SecInfo s = span(2, 11);
  s.pickupSw = 1;
  s.pickupNum = 2;
  const int steps = core.undoCount();
  EXPECT_EQ(core.setSecInfo(5, s), Result::nest(7, 0x8000000Bu));
  EXPECT_EQ(core.lastError, "confirm beat number and pickup setting!\r\nodd beat with pickup is not allowed!");
  EXPECT_EQ(core.undoCount(), steps);
  EXPECT_EQ(slotOf(core, 5), SecInfo());
}

TEST_F(SectionEditing, PickupBeforeTheAudioIsRefusedOrDroppedWhenUnused) {
  SecInfo s = span(0, 8);
  s.pickupSw = 1;
  s.pickupNum = 2;
  EXPECT_EQ(core.setSecInfo(3, s), Result::nest(7, 0x80000005u));
  EXPECT_EQ(core.lastError, "can't set pickup to minus address of audio file!");

  s.pickupSw = 0;  // a pickup that is off is silently cleared
  ASSERT_EQ(core.setSecInfo(3, s), 0u);
  EXPECT_EQ(slotOf(core, 3).pickupNum, 0);
  EXPECT_TRUE(core.lastError.isEmpty()) << "setSecInfo starts with an empty error text";
}

TEST_F(SectionEditing, ShortAndEmptySpans) {
  ASSERT_EQ(core.setSecInfo(4, span(1, 4)), 0u);
  EXPECT_EQ(slotOf(core, 4).barNum, 1) << "never 0 bars for a non-empty span";
  EXPECT_EQ(slotOf(core, 4).barAdrs, nullptr);

  SecInfo same = span(3, 3);
  EXPECT_EQ(core.setSecInfo(6, same), Result::nest(7, 0x8000000Au));
  SecInfo resetLooking;
  resetLooking.wavNo = 0;
  SecInfo unused = resetLooking;
  unused.fadeSw = 1;  // differs from the slot, so it is validated
  EXPECT_EQ(core.setSecInfo(6, unused), 0u);

  SecInfo noWave;
  noWave.used = 1;
  noWave.startAdrs = 999999;
  noWave.endAdrs = 5;
  EXPECT_EQ(core.setSecInfo(7, noWave), 0u) << "a slot without wave is not checked";

  SecInfo backwards = span(5, 2);
  EXPECT_EQ(core.setSecInfo(8, backwards), Result::nest(7, 0x80000003u));
}

TEST_F(SectionEditing, ManualBarsKeepTheUsersCount) {
  SecInfo s = span(0, 8);
  s.manualBar = 1;
  s.barFit = 1;
  s.setAreaCount(5);
  ASSERT_EQ(core.setSecInfo(3, s), 0u);
  EXPECT_EQ(slotOf(core, 3).barNum, 5);
  EXPECT_EQ(slotOf(core, 3).barFit, 0);
}

TEST_F(SectionEditing, RenderedLengthOnlyIsStoredWithoutValidationOrStep) {
  ASSERT_EQ(core.setSecInfo(3, span(0, 8)), 0u);
  SecInfo s = slotOf(core, 3);
  const int steps = core.undoCount();
  s.holdValue = 4242;
  EXPECT_EQ(core.setSecInfo(3, s), 0u);
  EXPECT_EQ(core.undoCount(), steps);
  EXPECT_EQ(slotOf(core, 3).holdValue, 4242u);
}

TEST_F(SectionEditing, SectionTempoFromBarsOrBeats) {
  SecInfo s = span(0, 0);
  s.endAdrs = 352800;  // 8 seconds
  s.barNum = 4;
  core.updateSecInfo(3, s);
  std::uint64_t tempo = 0;
  ASSERT_EQ(core.calcSecTempo(3, tempo), 0u);
  EXPECT_EQ(tempo, 120u) << "4 bars of 4/4 in 8 s";
  std::uint64_t waveTempo = 0;
  core.getAllInfo().getWavTempo(0, &waveTempo);
  EXPECT_EQ(waveTempo, 120u);

  ASSERT_EQ(core.setSecInfo(3, span(0, 12)), 0u);  // 12 beats in 6 s, bar-fit
  ASSERT_EQ(slotOf(core, 3).barFit, 1);
  ASSERT_EQ(core.calcSecTempo(3, tempo), 0u);
  EXPECT_EQ(tempo, 120u);

  core.updateTempo(60);  // the project tempo plays no part
  ComnInfo c = core.getCommonInfo();
  c.timeSigDen = 8;
  core.setCommonInfo(c);
  ASSERT_EQ(core.calcSecTempo(3, tempo), 0u);
  EXPECT_EQ(tempo, 60u) << "eighth-note beats are half as many quarters";

  EXPECT_EQ(core.calcSecTempo(9, tempo), 0x80000002u) << "an empty span has no tempo";
}

TEST_F(SectionEditing, SectionAddresses) {
  SecInfo s = span(4, 12);
  s.pickupSw = 1;
  s.pickupNum = 2;  // one beat of pickup
  s.pickupOfs = -100;
  s.startOfs = 7;
  ASSERT_EQ(core.setSecInfo(5, s), 0u);

  std::uint64_t address = 0;
  ASSERT_EQ(core.getSecStartAddress(5, address), 0u);
  EXPECT_EQ(address, 3 * kBeat);
  std::uint64_t start = 0, end = 0;
  QString warning;
  ASSERT_EQ(core.getPickupRange(5, start, end, &warning), 0u);
  EXPECT_EQ(start, 3 * kBeat - 100);
  EXPECT_EQ(end, 12 * kBeat);
  EXPECT_TRUE(warning.isEmpty());
  ASSERT_EQ(core.getSecLastBarAddress(5, address), 0u);
  EXPECT_EQ(address, 8 * kBeat);
  EXPECT_EQ(core.getSecNextBarAddress(5, address), 0x80000005u) << "the next bar lies past the grid";
  ASSERT_EQ(core.setSecInfo(6, span(2, 10)), 0u);
  ASSERT_EQ(core.getSecNextBarAddress(6, address), 0u);
  EXPECT_EQ(address, 14 * kBeat) << "four beats after the end";
  EXPECT_EQ(core.getSecLastBarAddress(9, address), 0x80000002u);
}

TEST_F(SectionEditing, PickupPastTheAudioIsClampedWithAWarning) {
  SecInfo s = span(4, 12);
  s.pickupSw = 1;
  s.pickupNum = 2;
  s.pickupOfs = 10 * 44100;  // far past the 8-second recording
  core.updateSecInfo(2, s);
  std::uint64_t start = 0, end = 0;
  QString warning;
  ASSERT_EQ(core.getPickupRange(2, start, end, &warning), 0u);
  EXPECT_EQ(start, 16 * kBeat);
  EXPECT_TRUE(warning.startsWith("pickup address error. ["));
}

TEST_F(SectionEditing, HalfBeatShiftDropsRenderedAudio) {
  ASSERT_EQ(core.setHalfBeat(4, 1), 0u);
  EXPECT_EQ(slotOf(core, 4).halfBeat, 1);
  EXPECT_EQ(core.setHalfBeat(15, 1), Result::nest(1, 0x80000001u));
  bool used = true;
  ASSERT_EQ(core.isAnySectionUsed(used), 0u);
  EXPECT_FALSE(used);
  core.updateSecInfo(1, span(0, 4));
  core.isAnySectionUsed(used);
  EXPECT_TRUE(used);
  core.resetSections();
  core.isAnySectionUsed(used);
  EXPECT_FALSE(used);
}

TEST(SectionCodes, AFailingLookUpIsNestedUnderTheStepThatAskedForIt) {
  CASTcore core;
  ASSERT_EQ(core.addWavList(new WavInfo), 0u);  // a wave without a beat grid
  // The beat look-up fails (0x80000002) at the validation's fourth step.
  EXPECT_EQ(core.setSecInfo(3, span(0, 8)), Result::nest(7, Result::nest(4, 0x80000002u)));

  SecInfo elsewhere = span(0, 8);
  elsewhere.wavNo = 5;  // a wave the project does not hold
  core.updateSecInfo(4, elsewhere);
  const ResultCode missing = 0x880000012u;
  std::uint64_t address = 0, start = 0, end = 0;
  EXPECT_EQ(core.getSecStartAddress(4, address), Result::nest(1, missing));
  EXPECT_EQ(core.getPickupRange(4, start, end), Result::nest(1, missing));
  EXPECT_EQ(core.getSecNextBarAddress(4, address), Result::nest(1, missing));
  EXPECT_EQ(core.getSecNextBarAddress(15, address), Result::nest(1, 0x80000001u));
  EXPECT_EQ(core.getSecLastBarAddress(15, address), Result::nest(1, 0x80000001u));
  EXPECT_EQ(core.calcSecTempo(15, address), Result::nest(1, 0x80000001u));
  EXPECT_EQ(core.detachWave(9), Result::nest(1, 0x80000001u));
}
