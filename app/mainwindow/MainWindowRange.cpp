// MainWindow: what a finished drag on the wave view does to the project.
// The selection becomes the current section's range, aligned to the
// recording's beats, as one undo step; a blank intro keeps whole bars and
// turns what lies before them into its pickup. Also the choice and removal
// of a section's recording and the loading of a section into the views.

#include <QFile>
#include <QGuiApplication>
#include <QMouseEvent>

#include <algorithm>

#include "AnalysedWaveName.h"
#include "AnalysisUtil.h"
#include "MainWindow.h"
#include "MessageDialog.h"
#include "SectionNameTable.h"
#include "StandardLayerStack.h"
#include "wavPainterSeeker.h"

namespace {

const QString kTitle = QStringLiteral("Quillmere");
QString changeWaveQuestion() {
  return MainWindow::tr("This section already has a waveform assignment. Are you sure you want to change it?");
}

bool isBlankIntro(bool blank, int section) { return blank && (section == 0 || section == 1); }

}  // namespace

void MainWindow::mouseReleaseEvent(QMouseEvent*) {
  if (mAnchor.x() != -1 || mAnchor.y() != 0) {
    assignSelectedRangeToSection();
    mAnchor = QPoint(-1, 0);
    mBeatShiftState = 0;
    updateBeatShiftButton();
  }
  mPressPoint = QPoint(-1, 0);
  mDragDirection = 2;
}

ResultCode MainWindow::assignSelectedRangeToSection() {
  ResultCode code = 0;
  bool toldInStatus = false;
  [&] {
    if (mCurrentSection < 0 || mCurrentSection > 14) return;
    const auto slot = static_cast<std::uint8_t>(mCurrentSection);
    SecInfo* stored = nullptr;
    ResultCode rc = mCore.getSecInfo(slot, &stored);
    if (rc != 0 || !stored) {
      code = Result::nest(1, rc);
      return;
    }
    const auto waveIndex = static_cast<std::uint8_t>(mCurrentWave);
    WavInfo* wave = nullptr;
    rc = mCore.getWaveInfo(waveIndex, &wave);
    if (rc != 0 || !wave) {
      code = Result::nest(2, rc);
      return;
    }
    const SecInfo previous = *stored;
    SecInfo work = *stored;
    work.pickupSw = mChkBlank->isChecked() ? 1 : 0;
    work.fadeSw = mChkFade->isChecked() ? 1 : 0;
    work.used = 1;
    work.wavNo = waveIndex;

    auto restoreSelection = [&] {
      mSelStart = static_cast<int>(static_cast<std::int32_t>(previous.startAdrs));
      mSelEnd = static_cast<int>(static_cast<std::int32_t>(previous.endAdrs));
      updateAllViews(true);
    };
    const std::int64_t lo = std::min(mSelStart, mSelEnd);
    const std::int64_t hi = std::max(mSelStart, mSelEnd);
    if (lo == hi) {
      restoreSelection();
      showStatusError(tr("[Error] Section assigned area should be selected."));
      toldInStatus = true;
      code = 0;
      return;
    }

    const AnalysisUtil util;
    const bool blankIntro = isBlankIntro(work.pickupSw != 0, mCurrentSection);
    const auto division = static_cast<std::uint8_t>(std::min<std::uint16_t>(wave->beatDiv, 255));
    std::uint8_t parity = 0;
    rc = util.getBeatParity(wave->beatTime, static_cast<std::uint64_t>(blankIntro ? hi : lo), division, parity);
    if (rc != 0) {
      code = Result::nest(blankIntro ? 3 : 4, rc);
      return;
    }
    std::uint32_t startBeat = 0;
    std::uint32_t endBeat = 0;
    rc = mCore.getBeatPosOfAddress(waveIndex, parity, static_cast<std::uint64_t>(lo), startBeat);
    if (rc != 0) {
      code = Result::nest(5, rc);
      return;
    }
    rc = mCore.getBeatPosOfAddress(waveIndex, parity, static_cast<std::uint64_t>(hi), endBeat);
    if (rc != 0) {
      code = Result::nest(6, rc);
      return;
    }
    if (blankIntro) {
      std::uint8_t numerator = 4;
      std::uint8_t denominator = 4;
      rc = mCore.getTimeSig(numerator, denominator);
      if (rc != 0 || numerator == 0) {
        code = Result::nest(7, rc);
        return;
      }
      // Whole bars are counted back from the end; the beats before them
      // become the pickup.
      const auto remainder =
          static_cast<std::uint32_t>((static_cast<std::int64_t>(endBeat) - startBeat) % numerator);
      startBeat += remainder;
      std::uint8_t pickup = 0;
      std::uint64_t offset = 0;
      rc = mCore.snapAddressToBeat(waveIndex, parity, static_cast<std::int32_t>(startBeat),
                                   static_cast<std::uint64_t>(lo), &pickup, &offset);
      if (rc != 0) {
        code = Result::nest(8, rc);
        return;
      }
      if (pickup != 0 || previous.pickupNum != 0) {
        work.pickupNum = pickup;
        work.pickupOfs = static_cast<std::int64_t>(offset);
      } else {
        startBeat -= remainder;
      }
    }
    const std::size_t d = wave->beatDiv;
    const std::size_t startEntry = (2 * std::size_t{startBeat} + parity) * d;
    if (startEntry >= wave->beatTime.size()) {
      code = Result::fail(9);
      return;
    }
    work.startAdrs = util.secondsToSamples(wave->beatTime[startEntry]);
    work.startOfs = lo - static_cast<std::int64_t>(work.startAdrs);
    if (blankIntro && work.pickupNum != 0) work.startOfs = 0;
    const std::size_t endEntry = (2 * std::size_t{endBeat} + parity) * d;
    if (endEntry >= wave->beatTime.size()) {
      code = Result::fail(10);
      return;
    }
    work.endAdrs = util.secondsToSamples(wave->beatTime[endEntry]);
    work.endOfs = hi - static_cast<std::int64_t>(work.endAdrs);
    work.halfBeat = parity;

    rc = mCore.setSecInfo(slot, work);
    if (rc != 0) {
      restoreSelection();
      showStatusError(tr("[Error] Wave length is too short."));
      toldInStatus = true;
      code = Result::nest(0xB, rc);
      return;
    }
    refreshSectionView();
    toldInStatus = true;
    code = 0;
  }();
  // The empty selection and a refused store were told in the status label.
  if (!toldInStatus) {
    showMessage(this, kTitle, tr("#0090 some error occurs [%1]").arg(code, 0, 16), QMessageBox::Ok, QMessageBox::Ok);
  }
  return code;
}

