// MainWindow: the wave view's layers and what the mouse, the keys, the zoom
// buttons and the scroll bar do on it: drawing a selection, dragging either
// edge or the whole selection with Shift held, scrolling while dragging near
// the view's edges, zooming by factors of two. A finished drag becomes the
// current section's range (MainWindowRange.cpp).

#include <QApplication>
#include <QCursor>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMouseEvent>
#include <QAbstractSpinBox>
#include <QtDebug>

#include <algorithm>
#include <cmath>

#include "MainWindow.h"
#include "StandardLayerStack.h"
#include "wavPainterMetaLineDur.h"
#include "wavPainterSelecter.h"

namespace {

constexpr int kEdgeZone = 20;
constexpr int kScrollMargin = 30;
constexpr int kScrollStep = 2;

bool isArrow(int key) { return key == Qt::Key_Left || key == Qt::Key_Right || key == Qt::Key_Up || key == Qt::Key_Down; }

// Arrow keys carry the keypad bit on some systems and not on others; the
// rules below read the modifiers without it.
Qt::KeyboardModifiers withoutKeypad(Qt::KeyboardModifiers modifiers) { return modifiers & ~Qt::KeypadModifier; }

void setOverrideCursorShape(Qt::CursorShape shape) {
  if (QGuiApplication::overrideCursor())
    QGuiApplication::changeOverrideCursor(QCursor(shape));
  else
    QGuiApplication::setOverrideCursor(QCursor(shape));
}

void removeOverrideCursor() {
  if (QGuiApplication::overrideCursor()) QGuiApplication::restoreOverrideCursor();
}

}  // namespace

wavPainter* MainWindow::layer(std::size_t index) const {
  return index < mLayers.size() ? static_cast<wavPainter*>(mLayers[index]) : nullptr;
}

// The layers lie inside the frame, a pixel or two from its left edge: the
// pointer, in frame coordinates, and the pixels of samples are compared in
// frame coordinates.
int MainWindow::frameXOfSample(int sample) const {
  wavPainter* first = layer(0);
  return first ? first->x() + first->sampleToX(sample, false) : 0;
}

QPoint MainWindow::toFramePoint(const QPoint& windowPoint) const {
  return mFrameWav->mapFromGlobal(mapToGlobal(windowPoint));
}

bool MainWindow::insideFrame(const QPoint& p) const {
  return p.x() >= 0 && p.y() >= 0 && p.x() <= mFrameWav->width() && p.y() <= mFrameWav->height();
}

wavPainter* MainWindow::layerAt(const QPoint& p) const {
  for (QWidget* w : mLayers) {
    if (w->geometry().contains(p, true)) return static_cast<wavPainter*>(w);
  }
  return nullptr;
}

int MainWindow::pointToSample(wavPainter* found, const QPoint& p) const {
  wavPainter* first = layer(0);
  if (!first) return 0;
  if (!found || mChkManual->isChecked()) return first->xToSample(p.x() - first->x(), true);
  const int s = found->xToSample(p.x() - found->x(), true);
  return static_cast<int>(snapToBeat(static_cast<std::uint64_t>(std::max(s, 0)), mGridList));
}

void MainWindow::updateHoverMode() {
  const QPoint p = mFrameWav->mapFromGlobal(QCursor::pos());
  wavPainter* first = layer(0);
  const bool over = insideFrame(p) && mCmbWav->currentIndex() != -1 &&
                    withoutKeypad(mKeyModifiers) == Qt::ShiftModifier && first;
  if (!over) {
    mEdgeMode = 3;
    removeOverrideCursor();
    return;
  }
  const int x1 = frameXOfSample(mSelStart);
  const int x2 = frameXOfSample(mSelEnd);
  int zone = kEdgeZone;
  if (mGridList.size() >= 2) {
    zone = first->sampleToX(static_cast<int>(mGridList[1] - mGridList[0]), true) + kEdgeZone;
  }
  const int half = x2 - x1 >= zone ? zone / 2 : 0;
  if (mEdgeMode == 3) {
    if (p.x() <= x1 + half)
      mEdgeMode = 1;
    else if (p.x() < x2 - half)
      mEdgeMode = 2;
    else
      mEdgeMode = 0;
  }
  setOverrideCursorShape(mEdgeMode <= 1 ? Qt::SplitHCursor : Qt::SizeHorCursor);
  if (QWidget* focused = QApplication::focusWidget()) focused->clearFocus();
}

