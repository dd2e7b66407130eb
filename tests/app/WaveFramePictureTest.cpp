// What the main window's wave frame shows after a recording is imported,
// read from a grab of the frame: the left channel in the upper band, the
// right one in the lower band, blue beat lines with red bar lines over both,
// the sections in a strip of their own below, at zoom 1 and zoomed in; and
// the zoom controls usable after the first import.

#include <gtest/gtest.h>

#include <QApplication>
#include <QImage>

#include <cmath>
#include <vector>

#include "AnalysedRecording.h"
#include "MainWindow.h"
#include "ModalDriver.h"
#include "TempDir.h"
#include "TestAudio.h"
#include "WaveViewProject.h"
#include "wavPainterMetaLine.h"
#include "wavPainterMetaLineDur.h"
#include "wavPainterSeeker.h"

namespace {

constexpr double kSeconds = 8.0;
constexpr double kBurstFrom = 3.0;
constexpr double kBurstTo = 5.0;

std::int64_t samples(double seconds) { return static_cast<std::int64_t>(std::ceil(seconds * 44100.0)); }

// 8 s whose left channel holds a loud tone from 3 s to 5 s and is silent
// elsewhere, and whose right channel is silent throughout; its analysis
// (beats every 0.5 s in 4/4, "Main A" over the first bar) lies beside it.
QString leftBurstWithAnalysis() {
  const QString audio = TestEnv::tempPath("burst.wav");
  TestAudio::Stereo16 frames(static_cast<std::size_t>(samples(kSeconds)) * 2, 0);
  for (std::int64_t i = samples(kBurstFrom); i < samples(kBurstTo); ++i) {
    frames[static_cast<std::size_t>(2 * i)] =
        static_cast<std::int16_t>(0.8 * 32767 * std::sin(2 * M_PI * 330.0 * static_cast<double>(i) / 44100.0));
  }
  EXPECT_TRUE(TestAudio::writeWav(audio, frames));
  SecInfo mainA;
  mainA.startAdrs = 0;
  mainA.endAdrs = static_cast<std::uint64_t>(samples(2.0));
  mainA.barNum = 1;
  writeAnalysisBeside(audio, 33, {0.0f, static_cast<float>(kSeconds)}, mainA);
  return audio;
}

void importInto(MainWindow& window, const QString& audio) {
  ModalDriver driver;
  driver.chooseFile(audio);
  window.releasedBtnOpenWav();
  ASSERT_EQ(driver.unexpected(), 0);
  ASSERT_EQ(window.core().waveCount(), 1u);
}

template <typename Layer>
std::vector<Layer*> layersOf(MainWindow& window) {
  std::vector<Layer*> found;
  for (QObject* child : window.mFrameWav->children()) {
    if (auto* layer = dynamic_cast<Layer*>(child)) found.push_back(layer);
  }
  return found;
}

// The frame column of a time at the view's zoom and scroll, on a layer
// that starts at `left` and is `width` pixels wide.
int columnOf(const MainWindow& window, const QWidget* layer, double seconds) {
  const double fraction = static_cast<double>(samples(seconds)) / static_cast<double>(samples(kSeconds));
  return layer->x() +
         static_cast<int>(std::floor(layer->width() * (window.zoom() * fraction - window.scrollOffset()) + 0.5));
}

bool isWaveGrey(QRgb p) {
  return qRed(p) < 200 && qRed(p) > 40 && std::abs(qRed(p) - qGreen(p)) < 12 && std::abs(qGreen(p) - qBlue(p)) < 12;
}
bool isBlue(QRgb p) { return qBlue(p) > 200 && qRed(p) < 60 && qGreen(p) < 60; }
bool isRed(QRgb p) { return qRed(p) > 200 && qGreen(p) < 60 && qBlue(p) < 60; }
bool isWhite(QRgb p) { return qRed(p) > 245 && qGreen(p) > 245 && qBlue(p) > 245; }

// The waveform pixels of a layer's column, the centre line left out; a
// silent column draws a dot at most.
int waveRows(const QImage& frame, const QWidget* layer, int x) {
  int rows = 0;
  const int centre = layer->y() + layer->height() / 2;
  for (int y = layer->y(); y <= layer->geometry().bottom(); ++y) {
    if (y != centre && isWaveGrey(frame.pixel(x, y))) ++rows;
  }
  return rows;
}

class WaveFramePicture : public ::testing::Test {
 protected:
  QImage grabFrame() {
    window.show();
    QApplication::processEvents();
    window.repaint();
    return window.mFrameWav->grab().toImage();
  }

  WaveViewProject::VirtualAudio audio;
  MainWindow window;
};

}  // namespace

