// What the wave view's layers and the beat-shift button hold after the
// window resets them: a new project keeps nothing of the old range on the
// band or the section strip; the layers' rebuild flag and the beat-shift
// state set from outside reach exactly the layers and the button they name.

#include <gtest/gtest.h>

#include "WaveViewProject.h"
#include "wavPainterMetaLine.h"
#include "wavPainterMetaLineDur.h"
#include "wavPainterSeeker.h"
#include "wavPainterSelecter.h"

using namespace WaveViewProject;

namespace {

std::vector<wavPainter*> layersOf(MainWindow& window) {
  std::vector<wavPainter*> out;
  for (QObject* child : window.mFrameWav->children()) {
    if (auto* layer = dynamic_cast<wavPainter*>(child)) out.push_back(layer);
  }
  return out;
}

template <typename Layer>
Layer* layerOf(MainWindow& window) {
  for (wavPainter* layer : layersOf(window)) {
    if (auto* found = dynamic_cast<Layer*>(layer)) return found;
  }
  return nullptr;
}

// The two waveform layers and the beat layer.
bool rebuildsOnPaint(wavPainter* layer) {
  return dynamic_cast<wavPainterSeeker*>(layer) || dynamic_cast<wavPainterMetaLine*>(layer);
}

}  // namespace

TEST_F(MainAOnScreen, ANewProjectLeavesNoRangeOnTheBandOrTheSectionStrip) {
  auto* band = layerOf<wavPainterSelecter>(window);
  auto* strip = layerOf<wavPainterMetaLineDur>(window);
  ASSERT_NE(band, nullptr);
  ASSERT_NE(strip, nullptr);
  ASSERT_TRUE(band->mSelectionOn && strip->mSelectionOn);
  ASSERT_EQ(band->mSelStart, static_cast<int>(samples(1.0)));

  ASSERT_EQ(window.createNewProject(), 0u);
  ASSERT_EQ(layerOf<wavPainterSelecter>(window), band) << "the same layers serve the new project";
  EXPECT_FALSE(band->mSelectionOn);
  EXPECT_FALSE(band->mForegroundOn);
  EXPECT_FALSE(strip->mSelectionOn);
  EXPECT_EQ(band->mSelStart, 0);
  EXPECT_EQ(band->mSelEnd, 0);
  EXPECT_EQ(strip->mSelStart, 0);
  EXPECT_EQ(strip->mSelEnd, 0);
  EXPECT_EQ(window.selectionStart(), 0);
  EXPECT_EQ(window.selectionEnd(), 0);
}

TEST_F(MainAOnScreen, ThePrepareFlagReachesTheTwoWaveformsAndTheBeatsOnly) {
  const std::vector<wavPainter*> layers = layersOf(window);
  ASSERT_EQ(layers.size(), 7u);
  for (bool prepare : {true, false}) {
    for (wavPainter* layer : layers) layer->mNeedsPrepare = !prepare;
    window.setWaveLayersPrepareFlag(prepare);
    int set = 0;
    for (wavPainter* layer : layers) {
      if (rebuildsOnPaint(layer)) {
        EXPECT_EQ(layer->mNeedsPrepare, prepare);
        ++set;
      } else {
        EXPECT_EQ(layer->mNeedsPrepare, !prepare) << "a layer outside the three is left alone";
      }
    }
    EXPECT_EQ(set, 3);
  }
}

TEST_F(MainAOnScreen, TheBeatShiftStateDecidesWhatTheButtonDoesNext) {
  const std::uint64_t start = sectionRecord(window, 3).startAdrs;
  window.setBeatShiftState(1);
  EXPECT_EQ(window.mBtnShiftBeatPosition->text(), "Unshift Beat Position");
  EXPECT_TRUE(window.mBtnShiftBeatPosition->isEnabled());
  window.setBeatShiftState(0);
  EXPECT_EQ(window.mBtnShiftBeatPosition->text(), "Shift Beat Position");

  // State 0: the button shifts the section by half a beat, and says so.
  window.mBtnShiftBeatPosition->click();
  EXPECT_EQ(sectionRecord(window, 3).halfBeat, 1);
  EXPECT_EQ(window.mBtnShiftBeatPosition->text(), "Unshift Beat Position");
  // Stored as 0 from outside, the button reads "Shift"; stored back as 1,
  // the next press takes the shift back: the state is what the button acts
  // on.
  window.setBeatShiftState(0);
  EXPECT_EQ(window.mBtnShiftBeatPosition->text(), "Shift Beat Position");
  window.setBeatShiftState(1);
  window.mBtnShiftBeatPosition->click();
  EXPECT_EQ(sectionRecord(window, 3).halfBeat, 0) << "state 1: the press takes the shift back";
  EXPECT_EQ(sectionRecord(window, 3).startAdrs, start);
  EXPECT_EQ(window.mBtnShiftBeatPosition->text(), "Shift Beat Position");
}
