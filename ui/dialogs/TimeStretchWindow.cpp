// TimeStretchWindow: set-up, the layer layout and painting, the view
// (zoom, scroll, keeping the selection and the play line in view),
// playback and the clean-up. Mouse and keys are in
// TimeStretchWindowInput.cpp.

#include "TimeStretchWindow.h"

#include <QCloseEvent>
#include <QGuiApplication>
#include <QIcon>
#include <QtDebug>

#include <algorithm>
#include <cmath>

#include "ASTAudition.h"
#include "AudioDeviceASFF.h"
#include "MessageDialog.h"
#include "StandardLayerStack.h"
#include "WaveFileSeekable.h"
#include "WindowGeometry.h"
#include "wavPainterLocation.h"
#include "wavPainterMetaLine.h"
#include "wavPainterSeeker.h"
#include "wavPainterSelecter.h"
#include "wavPainterText.h"

namespace {

// One scroll step is this fraction of a view width.
constexpr int kStepsPerView = 50;

void setPixelSize(QWidget* widget, int pixels) {
  QFont font = widget->font();
  font.setPixelSize(pixels);
  widget->setFont(font);
}

}  // namespace

TimeStretchWindow::TimeStretchWindow(const std::wstring& path, int section, int wave, std::int64_t sampleCount,
                                     std::uint8_t beatsPerBar, const std::vector<std::uint64_t>* beats, int zoom,
                                     ASTAudition* audition, bool manual, std::uint8_t* sourceLevel,
                                     std::uint8_t* clickOn, std::uint8_t* click2On, QObject* owner, QWidget* parent,
                                     double scrollOffset)
    : QDialog(parent),
      mManual(manual ? 1 : 0),
      mClickOn(clickOn),
      mSourceLevel(sourceLevel),
      mClick2On(click2On),
      mAudition(audition),
      mPath(path),
      mBeats(beats),
      mBeatsPerBar(beatsPerBar),
      mOwner(owner) {
  setupUi(this);
  QGuiApplication::setOverrideCursor(Qt::WaitCursor);
  connect(mPushButtonPlay, SIGNAL(clicked()), this, SLOT(releasedBtnPlayLoop()));
  connect(mSliderMetro, SIGNAL(valueChanged(int)), this, SLOT(valueChangedSliderMetro(int)));
  connect(mChkClick, SIGNAL(clicked(bool)), this, SLOT(clickedChkClick(bool)));
  connect(mScrollBar, SIGNAL(valueChanged(int)), this, SLOT(valueChangedScrollBar(int)));
  connect(mBtnHorZoomIn, SIGNAL(clicked()), this, SLOT(releasedBtnHorZoomIn()));
  connect(mBtnHorZoomOut, SIGNAL(clicked()), this, SLOT(releasedBtnHorZoomOut()));

  for (QObject* child : children()) {
    if (auto* widget = qobject_cast<QWidget*>(child)) {
      widget->setFont(font());
      setPixelSize(widget, 11);
    }
  }
  setPixelSize(mChkClick, 20);
  setWindowModality(Qt::ApplicationModal);
  setWindowFlags(Qt::Dialog | Qt::WindowCloseButtonHint);
  setWindowTitle(QStringLiteral("wave viewer - after proccessing time stretch"));
  setAttribute(Qt::WA_MouseTracking);
  mMiddleVerticalLayoutMiddle->setAttribute(Qt::WA_MouseTracking);
  mFrameWav->mMouseTarget = this;
  for (QObject* watched : std::initializer_list<QObject*>{mPushButtonPlay, mSliderMetro, mChkClick, mBtnHorZoomIn,
                                                          mBtnHorZoomOut}) {
    watched->installEventFilter(this);
  }

  loadWave(section, wave, sampleCount, zoom, scrollOffset);
  onSelectAll();
  applyBeatSettings();
  updateSelection(mZoom, false, 0, mScrollOffset);
  if (const auto device = mAudition ? mAudition->audioDevice() : nullptr) {
    connect(mAudition, SIGNAL(signalStop()), this, SLOT(stopped()));
    connect(device.data(), SIGNAL(signalLocation()), this, SLOT(location()));
  }
  const WindowGeometrySettings record(kTimeStretchWindowGeometryGroup);
  restoreWindowGeometry(*this, record, &WindowGeometryAdjuster::adjustWindowToGeometry);
  if (record.loadMaximized()) showMaximized();
  refreshControls();
  QGuiApplication::restoreOverrideCursor();
}