void MainWindow::showCoreFailure(ResultCode code) {
  mMemoryFull = mCore.hasException() ? 1 : 0;
  if (mMemoryFull) {
    showMessage(this, kTitle, tr("#0112 memory full"), QMessageBox::Ok, QMessageBox::Ok);
  } else if (!mCore.lastError.isEmpty()) {
    showMessage(this, kTitle, mCore.lastError + QString("\r\n[%1]").arg(code, 0, 16), QMessageBox::Ok,
                QMessageBox::Ok);
  }
}

ResultCode MainWindow::changeSectionWave(const QString& fileName, const QString& awiPath, qint64 frames) {
  CASTcore scratch;
  scratch.clearWaveList();
  scratch.resetCommonInfo();
  scratch.clearLastError();
  const auto slot = static_cast<std::uint8_t>(mCurrentSection);
  SecInfo* sec = nullptr;
  const ResultCode read = mCore.getSecInfo(slot, &sec);
  if (read != 0 || !sec) {
    mMemoryFull = mCore.hasException() ? 1 : 0;
    return Result::nest(1, read);
  }
  const int chosen = mCmbWav->currentIndex();
  if (sec->used && sec->wavNo != chosen) {
    QGuiApplication::restoreOverrideCursor();
    if (showMessage(this, kTitle, changeWaveQuestion(),
                    QMessageBox::Ok | QMessageBox::Cancel, QMessageBox::Ok) == QMessageBox::Cancel) {
      const std::uint8_t guard = mComboGuard;
      mComboGuard = 1;
      mCurrentWave = selectWaveInCombo(sec->wavNo < mCore.waveCount() ? sec->wavNo : -1);
      mComboGuard = guard;
      return Result::kOk;
    }
  }
  QGuiApplication::setOverrideCursor(QCursor(Qt::WaitCursor));
  ResultCode code = addWaveToCore(scratch, fileName, awiPath, frames);
  if (code == 0) {
    mCoreWork.copyFrom(mCore);
    code = assignWaveToSection(scratch, mCoreWork, static_cast<std::uint8_t>(chosen));
    if (code == 0) code = mCore.setAllInfo(mCoreWork.getAllInfo());
  }
  QGuiApplication::restoreOverrideCursor();
  if (code != 0) {
    showCoreFailure(code);
    return Result::nest(2, code);
  }
  mCurrentWave = chosen;
  loadSectionWaveView(true);
  if (QWidget* focused = focusWidget()) focused->clearFocus();
  return Result::kOk;
}

void MainWindow::releasedBtnUnlinkAudio() { unlinkSectionWave(); }

ResultCode MainWindow::unlinkSectionWave() {
  if (mCmbWav->count() == 0) return Result::kOk;
  const auto slot = static_cast<std::uint8_t>(mCurrentSection);
  SecInfo* sec = nullptr;
  const ResultCode read = mCore.getSecInfo(slot, &sec);
  if (read != 0 || !sec) return Result::nest(1, read);
  if (sec->wavNo != mCmbWav->currentIndex()) return Result::kOk;
  if (sec->used && showMessage(this, kTitle, changeWaveQuestion(),
                               QMessageBox::Ok | QMessageBox::Cancel, QMessageBox::Ok) == QMessageBox::Cancel) {
    return 1;
  }
  QGuiApplication::setOverrideCursor(QCursor(Qt::WaitCursor));
  SecInfo empty;
  const ResultCode code = mCore.setSecInfo(slot, empty);
  QGuiApplication::restoreOverrideCursor();
  if (code != 0) {
    showCoreFailure(code);
    return code;
  }
  removeUnusedWaves(QString());
  mCurrentWave = -1;
  selectSectionCombo(mCurrentSection);
  updateAllViews(true);
  if (QWidget* focused = focusWidget()) focused->clearFocus();
  return Result::kOk;
}

