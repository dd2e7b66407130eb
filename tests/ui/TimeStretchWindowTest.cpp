// The time-stretch result viewer over a generated file with the virtual
// output pumped by hand: it opens with everything selected and playing,
// Escape does not close it, closing stops playback, its geometry is kept,
// and the audition plays again afterwards; zoom limits and beat snapping.

#include <gtest/gtest.h>

#include <QApplication>
#include <QKeyEvent>
#include <QSettings>
#include <QTimer>

#include <algorithm>
#include <cmath>
#include <functional>

#include "ASTAudition.h"
#include "ASTprotoSettings.h"
#include "ManualOutput.h"
#include "TempDir.h"
#include "TestAudio.h"
#include "TimeStretchWindow.h"
#include "VirtualBackend.h"
#include "wavPainter.h"

using FusionStyle::hal::VirtualBackend;
using TestOutput::manualOutput;

namespace {

constexpr std::int64_t kFrames = 44100;

struct Viewer {
  std::uint8_t level = 100, clickOn = 1, click2On = 1;
  std::vector<std::uint64_t> beats;
  ASTAudition audition{&clickOn, &level, &click2On};
  QString path = TestEnv::tempPath("AST_temp_Main A.wav");

  // A second of a sine with eight beats and the last frame as its grid.
  std::unique_ptr<TimeStretchWindow> open() {
    EXPECT_EQ(audition.init(QString()), 0u);
    EXPECT_TRUE(TestAudio::writeWav(path, TestAudio::sine(1.0, 440.0)));
    for (int k = 0; k < 8; ++k) beats.push_back(static_cast<std::uint64_t>(k * kFrames / 8));
    beats.push_back(kFrames - 1);
    return std::make_unique<TimeStretchWindow>(path.toStdWString(), 3, 0, kFrames, 4, &beats, 1, &audition, false,
                                               &level, &clickOn, &click2On, nullptr, nullptr);
  }
};

// Runs `check` once the viewer's modal loop is up.
void whenShown(TimeStretchWindow& viewer, std::function<void()> check) {
  auto* timer = new QTimer(&viewer);
  QObject::connect(timer, &QTimer::timeout, [timer, &viewer, check] {
    if (QApplication::activeModalWidget() != &viewer) return;
    timer->stop();
    check();
  });
  timer->start(10);
}

}  // namespace

TEST(TimeStretchWindow, OpensPlayingEverythingEscapeKeepsItAndClosingStopsAndKeepsItsGeometry) {
  VirtualBackend* backend = manualOutput();
  ASSERT_NE(backend, nullptr);
  Viewer v;
  auto viewer = v.open();
  EXPECT_EQ(viewer->windowTitle(), "wave viewer - after proccessing time stretch");
  bool checked = false;
  whenShown(*viewer, [&] {
    checked = true;
    EXPECT_TRUE(viewer->hasSelection());
    EXPECT_EQ(viewer->selectionStart(), 0);
    EXPECT_EQ(viewer->selectionEnd(), kFrames);
    EXPECT_TRUE(viewer->isPlaying());
    ASSERT_TRUE(backend->pump(1, 4));
    const std::vector<float> left = backend->capturedChannel(1, 0);
    const float peak = std::fabs(*std::max_element(left.begin(), left.end(), [](float a, float b) {
      return std::fabs(a) < std::fabs(b);
    }));
    EXPECT_GT(peak, 0.3f) << "the rendered file is heard";
    QKeyEvent escape(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier);
    QApplication::sendEvent(viewer.get(), &escape);
    EXPECT_TRUE(viewer->isVisible()) << "Escape does not close the viewer";
    viewer->close();
  });
  viewer->exec();
  ASSERT_TRUE(checked);
  EXPECT_FALSE(viewer->isPlaying());
  EXPECT_FALSE(v.audition.isPlaying());
  viewer.reset();
  QSettings ini(ASTprotoSettings::settingsFilePath(), QSettings::IniFormat);
  EXPECT_TRUE(ini.contains("TimeStretchWindow/GeometryW"));
  EXPECT_EQ(ini.value("TimeStretchWindow/Maximized").toString(), "false");

  // The viewer closed the output on its way out; the next play opens it.
  ASSERT_EQ(v.audition.togglePlayFile(v.path.toStdWString(), 0, kFrames, 1, {}, {}), 0u);
  EXPECT_TRUE(v.audition.isPlaying());
  EXPECT_TRUE(backend->pump(1, 1));
}

TEST(TimeStretchWindow, ZoomStopsAtItsLimitsAndTheScrollBarFollows) {
  manualOutput();
  Viewer v;
  auto viewer = v.open();
  viewer->releasedBtnHorZoomOut();
  EXPECT_EQ(viewer->zoom(), 1);
  EXPECT_EQ(viewer->scrollOffset(), 0.0);
  for (int i = 0; i < 3; ++i) viewer->releasedBtnHorZoomIn();
  EXPECT_EQ(viewer->zoom(), 8);
  EXPECT_EQ(viewer->mScrollBar->maximum(), 8 * 50 - 50);
  viewer->mScrollBar->setValue(100);
  EXPECT_DOUBLE_EQ(viewer->scrollOffset(), 2.0);
  viewer->releasedBtnHorZoomOut();
  EXPECT_EQ(viewer->zoom(), 4);
  EXPECT_DOUBLE_EQ(viewer->scrollOffset(), 1.0);
}

TEST(TimeStretchWindow, PointsSnapToTheNearestBeatTheStartOrTheLastFrame) {
  manualOutput();
  Viewer v;
  auto viewer = v.open();
  viewer->resize(700, 400);
  viewer->show();
  QApplication::processEvents();
  viewer->repaint();
  wavPainter* first = viewer->layers().at(0);
  const int x0 = first->x() + viewer->mFrameWav->x();
  auto at = [&](std::int64_t sample) { return QPoint(x0 + first->sampleToX(static_cast<int>(sample), true), 50); };
  const std::int64_t step = kFrames / 8;
  EXPECT_EQ(viewer->pointToSample(0, at(step / 10)), 0);
  EXPECT_EQ(viewer->pointToSample(0, at(step + step / 3)), static_cast<int>(v.beats[1]));
  EXPECT_EQ(viewer->pointToSample(0, at(2 * step - step / 3)), static_cast<int>(v.beats[2]));
  EXPECT_EQ(viewer->pointToSample(0, at(kFrames - 10)), kFrames - 1);
}
