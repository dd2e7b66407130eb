// The layers no display builds by default, and the mouse-move hand-on every
// layer shares.

#include <gtest/gtest.h>

#include <QApplication>
#include <QMouseEvent>

#include "TempDir.h"
#include "TestAudio.h"
#include "WavSeekerSeq.h"
#include "wavPainterContinue.h"
#include "wavPainterMetaMarker.h"
#include "wavPainterSeeker.h"

TEST(wavPainterContinue, SamplesInMemoryGiveTheColumnsOfTheSameSamplesInAFile) {
  const TestAudio::Stereo16 audio = TestAudio::noise(0.05, 0.7, 3);
  const QString path = TestEnv::tempPath("n.wav");
  ASSERT_TRUE(TestAudio::writeWav(path, audio));
  std::vector<double> left;
  for (std::size_t k = 0; k < audio.size(); k += 2) left.push_back(audio[k]);
  WavSeekerSeq seeker(path);
  const auto frames = static_cast<std::int64_t>(left.size());
  for (auto [zoom, offset] : {std::pair<int, double>{1, 0.0}, {4, 2.5}}) {
    wavPainterSeeker fromFile(&seeker, 0, frames, zoom, nullptr, {}, offset);
    wavPainterContinue fromMemory(&left, frames, zoom, nullptr, {}, offset);
    fromFile.resize(70, 33);
    fromMemory.resize(70, 33);
    fromFile.prepare();
    fromMemory.prepare();
    EXPECT_EQ(fromMemory.mColumns, fromFile.mColumns) << zoom;
  }
}

TEST(wavPainterMetaMarker, MarkersMoveByIndexAndSelectStrictlyWithinFiveSamples) {
  std::vector<std::int64_t> markers{100, 200};
  wavPainterMetaMarker layer(&markers, 1000, 1, nullptr, {}, 0.0);
  EXPECT_EQ(layer.setMarker(1, 300), 0u);
  EXPECT_EQ(markers[1], 300);
  EXPECT_EQ(layer.setMarker(2, 5), 0x80000001u);
  EXPECT_EQ(layer.selectMarker(304), 1);
  EXPECT_EQ(layer.selectMarker(305), -1);
  EXPECT_EQ(layer.selectMarker(96), 0);
  EXPECT_EQ(layer.mSelIndex, 0);
}

namespace {

class MoveRecorder : public QWidget {
 public:
  std::vector<QPoint> positions;
  Qt::MouseButtons buttons;
  Qt::KeyboardModifiers modifiers;

 protected:
  void mouseMoveEvent(QMouseEvent* event) override {
    positions.push_back(event->pos());
    buttons = event->buttons();
    modifiers = event->modifiers();
  }
};

}  // namespace

TEST(wavPainter, MouseMovesReachTheFrameInItsOwnCoordinatesWithButtonsAndKeys) {
  MoveRecorder frame;
  frame.resize(300, 200);
  auto* layer = new wavPainter(1000, 1, &frame, {}, 0.0);
  layer->setGeometry(20, 30, 200, 100);
  QMouseEvent move(QEvent::MouseMove, QPointF(10.5, 4.4), Qt::NoButton, Qt::LeftButton, Qt::ShiftModifier);
  QApplication::sendEvent(layer, &move);
  ASSERT_EQ(frame.positions.size(), 1u);
  EXPECT_EQ(frame.positions[0], QPoint(31, 34));
  EXPECT_EQ(frame.buttons, Qt::LeftButton);
  EXPECT_EQ(frame.modifiers, Qt::ShiftModifier);
}