TimeStretchWindow::~TimeStretchWindow() {
  const auto device = mAudition ? mAudition->audioDevice() : nullptr;
  if (device) {
    disconnect(mAudition, SIGNAL(signalStop()), this, SLOT(stopped()));
    disconnect(device.data(), SIGNAL(signalLocation()), this, SLOT(location()));
  }
  for (wavPainter* l : mLayers) delete l;
  mLayers.clear();
  mSeeker.reset();
  saveWindowPlacement(*this, WindowGeometrySettings(kTimeStretchWindowGeometryGroup));
  if (mAudition) {
    const ResultCode code = mAudition->close();
    if (code != 0) {
      showMessage(this, QStringLiteral("Quillmere"),
                  tr("Cannot close the audio output device \"%1\". [%2]").arg(mAudition->deviceName()).arg(code, 0, 16),
                  QMessageBox::Ok, QMessageBox::Ok);
    }
    disconnect(mAudition, SIGNAL(signalStop()), this, SLOT(stopped()));
  }
  QGuiApplication::restoreOverrideCursor();
}

int TimeStretchWindow::exec() {
  releasedBtnPlayLoop();
  return QDialog::exec();
}

wavPainter* TimeStretchWindow::layer(int index) const {
  return index >= 0 && index < static_cast<int>(mLayers.size()) ? mLayers[static_cast<std::size_t>(index)] : nullptr;
}

void TimeStretchWindow::loadWave(int section, int wave, std::int64_t sampleCount, int zoom, double offset) {
  mSection = section;
  mWave = wave;
  mSampleCount = sampleCount;
  mZoom = zoom;
  mScrollOffset = offset;
  mSeeker = std::make_unique<WaveFileSeekable>(mPath);
  mBeatLines.clear();
  if (mBeats) mBeatLines.assign(mBeats->begin(), mBeats->end());
  if (mLayers.empty()) {
    mLayers = StandardLayerStack::create(mFrameWav, mSeeker.get(), sampleCount, zoom, offset, &mBeatLines,
                                         &mTextItems, tr("section assigned"));
  } else {
    for (int channel : {0, 1}) {
      auto* seeker = static_cast<wavPainterSeeker*>(mLayers[static_cast<std::size_t>(channel)]);
      seeker->mSeeker = mSeeker.get();
      seeker->mChannel = channel;
    }
    static_cast<wavPainterText*>(mLayers[StandardLayerStack::kCaption])->setText(tr("section assigned"));
    StandardLayerStack::setView(mLayers, sampleCount, zoom, offset);
  }
  StandardLayerStack::setColours(mLayers);
  mLayers[StandardLayerStack::kSections]->mSkipPaint = true;
  mLayers[StandardLayerStack::kCaption]->mSkipPaint = true;
  mDirty = 1;
}

void TimeStretchWindow::applyBeatSettings() {
  auto* beats = static_cast<wavPainterMetaLine*>(layer(StandardLayerStack::kBeats));
  if (beats) {
    beats->mHighlightPeriod = mBeatsPerBar;
    beats->mDrawLines = mManual == 0;
  }
  if (mPlaying) stopped();
}

void TimeStretchWindow::refreshControls() {
  mUpdating = 1;
  mChkClick->setEnabled(mSelectionExists && !mManual);
  const bool checked = *mClickOn != 0 && !mManual;
  if (mChkClick->isChecked() != checked) {
    mChkClick->setChecked(checked);
    if (mManual) *mClickOn = 0;
  }
  mSliderMetro->setEnabled(mSelectionExists != 0);
  mSliderMetro->setValue(*mSourceLevel);
  mUpdating = 0;
  updateSelection(mZoom, false, 0, mScrollOffset);
}

