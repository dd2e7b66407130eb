#include <gtest/gtest.h>

#include "AnalysisUtil.h"
#include "CASTcore.h"
#include "SlotOf.h"

namespace {

constexpr std::uint64_t kBeat = 22050;  // 120 BPM

std::vector<SegItem> segments(const std::vector<std::pair<float, int>>& startsAndLabels, float end) {
  std::vector<SegItem> items;
  for (std::size_t i = 0; i < startsAndLabels.size(); ++i) {
    SegItem item;
    item.start = startsAndLabels[i].first;
    item.end = i + 1 < startsAndLabels.size() ? startsAndLabels[i + 1].first : end;
    item.label = startsAndLabels[i].second;
    items.push_back(item);
  }
  return items;
}

std::vector<std::uint32_t> slotsOf(const std::vector<SegItem>& items) {
  std::vector<std::uint32_t> result;
  for (const SegItem& i : items) result.push_back(i.slot);
  return result;
}

// A 120 BPM wave of `beats` beats (entries every quarter second) whose audio
// ends at `end` seconds, with the given segments.
WavInfo* songWave(int beats, float end, const std::vector<SegLabel>& segs) {
  auto* w = new WavInfo;
  for (int k = 0; k <= 2 * beats; ++k) w->beatTime.push_back(0.25f * k);
  w->onsetTime = {0.0f, end};
  w->segLblOrg = segs;
  w->segLbl = segs;
  return w;
}

}  // namespace

TEST(SectionListBuilder, FewSegmentsBecomeMainsIntroAndEnding) {
  const AnalysisUtil util;
  std::uint8_t flag = 0;
  std::vector<SegItem> chosen;
  std::vector<SegItem> none;
  ASSERT_EQ(util.editBeatList(chosen, none, flag), 0u);
  EXPECT_TRUE(chosen.empty());

  auto three = segments({{0, 1}, {10, 2}, {20, 1}}, 30);
  util.editBeatList(chosen, three, flag);
  EXPECT_EQ(slotsOf(chosen), (std::vector<std::uint32_t>{3, 4, 5}));

  auto five = segments({{0, 1}, {10, 2}, {20, 1}, {30, 3}, {40, 1}}, 50);
  util.editBeatList(chosen, five, flag);
  EXPECT_EQ(slotsOf(chosen), (std::vector<std::uint32_t>{1, 3, 4, 5, 6}));

  auto six = segments({{0, 1}, {10, 2}, {20, 1}, {30, 3}, {40, 1}, {50, 4}}, 60);
  util.editBeatList(chosen, six, flag);
  EXPECT_EQ(slotsOf(chosen), (std::vector<std::uint32_t>{1, 3, 4, 5, 6, 13}));
  EXPECT_EQ(slotsOf(six), slotsOf(chosen)) << "slots are written into the list itself";
}

TEST(SectionListBuilder, ManyLabelsPickTheLongestOfEach) {
  const AnalysisUtil util;
  std::uint8_t flag = 0;
  std::vector<SegItem> chosen;
  // Inner labels: 2 (longest 12 s, twice), 3 (10 s), 4 (8 s), 5 (6 s), 6 (2 s).
  auto items = segments({{0, 1}, {4, 2}, {16, 3}, {26, 2}, {38, 4}, {46, 5}, {52, 6}, {54, 2}, {60, 7}}, 64);
  ASSERT_EQ(util.editBeatList(chosen, items, flag), 0u);
  ASSERT_EQ(chosen.size(), 6u);
  for (std::size_t i = 1; i < chosen.size(); ++i) EXPECT_LT(chosen[i - 1].start, chosen[i].start);
  EXPECT_EQ(items[0].slot, 1u);
  EXPECT_EQ(items[8].slot, 13u);
  EXPECT_EQ(items[3].slot, 6u) << "label 2: its last longest segment is Main D";
  EXPECT_EQ(items[2].slot, 5u) << "label 3: Main C";
  EXPECT_EQ(items[4].slot, 3u) << "label 4: Main A";
  EXPECT_EQ(items[5].slot, 4u) << "label 5: Main B";
  EXPECT_EQ(items[6].slot, 15u);
  EXPECT_EQ(items[1].slot, 15u);
}

