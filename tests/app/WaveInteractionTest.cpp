// Selections drawn on the main window's wave view become the current
// section's range, beat-aligned and as one undo step; zoom and scroll.

#include <gtest/gtest.h>

#include "ModalDriver.h"
#include "WaveViewProject.h"

using namespace WaveViewProject;

namespace {

class WaveInteraction : public MainAOnScreen {};

}  // namespace

TEST_F(WaveInteraction, BothDragDirectionsGiveTheSameBeatAlignedRangeAsOneStep) {
  ASSERT_TRUE(window.mFrameWav->isEnabled());
  const int steps = window.core().undoCount();
  // Off the beats by a little: the ends snap to 2.0 s and 6.0 s.
  drag(window, 2.03, 5.98);
  const SecInfo leftToRight = sectionRecord(window, 3);
  EXPECT_EQ(window.core().undoCount(), steps + 1);
  EXPECT_EQ(leftToRight.startAdrs + leftToRight.startOfs, samples(2.0));
  EXPECT_EQ(leftToRight.endAdrs + leftToRight.endOfs, samples(6.0));
  EXPECT_EQ(window.selectionStart(), static_cast<int>(samples(2.0)));
  EXPECT_EQ(window.selectionEnd(), static_cast<int>(samples(6.0)));

  window.core().undo();
  EXPECT_EQ(sectionRecord(window, 3).startAdrs, samples(1.0));
  drag(window, 5.98, 2.03);
  EXPECT_EQ(sectionRecord(window, 3), leftToRight);
  EXPECT_EQ(window.core().undoCount(), steps + 1);

  drag(window, 5.98, 2.03);
  EXPECT_EQ(window.core().undoCount(), steps + 1) << "the same range again adds no step";
}

TEST_F(WaveInteraction, AZeroWidthSelectionIsRefusedInRedAndTheRangeStays) {
  const int steps = window.core().undoCount();
  drag(window, 3.0, 3.0);
  EXPECT_EQ(window.core().undoCount(), steps);
  EXPECT_EQ(window.statusText(), "<font color='red'>[Error] Section assigned area should be selected.");
  EXPECT_EQ(window.selectionStart(), static_cast<int>(samples(1.0)));
  EXPECT_EQ(window.selectionEnd(), static_cast<int>(samples(5.0)));
  EXPECT_EQ(sectionRecord(window, 3).startAdrs, samples(1.0));
}

TEST_F(WaveInteraction, AReleaseWithoutAPressInTheFrameAssignsNothing) {
  const int steps = window.core().undoCount();
  mouse(window, QEvent::MouseButtonPress, QPoint(1, 1), Qt::LeftButton);  // the menu bar, not the frame
  mouse(window, QEvent::MouseMove, pointAt(window, 4.0), Qt::LeftButton);
  mouse(window, QEvent::MouseButtonRelease, pointAt(window, 4.0), Qt::NoButton);
  EXPECT_EQ(window.core().undoCount(), steps);
  EXPECT_EQ(sectionRecord(window, 3).endAdrs, samples(5.0));
}

TEST_F(WaveInteraction, BlankIntroKeepsWholeBarsAndTheBeatsBeforeThemBecomeThePickup) {
  storeSection(window, 0, 4, 12, true);
  window.mCmbTrimSec->setCurrentIndex(0);
  window.loadSectionWaveView(true);
  ASSERT_TRUE(window.mChkBlank->isChecked());
  // Ten beats, from 1.5 s to 6.5 s, in 4/4: two whole bars from 2.5 s and a
  // pickup of two beats (four half beats) before them.
  drag(window, 1.5, 6.5);
  const SecInfo intro = sectionRecord(window, 0);
  EXPECT_EQ(intro.startAdrs, samples(2.5));
  EXPECT_EQ(intro.startOfs, 0);
  EXPECT_EQ(intro.endAdrs + intro.endOfs, samples(6.5));
  EXPECT_EQ(intro.pickupNum, 4);
  EXPECT_EQ(intro.pickupOfs, 0);
  EXPECT_EQ(intro.barNum, 2);
  std::uint64_t start = 0;
  std::uint64_t end = 0;
  ASSERT_EQ(window.core().getPickupRange(0, start, end), 0u);
  EXPECT_EQ(start, samples(1.5)) << "the range plays from the pickup";
}

