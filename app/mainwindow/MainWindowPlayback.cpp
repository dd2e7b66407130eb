// MainWindow: the play/stop control (also Space), the stop handling, the
// moving play line, and the choice of the output device.

#include <QIcon>

#include <algorithm>
#include <cmath>

#include "ASTAudition.h"
#include "AnalysisUtil.h"
#include "AudioSetupEditor.h"
#include "MainWindow.h"
#include "MessageDialog.h"
#include "SectionWaveInfo.h"
#include "StandardLayerStack.h"
#include "TempoRatio.h"
#include "wavPainterLocation.h"

namespace {

const QString kTitle = QStringLiteral("Quillmere");

}  // namespace

const QString MainWindow::kPlayIcon = QStringLiteral(":/img/btn_play.png");
const QString MainWindow::kStopIcon = QStringLiteral(":/img/btn_stop.png");

void MainWindow::releasedBtnPlayLoop() {
  if (mPlaying) {
    releasedBtnStopped();
    mPlaying = 0;
    return;
  }
  if (mChkTimeStretch->isChecked()) {
    startTimeStretch();
    return;
  }
  const int lo = std::min(mSelStart, mSelEnd);
  const int hi = std::max(mSelStart, mSelEnd);
  if (mCurrentSection < 0 || mCurrentSection > 14 || !mSelShown || lo >= hi) return;
  const auto section = static_cast<std::uint8_t>(mCurrentSection);
  const SectionWaveInfo record(&mCore, section);
  SecInfo* sec = nullptr;
  if (record.sectionIndex < 0 || mCore.getSecInfo(section, &sec) != 0 || !sec) return;
  if ((record.secondSeconds - record.startSeconds) * 10000.0 < 1.0) {
    showMessage(this, kTitle, tr("Selected range of waveform is too short."), QMessageBox::Ok, QMessageBox::Ok);
    return;
  }
  const double sectionSeconds = calcTempo(static_cast<unsigned>(record.numerator),
                                          static_cast<unsigned>(record.denominator),
                                          static_cast<unsigned>(record.bars), record.tempo);
  const double ratio = calcRatio(sectionSeconds, std::fabs(record.secondSeconds - record.startSeconds));
  if (isRatioOutOfRange(ratio * 100.0)) {
    showMessage(this, kTitle, tr("stretch ratio error!"), QMessageBox::Ok, QMessageBox::Ok);
    return;
  }
  WavInfo* wave = nullptr;
  const auto chosen = static_cast<std::uint8_t>(mCmbTrimSec->currentIndex());
  if (mCore.getSecWaveOnly(chosen, &wave) != 0 || !wave) return;
  const AnalysisUtil util;
  const std::uint64_t end = wave->onsetTime.empty() ? 0 : util.secondsToSamples(wave->onsetTime.back());
  setSectionWaveView(mCmbWav->currentIndex(), mCurrentSection, end, {}, mZoom, mScrollOffset);
  adjustSelection(mZoom, false, 0, mScrollOffset);

  const ResultCode played = mAudition.togglePlaySection(&mCore, static_cast<std::uint8_t>(mCurrentWave), section, lo,
                                                        hi, sec->halfBeat, sec->pickupSw, sec->pickupNum, 0);
  if (played != 0) {
    // A recording that cannot be played is reported, never played as
    // silence with a moving play line.
    showMessage(this, kTitle, mCore.lastError, QMessageBox::Ok, QMessageBox::Ok);
    return;
  }
  mPushButtonPlay->setIcon(QIcon(kStopIcon));
  mPlaying = 1;
  scrollToSelection();
  if (wavPainter* line = layer(StandardLayerStack::kLocation)) line->mForegroundOn = true;
  mPlayStart = lo;
  mChkTimeStretch->setEnabled(false);
}

void MainWindow::releasedBtnStopped() {
  if (!mAudioDeviceOn) return;
  mAudition.stop();
  mPushButtonPlay->setIcon(QIcon(kPlayIcon));
  mPlaying = 0;
  mChkTimeStretch->setEnabled(true);
  if (wavPainter* line = layer(StandardLayerStack::kLocation)) line->mForegroundOn = false;
  repaint();
}

void MainWindow::location() {
  auto* line = static_cast<wavPainterLocation*>(layer(StandardLayerStack::kLocation));
  if (!mPlaying || !line) return;
  const int x = line->sampleToX(static_cast<int>(mAudition.position()), true);
  scrollForPlayCursor(x);
  if (x - 1 == mLocationRect.left()) return;
  line->mLocationX = x;
  line->repaint(mLocationRect);
  mLocationRect = QRect(QPoint(x - 1, 0), QPoint(x + 1, line->rect().bottom() - line->rect().top()));
  line->repaint(mLocationRect);
}

void MainWindow::audioDeviceSetting() {
  if (!mAudioDeviceOn) return;
  if (mPlaying) releasedBtnStopped();
  AudioSetupEditor dialog(this);
  if (dialog.exec() != QDialog::Accepted) return;
  const ResultCode code = mAudition.updateDeviceName();
  if (code != 0) {
    showMessage(this, kTitle, tr("#0108 some error occurs! [%1]").arg(code, 0, 16), QMessageBox::Ok, QMessageBox::Ok);
    return;
  }
  mAudioDeviceName = mAudition.deviceName();
}
