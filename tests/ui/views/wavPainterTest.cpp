// The layered waveform view: conversions, the nearest beat, and pixels of a
// grabbed standard stack over a generated two-channel WAV.

#include <gtest/gtest.h>

#include <QApplication>
#include <QImage>
#include <QMessageBox>
#include <QTimer>

#include <cmath>
#include <stdexcept>

#include "StandardLayerStack.h"
#include "TempDir.h"
#include "TestAudio.h"
#include "WavSeekerSeq.h"
#include "wavPainterLocation.h"
#include "wavPainterMetaLine.h"
#include "wavPainterMetaLineDur.h"
#include "wavPainterSeeker.h"
#include "wavPainterSelecter.h"

namespace {

wavPainter* sized(wavPainter* layer, int w, int h) {
  layer->resize(w, h);
  return layer;
}

}  // namespace

TEST(wavPainterConversions, ColumnsAndSamplesMapAsTheViewSays) {
  QWidget frame;
  struct Case {
    std::int64_t samples;
    int zoom;
    double offset;
    int x, sample;
  };
  const Case toSample[] = {{100, 1, 0.0, 0, 0}, {100, 1, 0.0, 50, 50}, {100, 2, 1.0, 0, 50},
                           {100, 2, 1.0, 99, 100}, {1000, 4, 0.5, 10, 150}};
  for (const Case& c : toSample) {
    wavPainter* p = sized(new wavPainter(c.samples, c.zoom, &frame, {}, c.offset), 100, 40);
    EXPECT_EQ(p->xToSample(c.x, false), c.sample);
  }
  wavPainter* p = sized(new wavPainter(1000, 1, &frame, {}, 0.0), 100, 40);
  EXPECT_EQ(p->sampleToX(2000, false), 200);
  EXPECT_EQ(p->sampleToX(2000, true), 99);
  EXPECT_EQ(p->sampleToX(-50, true), 0);
  EXPECT_EQ(p->xToSample(150, true), 999);
  EXPECT_EQ(p->amplitudeToY(1.0, false), 0);
  EXPECT_EQ(p->amplitudeToY(-1.0, false), 40);
  EXPECT_EQ(p->amplitudeToY(-1.0, true), 39);
  EXPECT_EQ(p->amplitudeToY(0.5, true), 10);
  EXPECT_FLOAT_EQ(p->yToAmplitude(10, true), 0.5f);
  EXPECT_FLOAT_EQ(p->yToAmplitude(-40, true), 1.0f);

  // With more samples than columns, every column survives the round trip.
  for (int zoom : {1, 3, 8}) {
    wavPainter* q = sized(new wavPainter(44100, zoom, &frame, {}, zoom > 1 ? 0.75 : 0.0), 640, 40);
    for (int x = 0; x < 640; ++x) ASSERT_EQ(q->sampleToX(q->xToSample(x, false), false), x) << zoom;
  }
}

TEST(wavPainterConversions, EmptyRecordingZeroZoomAndZeroWidthStayDefined) {
  QWidget frame;
  for (auto [samples, zoom, w] : {std::tuple<std::int64_t, int, int>{0, 1, 100}, {100, 0, 100}, {100, 1, 0},
                                  {0, 0, 0}}) {
    wavPainter* p = sized(new wavPainter(samples, zoom, &frame, {}, 0.0), w, 0);
    EXPECT_EQ(p->xToSample(10, true), std::max<int>(0, std::min<int>(p->xToSample(10, false), samples - 1)));
    EXPECT_EQ(p->xToSample(0, true), 0);
    const int x = p->sampleToX(50, true);
    EXPECT_GE(x, 0);
    EXPECT_LE(x, std::max(w - 1, 0));
    EXPECT_EQ(p->amplitudeToY(0.3, true), 0);
    EXPECT_LE(std::abs(p->yToAmplitude(3, true)), 1.0f);
  }
}

TEST(wavPainterMetaLine, SelectNearestTakesTheCloserLineAndTheLaterOnATie) {
  std::vector<std::int64_t> lines{100, 200};
  wavPainterMetaLine layer(&lines, 1000, 1, nullptr, {}, 0.0);
  const std::pair<std::int64_t, std::int64_t> table[] = {{150, 1}, {149, 0}, {250, 1}, {50, 0},
                                                         {100, 0}, {200, 1}, {151, 1}};
  for (auto [position, index] : table) {
    layer.selectNearest(position);
    EXPECT_EQ(layer.mHighlightBase, index) << position;
  }
  lines.clear();
  layer.selectNearest(10);
  EXPECT_EQ(layer.mHighlightBase, -1);
}

