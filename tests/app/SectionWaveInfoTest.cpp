// The per-section record and its bar limit, filled from a real core.

#include <gtest/gtest.h>

#include "CASTcore.h"
#include "SectionWaveInfo.h"

namespace {

void useSection(CASTcore& core, std::uint8_t slot, std::uint16_t bars) {
  SecInfo* stored = nullptr;
  ASSERT_EQ(core.getSecInfo(slot, &stored), 0u);
  SecInfo section = *stored;
  section.used = 1;
  section.wavNo = 0;
  section.setAreaCount(bars);
  section.startAdrs = 44100;
  section.endAdrs = 3 * 44100 / 2;
  ASSERT_EQ(core.updateSecInfo(slot, section), 0u);
}

}  // namespace

TEST(SectionWaveInfo, FillsFromTheCoreAndLimitsBarsPerSlot) {
  CASTcore core;
  ASSERT_EQ(core.newProject(), 0u);
  auto* wave = new WavInfo;
  wave->fileName = L"/nowhere/take.wav";
  ASSERT_EQ(core.addWavList(wave), 0u);

  const struct {
    std::uint8_t slot;
    std::uint16_t bars;
    bool exceeds;
  } cases[] = {{3, 32, false}, {3, 33, true}, {8, 1, false}, {8, 2, true}, {11, 2, true}, {14, 32, false}};
  for (const auto& c : cases) {
    useSection(core, c.slot, c.bars);
    const SectionWaveInfo info(&core, c.slot);
    ASSERT_EQ(info.sectionIndex, c.slot);
    EXPECT_EQ(info.bars, c.bars);
    EXPECT_EQ(sectionBarsExceedLimit(info), c.exceeds) << int(c.slot) << " with " << c.bars << " bars";
  }
  const SectionWaveInfo filled(&core, 3);
  EXPECT_DOUBLE_EQ(filled.tempo, 120.0);
  EXPECT_EQ(filled.numerator, 4);
  EXPECT_DOUBLE_EQ(filled.startSeconds, 1.0);
  EXPECT_DOUBLE_EQ(filled.secondSeconds, 1.5);

  // A slot without a wave cannot be described: index -1, no bars, no excess.
  const SectionWaveInfo empty(&core, 0);
  EXPECT_EQ(empty.sectionIndex, -1);
  EXPECT_EQ(empty.bars, 0);
  EXPECT_FALSE(sectionBarsExceedLimit(empty));
  EXPECT_EQ(SectionWaveInfo(&core, 15).sectionIndex, -1);
}
