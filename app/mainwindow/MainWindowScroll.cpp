// MainWindow: keeping the current range in the scrolled wave view, at a
// change of section or zoom and while the play line moves.

#include <QtDebug>

#include <algorithm>
#include <cmath>

#include "MainWindow.h"
#include "wavPainter.h"

void MainWindow::scrollToSelection() {
  wavPainter* first = layer(0);
  if (mLayers.size() >= 6 && mZoom != 1 && first) {
    const int w = mFrameWav->width();
    const int v = selectionCondition();
    const int s = first->sampleToX(mSelStart, false);
    const int e = first->sampleToX(mSelEnd, false);
    const double count = mSampleCount == 0 ? 1.0 : static_cast<double>(mSampleCount);
    const double offset = mZoom * (mSelStart / count);
    if (v == 4 || v == 2 || (v == 0 && (e <= 0 || e == w))) {
      mScrollOffset = offset;
      setScrollBarValue(std::max(static_cast<int>(offset * 50), mScrollBar->minimum()));
    } else if (s > w) {
      mScrollOffset = offset;
      setScrollBarValue(std::min(static_cast<int>(offset * 50), mScrollBar->maximum()));
    }
  }
  const bool on = mCmbWav->currentIndex() != -1 && mProjectState != 0;
  mScrollBar->setEnabled(on);
  mBtnHorZoomIn->setEnabled(on);
  mBtnHorZoomOut->setEnabled(on);
  const std::uint8_t guard = mComboGuard;
  mComboGuard = 1;
  mScrollBar->setRange(0, static_cast<int>(mZoom) * 50 - 50);
  mScrollBar->setPageStep(50);
  mScrollBar->setValue(static_cast<int>(std::lround(mScrollOffset * 50)));
  mComboGuard = guard;
  for (QWidget* w : mLayers) {
    auto* l = static_cast<wavPainter*>(w);
    if (l->mZoom != static_cast<int>(mZoom) || l->mScrollOffset != mScrollOffset) l->mNeedsPrepare = true;
    l->mZoom = static_cast<int>(mZoom);
    l->mScrollOffset = mScrollOffset;
  }
  update();
}

void MainWindow::scrollForPlayCursor(int x) {
  wavPainter* first = layer(0);
  if (mLayers.size() < 6 || !first) return;
  if (x == 0) {
    scrollToSelection();
    return;
  }
  const int w = mFrameWav->width();
  const int s = first->sampleToX(mSelStart, false);
  const int e = first->sampleToX(mSelEnd, false);
  if (x < w - 2 && s <= w + 1) return;
  if (x != w - 2 && e - (w + 1) < w + 1) {
    setScrollBarValue(mScrollBar->value() + 1);
    const int step = std::abs(e - first->sampleToX(mSelEnd, false));
    if (step < 1) return;
    while (first->sampleToX(mSelEnd, false) > w - 2 && mScrollBar->value() < mScrollBar->maximum()) {
      const int distance = first->sampleToX(mSelEnd, false) - (w - 2);
      setScrollBarValue(mScrollBar->value() + static_cast<int>(std::ceil(distance / static_cast<double>(step))));
    }
  } else if (e > w + 1) {
    setScrollBarValue(mScrollBar->value() + mScrollBar->pageStep());
  }
}