void MainWindow::mousePressEvent(QMouseEvent* event) {
  if (!mFrameWav->isEnabled()) return;
  const QPoint p = toFramePoint(event->pos());
  qDebug() << QString("mouse[ %1 , %2 ] mFrame[ %3 , %4 ]")
                  .arg(p.x())
                  .arg(p.y())
                  .arg(mFrameWav->width())
                  .arg(mFrameWav->height());
  mAnchor = QPoint(-1, 0);
  mRightPressPoint = QPoint(-1, 0);
  mDragDirection = 2;
  if (!insideFrame(p)) return;
  if (event->button() == Qt::RightButton) {
    mRightPressPoint = p;
  } else if (event->button() == Qt::LeftButton) {
    if (mEdgeMode != 0) mAnchor = p;
    mPressPoint = p;
    updateHoverMode();
  }
}

void MainWindow::mouseMoveEvent(QMouseEvent* event) {
  const QPoint p = toFramePoint(event->pos());
  if (!insideFrame(p)) {
    updateHoverMode();
    return;
  }
  wavPainter* first = layer(0);
  if (!(event->buttons() & Qt::LeftButton) || !first) {
    updateHoverMode();
    update();
    return;
  }
  mSelShown = true;
  wavPainter* under = layerAt(p);
  switch (mEdgeMode) {
    case 0:
      mAnchor = QPoint(frameXOfSample(mSelStart), p.y());
      mSelEnd = pointToSample(under, p);
      scrollWhileDraggingEdge(p, 0);
      break;
    case 1:
      mAnchor = p;
      if (mAnchor.x() != -1) mSelStart = pointToSample(under, p);
      scrollWhileDraggingEdge(p, 1);
      break;
    case 2: moveWholeSelection(p, p.x() - mAnchor.x()); break;
    default:
      mSelEnd = pointToSample(under, p);
      if (mAnchor.x() != -1) mSelStart = pointToSample(layerAt(mAnchor), mAnchor);
      break;
  }
  pushSelectionToLayers();
  updateHoverMode();
  update();
}

void MainWindow::setSelectionFromSection(int section) {
  SecInfo* sec = nullptr;
  std::uint64_t start = 0;
  std::uint64_t end = 0;
  if (mCore.getSecInfo(static_cast<std::uint8_t>(section), &sec) == 0 && sec && sec->used) {
    if (mCore.getPickupRange(static_cast<std::uint8_t>(section), start, end) != 0) start = end = 0;
  }
  mSelStart = static_cast<int>(start);
  mSelEnd = static_cast<int>(end);
  mSelShown = start != 0 || end != 0;
}

void MainWindow::moveWholeSelection(const QPoint& p, int dx) {
  wavPainter* first = layer(0);
  if (mCurrentSection >= 0 && mCurrentSection <= 14) {
    SecInfo* sec = nullptr;
    if (mCore.getSecInfo(static_cast<std::uint8_t>(mCurrentSection), &sec) == 0 && sec && sec->used)
      setSelectionFromSection(mCurrentSection);
  }
  const int last = static_cast<int>(mSampleCount) - 1;
  const int length = mSelEnd - mSelStart;
  const int oldStartX = frameXOfSample(mSelStart);
  const int oldEndX = frameXOfSample(mSelEnd);
  wavPainter* under = layerAt(p);
  int start = pointToSample(under, QPoint(oldStartX + dx, p.y()));
  int end = pointToSample(under, QPoint(oldEndX + dx, p.y()));
  if (start <= 0) {
    start = 0;
    end = length;
  } else if (end >= last) {
    end = last;
    start = last - length;
  }
  if ((dx < 0 && mDragDirection == 0) || (dx > 0 && mDragDirection == 1)) mAnchor = p;
  mDragDirection = dx <= 0 ? 1 : 0;
  mSelStart = start;
  mSelEnd = end;

  const int maximum = mScrollBar->maximum();
  if (maximum <= 0) return;
  const int span = first->sampleToX(static_cast<int>(mSampleCount), false) - first->sampleToX(0, false);
  if (span / maximum == 0) return;
  const int w = mFrameWav->width();
  const bool towardsLeft = frameXOfSample(start) <= mFrameWav->x() + kScrollMargin && dx < 0 && start != 0;
  const bool towardsRight = dx > 0 && frameXOfSample(end) >= w - kScrollMargin && end != last;
  if (!towardsLeft && !towardsRight) return;
  if (oldStartX < 0 && oldEndX > w)
    scrollPagesWhileMoving(towardsLeft);
  else
    scrollStepWhileMoving(towardsLeft);
}

