// The yellow band of the wave view and the range Play loops are the current
// section's range in the project core after every command that changes the
// section or its range: a change of section, a drag and its undo and redo,
// a trim field, the beat shift, a pickup, and an opened project.

#include <gtest/gtest.h>

#include "ManualOutput.h"
#include "ModalDriver.h"
#include "VirtualBackend.h"
#include "WaveViewProject.h"
#include "wavPainterMetaLineDur.h"
#include "wavPainterSelecter.h"

using FusionStyle::hal::VirtualBackend;
using TestOutput::manualOutput;
using namespace WaveViewProject;

namespace {

template <typename Layer>
Layer* layerOf(MainWindow& window) {
  for (QObject* child : window.mFrameWav->children()) {
    if (auto* layer = dynamic_cast<Layer*>(child)) return layer;
  }
  return nullptr;
}

// `bars` of 4/4 at 120 over beats `first` to `last` (0.5 s each).
void storeBars(MainWindow& window, std::uint8_t slot, int first, int last, std::uint16_t bars, bool blank = false) {
  storeSection(window, slot, first, last, blank);
  SecInfo section = sectionRecord(window, slot);
  section.barNum = bars;
  ASSERT_EQ(window.core().setSecInfo(slot, section), 0u);
}

class SelectionFollowsCore : public ::testing::Test {
 protected:
  void SetUp() override {
    backend = manualOutput();
    ASSERT_NE(backend, nullptr);
    addRecording(window);
    storeBars(window, 3, 2, 10, 2);        // Main A: 1 s to 5 s
    storeBars(window, 1, 14, 22, 2);       // Intro 2: 7 s to 11 s
    storeBars(window, 0, 4, 12, 2, true);  // Intro 1, blank: 2 s to 6 s
    show(window, 3);
    window.core().clearUndo();
  }

  // The band, the section strip's highlight and the range Play uses are
  // the core's range of the chosen section.
  void expectBandIsCoreRange(const char* after) {
    const int slot = window.mCmbTrimSec->currentIndex();
    std::uint64_t start = 0;
    std::uint64_t end = 0;
    ASSERT_EQ(window.core().getPickupRange(static_cast<std::uint8_t>(slot), start, end), 0u) << after;
    ASSERT_LT(start, end) << after;
    EXPECT_EQ(window.selectionStart(), static_cast<int>(start)) << after;
    EXPECT_EQ(window.selectionEnd(), static_cast<int>(end)) << after;
    auto* band = layerOf<wavPainterSelecter>(window);
    ASSERT_NE(band, nullptr);
    EXPECT_TRUE(band->mSelectionOn && band->mForegroundOn) << after;
    EXPECT_EQ(band->mSelStart, static_cast<int>(start)) << after;
    EXPECT_EQ(band->mSelEnd, static_cast<int>(end)) << after;
    auto* strip = layerOf<wavPainterMetaLineDur>(window);
    ASSERT_NE(strip, nullptr);
    EXPECT_EQ(strip->mSelStart, static_cast<int>(start)) << after;
    EXPECT_EQ(strip->mSelEnd, static_cast<int>(end)) << after;
  }

  // Play starts the device at the band's start and runs on from there.
  void expectPlayStartsAtTheBand(const char* after) {
    ModalDriver driver;
    window.releasedBtnPlayLoop();
    ASSERT_TRUE(window.isPlaying()) << after;
    EXPECT_EQ(window.audition().position(), window.selectionStart()) << after;
    ASSERT_TRUE(backend->pump(1, 1));
    EXPECT_EQ(window.audition().position(), window.selectionStart() + 2048) << after;
    window.releasedBtnPlayLoop();
    EXPECT_FALSE(window.isPlaying());
    EXPECT_EQ(driver.unexpected(), 0) << after;
  }

  VirtualBackend* backend = nullptr;
  VirtualAudio audio;
  MainWindow window;
};

}  // namespace

TEST_F(SelectionFollowsCore, AnotherSectionIsSelectedAndPlayedAtOnce) {
  expectBandIsCoreRange("start");
  window.mCmbTrimSec->setCurrentIndex(1);
  EXPECT_EQ(window.selectionStart(), static_cast<int>(samples(7.0)));
  expectBandIsCoreRange("change to Intro 2");
  expectPlayStartsAtTheBand("change to Intro 2");
  window.mCmbTrimSec->setCurrentIndex(3);
  expectBandIsCoreRange("back to Main A");
  expectPlayStartsAtTheBand("back to Main A");
}

TEST_F(SelectionFollowsCore, UndoAndRedoOfADragMoveTheBandWithTheRange) {
  drag(window, 2.03, 5.98);
  ASSERT_EQ(sectionRecord(window, 3).startAdrs + sectionRecord(window, 3).startOfs, samples(2.0));
  window.undo();
  EXPECT_EQ(window.selectionStart(), static_cast<int>(samples(1.0)));
  expectBandIsCoreRange("undo");
  expectPlayStartsAtTheBand("undo");
  window.redo();
  EXPECT_EQ(window.selectionStart(), static_cast<int>(samples(2.0)));
  expectBandIsCoreRange("redo");
}

TEST_F(SelectionFollowsCore, TrimFieldsAndTheBeatShiftMoveTheBandWithTheRange) {
  enter(window.mLEditTrimStart, "2.0");
  EXPECT_EQ(window.selectionStart(), static_cast<int>(samples(2.0)));
  expectBandIsCoreRange("trim start");
  window.mBtnShiftBeatPosition->click();
  ASSERT_EQ(sectionRecord(window, 3).halfBeat, 1);
  EXPECT_EQ(window.selectionStart(), static_cast<int>(samples(2.25)));
  expectBandIsCoreRange("beat shift");
  expectPlayStartsAtTheBand("beat shift");
}

TEST_F(SelectionFollowsCore, APickupMovesTheBandToWherePlayBegins) {
  window.mCmbTrimSec->setCurrentIndex(0);
  expectBandIsCoreRange("Intro 1");
  const int before = window.selectionStart();
  ASSERT_TRUE(window.mSpinPickup->isEnabled());
  window.mSpinPickup->setValue(2);
  ASSERT_EQ(sectionRecord(window, 0).pickupNum, 2);
  EXPECT_NE(window.selectionStart(), before);
  expectBandIsCoreRange("pickup");
}

TEST_F(SelectionFollowsCore, AnOpenedProjectShowsItsOwnRange) {
  const QString project = TestEnv::tempPath("Follow.qmproj");
  ASSERT_EQ(window.core().saveProject(project.toStdWString()), 0u);
  window.mCmbTrimSec->setCurrentIndex(1);
  drag(window, 7.5, 10.0);
  ModalDriver driver;
  driver.pressText("Yes");
  window.openProjectFile(project);
  ASSERT_EQ(window.mCmbTrimSec->currentIndex(), 3);
  expectBandIsCoreRange("open");
  expectPlayStartsAtTheBand("open");
}
