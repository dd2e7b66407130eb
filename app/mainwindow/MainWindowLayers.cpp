// MainWindow: the seven layers of the wave frame: building them over the
// shown recording, where each lies (the left channel above the right one,
// the beats, the selection and the play line over both, the section ranges
// in a strip of their own below), and the flags the views switch on them.

#include <QApplication>

#include "MainWindow.h"
#include "StandardLayerStack.h"
#include "WaveFileSeekable.h"
#include "wavPainterMetaLine.h"
#include "wavPainterSeeker.h"
#include "wavPainterSelecter.h"
#include "wavPainterText.h"

namespace {

// The rows the layers share, from the frame's place in its parent and its
// size. The two waveforms take equal halves of what the strip below leaves.
struct LayerRows {
  int x, y, right, half, even;
};

LayerRows layerRows(const QWidget* frame) {
  LayerRows rows{};
  rows.x = frame->x();
  rows.y = frame->y();
  rows.right = frame->width() - 2;
  const int height = frame->height() - 69 - rows.y;
  rows.half = height / 2;
  rows.even = 2 * rows.half;
  return rows;
}

void place(wavPainter* layer, int left, int top, int right, int bottom) {
  if (!layer) return;
  const QRect rect(QPoint(left, top), QPoint(right, bottom));
  if (layer->geometry() != rect) layer->setGeometry(rect);
}

}  // namespace

void MainWindow::buildWaveLayers() {
  WavInfo* wave = nullptr;
  if (mCore.getSecWaveOnly(static_cast<std::uint8_t>(mCurrentSection), &wave) == 0 && wave) {
    delete mWaveSeeker;
    mWaveSeeker = new WaveFileSeekable(wave->fileName);
  }
  syncGridLayer();
  const auto count = static_cast<std::int64_t>(mSampleCount);
  const int zoom = static_cast<int>(mZoom);
  if (mLayers.empty()) {
    for (wavPainter* made : StandardLayerStack::create(mFrameWav, mWaveSeeker, count, zoom, mScrollOffset, &mGridLines,
                                                       &mRangeItems, tr("section assigned"))) {
      mLayers.push_back(made);
    }
  }
  if (mLayers.size() != StandardLayerStack::kCount) return;
  std::vector<wavPainter*> layers;
  for (QWidget* w : mLayers) layers.push_back(static_cast<wavPainter*>(w));
  for (int channel : {0, 1}) {
    auto* seeker = static_cast<wavPainterSeeker*>(layers[channel]);
    if (seeker->mSeeker != mWaveSeeker) seeker->mNeedsPrepare = true;
    seeker->mSeeker = mWaveSeeker;
    seeker->mChannel = channel;
  }
  static_cast<wavPainterText*>(layers[StandardLayerStack::kCaption])->setText(tr("section assigned"));
  StandardLayerStack::setView(layers, count, zoom, mScrollOffset);
  StandardLayerStack::setColours(layers);
  for (wavPainter* l : layers) {
    l->mSkipPaint = false;
    l->show();
  }
  layers[StandardLayerStack::kLocation]->mForegroundOn = false;
  layers[StandardLayerStack::kLocation]->mBackgroundOn = false;
  placeLayers();
  mFullRepaint = true;
}

void MainWindow::syncGridLayer() {
  mGridLines.assign(mGridList.begin(), mGridList.end());
  if (wavPainter* beats = layer(StandardLayerStack::kBeats)) beats->update();
}

void MainWindow::placeLeftWaveLayer(wavPainter* l) {
  const LayerRows r = layerRows(mFrameWav);
  place(l, r.x, r.y + 10, r.right, r.y + r.half + 9);
}

void MainWindow::placeRightWaveLayer(wavPainter* l) {
  const LayerRows r = layerRows(mFrameWav);
  place(l, r.x, r.y + r.half + 20, r.right, r.y + r.even + 19);
}

void MainWindow::placeFullHeightLayer(wavPainter* l) {
  const LayerRows r = layerRows(mFrameWav);
  place(l, r.x, r.y + 10, r.right, r.y + r.even + 19);
}

void MainWindow::placeStripLayer(wavPainter* l, std::int64_t, std::uint32_t row) {
  const LayerRows r = layerRows(mFrameWav);
  const int top = r.y + r.even + 38 * static_cast<int>(row) + 30;
  place(l, r.x, top, r.right, top + 27);
}

void MainWindow::placeMarkerLayer(wavPainter* l, int offset) {
  const LayerRows r = layerRows(mFrameWav);
  place(l, r.x + offset, r.y + 10, r.x + offset + 1, r.y + r.even + 29);
}

void MainWindow::placeLayers() {
  if (mLayers.size() != StandardLayerStack::kCount) return;
  placeLeftWaveLayer(layer(StandardLayerStack::kLeft));
  placeRightWaveLayer(layer(StandardLayerStack::kRight));
  placeFullHeightLayer(layer(StandardLayerStack::kBeats));
  placeStripLayer(layer(StandardLayerStack::kSections), 0, 0);
  placeStripLayer(layer(StandardLayerStack::kCaption), 0, 0);
  placeFullHeightLayer(layer(StandardLayerStack::kSelection));
  placeFullHeightLayer(layer(StandardLayerStack::kLocation));
}

void MainWindow::deleteLayers() {
  for (QWidget* l : mLayers) delete l;
  mLayers.clear();
}

void MainWindow::clearFocusWidget() {
  if (QWidget* focused = QApplication::focusWidget()) focused->clearFocus();
}

void MainWindow::setSelectionLayerFlags(bool foreground, bool background) {
  if (wavPainter* selection = layer(StandardLayerStack::kSelection)) {
    selection->mForegroundOn = foreground;
    selection->mBackgroundOn = background;
  }
}

void MainWindow::setWaveLayersPrepareFlag(bool prepare) {
  if (mLayers.size() != StandardLayerStack::kCount) return;
  for (std::size_t i : {std::size_t{StandardLayerStack::kLeft}, std::size_t{StandardLayerStack::kRight},
                        std::size_t{StandardLayerStack::kBeats}}) {
    layer(i)->mNeedsPrepare = prepare;
  }
}

void MainWindow::setWaveLayerFlags(bool foreground, bool background, bool prepare) {
  for (std::size_t i : {std::size_t{StandardLayerStack::kLeft}, std::size_t{StandardLayerStack::kRight}}) {
    if (wavPainter* wave = layer(i)) {
      wave->mForegroundOn = foreground;
      wave->mBackgroundOn = background;
      wave->mNeedsPrepare = prepare;
    }
  }
}