TEST(SectionListBuilder, OneInnerLabelFillsTheMainsLongestFirst) {
  const AnalysisUtil util;
  std::uint8_t flag = 0;
  std::vector<SegItem> chosen;
  // The first and last segments are the longest; they keep intro and ending.
  auto items = segments({{0, 1}, {20, 2}, {24, 2}, {30, 2}, {37, 2}, {45, 2}, {46, 3}}, 80);
  ASSERT_EQ(util.editBeatList(chosen, items, flag), 0u);
  EXPECT_EQ(items[0].slot, 1u);
  EXPECT_EQ(items[6].slot, 13u);
  EXPECT_EQ(items[4].slot, 6u) << "8 s";
  EXPECT_EQ(items[3].slot, 5u) << "7 s";
  EXPECT_EQ(items[2].slot, 4u) << "6 s";
  EXPECT_EQ(items[1].slot, 3u) << "4 s; never below Main A";
  EXPECT_EQ(items[5].slot, 15u);
  EXPECT_EQ(chosen.size(), 6u);
}

TEST(BarFitting, PreferWholeBarsNearTheSegmentersLength) {
  CASTcore core;
  core.addWavList(songWave(64, 32, {}));
  auto fit = [&](int startBeat, int endBeat, int origBeats) {
    std::vector<SegItem> in(1), out(1);
    in[0].start = 0;
    in[0].end = 0.5f * origBeats;
    out[0].start = 0.5f * startBeat;
    out[0].end = 0.5f * endBeat;
    std::uint64_t address = 0;
    EXPECT_EQ(core.fitSegEndToBars(0, 0, in, out, 0, address), 0u);
    return static_cast<int>(address / kBeat) - startBeat;
  };
  EXPECT_EQ(fit(0, 8, 8), 8) << "whole bars stay";
  EXPECT_EQ(fit(0, 13, 13), 16) << "four bars, a power of two, near the segmenter's 13";
  EXPECT_EQ(fit(0, 13, 30), 12) << "too far from the segmenter's length: the nearer bar line";
  EXPECT_EQ(fit(2, 8, 6), 4) << "two bars or one: a tie takes the shorter";
  EXPECT_EQ(fit(0, 5, 5), 4) << "five beats: the nearer of one and two bars";
}

TEST(SectionAssignment, ThreeSegmentsBecomeMainsOnWholeBarsWithTheirTempo) {
  CASTcore core;
  // 16, 13 and 8 beats at 120 BPM.
  core.addWavList(songWave(37, 18.5f, {{0.0f, 1}, {8.0f, 2}, {14.5f, 3}}));
  ASSERT_EQ(core.makeInitSecAsgnBySegLbl(0, 0, 0), 0u);
  const SecInfo& a = slotOf(core, 3);
  const SecInfo& b = slotOf(core, 4);
  const SecInfo& c = slotOf(core, 5);
  ASSERT_TRUE(a.used && b.used && c.used);
  EXPECT_EQ(a.startAdrs, 0u);
  EXPECT_EQ(a.endAdrs, 16 * kBeat);
  EXPECT_EQ(a.barNum, 4);
  EXPECT_EQ(b.startAdrs, 16 * kBeat);
  EXPECT_EQ(b.endAdrs, 32 * kBeat) << "13 beats become four bars";
  EXPECT_EQ(c.startAdrs, 32 * kBeat);
  EXPECT_EQ((c.endAdrs - c.startAdrs) % (4 * kBeat), 0u) << "whole bars inside the audio";
  for (const SecInfo* s : {&a, &b, &c}) EXPECT_EQ(s->barFit, 1);
  EXPECT_EQ(core.getCommonInfo().tempo, 120u);
  EXPECT_FALSE(slotOf(core, 1).used);
  WavInfo* w = nullptr;
  core.getWaveInfo(0, &w);
  ASSERT_EQ(w->segLbl.size(), 3u);
  EXPECT_FLOAT_EQ(w->segLbl[1].start, 8.0f);
  EXPECT_EQ(w->segLblOrg[2].start, 14.5f) << "the original list stays";
}