void TimeStretchWindow::layoutLayers() {
  if (mLayers.size() != StandardLayerStack::kCount) return;
  const int fx = mFrameWav->x(), fy = mFrameWav->y();
  const int wf = mFrameWav->width(), hf = mFrameWav->height();
  const int h = hf - 31 - fy;
  const int m = fy + h / 2;
  auto place = [this](int index, int left, int top, int right, int bottom) {
    const QRect rect(QPoint(left, top), QPoint(right, bottom));
    if (mLayers[static_cast<std::size_t>(index)]->geometry() != rect)
      mLayers[static_cast<std::size_t>(index)]->setGeometry(rect);
  };
  place(0, fx, fy + 10, wf - 2, fy + h / 2 + 9);
  place(1, fx, m + 20, wf - 2, m + h / 2 + 19);
  for (int i : {2, 5, 6}) place(i, fx, fy + 10, wf - 2, fy + 2 * (h / 2) + 19);
  for (int i : {3, 4}) place(i, fx, fy + 2 * (h / 2) + 30, wf - 2, fy + 2 * (h / 2) + 29);
}

void TimeStretchWindow::paintEvent(QPaintEvent* event) {
  const bool dirty =
      mDirty || mFrameWav->geometry() != mPaintedFrame || mZoom != mPaintedZoom || mScrollOffset != mPaintedOffset;
  setNeedsPrepare(dirty);
  mDirty = 0;
  mPaintedFrame = mFrameWav->geometry();
  mPaintedZoom = mZoom;
  mPaintedOffset = mScrollOffset;
  layoutLayers();
  QDialog::paintEvent(event);
  afterPaint();
}

void TimeStretchWindow::afterPaint() {}

void TimeStretchWindow::setNeedsPrepare(bool prepare) {
  for (int i = 0; i < 3; ++i) {
    if (wavPainter* l = layer(i)) l->mNeedsPrepare = prepare;
  }
}

double TimeStretchWindow::clampOffset(int zoom, double offset) const {
  return std::max(0.0, std::min(offset, static_cast<double>(zoom) - 1.0));
}

bool TimeStretchWindow::eventFilter(QObject* watched, QEvent* event) { return QDialog::eventFilter(watched, event); }

void TimeStretchWindow::closeEvent(QCloseEvent* event) {
  if (mPlaying) {
    stopped();
    mPlaying = 0;
  }
  event->accept();
  reject();
}

void TimeStretchWindow::setScrollValue(int value) { mScrollBar->setValue(value); }

int TimeStretchWindow::selectionVisibility() const {
  wavPainter* first = layer(0);
  if (!first) return 0;
  const int left = first->x() - mFrameWav->x();
  const int right = left + mFrameWav->width();
  const int xs = first->sampleToX(mSelStart, false);
  const int xe = first->sampleToX(mSelEnd, false);
  const bool startIn = left < xs && xs < right;
  const bool endIn = left < xe && xe < right;
  if (startIn && endIn) return 1;
  if (xs < left && xe > right) return 4;
  if (xs < left && endIn) return 2;
  if (startIn && xe > right) return 3;
  return 0;
}