TEST_F(WaveInteraction, ZoomStaysWithinOneAndTheSampleCountAndOwnScrollChangesAreNotFedBack) {
  window.mBtnHorZoomOut->click();
  EXPECT_EQ(window.zoom(), 1u);
  EXPECT_EQ(window.scrollOffset(), 0.0);
  EXPECT_EQ(window.mScrollBar->maximum(), 0);
  window.mBtnHorZoomIn->click();
  window.mBtnHorZoomIn->click();
  EXPECT_EQ(window.zoom(), 4u);
  EXPECT_EQ(window.mScrollBar->maximum(), 150);
  EXPECT_EQ(window.mScrollBar->pageStep(), 50);

  window.mScrollBar->setValue(37);  // the user's scroll
  EXPECT_DOUBLE_EQ(window.scrollOffset(), 0.74);
  // Zooming out puts the scroll bar on round(0.37 * 50) = 19 itself; taking
  // that value back would make the offset 0.38.
  window.mBtnHorZoomOut->click();
  EXPECT_EQ(window.zoom(), 2u);
  EXPECT_EQ(window.mScrollBar->value(), 19);
  EXPECT_DOUBLE_EQ(window.scrollOffset(), 0.37);

  for (int i = 0; i < 24; ++i) window.mBtnHorZoomIn->click();
  EXPECT_EQ(window.zoom(), samples(kSeconds)) << "at most one sample per view width";
}

TEST_F(WaveInteraction, ShiftArrowsDragTheSelectionWithOrWithoutTheKeypadBit) {
  for (Qt::KeyboardModifiers keypad : {Qt::KeyboardModifiers(), Qt::KeyboardModifiers(Qt::KeypadModifier)}) {
    const QPoint at = pointAt(window, 7.0);
    QCursor::setPos(window.mapToGlobal(at));
    // As the platform reports them: a modifier key's own event carries the
    // state before it, which Qt turns into the state after it.
    QKeyEvent shift(QEvent::KeyPress, Qt::Key_Shift, Qt::NoModifier);
    QApplication::sendEvent(&window, &shift);
    // Right of the selection: Shift takes its end edge.
    for (int i = 0; i < 6; ++i) {
      QKeyEvent down(QEvent::KeyPress, Qt::Key_Down, Qt::ShiftModifier | keypad);
      QApplication::sendEvent(&window, &down);
    }
    QKeyEvent release(QEvent::KeyRelease, Qt::Key_Shift, Qt::ShiftModifier);
    QApplication::sendEvent(&window, &release);
    const SecInfo section = sectionRecord(window, 3);
    EXPECT_EQ(section.startAdrs + section.startOfs, samples(1.0));
    EXPECT_GT(section.endAdrs + section.endOfs, samples(7.0));
    storeSection(window, 3, 2, 10);
    window.loadSectionWaveView(true);
  }
}

TEST_F(WaveInteraction, UnlinkingAsksFirstThenEmptiesTheSectionAndDropsTheUnusedRecording) {
  ModalDriver driver;
  driver.pressButton(QMessageBox::Cancel);
  window.mBtnUnlink->click();
  EXPECT_EQ(sectionRecord(window, 3).used, 1);
  driver.pressButton(QMessageBox::Ok);
  window.mBtnUnlink->click();
  ASSERT_EQ(driver.seen().size(), 2u);
  EXPECT_EQ(driver.seen()[1].text,
            "This section already has a waveform assignment. Are you sure you want to change it?");
  EXPECT_EQ(sectionRecord(window, 3), SecInfo());
  EXPECT_EQ(window.core().waveCount(), 0u);
  EXPECT_EQ(window.mCmbWav->count(), 0);
  EXPECT_EQ(driver.unexpected(), 0);
}

TEST_F(WaveInteraction, MovingTheWholeSelectionPastTheStartKeepsItsLength) {
  // Shift held with the cursor inside the selection takes the whole of it.
  const QPoint middle = pointAt(window, 3.0);
  QCursor::setPos(window.mapToGlobal(middle));
  QKeyEvent shift(QEvent::KeyPress, Qt::Key_Shift, Qt::NoModifier);
  QApplication::sendEvent(&window, &shift);
  mouse(window, QEvent::MouseButtonPress, middle, Qt::LeftButton);
  mouse(window, QEvent::MouseMove, pointAt(window, 0.2), Qt::LeftButton);
  mouse(window, QEvent::MouseButtonRelease, pointAt(window, 0.2), Qt::NoButton);
  const SecInfo section = sectionRecord(window, 3);
  EXPECT_EQ(section.startAdrs + section.startOfs, 0u);
  EXPECT_EQ(section.endAdrs + section.endOfs, samples(4.0));
}