TEST(SectionAssignment, NoSegmentsAssignNothing) {
  CASTcore core;
  core.addWavList(songWave(16, 8, {}));
  core.updateTempo(97);
  ASSERT_EQ(core.makeInitSecAsgnBySegLbl(0, 0, 0), 0u);
  bool used = true;
  core.isAnySectionUsed(used);
  EXPECT_FALSE(used);
  EXPECT_EQ(core.getCommonInfo().tempo, 97u);
}

TEST(SectionAssignment, TheOneSecondMinimumCannotPassTheEnd) {
  CASTcore core;
  core.addWavList(songWave(12, 5.5f, {{5.0f, 1}, {4.0f, 2}}));
  EXPECT_EQ(core.makeInitSecAsgnBySegLbl(0, 0, 0), Result::nest(2, 0x80000007u));
  EXPECT_EQ(core.lastError, "error at makeInitSecAsgnBySegLbl() fitSegForTS [80000007]");
}

TEST(SectionAssignment, ASegmentAfterTheLastBeatIsLeftOutInsteadOfRefusingTheSong) {
  CASTcore core;
  // The beat grid ends at 8 s, a second before the audio: the last segment
  // starts on the grid's last beat and holds no beat of its own.
  core.addWavList(songWave(16, 9.0f, {{0.0f, 1}, {4.0f, 2}, {8.0f, 3}}));
  ASSERT_EQ(core.makeInitSecAsgnBySegLbl(0, 0, 0), 0u) << core.lastError.toStdString();
  EXPECT_TRUE(slotOf(core, 3).used);
  EXPECT_TRUE(slotOf(core, 4).used);
  EXPECT_EQ(slotOf(core, 4).endAdrs, 16 * kBeat);
  EXPECT_FALSE(slotOf(core, 5).used);
  EXPECT_EQ(core.getCommonInfo().tempo, 120u);
}

TEST(SectionAssignment, TimeSignatureChangeReassignsAsOneStep) {
  CASTcore core;
  core.addWavList(songWave(64, 32, {{0.0f, 1}, {8.0f, 2}, {16.0f, 3}}));
  ASSERT_EQ(core.makeInitSecAsgnBySegLbl(0, 0, 0), 0u);
  core.clearUndo();
  const SecInfo before = slotOf(core, 3);
  ASSERT_EQ(before.barNum, 4);

  ASSERT_EQ(core.changeTimeSig(3, 4), 0u);
  EXPECT_EQ(core.undoCount(), 1);
  std::uint8_t num = 0, den = 0;
  core.getTimeSig(num, den);
  EXPECT_EQ(num, 3);
  EXPECT_EQ((slotOf(core, 3).endAdrs - slotOf(core, 3).startAdrs) % (3 * kBeat), 0u) << "whole 3/4 bars";

  core.undo();
  core.getTimeSig(num, den);
  EXPECT_EQ(num, 4);
  EXPECT_EQ(slotOf(core, 3), before);
}

TEST(BarLines, PreviousAndNextBarLineFromTheSectionStart) {
  CASTcore core;
  core.addWavList(songWave(32, 16, {}));
  SecInfo s;
  s.used = 1;
  s.wavNo = 0;
  s.startAdrs = 2 * kBeat;
  s.endAdrs = 10 * kBeat;
  core.setSecInfo(4, s);
  std::uint64_t beat = 0;
  ASSERT_EQ(core.prevBarBeat(4, 9, beat), 0u);
  EXPECT_EQ(beat, 6u);
  ASSERT_EQ(core.nextBarBeat(4, 9, beat), 0u);
  EXPECT_EQ(beat, 10u);
  ASSERT_EQ(core.nextBarBeat(4, 10, beat), 0u);
  EXPECT_EQ(beat, 10u) << "a bar line at the beat itself is not before it";
  ASSERT_EQ(core.prevBarBeat(4, 10, beat), 0u);
  EXPECT_EQ(beat, 6u);
  EXPECT_TRUE(Result::failed(core.nextBarBeat(4, 63, beat)));
  EXPECT_EQ(beat, 63u) << "stays at the beat when the grid ends first";

  std::uint64_t nearest = 0;
  EXPECT_EQ(core.nearestPoint(4, 100, 0, nearest), 0x80000001u);
  ASSERT_EQ(core.nearestPoint(4, 5 * kBeat + 100, CASTcore::kNearestBar, nearest), 0u);
  EXPECT_EQ(nearest, 6 * kBeat);
  ASSERT_EQ(core.nearestPoint(4, 5 * kBeat + 100, CASTcore::kNearestGrid, nearest), 0u);
  EXPECT_EQ(nearest, 5 * kBeat);

  std::uint32_t half = 0;
  std::uint8_t flips = 0;
  ASSERT_EQ(core.halfBeatNeighbour(4, 5 * kBeat, true, half, flips), 0u);
  EXPECT_EQ(half, 5u);
  EXPECT_EQ(flips, 1) << "the next half-beat point lies on the shifted grid";
  EXPECT_EQ(core.halfBeatNeighbour(4, 0, false, half, flips), 0x80000004u);
}

