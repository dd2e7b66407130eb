// The result viewer's selection and view, driven as the user drives them:
// a drag snapped to the beats, the edge Shift picks under the pointer, the
// view following an edge dragged to its side, Shift with the arrows, Space,
// the start of the selection and the play line kept in view, and a scroll
// offset that never shows more than the recording at any zoom.

#include <gtest/gtest.h>

#include <QApplication>
#include <QCursor>
#include <QKeyEvent>
#include <QMouseEvent>

#include <algorithm>
#include <memory>

#include "ASTAudition.h"
#include "ManualOutput.h"
#include "TempDir.h"
#include "TestAudio.h"
#include "TimeStretchWindow.h"
#include "wavPainter.h"

namespace {

constexpr std::int64_t kFrames = 44100;

class ViewerSelection : public ::testing::Test {
 protected:
  void SetUp() override {
    TestOutput::manualOutput();
    ASSERT_EQ(audition.init(QString()), 0u);
    ASSERT_TRUE(TestAudio::writeWav(path, TestAudio::sine(1.0, 440.0)));
    for (int k = 0; k < 8; ++k) beats.push_back(static_cast<std::uint64_t>(k * kFrames / 8));
    beats.push_back(kFrames - 1);
  }

  void open(bool manual = false, int zoom = 1, double offset = 0.0) {
    viewer = std::make_unique<TimeStretchWindow>(path.toStdWString(), 3, 0, kFrames, 4, &beats, zoom, &audition,
                                                 manual, &level, &clickOn, &click2On, nullptr, nullptr, offset);
    viewer->resize(700, 400);
    viewer->show();
    QApplication::processEvents();
    viewer->repaint();
  }

  wavPainter* first() const { return viewer->layers().at(0); }
  int beat(int k) const { return static_cast<int>(beats[static_cast<std::size_t>(k)]); }

  // The dialog point over a sample, a few rows into the waveform.
  QPoint at(std::int64_t sample, int dx = 0) const {
    const int x = first()->x() + viewer->mFrameWav->x() + first()->sampleToX(static_cast<int>(sample), false) + dx;
    return viewer->mFrameWav->mapTo(viewer.get(), QPoint(x, first()->y() + 5));
  }

  void mouse(QEvent::Type type, const QPoint& p) {
    const Qt::MouseButton button = type == QEvent::MouseMove ? Qt::NoButton : Qt::LeftButton;
    const Qt::MouseButtons held = type == QEvent::MouseButtonRelease ? Qt::NoButton : Qt::LeftButton;
    QCursor::setPos(viewer->mapToGlobal(p));
    QMouseEvent event(type, p, viewer->mapToGlobal(p), button, held, Qt::NoModifier);
    QApplication::sendEvent(viewer.get(), &event);
  }

  void drag(const QPoint& from, const QPoint& to) {
    mouse(QEvent::MouseButtonPress, from);
    mouse(QEvent::MouseMove, to);
    mouse(QEvent::MouseButtonRelease, to);
  }

  void key(QEvent::Type type, int code, Qt::KeyboardModifiers modifiers) {
    QKeyEvent event(type, code, modifiers);
    QApplication::sendEvent(viewer.get(), &event);
  }

  // Shift goes down with the pointer at `p`: the edge mode is chosen there.
  void holdShiftAt(const QPoint& p) {
    QCursor::setPos(viewer->mapToGlobal(p));
    key(QEvent::KeyPress, Qt::Key_Shift, Qt::NoModifier);
  }
  void releaseShift() { key(QEvent::KeyRelease, Qt::Key_Shift, Qt::ShiftModifier); }

  void expectSelection(int start, int end) {
    EXPECT_EQ(viewer->selectionStart(), start);
    EXPECT_EQ(viewer->selectionEnd(), end);
  }

  std::uint8_t level = 100, clickOn = 1, click2On = 1;
  std::vector<std::uint64_t> beats;
  ASTAudition audition{&clickOn, &level, &click2On};
  QString path = TestEnv::tempPath("AST_temp_Main A.wav");
  std::unique_ptr<TimeStretchWindow> viewer;
};

}  // namespace

TEST_F(ViewerSelection, ADragSnapsBothEndsToTheNearestBeatsInEitherDirection) {
  open();
  const int step = beat(1);
  drag(at(beat(2) + step / 4), at(beat(6) - step / 4));
  expectSelection(beat(2), beat(6));
  drag(at(beat(6) - step / 4), at(beat(2) + step / 4));
  expectSelection(beat(2), beat(6));
  EXPECT_TRUE(viewer->hasSelection());
}

