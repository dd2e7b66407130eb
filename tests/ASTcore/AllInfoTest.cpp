#include <gtest/gtest.h>

#include <memory>

#include "AllInfo.h"

namespace {

WavInfo* makeWave(const std::wstring& name, std::size_t beats) {
  auto* w = new WavInfo;
  w->fileName = name;
  for (std::size_t i = 0; i < beats; ++i) w->beatTime.push_back(0.25f * i);
  w->onsetTime = {0.0f, 1.0f};
  w->segLblOrg = {{0.0f, 1}, {2.0f, 2}};
  w->segLbl = w->segLblOrg;
  return w;
}

SecInfo sectionWithBars(std::uint16_t bars) {
  SecInfo s;
  s.used = 1;
  s.wavNo = 0;
  s.setAreaCount(bars);
  for (int i = 0; i + 1 < bars; ++i) {
    s.barAdrs[i] = 1000u * (i + 1);
    s.barOfs[i] = -i;
  }
  return s;
}

}  // namespace

TEST(AllInfo, IndexErrorsUseTheModelCodes) {
  AllInfo all;
  const SecInfo* sec = nullptr;
  EXPECT_EQ(all.getSecInfo(15, &sec), 0x80000001u);
  EXPECT_EQ(all.getSecInfo(255, &sec), 0x80000001u);
  EXPECT_EQ(sec, nullptr);

  WavInfo* wave = reinterpret_cast<WavInfo*>(1);
  EXPECT_EQ(all.getSecWavInfo(0, &wave), 0x880000012u);
  EXPECT_EQ(wave, nullptr);
  EXPECT_EQ(all.getWavInfo(0, &wave), 0x80000001u);
  EXPECT_EQ(all.deleteWavInfo(0), 0x80000001u);

  SecInfo* s = nullptr;
  EXPECT_EQ(all.getSecAndWavInfo(3, &s, &wave), 0x880000012u);
  EXPECT_NE(s, nullptr) << "the section pointer is set even without a wave";
}

TEST(SecInfo, AreaCountGrowsAndShrinksKeepingEntries) {
  SecInfo s = sectionWithBars(3);  // entries 1000, 2000
  s.setAreaCount(5);
  ASSERT_EQ(s.barNum, 5);
  EXPECT_EQ(s.barAdrs[0], 1000u);
  EXPECT_EQ(s.barAdrs[1], 2000u);
  EXPECT_EQ(s.barAdrs[2], 0u);
  EXPECT_EQ(s.barAdrs[3], 0u);
  EXPECT_EQ(s.barOfs[1], -1);
  EXPECT_EQ(s.barOfs[3], 0);

  SecInfo t = sectionWithBars(5);
  t.setAreaCount(3);
  EXPECT_EQ(t.barAdrs[0], 1000u);
  EXPECT_EQ(t.barAdrs[1], 2000u);

  t.setAreaCount(1);
  EXPECT_EQ(t.barAdrs, nullptr);
  EXPECT_EQ(t.barOfs, nullptr);
  t.setAreaCount(0);
  EXPECT_EQ(t.barAdrs, nullptr);
  t.setAreaCount(2);
  EXPECT_EQ(t.barAdrs[0], 0u) << "entries released earlier do not come back";
}

TEST(SecInfo, EqualityComparesBarLinesButNotTheRenderedLength) {
  SecInfo a = sectionWithBars(4);
  SecInfo b = sectionWithBars(4);
  b.holdValue = 123456;
  EXPECT_EQ(a, b);
  b.barOfs[2] = 77;
  EXPECT_NE(a, b);
  // Entries beyond barNum - 1 do not exist, so two 1-bar sections are equal.
  EXPECT_EQ(sectionWithBars(1), sectionWithBars(1));
}

TEST(SecInfo, CopyIsDeepAndIndependent) {
  auto source = std::make_unique<SecInfo>(sectionWithBars(4));
  SecInfo copy = *source;
  source->barAdrs[0] = 9;
  EXPECT_EQ(copy.barAdrs[0], 1000u);
  source.reset();
  EXPECT_EQ(copy.barAdrs[2], 3000u);
}

TEST(SecInfo, ACountWithoutBarArraysCopiesAsBarLinesAtZero) {
  SecInfo copy;
  copy.setAreaCount(3);
  copy.barAdrs[0] = 5;
  copy.barAdrs[1] = 6;
  copy.barOfs[1] = -7;
  SecInfo countOnly;
  countOnly.barNum = 3;  // the count set directly, no arrays behind it
  copy = countOnly;
  EXPECT_EQ(copy, countOnly) << "a copy equals its source";
  ASSERT_NE(copy.barAdrs, nullptr);
  EXPECT_EQ(copy.barAdrs[0], 0u);
  EXPECT_EQ(copy.barAdrs[1], 0u);
  EXPECT_EQ(copy.barOfs[1], 0);
}