namespace {

constexpr int kW = 200;
constexpr int kBand = 100;
constexpr std::int64_t kFrames = 20000;  // 100 frames per column

// A square wave of period 20 frames: left +-0.5, right +-0.25.
QString squareWav() {
  std::vector<std::int16_t> frames(kFrames * 2);
  for (std::int64_t f = 0; f < kFrames; ++f) {
    const int sign = (f / 10) % 2 ? -1 : 1;
    frames[2 * f] = static_cast<std::int16_t>(sign * 16384);
    frames[2 * f + 1] = static_cast<std::int16_t>(sign * 8192);
  }
  const QString path = TestEnv::tempPath("square.wav");
  EXPECT_TRUE(TestAudio::writeWav(path, frames));
  return path;
}

// The standard stack laid out as a display does: the waveforms in two
// bands, lines, caption, selection and play line over both, the section
// band below.
struct Stack {
  QWidget frame;
  WavSeekerSeq seeker{squareWav()};
  std::vector<std::int64_t> beats;
  std::vector<TextItem> items;
  std::vector<wavPainter*> layers;

  Stack() {
    frame.resize(kW, 2 * kBand + 30);
    layers = StandardLayerStack::create(&frame, &seeker, kFrames, 1, 0.0, &beats, &items, "section assigned");
    layers[0]->setGeometry(0, 0, kW, kBand);
    layers[1]->setGeometry(0, kBand, kW, kBand);
    for (int i : {2, 4, 5, 6}) layers[i]->setGeometry(0, 0, kW, 2 * kBand);
    layers[3]->setGeometry(0, 2 * kBand, kW, 30);
  }
  QImage grab() { return frame.grab().toImage(); }
};

::testing::AssertionResult near(QRgb got, QColor want, int tolerance = 1) {
  const QColor g(got);
  if (std::abs(g.red() - want.red()) <= tolerance && std::abs(g.green() - want.green()) <= tolerance &&
      std::abs(g.blue() - want.blue()) <= tolerance)
    return ::testing::AssertionSuccess();
  return ::testing::AssertionFailure() << "got " << g.name().toStdString() << " want " << want.name().toStdString();
}

}  // namespace

TEST(wavPainterStack, WaveformsCentreLinesAndBackgroundAtTheirRows) {
  Stack s;
  ASSERT_TRUE(s.seeker.isOpen());
  const QImage image = s.grab();
  const QColor gray(Qt::darkGray), white(Qt::white), black(Qt::black);
  for (int x : {5, 77, 150}) {
    // Left +-0.5 spans rows 25..75 of its band; right +-0.25 rows 38..63.
    for (auto [top, first, last] : {std::tuple<int, int, int>{0, 25, 75}, {kBand, 38, 63}}) {
      EXPECT_TRUE(near(image.pixel(x, top + 90), white)) << x;  // the caption sits at the top
      EXPECT_TRUE(near(image.pixel(x, top + first - 1), white)) << x << " " << top;
      EXPECT_TRUE(near(image.pixel(x, top + first), gray)) << x << " " << top;
      EXPECT_TRUE(near(image.pixel(x, top + last), gray)) << x << " " << top;
      EXPECT_TRUE(near(image.pixel(x, top + last + 1), white)) << x << " " << top;
      EXPECT_TRUE(near(image.pixel(x, top + kBand / 2), black)) << x << " " << top;  // centre line under the wave
    }
  }
}

TEST(wavPainterStack, BeatLinesBlueBarLinesRedAndAMarkWhereTwoMeet) {
  Stack s;
  // Columns 20, 40, ... 180 (100 frames per column); two beats share 180.
  for (int k = 1; k <= 9; ++k) s.beats.push_back(k * 2000);
  s.beats.push_back(9 * 2000 + 20);
  auto* lines = static_cast<wavPainterMetaLine*>(s.layers[2]);
  lines->mHighlightPeriod = 4;
  lines->selectNearest(6100);  // beat index 2 (column 60) starts a bar
  const QImage image = s.grab();
  for (int k = 1; k <= 8; ++k) {
    const bool bar = (k - 1 - 2) % 4 == 0;
    EXPECT_TRUE(near(image.pixel(20 * k, 90), bar ? QColor(Qt::red) : QColor(Qt::blue))) << k;
    EXPECT_TRUE(near(image.pixel(20 * k + 1, 90), Qt::white)) << k;
  }
  EXPECT_TRUE(near(image.pixel(180, 1), Qt::black));
  EXPECT_TRUE(near(image.pixel(160, 1), Qt::blue));
}