TEST_F(ViewerSelection, WithManualSetTheSelectionFollowsThePointerUnsnapped) {
  open(true);
  const int step = beat(1);
  drag(at(beat(2) + step / 4), at(beat(6) - step / 4));
  const int samplesPerPixel = static_cast<int>(kFrames / first()->width()) + 1;
  EXPECT_NEAR(viewer->selectionStart(), beat(2) + step / 4, 3 * samplesPerPixel);
  EXPECT_NEAR(viewer->selectionEnd(), beat(6) - step / 4, 3 * samplesPerPixel);
}

TEST_F(ViewerSelection, ShiftTakesTheStartEdgeTheEndEdgeOrTheWholeSelection) {
  open();
  drag(at(beat(2)), at(beat(6)));
  expectSelection(beat(2), beat(6));

  holdShiftAt(at(beat(2), 5));  // on the start edge
  drag(at(beat(2), 5), at(beat(1)));
  releaseShift();
  expectSelection(beat(1), beat(6));

  holdShiftAt(at(beat(6), -5));  // on the end edge
  drag(at(beat(6), -5), at(beat(7)));
  releaseShift();
  expectSelection(beat(1), beat(7));

  // Inside: the whole selection moves, and past the start it keeps its
  // length from 0.
  holdShiftAt(at(beat(4)));
  drag(at(beat(4)), at(beat(2)));
  releaseShift();
  expectSelection(0, beat(7) - beat(1));
}

TEST_F(ViewerSelection, AfterAQuickTurnTheMovedSelectionStaysWithThePointer) {
  open();
  drag(at(beat(3)), at(beat(5)));
  expectSelection(beat(3), beat(5));

  // Pressed inside at beat 4, moved a beat right, then flicked back in one
  // move to beat 2: the turn re-anchors the move at the pointer, and the
  // selection goes on from where the flick put it. Were the move to go on
  // from the selection at the press instead, the next few pixels to the
  // left would throw the selection two beats right, back to where it was
  // pressed, away from the pointer.
  holdShiftAt(at(beat(4)));
  mouse(QEvent::MouseButtonPress, at(beat(4)));
  mouse(QEvent::MouseMove, at(beat(5)));
  expectSelection(beat(4), beat(6));
  mouse(QEvent::MouseMove, at(beat(2)));
  expectSelection(beat(1), beat(3));
  mouse(QEvent::MouseMove, at(beat(2), -3));
  expectSelection(beat(1), beat(3));
  mouse(QEvent::MouseButtonRelease, at(beat(2), -3));
  releaseShift();
  expectSelection(beat(1), beat(3));
}

TEST_F(ViewerSelection, AnEdgeDraggedToTheRightSideScrollsTheViewAndThePointerFollowsIt) {
  open();
  viewer->releasedBtnHorZoomIn();
  viewer->releasedBtnHorZoomIn();
  ASSERT_EQ(viewer->zoom(), 4);
  viewer->mScrollBar->setValue(0);
  drag(at(1000), at(beat(1)));
  expectSelection(0, beat(1));

  holdShiftAt(at(beat(1), 3));  // just right of the end: the end edge
  const int side = viewer->mFrameWav->width() - 10;
  const QPoint nearSide = viewer->mFrameWav->mapTo(viewer.get(), QPoint(side, first()->y() + 5));
  mouse(QEvent::MouseButtonPress, at(beat(1), 3));
  mouse(QEvent::MouseMove, nearSide);
  EXPECT_EQ(viewer->mScrollBar->value(), 2);
  mouse(QEvent::MouseMove, nearSide);
  EXPECT_EQ(viewer->mScrollBar->value(), 4);
  // The pointer was put back on the dragged edge.
  const int edge = viewer->mFrameWav->mapFromGlobal(QCursor::pos()).x();
  EXPECT_NEAR(edge, first()->x() + viewer->mFrameWav->x() + first()->sampleToX(viewer->selectionEnd(), false), 1);
  mouse(QEvent::MouseButtonRelease, nearSide);
  releaseShift();
  EXPECT_EQ(viewer->selectionStart(), 0);
  EXPECT_EQ(viewer->selectionEnd(), beat(2));
}

