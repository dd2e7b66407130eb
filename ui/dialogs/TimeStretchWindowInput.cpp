// TimeStretchWindow: the mouse and the keys. A drag draws a selection
// snapped to the beats; with Shift held, the edge under the pointer or the
// whole selection moves, and the view scrolls when the pointer nears its
// sides. Shift with the arrows drags with the keyboard; Space toggles the
// loop and gives the focus back.

#include <QApplication>
#include <QCursor>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMouseEvent>
#include <QSpinBox>
#include <QtDebug>

#include <algorithm>

#include "StandardLayerStack.h"
#include "TimeStretchWindow.h"
#include "wavPainter.h"

namespace {

constexpr int kEdgeBand = 20;
constexpr int kNearSide = 30;
constexpr int kNudge = 2;

bool isArrow(int key) { return key == Qt::Key_Left || key == Qt::Key_Right || key == Qt::Key_Up || key == Qt::Key_Down; }

void restoreCursor() {
  if (QGuiApplication::overrideCursor()) QGuiApplication::restoreOverrideCursor();
}

QWidget* focusedDescendant(QWidget* widget) {
  for (QObject* child : widget->children()) {
    auto* w = qobject_cast<QWidget*>(child);
    if (!w) continue;
    if (w->hasFocus()) return w;
    if (QWidget* found = focusedDescendant(w)) return found;
  }
  return nullptr;
}

}  // namespace

QPoint TimeStretchWindow::framePoint(const QPoint& dialogPoint) const { return mFrameWav->mapFrom(this, dialogPoint); }

bool TimeStretchWindow::insideFrame(const QPoint& p) const {
  return p.x() >= 0 && p.y() >= 0 && p.x() <= mFrameWav->width() && p.y() <= mFrameWav->height();
}

int TimeStretchWindow::layerAt(const QPoint& p) const {
  for (std::size_t i = 0; i < mLayers.size(); ++i) {
    if (mLayers[i]->geometry().translated(mFrameWav->pos()).contains(p, true)) return static_cast<int>(i);
  }
  return -1;
}

int TimeStretchWindow::pointToSample(int index, const QPoint& p) const {
  wavPainter* first = layer(0);
  if (!first) return 0;
  if (index < 0 || index > 6 || mManual) return first->xToSample(p.x() - first->x() - mFrameWav->x(), true);
  wavPainter* at = layer(index);
  const std::int64_t s = at->xToSample(p.x() - at->x() - mFrameWav->x(), true);
  if (!mBeats || mBeats->empty()) return static_cast<int>(s);
  const std::vector<std::uint64_t>& beats = *mBeats;
  const auto first0 = static_cast<std::int64_t>(beats.front());
  if (s < first0 && first0 - s > s) return 0;
  const auto next = std::upper_bound(beats.begin(), beats.end(), static_cast<std::uint64_t>(std::max<std::int64_t>(s, 0)));
  if (next == beats.end()) {
    const auto last = static_cast<std::int64_t>(beats.back());
    return static_cast<int>(s - last < (mSampleCount - 1) - s ? last : mSampleCount - 1);
  }
  if (next == beats.begin()) return static_cast<int>(*next);
  const auto after = static_cast<std::int64_t>(*next);
  const auto before = static_cast<std::int64_t>(*(next - 1));
  return static_cast<int>(s - before < after - s ? before : after);
}

void TimeStretchWindow::updateHoverMode() {
  const QPoint p = mFrameWav->mapFromGlobal(QCursor::pos());
  const Qt::KeyboardModifiers shift = mModifiers & ~Qt::KeypadModifier;
  wavPainter* first = layer(0);
  const bool over = p.x() >= mFrameWav->x() && p.x() <= mFrameWav->width() && p.y() >= mFrameWav->y() &&
                    p.y() <= mFrameWav->height();
  if (!over || shift != Qt::ShiftModifier || !first) {
    mEdgeMode = 3;
    restoreCursor();
    return;
  }
  const int xs = first->sampleToX(mSelStart, false);
  const int xe = first->sampleToX(mSelEnd, false);
  int band = kEdgeBand;
  if (mBeats && mBeats->size() >= 2) band += first->sampleToX(static_cast<int>((*mBeats)[1] - (*mBeats)[0]), true);
  const int half = xe - xs >= band ? band / 2 : 0;
  if (mEdgeMode == 3) mEdgeMode = p.x() <= xs + half ? 1 : (p.x() < xe - half ? 2 : 0);
  restoreCursor();
  QGuiApplication::setOverrideCursor(QCursor(mEdgeMode == 2 ? Qt::SizeHorCursor : Qt::SplitHCursor));
  if (QWidget* focused = focusWidget()) focused->clearFocus();
}