void MainWindow::setScrollBarValue(int value) {
  mScrollBar->setValue(std::max(mScrollBar->minimum(), std::min(value, mScrollBar->maximum())));
}

void MainWindow::scrollWhileDraggingEdge(const QPoint& p, int edge) {
  wavPainter* first = layer(0);
  if (!first) return;
  const int value = mScrollBar->value();
  if (value < mScrollBar->maximum() && p.x() >= mFrameWav->width() - kScrollMargin)
    setScrollBarValue(value + kScrollStep);
  else if (value > mScrollBar->minimum() && p.x() <= mFrameWav->x() + kScrollMargin)
    setScrollBarValue(value - kScrollStep);
  else
    return;
  const int x = frameXOfSample(edge == 0 ? mSelEnd : mSelStart);
  QCursor::setPos(mFrameWav->mapToGlobal(QPoint(x, p.y())));
  mAnchor = QPoint(x, p.y());
}

void MainWindow::scrollPagesWhileMoving(bool left) {
  wavPainter* first = layer(0);
  if (!first) return;
  const int w = mFrameWav->width();
  auto leadingInside = [&] {
    const int x = frameXOfSample(left ? mSelStart : mSelEnd);
    return x >= 0 && x <= w;
  };
  while (!leadingInside()) {
    const int value = mScrollBar->value();
    if (left ? value <= mScrollBar->minimum() : value >= mScrollBar->maximum()) break;
    setScrollBarValue(value + (left ? -mScrollBar->pageStep() : mScrollBar->pageStep()));
  }
  mAnchor.setX(left ? frameXOfSample(mSelStart) + kScrollMargin : frameXOfSample(mSelEnd) - kScrollMargin);
}

void MainWindow::scrollStepWhileMoving(bool left) {
  wavPainter* first = layer(0);
  if (!first) return;
  const QPoint kept = mAnchor;
  const int before = first->sampleToX(mSelEnd, false);
  setScrollBarValue(mScrollBar->value() + (left ? -kScrollStep : kScrollStep));
  mAnchor = kept;
  const int w = mFrameWav->width();
  const int d = std::min(std::abs(first->sampleToX(mSelEnd, false) - before), w);
  const QPoint cursor = mFrameWav->mapFromGlobal(QCursor::pos());
  const int x = left ? std::min(cursor.x() + d, w) : std::max(cursor.x() - d, 0);
  QCursor::setPos(mFrameWav->mapToGlobal(QPoint(x, cursor.y())));
  mAnchor.rx() += x - cursor.x();
}

void MainWindow::pushSelectionToLayers() {
  if (mSelStart > mSelEnd) std::swap(mSelStart, mSelEnd);
  if (auto* selection = dynamic_cast<wavPainterSelecter*>(layer(StandardLayerStack::kSelection))) {
    selection->mBackgroundOn = true;
    selection->mForegroundOn = mSelShown;
    selection->mSelectionOn = mSelShown;
    selection->mSelStart = mSelStart;
    selection->mSelEnd = mSelEnd;
  }
  if (auto* ranges = dynamic_cast<wavPainterMetaLineDur*>(layer(StandardLayerStack::kSections))) {
    ranges->mSelectionOn = mSelShown;
    ranges->mSelStart = mSelStart;
    ranges->mSelEnd = mSelEnd;
  }
  for (QWidget* w : mLayers) w->update();
}

int MainWindow::selectionCondition() const {
  wavPainter* view = layer(StandardLayerStack::kSelection);
  if (!view) view = layer(0);
  if (!view) return 0;
  const int w = view->width();
  const int s = view->sampleToX(mSelStart, false);
  const int e = view->sampleToX(mSelEnd, false);
  auto inside = [w](int x) { return x > 0 && x < w; };
  if (inside(s) && inside(e)) return 1;
  if (s < 0 && e > w) return 4;
  if (s < 0 && inside(e)) return 2;
  if (inside(s) && e > w) return 3;
  return 0;
}

