#include "StandardLayerStack.h"

#include "wavPainterLocation.h"
#include "wavPainterMetaLine.h"
#include "wavPainterMetaLineDur.h"
#include "wavPainterSeeker.h"
#include "wavPainterSelecter.h"
#include "wavPainterText.h"

namespace StandardLayerStack {

std::vector<wavPainter*> create(QWidget* frame, ISeekable<float>* seeker, std::int64_t sampleCount, int zoom,
                                double scrollOffset, std::vector<std::int64_t>* beats, std::vector<TextItem>* items,
                                const QString& caption) {
  const Qt::WindowFlags none;
  std::vector<wavPainter*> layers{
      new wavPainterSeeker(seeker, 0, sampleCount, zoom, frame, none, scrollOffset),
      new wavPainterSeeker(seeker, 1, sampleCount, zoom, frame, none, scrollOffset),
      new wavPainterMetaLine(beats, sampleCount, zoom, frame, none, scrollOffset),
      new wavPainterMetaLineDur(items, sampleCount, zoom, frame, none, scrollOffset),
      new wavPainterText(caption, sampleCount, zoom, frame, none, scrollOffset),
      new wavPainterSelecter(sampleCount, zoom, frame, none, scrollOffset),
      new wavPainterLocation(sampleCount, zoom, frame, none, scrollOffset)};
  setColours(layers);
  layers[kLocation]->mForegroundOn = false;
  layers[kLocation]->mBackgroundOn = false;
  return layers;
}

void setColours(const std::vector<wavPainter*>& layers) {
  if (layers.size() != kCount) return;
  struct Colours {
    Qt::GlobalColor foreground, background, centre;
  };
  static const Colours colours[kCount] = {
      {Qt::darkGray, Qt::white, Qt::black},             {Qt::darkGray, Qt::white, Qt::black},
      {Qt::blue, Qt::transparent, Qt::transparent},     {Qt::red, Qt::white, Qt::transparent},
      {Qt::darkGray, Qt::transparent, Qt::transparent}, {Qt::white, Qt::transparent, Qt::transparent},
      {Qt::green, Qt::transparent, Qt::transparent}};
  for (int i = 0; i < kCount; ++i) {
    layers[i]->mForegroundColor = colours[i].foreground;
    layers[i]->mBackgroundColor = colours[i].background;
    layers[i]->mCentreLineColor = colours[i].centre;
  }
}

void setView(const std::vector<wavPainter*>& layers, std::int64_t sampleCount, int zoom, double scrollOffset) {
  for (wavPainter* layer : layers) {
    if (layer->mSampleCount != sampleCount || layer->mZoom != zoom || layer->mScrollOffset != scrollOffset)
      layer->mNeedsPrepare = true;
    layer->mSampleCount = sampleCount;
    layer->mZoom = zoom;
    layer->mScrollOffset = scrollOffset;
  }
}

}  // namespace StandardLayerStack