void MainWindow::loadSectionWaveView(bool rebuild) {
  const int section = mCmbTrimSec->currentIndex();
  if (section < 0 || section > 14) return;
  const auto slot = static_cast<std::uint8_t>(section);
  SecInfo* sec = nullptr;
  if (mCore.getSecInfo(slot, &sec) != 0 || !sec) return;
  WavInfo* wave = nullptr;
  int waveIndex = sec->wavNo < mCore.waveCount() ? sec->wavNo : -1;
  if (waveIndex >= 0) mCore.getWaveInfo(static_cast<std::uint8_t>(waveIndex), &wave);
  if (!wave) {
    // A section without a recording shows the last recording of the project.
    for (int i = std::min<int>(14, static_cast<int>(mCore.waveCount()) - 1); i >= 0 && !wave; --i) {
      if (mCore.getWaveInfo(static_cast<std::uint8_t>(i), &wave) == 0 && wave) waveIndex = i;
    }
  }
  const bool shown = mCurrentWave >= 0 && wave;
  for (std::size_t i : {0u, 1u}) {
    if (wavPainter* l = layer(i)) {
      l->mForegroundOn = shown;
      l->mNeedsPrepare = shown;
      l->mBackgroundOn = true;
    }
  }
  const std::uint64_t count = wave && !wave->onsetTime.empty() ? AnalysisUtil().secondsToSamples(wave->onsetTime.back()) : 0;
  const std::vector<std::uint64_t> grid = sectionGridPlaceholder(*sec, section);
  setSelectionFromSection(section);
  if (!sec->used) mSelShown = false;
  pushSelectionToLayers();
  if (rebuild) setSectionWaveView(waveIndex, section, count, grid, mZoom, mScrollOffset);
  rebuildSectionMarkers();
  adjustSelection(mZoom, false, 0, mScrollOffset);
  mFullRepaint = true;
  refreshSectionView();
  mCore.clearUndo();
  updateUndoRedoActions();
}

void MainWindow::releasedBtnViewerWav() {
  if (mPlaying) releasedBtnStopped();
  const int section = mCmbTrimSec->currentIndex();
  if (section < 0 || section > 14) {
    showMessage(this, kTitle, tr("#0097 no section is specified!"), QMessageBox::Ok, QMessageBox::Ok);
    return;
  }
  const auto slot = static_cast<std::uint8_t>(section);
  SecInfo* sec = nullptr;
  if (mCore.getSecInfo(slot, &sec) != 0 || !sec) return;
  WavInfo* wave = nullptr;
  if (sec->wavNo < mCore.waveCount()) mCore.getWaveInfo(sec->wavNo, &wave);
  const std::uint64_t count =
      wave && !wave->onsetTime.empty() ? AnalysisUtil().secondsToSamples(wave->onsetTime.back()) : 0;
  const std::vector<std::uint64_t> grid =
      wave ? sectionGridPlaceholder(*sec, section) : std::vector<std::uint64_t>();
  setSectionWaveView(mCmbWav->currentIndex(), section, count, grid, 1, 0.0);
  // The selection still belongs to whatever was shown before (another
  // project after an open): it becomes this section's range.
  setSelectionFromSection(section);
  pushSelectionToLayers();
  adjustSelection(mZoom, false, 0, mScrollOffset);
  QGuiApplication::restoreOverrideCursor();
  updateAllViews(false);
  mBeatShiftState = 0;
  updateBeatShiftButton();
  updateActionStates();
  updateUndoRedoActions();
}

ResultCode MainWindow::rebuildSectionMarkers() {
  mRangeItems.clear();
  for (std::uint8_t slot = 0; slot < CASTcore::kSectionCount; ++slot) {
    SecInfo* sec = nullptr;
    const ResultCode read = mCore.getSecInfo(slot, &sec);
    if (read != 0) return Result::nest(6, read);
    if (!sec) return Result::fail(7);
    if (!sec->used || sec->wavNo != mCurrentWave) continue;
    std::uint64_t start = sec->startAdrs;
    if (sec->pickupSw && sec->pickupNum != 0 && mCore.getSecStartAddress(slot, start) != 0) start = sec->startAdrs;
    TextItem item;
    item.start = static_cast<std::int64_t>(start);
    item.end = static_cast<std::int64_t>(sec->endAdrs);
    item.label = SectionNameTable::name(slot).toUtf8();
    item.value = slot;
    mRangeItems.push_back(item);
  }
  if (wavPainter* ranges = layer(StandardLayerStack::kSections)) ranges->update();
  return Result::kOk;
}