void MainWindow::adjustSelection(std::uint32_t zoom, bool scrollToSelection, int previous, double scroll) {
  const bool on = mCmbWav->currentIndex() != -1 && mProjectState != 0;
  mScrollBar->setEnabled(on);
  mBtnHorZoomIn->setEnabled(on);
  mBtnHorZoomOut->setEnabled(on);
  mAnchor = QPoint(-1, 0);
  mRightPressPoint = QPoint(-1, 0);
  zoom = std::max<std::uint32_t>(zoom, 1);
  // The view never starts before the recording nor after its last width.
  auto store = [this, zoom](double offset) {
    mScrollOffset = std::max(0.0, std::min(offset, static_cast<double>(zoom) - 1.0));
    const std::uint8_t guard = mComboGuard;
    mComboGuard = 1;
    mScrollBar->setMinimum(0);
    mScrollBar->setMaximum(static_cast<int>(zoom) * 50 - 50);
    mScrollBar->setPageStep(50);
    mScrollBar->setValue(static_cast<int>(std::lround(mScrollOffset * 50)));
    mComboGuard = guard;
    for (QWidget* w : mLayers) {
      auto* l = static_cast<wavPainter*>(w);
      if (l->mZoom != static_cast<int>(zoom) || l->mScrollOffset != mScrollOffset) l->mNeedsPrepare = true;
      l->mZoom = static_cast<int>(zoom);
      l->mScrollOffset = mScrollOffset;
    }
  };
  mZoom = zoom;
  store(scroll);
  if (!scrollToSelection) {
    update();
    return;
  }
  int now = selectionCondition();
  qDebug() << QString("Select Condition [%1] -> [%2]").arg(previous).arg(now);
  const double count = mSampleCount == 0 ? 1.0 : static_cast<double>(mSampleCount);
  if (previous == 3) {
    if (now != 0) return;
    store(zoom * (mSelStart / count));  // the start had left the view on the left
  } else if (previous == 1) {
    if (now != 0 && now != 3) return;
    store(zoom * (mSelEnd / count) - 1);  // bring the end back in from the right
    now = selectionCondition();
    if (now == 0 || now == 2) store(zoom * (mSelStart / count));
  } else {
    return;
  }
  update();
}

void MainWindow::releasedBtnHorZoomIn() {
  const double ratio = mScrollOffset / mZoom;
  const int before = selectionCondition();
  const std::uint64_t limit = std::max<std::uint64_t>(mSampleCount, 1);
  const auto zoom = static_cast<std::uint32_t>(std::min<std::uint64_t>(std::uint64_t{mZoom} * 2, limit));
  adjustSelection(std::max(zoom, mZoom), true, before, ratio * std::max(zoom, mZoom));
}

void MainWindow::releasedBtnHorZoomOut() {
  const std::uint32_t zoom = std::max<std::uint32_t>(mZoom / 2, 1);
  double scroll = 0.0;
  if (zoom != 1) {
    scroll = mScrollOffset / mZoom * zoom;
    if (scroll + 1 >= zoom) scroll = zoom - 1;
  }
  adjustSelection(zoom, false, 0, scroll);
}

void MainWindow::valueChangedScrollBar(int value) {
  if (mComboGuard) return;
  adjustSelection(mZoom, false, 0, value / 50.0);
}

void MainWindow::onSelectAll() { selectWholeWave(true); }

void MainWindow::onClearAll() { selectWholeWave(false); }

void MainWindow::keyPressEvent(QKeyEvent* event) {
  mKeyModifiers = event->modifiers();
  updateHoverMode();
  const Qt::KeyboardModifiers modifiers = withoutKeypad(event->modifiers());
  const int key = event->key();
  if (modifiers == Qt::ShiftModifier && isArrow(key) && layer(0)) {
    QPoint cursor = mapFromGlobal(QCursor::pos());
    if (mAnchor.x() == -1) {
      QMouseEvent press(QEvent::MouseButtonPress, cursor, Qt::LeftButton, Qt::LeftButton, event->modifiers());
      mousePressEvent(&press);
      mKeyDrag = true;
    }
    const int step = key == Qt::Key_Left || key == Qt::Key_Right ? 1 : 10;
    cursor.rx() += key == Qt::Key_Left || key == Qt::Key_Up ? -step : step;
    QCursor::setPos(mapToGlobal(cursor));
    QMouseEvent move(QEvent::MouseMove, cursor, Qt::NoButton, Qt::LeftButton, event->modifiers());
    mouseMoveEvent(&move);
  } else if (modifiers == Qt::NoModifier && isArrow(key)) {
    const int step = key == Qt::Key_Left || key == Qt::Key_Right ? 1 : mScrollBar->pageStep();
    setScrollBarValue(mScrollBar->value() + (key == Qt::Key_Left || key == Qt::Key_Up ? -step : step));
  } else if (modifiers == Qt::ControlModifier && key == Qt::Key_A) {
    onSelectAll();
  } else if (modifiers == (Qt::ControlModifier | Qt::ShiftModifier) && key == Qt::Key_A) {
    onClearAll();
  } else {
    QMainWindow::keyPressEvent(event);
  }
}

