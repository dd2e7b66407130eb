// bench-deps: qmui
// Times a full-width repaint of the standard waveform stack over a generated
// 10-minute stereo recording at each zoom level: after a change of view
// (the waveform columns are computed again), without one, and the first
// paint of a recording (which reads it whole for the block peaks).

#include <benchmark/benchmark.h>

#include <QApplication>
#include <QImage>
#include <QPainter>
#include <QTemporaryDir>

#include <sndfile.h>

#include <cmath>
#include <memory>
#include <vector>

#include "StandardLayerStack.h"
#include "WavSeekerSeq.h"

namespace {

constexpr int kRate = 44100;
constexpr std::int64_t kFrames = std::int64_t(kRate) * 600;
constexpr int kWidth = 640;
constexpr int kBand = 90;

QString writeRecording(const QString& path) {
  SF_INFO info{};
  info.samplerate = kRate;
  info.channels = 2;
  info.format = SF_FORMAT_WAV | SF_FORMAT_PCM_16;
  SNDFILE* file = sf_open(path.toUtf8().constData(), SFM_WRITE, &info);
  if (!file) return {};
  std::vector<short> block(2 * 65536);
  for (std::int64_t done = 0; done < kFrames;) {
    const std::int64_t n = std::min<std::int64_t>(65536, kFrames - done);
    for (std::int64_t k = 0; k < n; ++k) {
      const double t = double(done + k) / kRate;
      const double envelope = 0.3 + 0.3 * std::sin(t * 0.7);
      block[2 * k] = static_cast<short>(20000 * envelope * std::sin(2 * M_PI * 220 * t));
      block[2 * k + 1] = static_cast<short>(20000 * envelope * std::sin(2 * M_PI * 331 * t));
    }
    sf_writef_short(file, block.data(), n);
    done += n;
  }
  sf_close(file);
  return path;
}

struct Display {
  QWidget frame;
  std::unique_ptr<WavSeekerSeq> seeker;
  std::vector<std::int64_t> beats;
  std::vector<TextItem> items;
  std::vector<wavPainter*> layers;
  QImage image{kWidth, 2 * kBand + 30, QImage::Format_ARGB32_Premultiplied};

  explicit Display(const QString& path) : seeker(new WavSeekerSeq(path)) {
    frame.resize(kWidth, 2 * kBand + 30);
    for (std::int64_t b = 0; b < kFrames; b += kRate / 2) beats.push_back(b);
    items.push_back(TextItem{kRate * 30, kRate * 90, "Main A", 3});
    layers = StandardLayerStack::create(&frame, seeker.get(), kFrames, 1, 0.0, &beats, &items, "section assigned");
    layers[0]->setGeometry(0, 0, kWidth, kBand);
    layers[1]->setGeometry(0, kBand, kWidth, kBand);
    for (int i : {2, 4, 5, 6}) layers[i]->setGeometry(0, 0, kWidth, 2 * kBand);
    layers[3]->setGeometry(0, 2 * kBand, kWidth, 30);
  }
  void paint() {
    QPainter painter(&image);
    frame.render(&painter);
  }
};

Display* gDisplay = nullptr;
QString gPath;

void setZoom(int zoom) {
  StandardLayerStack::setView(gDisplay->layers, kFrames, zoom, (zoom - 1) / 2.0);
}

void BM_RepaintAfterViewChange(benchmark::State& state) {
  const int zoom = static_cast<int>(state.range(0));
  setZoom(zoom);
  for (auto _ : state) {
    gDisplay->layers[0]->mNeedsPrepare = true;
    gDisplay->layers[1]->mNeedsPrepare = true;
    gDisplay->paint();
  }
}

void BM_RepaintSameView(benchmark::State& state) {
  setZoom(static_cast<int>(state.range(0)));
  gDisplay->paint();
  for (auto _ : state) gDisplay->paint();
}

void BM_FirstPaintOfARecording(benchmark::State& state) {
  for (auto _ : state) {
    Display display(gPath);
    display.paint();
  }
}

BENCHMARK(BM_FirstPaintOfARecording)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_RepaintAfterViewChange)->RangeMultiplier(2)->Range(1, 256)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_RepaintSameView)->RangeMultiplier(2)->Range(1, 256)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
  qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  QTemporaryDir dir;
  const QString path = writeRecording(dir.filePath("ten-minutes.wav"));
  if (path.isEmpty()) return 1;
  gPath = path;
  Display display(path);
  display.paint();
  gDisplay = &display;
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  gDisplay = nullptr;
  return 0;
}