void TimeStretchWindow::updateSelection(int zoom, bool keep, int visibility, double offset) {
  mAnchor = QPoint(-1, 0);
  mRightPress = QPoint(-1, -1);
  // An offset past zoom - 1 would draw beyond the end of the recording.
  offset = clampOffset(zoom, offset);
  mZoom = zoom;
  mScrollOffset = offset;
  mUpdating = 1;
  mScrollBar->setMinimum(0);
  mScrollBar->setMaximum(kStepsPerView * zoom - kStepsPerView);
  mScrollBar->setPageStep(kStepsPerView);
  mScrollBar->setValue(static_cast<int>(std::lround(offset * kStepsPerView)));
  mUpdating = 0;
  StandardLayerStack::setView(mLayers, mSampleCount, mZoom, mScrollOffset);
  if (!keep) {
    update();
    return;
  }
  const int now = selectionVisibility();
  qDebug() << QString("Select Condition [%1] -> [%2]").arg(visibility).arg(now);
  const double count = static_cast<double>(std::max<std::int64_t>(mSampleCount, 1));
  if (visibility == 3) {
    if (now != 0) {
      update();
      return;
    }
  } else if (visibility == 1) {
    if (now != 0 && now != 3) {
      update();
      return;
    }
    qDebug() << "should move end to right";
    mScrollOffset = clampOffset(zoom, zoom * (mSelEnd / count) - 1.0);
    setScrollValue(static_cast<int>(mScrollOffset * kStepsPerView));
    const int after = selectionVisibility();
    if (after != 0 && after != 2) {
      update();
      return;
    }
  } else {
    update();
    return;
  }
  qDebug() << "should move start to left";
  mScrollOffset = clampOffset(zoom, zoom * (mSelStart / count));
  setScrollValue(static_cast<int>(mScrollOffset * kStepsPerView));
  update();
}

void TimeStretchWindow::valueChangedScrollBar(int value) {
  if (mUpdating) return;
  updateSelection(mZoom, false, 0, value / static_cast<double>(kStepsPerView));
}

void TimeStretchWindow::releasedBtnHorZoomIn() {
  const double fraction = mScrollOffset / mZoom;
  const int visibility = selectionVisibility();
  const int zoom = static_cast<int>(std::min<std::int64_t>(2 * static_cast<std::int64_t>(mZoom),
                                                           std::max<std::int64_t>(mSampleCount, 1)));
  updateSelection(zoom, true, visibility, fraction * zoom);
}

void TimeStretchWindow::releasedBtnHorZoomOut() {
  const int zoom = mZoom >= 2 ? mZoom / 2 : 1;
  double offset = 0.0;
  if (zoom != 1) {
    offset = mScrollOffset / mZoom * zoom;
    if (offset + 1 >= zoom) offset = zoom - 1;
  }
  updateSelection(zoom, false, 0, offset);
}

void TimeStretchWindow::orderAndShowSelection() {
  if (mSelEnd < mSelStart) std::swap(mSelStart, mSelEnd);
  if (auto* selection = static_cast<wavPainterSelecter*>(layer(StandardLayerStack::kSelection))) {
    selection->mSelStart = mSelStart;
    selection->mSelEnd = mSelEnd;
    selection->mSelectionOn = true;
  }
}

void TimeStretchWindow::onSelectAll() {
  const bool wasPlaying = mPlaying != 0;
  if (wasPlaying) stopped();
  mSelectionExists = 1;
  mSelStart = 0;
  mSelEnd = static_cast<int>(mSampleCount);
  orderAndShowSelection();
  update();
  if (wasPlaying) releasedBtnPlayLoop();
}

void TimeStretchWindow::onClearAll() {
  mSelectionExists = 0;
  mSelStart = 0;
  mSelEnd = static_cast<int>(mSampleCount);
  orderAndShowSelection();
  update();
}

void TimeStretchWindow::releasedBtnPlayOnce() { play(0); }

void TimeStretchWindow::releasedBtnPlayLoop() { play(1); }

void TimeStretchWindow::play(std::uint8_t loop) {
  if (mPlaying) {
    stopped();
    mPlaying = 0;
    return;
  }
  if (!mSelectionExists || mSelStart == mSelEnd || !mAudition) return;
  std::vector<std::int64_t> bars, beats;
  const std::size_t perBar = std::max<std::uint8_t>(mBeatsPerBar, 1);
  const std::size_t count = mBeats ? mBeats->size() : 0;
  auto add = [&](std::vector<std::int64_t>& list, std::size_t index) {
    const auto beat = static_cast<std::int64_t>((*mBeats)[index]);
    if (mSelStart <= beat && beat < mSelEnd) list.push_back(beat - mSelStart);
  };
  for (std::size_t bar = 0; bar < count / perBar; ++bar) {
    add(bars, bar * perBar);
    for (std::size_t k = 1; k < perBar; ++k) add(beats, bar * perBar + k);
  }
  // Without an output that sounds, nothing plays and the controls stay idle.
  const ResultCode played = mAudition->togglePlayFile(mPath, mSelStart, mSelEnd, loop, bars, beats);
  if (Result::failed(played) || !mAudition->isPlaying()) return;
  mPushButtonPlay->setIcon(QIcon(QStringLiteral(":/img/btn_stop.png")));
  mPlaying = 1;
  showSelectionStart();
  if (wavPainter* line = layer(StandardLayerStack::kLocation)) line->mForegroundOn = true;
}