void MainWindow::keyReleaseEvent(QKeyEvent* event) {
  mKeyModifiers = event->modifiers();
  updateHoverMode();
  if (withoutKeypad(event->modifiers()) != Qt::NoModifier) return;
  removeOverrideCursor();
  if (event->key() == Qt::Key_Shift && mKeyDrag) {
    if (mAnchor.x() != -1 || mAnchor.y() != 0) {
      QMouseEvent release(QEvent::MouseButtonRelease, mapFromGlobal(QCursor::pos()), Qt::LeftButton, Qt::NoButton,
                          Qt::NoModifier);
      mouseReleaseEvent(&release);
    }
    mKeyDrag = false;
  } else if (event->key() == Qt::Key_Space) {
    QWidget* focused = findFocusedChild(this);
    releasedBtnPlayLoop();
    if (focused) {
      focused->setFocus();
      if (auto* edit = qobject_cast<QLineEdit*>(focused)) edit->selectAll();
      if (auto* spin = qobject_cast<QAbstractSpinBox*>(focused)) spin->selectAll();
    }
  }
}

QWidget* MainWindow::findFocusedChild(QWidget* widget) const {
  for (QObject* child : widget->children()) {
    auto* w = qobject_cast<QWidget*>(child);
    if (!w) continue;
    if (w->hasFocus()) return w;
    if (QWidget* found = findFocusedChild(w)) return found;
  }
  return nullptr;
}

bool MainWindow::filterJobWindowEvent(QObject* watched, QEvent* event, bool& filtered) {
  ProgressDialog* progress = nullptr;
  for (ProgressDialog* job : {mAnaProgress, mExportProgress, mStretchProgress}) {
    if (job && watched == job) progress = job;
  }
  if (!progress && (!mStretchViewer || watched != mStretchViewer)) return false;
  switch (event->type()) {
    case QEvent::Resize: {
      if (!progress) return false;
      const QRect g = progress->geometry();
      const QSize size(g.right() - g.left() + 1, g.bottom() - g.top() + 1);
      progress->setMinimumSize(size);
      progress->setMaximumSize(size);
      event->accept();
      filtered = false;
      return true;
    }
    case QEvent::KeyPress:
    case QEvent::KeyRelease: {
      const auto* key = static_cast<QKeyEvent*>(event);
      mKeyModifiers = key->modifiers();
      qDebug() << "KeyModifiers: " << key->modifiers() << ", Key: " << key->key();
      if (key->key() != Qt::Key_Escape) return false;
      qDebug() << "Qt::Key_Escape - cancel Close";
      event->ignore();
      filtered = true;
      return true;
    }
    case QEvent::Close:
      if (mKeyModifiers & Qt::AltModifier) {
        qDebug() << "cancel Close";
      } else if (!progress || progress->closable) {
        return false;
      }
      event->ignore();
      filtered = true;
      return true;
    default: return false;
  }
}

void MainWindow::paintEvent(QPaintEvent* event) {
  const QSize size = mFrameWav->size();
  const bool relayout =
      size != mPaintedFrameSize || mZoom != mPaintedZoom || mScrollOffset != mPaintedScroll || mFullRepaint;
  for (std::size_t i = 0; i < 3; ++i) {
    if (wavPainter* l = layer(i)) l->mNeedsPrepare = l->mNeedsPrepare || relayout;
  }
  mFullRepaint = false;
  mPaintedFrameSize = size;
  mPaintedZoom = mZoom;
  mPaintedScroll = mScrollOffset;
  placeLayers();
  QMainWindow::paintEvent(event);
}