TEST(SectionAssignment, ATimeSignatureChangeLeavesNoSectionCountedInTheOldMeter) {
  CASTcore core;
  core.addWavList(songWave(64, 32, {{0.0f, 1}, {8.0f, 2}, {16.0f, 3}}));
  ASSERT_EQ(core.makeInitSecAsgnBySegLbl(0, 0, 0), 0u);
  // The user's own Fill In A, outside the proposal: twelve beats, three
  // bars of 4/4, with a fade.
  SecInfo fill;
  fill.used = 1;
  fill.wavNo = 0;
  fill.startAdrs = 40 * kBeat;
  fill.endAdrs = 52 * kBeat;
  fill.fadeSw = 1;
  ASSERT_EQ(core.setSecInfo(7, fill), 0u);
  ASSERT_EQ(slotOf(core, 7).barNum, 3);
  const SecInfo userFill = slotOf(core, 7);

  ASSERT_EQ(core.changeTimeSig(3, 4), 0u);
  EXPECT_FALSE(slotOf(core, 7).used) << "reset, not left with 4/4 bars";
  int used = 0;
  for (std::uint8_t slot = 0; slot < 15; ++slot) {
    const SecInfo s = slotOf(core, slot);
    if (!s.used) continue;
    ++used;
    const std::uint64_t beats = (s.endAdrs - s.startAdrs + kBeat / 2) / kBeat;
    EXPECT_EQ(beats % 3, 0u) << int(slot);
    EXPECT_EQ(s.barNum, beats / 3) << int(slot);
  }
  EXPECT_GT(used, 0);

  core.undo();
  EXPECT_EQ(slotOf(core, 7), userFill);
}

// The proposal's tempo is the whole tempo nearest Main A's span, as for a
// section the user sets: the grid's single-precision times put whole bars
// of an N BPM song a hair under N, and cut down to N - 1 every phrase was
// stretched by a percent for nothing (a 108 BPM waltz came back as 107
// after its time signature was set to 3/4).
TEST(SectionAssignment, TheProposedTempoIsTheSongsOwnInEitherMeter) {
  for (int bpm : {90, 96, 100, 108, 132, 150}) {
    CASTcore core;
    auto* w = new WavInfo;
    const int beats = 96;
    for (int k = 0; k <= 2 * beats; ++k) w->beatTime.push_back(static_cast<float>(k * 30.0 / bpm));
    const float end = static_cast<float>(beats * 60.0 / bpm);
    const std::vector<SegLabel> segs = {{0.0f, 1}, {end / 3, 2}, {2 * end / 3, 3}};
    w->onsetTime = {0.0f, end};
    w->segLblOrg = segs;
    w->segLbl = segs;
    core.addWavList(w);
    ASSERT_EQ(core.makeInitSecAsgnBySegLbl(0, 0, 0), 0u);
    EXPECT_EQ(core.getCommonInfo().tempo, static_cast<std::uint64_t>(bpm)) << bpm << " BPM in 4/4";
    ASSERT_EQ(core.changeTimeSig(3, 4), 0u);
    EXPECT_EQ(core.getCommonInfo().tempo, static_cast<std::uint64_t>(bpm)) << bpm << " BPM in 3/4";
  }
}