TEST(wavPainterStack, SelectionYellowAtHalfAndPlayLineGreenWhenShown) {
  Stack s;
  auto* selection = static_cast<wavPainterSelecter*>(s.layers[5]);
  selection->mSelectionOn = true;
  selection->mSelStart = 3000;
  selection->mSelEnd = 6000;  // columns 30..59
  auto* location = static_cast<wavPainterLocation*>(s.layers[6]);
  location->mLocationX = 120;
  QImage image = s.grab();
  EXPECT_TRUE(near(image.pixel(30, 90), QColor(255, 255, 128)));
  EXPECT_TRUE(near(image.pixel(59, 90), QColor(255, 255, 128)));
  EXPECT_TRUE(near(image.pixel(60, 90), Qt::white));
  EXPECT_TRUE(near(image.pixel(29, 90), Qt::white));
  EXPECT_TRUE(near(image.pixel(120, 90), Qt::white));  // hidden until playback

  location->mForegroundOn = true;
  selection->mSelEnd = selection->mSelStart;  // an empty selection fills nothing
  image = s.grab();
  EXPECT_TRUE(near(image.pixel(120, 90), Qt::green));
  EXPECT_TRUE(near(image.pixel(30, 90), Qt::white));
}

TEST(wavPainterStack, SectionRunningPastBothEdgesFillsTheBandWithBothMarks) {
  Stack s;
  s.items.push_back(TextItem{-4000, 30000, "Main A", 3});
  StandardLayerStack::setView(s.layers, kFrames, 2, 0.5);
  auto* sections = static_cast<wavPainterMetaLineDur*>(s.layers[3]);
  sections->mSelectionOn = true;
  sections->mSelStart = -4000;
  sections->mSelEnd = 30000;
  const QImage image = s.grab();
  const int top = 2 * kBand;
  EXPECT_TRUE(near(image.pixel(0, top), Qt::black));
  EXPECT_TRUE(near(image.pixel(kW - 1, top), Qt::black));
  EXPECT_TRUE(near(image.pixel(kW / 2, top + 14), QColor(255, 200, 200)));  // selected: pink
  EXPECT_EQ(sections->mSelIndex, 0);
  EXPECT_EQ(sections->selectedValue(), 3);
}

namespace {

class FailingSeeker : public ISeekable<float> {
 public:
  void seek(std::uint64_t) override {}
  std::uint64_t read(float*, std::uint64_t) override { throw std::runtime_error("disk gone"); }
  std::uint64_t length() override { return 1000; }
  float sampleRate() override { return 44100.0f; }
  std::uint32_t channels() override { return 2; }
};

}  // namespace

TEST(wavPainterSeeker, ReadFailureIsReportedOnceAfterThePaintAndDrawsFullHeight) {
  QWidget frame;
  frame.resize(50, 40);
  FailingSeeker failing;
  auto* layer = new wavPainterSeeker(&failing, 0, 1000, 1, &frame, {}, 0.0);
  layer->resize(50, 40);
  StandardLayerStack::setColours({layer});  // not a whole stack: left uncoloured
  EXPECT_FALSE(layer->mForegroundColor.isValid());
  layer->mForegroundColor = Qt::darkGray;
  layer->mBackgroundColor = Qt::white;
  layer->mCentreLineColor = Qt::transparent;

  QStringList shown;
  QTimer closer;
  QObject::connect(&closer, &QTimer::timeout, [&] {
    if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
      shown << box->windowTitle() + ": " + box->text();
      box->close();
    }
  });
  closer.start(10);

  QImage image = frame.grab().toImage();
  EXPECT_EQ(QApplication::activeModalWidget(), nullptr);  // nothing opened inside the paint
  EXPECT_EQ(layer->readFailures(), 50);
  EXPECT_TRUE(near(image.pixel(10, 0), Qt::darkGray));
  EXPECT_TRUE(near(image.pixel(10, 39), Qt::darkGray));
  layer->mNeedsPrepare = true;
  image = frame.grab().toImage();
  for (int i = 0; i < 30 && shown.isEmpty(); ++i) QApplication::processEvents(QEventLoop::AllEvents, 20);
  QApplication::processEvents(QEventLoop::AllEvents, 50);
  EXPECT_EQ(shown, QStringList{"ASTproto: Memory error!"});
}

TEST(wavPainterSeeker, EmptyRecordingAndNullSeekerDrawWithoutReading) {
  QWidget frame;
  frame.resize(60, 40);
  const QString path = TestEnv::tempPath("empty.wav");
  ASSERT_TRUE(TestAudio::writeWav(path, {}));
  WavSeekerSeq empty(path);
  auto* layers = new wavPainterSeeker(&empty, 1, 0, 0, &frame, {}, 0.0);
  layers->resize(60, 40);
  auto* none = new wavPainterSeeker(nullptr, 0, 500, 1, &frame, {}, 0.0);
  none->setGeometry(0, 0, 60, 40);
  none->mForegroundColor = Qt::darkGray;
  frame.grab();
  EXPECT_TRUE(layers->mColumns.empty());
  ASSERT_EQ(none->mColumns.size(), 60u);
  for (auto column : none->mColumns) EXPECT_EQ(column, std::make_pair(0, 39));
}