TEST_F(WaveFramePicture, EachChannelInItsBandBeatsAndBarsOverBothSectionsInTheStripBelow) {
  importInto(window, leftBurstWithAnalysis());
  QImage frame = grabFrame();
  const auto seekers = layersOf<wavPainterSeeker>(window);
  const auto beats = layersOf<wavPainterMetaLine>(window);
  const auto sections = layersOf<wavPainterMetaLineDur>(window);
  ASSERT_EQ(seekers.size(), 2u);
  ASSERT_EQ(beats.size(), 1u);
  ASSERT_EQ(sections.size(), 1u);
  const QWidget* left = seekers[0]->mChannel == 0 ? seekers[0] : seekers[1];
  const QWidget* right = seekers[0]->mChannel == 0 ? seekers[1] : seekers[0];

  // The bands: left above right, the beat layer over both, the strip below.
  EXPECT_LT(left->geometry().bottom(), right->geometry().top());
  EXPECT_EQ(beats[0]->geometry().top(), left->geometry().top());
  EXPECT_EQ(beats[0]->geometry().bottom(), right->geometry().bottom());
  EXPECT_GT(sections[0]->geometry().top(), right->geometry().bottom());
  EXPECT_LE(sections[0]->geometry().bottom(), window.mFrameWav->height() - 1);
  EXPECT_GT(left->height(), 40);

  // The tone sounds in the upper band only, and only where it plays.
  for (double t : {3.2, 3.7, 4.3, 4.8}) {
    const int x = columnOf(window, left, t);
    EXPECT_GT(waveRows(frame, left, x), left->height() / 2) << "left at " << t;
    EXPECT_LE(waveRows(frame, right, x), 1) << "right at " << t;
  }
  for (double t : {2.2, 6.2, 7.3}) EXPECT_LE(waveRows(frame, left, columnOf(window, left, t)), 1) << "left at " << t;

  // Beat lines every 0.5 s over both bands, red on the first beat of each
  // bar (every fourth beat from the section's start), blue on the others.
  const int top = left->y() + 2;
  const int low = right->geometry().bottom() - 2;
  for (double t : {2.5, 5.5, 6.5, 7.5}) {
    const int x = columnOf(window, beats[0], t);
    EXPECT_TRUE(isBlue(frame.pixel(x, top))) << t;
    EXPECT_TRUE(isBlue(frame.pixel(x, low))) << t;
  }
  for (double t : {6.0}) {
    const int x = columnOf(window, beats[0], t);
    EXPECT_TRUE(isRed(frame.pixel(x, top))) << t;
    EXPECT_TRUE(isRed(frame.pixel(x, low))) << t;
  }
  EXPECT_TRUE(isWhite(frame.pixel(columnOf(window, beats[0], 6.25), top))) << "nothing between the beats";

  // "Main A" as the selected (pink) triangle in the strip, nowhere above it.
  const QWidget* strip = sections[0];
  const QRgb pink = qRgb(255, 200, 200);
  const int inside = columnOf(window, strip, 1.6);
  EXPECT_EQ(frame.pixel(inside, strip->y() + strip->height() / 2), pink);
  for (int y = left->y(); y <= right->geometry().bottom(); ++y) ASSERT_NE(frame.pixel(inside, y), pink) << y;

  // Zoomed in, the beats stay on the grid's columns.
  window.releasedBtnHorZoomIn();
  window.releasedBtnHorZoomIn();
  ASSERT_EQ(window.zoom(), 4u);
  window.mScrollBar->setValue(window.mScrollBar->maximum());
  frame = grabFrame();
  for (double t : {6.5, 7.5}) EXPECT_TRUE(isBlue(frame.pixel(columnOf(window, beats[0], t), top))) << t;
  EXPECT_TRUE(isRed(frame.pixel(columnOf(window, beats[0], 6.0), top)));
  EXPECT_LE(waveRows(frame, left, columnOf(window, left, 6.75)), 1);
}

TEST_F(WaveFramePicture, ZoomAndScrollAreUsableRightAfterTheFirstImport) {
  ASSERT_FALSE(window.mBtnHorZoomIn->isEnabled()) << "nothing to zoom before a recording";
  importInto(window, leftBurstWithAnalysis());
  EXPECT_TRUE(window.mBtnHorZoomIn->isEnabled());
  EXPECT_TRUE(window.mBtnHorZoomOut->isEnabled());
  EXPECT_TRUE(window.mScrollBar->isEnabled());
  window.mBtnHorZoomIn->click();
  EXPECT_EQ(window.zoom(), 2u);
}