void TimeStretchWindow::mousePressEvent(QMouseEvent* event) {
  const QPoint p = framePoint(event->pos());
  qDebug() << QString("mouse[ %1 , %2 ] mFrame[ %3 , %4 ]").arg(p.x()).arg(p.y()).arg(mFrameWav->width()).arg(
      mFrameWav->height());
  mAnchor = QPoint(-1, 0);
  mRightPress = QPoint(-1, -1);
  mPressSelStart = mPressSelEnd = -1;
  mLastDirection = 2;
  if (!insideFrame(p)) return;
  if (event->button() == Qt::RightButton) {
    mRightPress = p;
  } else if (event->button() == Qt::LeftButton) {
    if (mEdgeMode != 0) {
      mAnchor = p;
      mPressSelStart = mSelStart;
      mPressSelEnd = mSelEnd;
    }
    mPressPoint = p;
  }
  updateHoverMode();
}

void TimeStretchWindow::scrollWhileDraggingEdge(const QPoint& p, bool startEdge) {
  wavPainter* first = layer(0);
  int step = 0;
  if (mScrollBar->value() < mScrollBar->maximum() && p.x() >= mFrameWav->width() - kNearSide)
    step = kNudge;
  else if (mScrollBar->value() > mScrollBar->minimum() && p.x() <= mFrameWav->x() + kNearSide)
    step = -kNudge;
  if (step == 0 || !first) return;
  setScrollValue(mScrollBar->value() + step);
  const int x = first->sampleToX(startEdge ? mSelStart : mSelEnd, true) + first->x() + mFrameWav->x();
  QCursor::setPos(mFrameWav->mapToGlobal(QPoint(x, p.y())));
  mAnchor = QPoint(x, p.y());
}

void TimeStretchWindow::scrollStepWhileMoving(bool left) {
  wavPainter* first = layer(0);
  if (!first) return;
  const int before = first->sampleToX(mSelEnd, false);
  setScrollValue(std::max(mScrollBar->minimum(), mScrollBar->value() + (left ? -kNudge : kNudge)));
  const int moved = first->sampleToX(mSelEnd, false) - before;
  QPoint pointer = mFrameWav->mapFromGlobal(QCursor::pos());
  pointer.setX(std::max(0, std::min(mFrameWav->width(), pointer.x() + moved)));
  QCursor::setPos(mFrameWav->mapToGlobal(pointer));
  mAnchor.rx() += moved;
}

void TimeStretchWindow::scrollPagesWhileMoving(bool left) {
  wavPainter* first = layer(0);
  if (!first) return;
  const int wf = mFrameWav->width();
  for (;;) {
    const int x = first->sampleToX(left ? mSelStart : mSelEnd, false);
    if (x >= 0 && x <= wf) break;
    const int before = mScrollBar->value();
    setScrollValue(before + (left ? -mScrollBar->pageStep() : mScrollBar->pageStep()));
    if (mScrollBar->value() == before) break;
  }
  mAnchor.setX(left ? first->sampleToX(mSelStart, false) + kNearSide : first->sampleToX(mSelEnd, false) - kNearSide);
}

void TimeStretchWindow::moveSelection(const QPoint& p) {
  wavPainter* first = layer(0);
  mSelStart = mPressSelStart;
  mSelEnd = mPressSelEnd;
  const int length = mSelEnd - mSelStart;
  const int dx = p.x() - mAnchor.x();
  const int xs = first->sampleToX(mSelStart, false) + first->x() + mFrameWav->x() + dx;
  const int xe = first->sampleToX(mSelEnd, false) + first->x() + mFrameWav->x() + dx;
  mSelStart = pointToSample(0, QPoint(xs, p.y()));
  mSelEnd = pointToSample(0, QPoint(xe, p.y()));
  if (mSelStart < 1) {
    mSelStart = 0;
    mSelEnd = length;
  } else if (mSelEnd >= mSampleCount - 1) {
    mSelEnd = static_cast<int>(mSampleCount - 1);
    mSelStart = mSelEnd - length;
  }
  const int direction = dx < 0 ? 1 : 0;
  if (mLastDirection != 2 && direction != mLastDirection) {
    mAnchor = p;
    mPressSelStart = mSelStart;
    mPressSelEnd = mSelEnd;
  }
  mLastDirection = direction;
  const bool left = direction == 1;
  const bool nearSide = left ? first->sampleToX(mSelStart, false) <= mFrameWav->x() + kNearSide && mSelStart > 0
                             : first->sampleToX(mSelEnd, false) >= mFrameWav->width() - kNearSide &&
                                   mSelEnd < mSampleCount - 1;
  if (mScrollBar->maximum() > 0 && nearSide) {
    const int pressStartX = first->sampleToX(mPressSelStart, false);
    const int pressEndX = first->sampleToX(mPressSelEnd, false);
    if (pressStartX < 0 && pressEndX > mFrameWav->width())
      scrollPagesWhileMoving(left);
    else
      scrollStepWhileMoving(left);
  }
}