void TimeStretchWindow::stopped() {
  if (mAudition) mAudition->stop();
  mPushButtonPlay->setIcon(QIcon(QStringLiteral(":/img/btn_play.png")));
  mPlaying = 0;
  if (wavPainter* line = layer(StandardLayerStack::kLocation)) line->mForegroundOn = false;
  update();
}

void TimeStretchWindow::location() {
  auto* line = static_cast<wavPainterLocation*>(layer(StandardLayerStack::kLocation));
  if (!mPlaying || !line || !mAudition) return;
  const int x = line->sampleToX(static_cast<int>(mAudition->position()), true);
  followPlayLine(x);
  if (x - 1 == mLocationRect.left()) return;
  line->mLocationX = x;
  line->update(mLocationRect);
  mLocationRect = QRect(QPoint(x - 1, 0), QPoint(x + 1, line->height() - 1));
  line->update(mLocationRect);
}

void TimeStretchWindow::showSelectionStart() {
  wavPainter* selection = layer(StandardLayerStack::kSelection);
  if (!selection) return;
  const int wf = mFrameWav->width();
  const int v = selectionVisibility();
  const int xe = selection->sampleToX(mSelEnd, false);
  const double count = static_cast<double>(std::max<std::int64_t>(mSampleCount, 1));
  double offset = mScrollOffset;
  if (v == 4 || v == 2 || (v == 0 && (xe < 1 || xe == wf))) {
    offset = mZoom * mSelStart / count;
    setScrollValue(std::max(static_cast<int>(offset * kStepsPerView), mScrollBar->minimum()));
  } else if (selection->sampleToX(mSelStart, false) > wf) {
    offset = mZoom * mSelStart / count;
    setScrollValue(std::min(static_cast<int>(offset * kStepsPerView), mScrollBar->maximum()));
  }
  updateSelection(mZoom, false, 0, offset);
}

void TimeStretchWindow::followPlayLine(int x) {
  wavPainter* selection = layer(StandardLayerStack::kSelection);
  if (!selection) return;
  if (x == 0) {
    showSelectionStart();
    return;
  }
  const int wf = mFrameWav->width();
  const int xs = selection->sampleToX(mSelStart, false);
  const int xe = selection->sampleToX(mSelEnd, false);
  if (x < wf - 3 && xs <= wf) return;
  if (x != wf - 3 && xe - wf < wf) {
    setScrollValue(mScrollBar->value() + 1);
    const int step = std::abs(std::abs(xe) - std::abs(selection->sampleToX(mSelEnd, false)));
    if (step < 1) return;
    for (;;) {
      setScrollValue(mScrollBar->value() + static_cast<int>(std::ceil(std::abs(xe - wf) / double(step))) + 1);
      if (mScrollBar->value() >= mScrollBar->maximum()) return;
      if (selection->sampleToX(mSelEnd, false) <= wf - 3) return;
      setScrollValue(mScrollBar->value() + 1);
    }
  } else if (xe > wf) {
    setScrollValue(mScrollBar->value() + mScrollBar->pageStep());
  }
}

void TimeStretchWindow::valueChangedSliderMetro(int value) {
  if (mUpdating) return;
  if (*mSourceLevel != value) *mSourceLevel = static_cast<std::uint8_t>(value);
}

void TimeStretchWindow::clickedChkClick(bool checked) {
  if (mUpdating) return;
  *mClickOn = checked ? 1 : 0;
}