TEST(ComnInfoRanges, SettersRefuseValuesOutsideTheirRange) {
  AllInfo all;
  EXPECT_EQ(all.setTempo(4), 0x80000001u);
  EXPECT_EQ(all.setTempo(501), 0x80000001u);
  EXPECT_EQ(all.setTempo(0), 0x80000001u);
  EXPECT_EQ(all.setTempo(-120), 0x80000001u);
  EXPECT_EQ(all.setTempo(5), 0u);
  EXPECT_EQ(all.setTempo(500), 0u);

  EXPECT_EQ(all.setVolume(127), 0u);
  EXPECT_EQ(all.setVolume(128), 0x80000001u);
  EXPECT_EQ(all.setPan(200), 0x80000001u);
  EXPECT_EQ(all.setRevSend(128), 0x80000001u);
  EXPECT_EQ(all.setNormSw(100), 0u);
  EXPECT_EQ(all.setNormSw(101), 0x80000001u);
  EXPECT_EQ(all.setNormDepth(101), 0x80000001u);

  const ComnInfo* comn = nullptr;
  all.getComnInfo(&comn);
  EXPECT_EQ(comn->tempo, 500u);
  EXPECT_EQ(comn->volume, 127);
  EXPECT_EQ(comn->normSw, 100);
}

TEST(ComnInfoRanges, TimeSignatureIsCheckedWholeBeforeAnythingIsStored) {
  AllInfo all;
  std::uint8_t num = 0, den = 0;
  EXPECT_EQ(all.setTimeSig(3, 3), 0x80000002u);
  all.getTimeSig(&num, &den);
  EXPECT_EQ(num, 4) << "a bad denominator must not leave the new numerator behind";
  EXPECT_EQ(den, 4);
  EXPECT_EQ(all.setTimeSig(13, 4), 0x80000001u);
  EXPECT_EQ(all.setTimeSig(0, 4), 0x80000001u);
  all.getTimeSig(&num, &den);
  EXPECT_EQ(num, 4);
  EXPECT_EQ(all.setTimeSig(12, 8), 0u);
  EXPECT_EQ(all.setTimeSig(1, 2), 0u);
  all.getTimeSig(&num, &den);
  EXPECT_EQ(num, 1);
  EXPECT_EQ(den, 2);
}

TEST(AllInfo, DeepCopySurvivesTheSource) {
  AllInfo copy;
  {
    AllInfo source;
    for (int i = 0; i < 3; ++i) ASSERT_EQ(source.addWavInfo(makeWave(L"wave" + std::to_wstring(i), 8 + i)), 0u);
    source.setSecInfo(4, sectionWithBars(4));
    source.setTempo(97);
    ASSERT_EQ(copy.assign(source), 0u);
    for (std::uint8_t i = 0; i < 3; ++i) {
      const WavInfo* a = nullptr;
      const WavInfo* b = nullptr;
      source.getWavInfo(i, &a);
      copy.getWavInfo(i, &b);
      EXPECT_NE(a, b) << "records are never shared";
      EXPECT_EQ(*a, *b);
    }
  }
  ASSERT_EQ(copy.wavCount(), 3u);
  const WavInfo* w = nullptr;
  copy.getWavInfo(2, &w);
  EXPECT_EQ(w->fileName, L"wave2");
  EXPECT_EQ(w->beatTime.size(), 10u);
  const SecInfo* s = nullptr;
  copy.getSecInfo(4, &s);
  EXPECT_EQ(s->barAdrs[2], 3000u);
  EXPECT_EQ(copy.waves().size(), 3u);
  std::uint64_t tempo = 0;
  EXPECT_EQ(copy.getWavTempo(0, &tempo), 0u);
  EXPECT_EQ(tempo, 120u);
}

TEST(AllInfo, DeletingAWaveClosesTheGap) {
  AllInfo all;
  for (int i = 0; i < 3; ++i) all.addWavInfo(makeWave(L"w" + std::to_wstring(i), 4));
  ASSERT_EQ(all.deleteWavInfo(1), 0u);
  const WavInfo* w = nullptr;
  all.getWavInfo(1, &w);
  EXPECT_EQ(w->fileName, L"w2");

  std::unique_ptr<WavInfo> detached;
  WavInfo* raw = nullptr;
  all.getWavInfo(0, &raw);
  ASSERT_EQ(all.detachWavInfo(0), 0u);
  detached.reset(raw);  // ownership is back with us
  EXPECT_EQ(all.wavCount(), 1u);
  EXPECT_EQ(detached->fileName, L"w0");
}

TEST(AllInfo, TheWaveListHoldsAtMost255Records) {
  AllInfo all;
  for (int i = 0; i < 255; ++i) ASSERT_EQ(all.addWavInfo(new WavInfo), 0u);
  auto extra = std::make_unique<WavInfo>();
  EXPECT_EQ(all.addWavInfo(extra.get()), 0x80000001u) << "wave number 255 means none";
  EXPECT_EQ(all.wavCount(), 255u);
}

TEST(AllInfo, WaveUseFollowsUsedSlots) {
  AllInfo all;
  all.addWavInfo(makeWave(L"a", 4));
  all.addWavInfo(makeWave(L"b", 4));
  SecInfo s;
  s.wavNo = 1;
  all.setSecInfo(2, s);
  bool used = true;
  all.isWavUsed(1, &used);
  EXPECT_FALSE(used) << "a slot that is not used does not use its wave";
  s.used = 1;
  all.setSecInfo(2, s);
  all.isWavUsed(1, &used);
  EXPECT_TRUE(used);
  WavInfo* w = nullptr;
  EXPECT_EQ(all.getSecWavInfo(2, &w), 0u);
  EXPECT_EQ(w->fileName, L"b");
}