void TimeStretchWindow::mouseMoveEvent(QMouseEvent* event) {
  const QPoint p = framePoint(event->pos());
  if (!insideFrame(p)) {
    updateHoverMode();
    return;
  }
  if (!(event->buttons() & Qt::LeftButton) || !layer(0)) {
    updateHoverMode();
    update();
    return;
  }
  mSelectionExists = 1;
  switch (mEdgeMode) {
    case 1:
      mAnchor = p;
      mSelStart = pointToSample(layerAt(p), p);
      scrollWhileDraggingEdge(p, true);
      break;
    case 0:
      mAnchor = QPoint(layer(0)->sampleToX(mSelStart, false), p.y());
      mSelEnd = pointToSample(layerAt(p), p);
      scrollWhileDraggingEdge(p, false);
      break;
    case 2:
      if (mPressSelStart >= 0) moveSelection(p);
      break;
    default:
      mSelEnd = pointToSample(layerAt(p), p);
      if (mAnchor != QPoint(-1, 0)) mSelStart = pointToSample(layerAt(mAnchor), mAnchor);
      break;
  }
  orderAndShowSelection();
  update();
  updateHoverMode();
  update();
}

void TimeStretchWindow::mouseReleaseEvent(QMouseEvent*) {
  if (mAnchor != QPoint(-1, 0)) {
    const bool wasPlaying = mPlaying != 0;
    if (wasPlaying) stopped();
    mAnchor = QPoint(-1, 0);
    mPressSelStart = mPressSelEnd = -1;
    if (wasPlaying) releasedBtnPlayLoop();
  }
  mPressPoint = QPoint(-1, 0);
  mLastDirection = 2;
}

void TimeStretchWindow::sendMouse(QEvent::Type type, const QPoint& global) {
  const Qt::MouseButton button = type == QEvent::MouseMove ? Qt::NoButton : Qt::LeftButton;
  const Qt::MouseButtons held = type == QEvent::MouseButtonRelease ? Qt::NoButton : Qt::LeftButton;
  QMouseEvent event(type, mapFromGlobal(global), global, button, held, mModifiers);
  if (type == QEvent::MouseButtonPress)
    mousePressEvent(&event);
  else if (type == QEvent::MouseMove)
    mouseMoveEvent(&event);
  else
    mouseReleaseEvent(&event);
}

void TimeStretchWindow::keyPressEvent(QKeyEvent* event) {
  mModifiers = event->modifiers();
  updateHoverMode();
  const Qt::KeyboardModifiers mods = mModifiers & ~Qt::KeypadModifier;
  const int key = event->key();
  if (mods == Qt::NoModifier) {
    if (key == Qt::Key_Left || key == Qt::Key_Right) setScrollValue(mScrollBar->value() + (key == Qt::Key_Left ? -1 : 1));
    if (key == Qt::Key_Up || key == Qt::Key_Down)
      setScrollValue(mScrollBar->value() + (key == Qt::Key_Up ? -1 : 1) * mScrollBar->pageStep());
  } else if (mods == Qt::ShiftModifier && isArrow(key) && layer(0)) {
    // Arrows carry the keypad bit on some systems only: both are taken.
    if (mAnchor == QPoint(-1, 0)) {
      sendMouse(QEvent::MouseButtonPress, QCursor::pos());
      mKeyDrag = 1;
    }
    const int distance = (key == Qt::Key_Left || key == Qt::Key_Right) ? 1 : 10;
    const int sign = (key == Qt::Key_Left || key == Qt::Key_Up) ? -1 : 1;
    const QPoint moved = QCursor::pos() + QPoint(sign * distance, 0);
    QCursor::setPos(moved);
    sendMouse(QEvent::MouseMove, moved);
  } else if (mods == Qt::ControlModifier && key == Qt::Key_A) {
    onSelectAll();
  } else if (mods == (Qt::ControlModifier | Qt::ShiftModifier) && key == Qt::Key_A) {
    onClearAll();
  }
}

void TimeStretchWindow::keyReleaseEvent(QKeyEvent* event) {
  mModifiers = event->modifiers();
  updateHoverMode();
  if ((mModifiers & ~Qt::KeypadModifier) != Qt::NoModifier) return;
  restoreCursor();
  if (event->key() == Qt::Key_Shift && mKeyDrag) {
    if (mAnchor != QPoint(-1, 0)) sendMouse(QEvent::MouseButtonRelease, QCursor::pos());
    mKeyDrag = 0;
  } else if (event->key() == Qt::Key_Space) {
    QWidget* focused = focusedDescendant(this);
    releasedBtnPlayLoop();
    if (!focused) return;
    focused->setFocus(Qt::OtherFocusReason);
    if (auto* edit = qobject_cast<QLineEdit*>(focused)) edit->selectAll();
    if (auto* spin = qobject_cast<QSpinBox*>(focused)) spin->selectAll();
  }
}