TEST_F(ViewerSelection, ShiftWithTheArrowsDragsTheEdgeByTheKeyboard) {
  open();
  drag(at(beat(1)), at(beat(3)));
  // Right of the selection: the end edge follows the pointer, 10 pixels per
  // Down, snapped.
  QCursor::setPos(viewer->mapToGlobal(at(beat(5))));
  key(QEvent::KeyPress, Qt::Key_Shift, Qt::NoModifier);
  for (int i = 0; i < 6; ++i) key(QEvent::KeyPress, Qt::Key_Down, Qt::ShiftModifier);
  releaseShift();
  const int reached = viewer->mFrameWav->mapFromGlobal(QCursor::pos()).x();
  EXPECT_EQ(reached, viewer->mFrameWav->mapFrom(viewer.get(), at(beat(5))).x() + 60);
  EXPECT_EQ(viewer->selectionStart(), beat(1));
  EXPECT_EQ(viewer->selectionEnd(), beat(6)) << "60 pixels right of beat 5 lie nearer beat 6";
}

TEST_F(ViewerSelection, SpaceStartsAndStopsTheLoop) {
  open();
  ASSERT_FALSE(viewer->isPlaying());
  key(QEvent::KeyRelease, Qt::Key_Space, Qt::NoModifier);
  EXPECT_TRUE(viewer->isPlaying());
  EXPECT_TRUE(audition.isPlaying());
  key(QEvent::KeyRelease, Qt::Key_Space, Qt::NoModifier);
  EXPECT_FALSE(viewer->isPlaying());
  // Without a selection there is nothing to play.
  key(QEvent::KeyPress, Qt::Key_A, Qt::ControlModifier | Qt::ShiftModifier);
  key(QEvent::KeyRelease, Qt::Key_Space, Qt::NoModifier);
  EXPECT_FALSE(viewer->isPlaying());
}

TEST_F(ViewerSelection, TheSelectionStartComesIntoViewWithinTheRecordingAtEveryZoom) {
  open();
  drag(at(beat(7)), at(beat(8)));
  ASSERT_EQ(viewer->selectionStart(), beat(7));
  for (int zoom = 2; zoom <= 64; zoom *= 2) {
    viewer->releasedBtnHorZoomIn();
    ASSERT_EQ(viewer->zoom(), zoom);
    viewer->mScrollBar->setValue(0);
    viewer->showSelectionStart();
    const double wanted = std::min(zoom * static_cast<double>(beat(7)) / kFrames, zoom - 1.0);
    EXPECT_NEAR(viewer->scrollOffset(), wanted, 1.0 / 50) << zoom;
    EXPECT_LE(viewer->scrollOffset(), zoom - 1.0) << zoom;
    const int x = first()->sampleToX(beat(7), false);
    EXPECT_GE(x, 0) << zoom;
    EXPECT_LT(x, first()->width()) << zoom;
  }
}

TEST_F(ViewerSelection, ThePlayLineKeepsTheSelectionEndInView) {
  open();
  viewer->releasedBtnHorZoomIn();
  viewer->releasedBtnHorZoomIn();
  const int wf = viewer->mFrameWav->width();
  viewer->onSelectAll();
  viewer->mScrollBar->setValue(0);
  viewer->followPlayLine(10);
  EXPECT_EQ(viewer->mScrollBar->value(), 0) << "a play line well inside the view moves nothing";

  // Beats 2 to 3 at zoom 4, seen from the start: the end lies half a view
  // beyond the right side and is stepped into view.
  viewer->mScrollBar->setValue(50);
  drag(at(beat(2)), at(beat(3)));
  viewer->mScrollBar->setValue(0);
  viewer->followPlayLine(wf - 2);
  EXPECT_GT(viewer->mScrollBar->value(), 0);
  EXPECT_LE(first()->sampleToX(viewer->selectionEnd(), false), wf - 3);

  // An end several views away: one page.
  viewer->onSelectAll();
  viewer->mScrollBar->setValue(0);
  viewer->followPlayLine(wf - 2);
  EXPECT_EQ(viewer->mScrollBar->value(), 50);
}

TEST_F(ViewerSelection, OpensOnTheGivenViewAndNeverPastTheEndOfTheRecording) {
  open(false, 4, 2.0);
  EXPECT_EQ(viewer->zoom(), 4);
  EXPECT_DOUBLE_EQ(viewer->scrollOffset(), 2.0);
  EXPECT_EQ(viewer->mScrollBar->value(), 100);
  open(false, 4, 3.5);
  EXPECT_DOUBLE_EQ(viewer->scrollOffset(), 3.0);
  EXPECT_EQ(first()->sampleToX(kFrames, false), first()->width()) << "the view ends with the recording";
}
