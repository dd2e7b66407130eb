// MainWindow: the refreshers that write the project core's state into the
// controls, the menu actions and the status label after every command, and
// the Undo and Redo commands.

#include <QFileInfo>
#include <QIcon>
#include <QLabel>
#include <QtDebug>

#include <algorithm>
#include <cmath>

#include "AnalysisUtil.h"
#include "MainWindow.h"
#include "MessageDialog.h"
#include "SectionWaveInfo.h"
#include "StandardLayerStack.h"
#include "TempoRatio.h"
#include "wavPainterMetaLine.h"

namespace {

// Sets the guard for the lifetime of the object and restores it afterwards.
class GuardScope {
 public:
  explicit GuardScope(std::uint8_t& guard) : guard(guard), saved(guard) { guard = 1; }
  ~GuardScope() { guard = saved; }

 private:
  std::uint8_t& guard;
  std::uint8_t saved;
};

bool sameModel(const AllInfo& a, const AllInfo& b) {
  if (a.wavCount() != b.wavCount()) return false;
  for (std::size_t i = 0; i < a.wavCount(); ++i) {
    if (!(*a.waves()[i] == *b.waves()[i])) return false;
  }
  for (std::uint8_t slot = 0; slot < AllInfo::kSectionCount; ++slot) {
    const SecInfo* x = nullptr;
    const SecInfo* y = nullptr;
    if (a.getSecInfo(slot, &x) != 0 || b.getSecInfo(slot, &y) != 0 || !x || !y || *x != *y) return false;
  }
  const ComnInfo* x = nullptr;
  const ComnInfo* y = nullptr;
  return a.getComnInfo(&x) == 0 && b.getComnInfo(&y) == 0 && x && y && *x == *y;
}

}  // namespace

bool MainWindow::isProjectModified() { return mCore.isModified() || !sameModel(mCore.getAllInfo(), mSavedModel); }

void MainWindow::markProjectSaved() { mSavedModel.assign(mCore.getAllInfo()); }

bool MainWindow::isBusy() const { return mAnaProgress || mExportProgress || mStretchProgress || mStretchViewer; }

void MainWindow::updateActionStates() {
  const bool idle = !isBusy();
  for (QAction* a : {actionNewAudioStyleProject, actionNewAudioStyleProject_with_Import,
                     actionOpenAudioStyleProject, actionQuit}) {
    a->setEnabled(idle);
  }
  actionSaveAudioStyleProject->setEnabled(idle && mProjectState != 0);
  actionSaveAudioStyleProject_as->setEnabled(idle && mProjectState != 0);
  actionExport_as_AudioStyleFile->setEnabled(idle && mCore.waveCount() != 0);
}

void MainWindow::updateUndoRedoActions() {
  const bool idle = !isBusy();
  actionUndo->setEnabled(idle && mCore.canUndo());
  actionRedo->setEnabled(idle && mCore.canRedo());
}

void MainWindow::updateWaveButtons() {
  const bool open = mProjectState != 0;
  const bool wave = mCmbWav->currentIndex() != -1;
  mBtnImport->setEnabled(open);
  mBtnUnlink->setEnabled(open && wave);
  updatePlayButton();
  updateBeatShiftButton();
  const bool beats = wave && open && !mChkManual->isChecked();
  mBtnBeatAnaDouble->setEnabled(beats);
  mBtnBeatAnaHalf->setEnabled(beats);
}

void MainWindow::updatePlayButton() {
  mPushButtonPlay->setEnabled(mRangeOn && mProjectState != 0 && mCmbWav->currentIndex() != -1);
  mPushButtonPlay->setIcon(QIcon(mPlaying ? QStringLiteral(":/img/btn_stop.png") : QStringLiteral(":/img/btn_play.png")));
}

void MainWindow::updateBeatShiftButton() {
  mBtnShiftBeatPosition->setText(mBeatShiftState == 0 ? tr("Shift Beat Position") : tr("Unshift Beat Position"));
  mBtnShiftBeatPosition->setEnabled(mCmbWav->currentIndex() != -1 && mProjectState != 0 &&
                                    !mChkManual->isChecked());
}

void MainWindow::updateTempoSpin() {
  const bool on = mCmbWav->currentIndex() != -1 && mProjectState != 0;
  mSpinTempo->setEnabled(on);
  mLabelTempo->setEnabled(on);
  const int tempo = static_cast<int>(mCore.getCommonInfo().tempo);
  if (mSpinTempo->value() != tempo) {
    GuardScope guard(mComboGuard);
    mSpinTempo->setValue(tempo);
  }
}

void MainWindow::updateTimeSignatureField() {
  mLEditBeat->setEnabled(mCmbWav->currentIndex() != -1 && mProjectState != 0);
  std::uint8_t num = 4;
  std::uint8_t den = 4;
  if (mCore.getTimeSig(num, den) != 0) return;
  const QString text = QString("%1/%2").arg(num).arg(den);
  if (mLEditBeat->text() != text) {
    GuardScope guard(mComboGuard);
    mLEditBeat->setText(text);
    mLEditBeat->setPlaceholderText(text);
  }
}

void MainWindow::updateBarsSpin() {
  const bool on = mChkManual->isChecked() && mProjectState != 0 && mCmbWav->currentIndex() != -1;
  mSpinBars->setEnabled(on);
  mBarLabel->setEnabled(on);
  SecInfo* sec = nullptr;
  if (mCore.getSecInfo(static_cast<std::uint8_t>(mCurrentSection), &sec) != 0 || !sec) return;
  if (mSpinBars->value() != sec->barNum) {
    GuardScope guard(mComboGuard);
    mSpinBars->setValue(sec->barNum);
  }
}

void MainWindow::updateFadeCheck() {
  mChkFade->setEnabled(mCmbWav->currentIndex() != -1 && mProjectState != 0);
  SecInfo* sec = nullptr;
  if (mCore.getSecInfo(static_cast<std::uint8_t>(mCurrentSection), &sec) != 0 || !sec) return;
  if (mChkFade->isChecked() != (sec->fadeSw != 0)) {
    GuardScope guard(mComboGuard);
    mChkFade->setChecked(sec->fadeSw != 0);
  }
}

void MainWindow::updateTimeStretchCheck() {
  mChkTimeStretch->setEnabled(mRangeOn && mProjectState != 0 && mCmbWav->currentIndex() != -1);
  if (mChkTimeStretch->isChecked() != (mTimeStretchDefault != 0)) {
    GuardScope guard(mComboGuard);
    mChkTimeStretch->setChecked(mTimeStretchDefault != 0);
  }
}

void MainWindow::updateClickWidget() {
  const bool manual = mChkManual->isChecked();
  mChkClick->setEnabled(mCmbWav->currentIndex() != -1 && mProjectState != 0 && mRangeOn && !manual);
  const bool checked = mClickOn != 0 && !manual;
  if (mChkClick->isChecked() != checked) {
    GuardScope guard(mComboGuard);
    mChkClick->setChecked(checked);
  }
  if (manual && mClickOn) mClickOn = 0;
}

void MainWindow::updateMetronomeSlider() {
  mSliderMetro->setEnabled(mRangeOn && mProjectState != 0 && mCmbWav->currentIndex() != -1);
  if (mSliderMetro->value() != mSourceLevel) {
    GuardScope guard(mComboGuard);
    mSliderMetro->setValue(mSourceLevel);
  }
}

void MainWindow::updateManualCheck() {
  const bool several = mCore.waveCount() >= 2;
  mChkManual->setEnabled(mCmbWav->currentIndex() != -1 && mProjectState != 0 && !several);
  SecInfo* sec = nullptr;
  const bool manual = several || (mCore.getSecInfo(static_cast<std::uint8_t>(mCurrentSection), &sec) == 0 && sec &&
                                  sec->manualBar == 1);
  if (mChkManual->isChecked() != manual) {
    GuardScope guard(mComboGuard);
    mChkManual->setChecked(manual);
  }
}

void MainWindow::updatePickupSpin() {
  SecInfo* sec = nullptr;
  const bool read = mCore.getSecInfo(static_cast<std::uint8_t>(mCurrentSection), &sec) == 0 && sec;
  const bool on = mProjectState != 0 && !mChkManual->isChecked() && mCmbWav->currentIndex() != -1 && read &&
                  mCurrentSection <= 2 && sec->pickupSw != 0;
  for (QWidget* w : {static_cast<QWidget*>(mSpinPickup), static_cast<QWidget*>(mPickupLabel),
                     static_cast<QWidget*>(mBeatLabel)}) {
    w->setEnabled(on);
  }
  const int value = (mChkManual->isChecked() || !read) ? 0 : sec->pickupNum;
  if (mSpinPickup->value() != value) {
    GuardScope guard(mComboGuard);
    mSpinPickup->setValue(value);
  }
}

void MainWindow::fillWaveCombo() {
  mCmbWav->setEnabled(mProjectState != 0);
  GuardScope guard(mComboGuard);
  mCmbWav->clear();
  for (std::size_t i = 0; i < mCore.waveCount(); ++i) {
    WavInfo* wave = nullptr;
    if (mCore.getWaveInfo(static_cast<std::uint8_t>(i), &wave) != 0 || !wave) break;
    mCmbWav->addItem(QFileInfo(QString::fromStdWString(wave->fileName)).fileName(), static_cast<int>(i));
  }
}

QString MainWindow::waveFileNameAt(int index) {
  if (index < 0 || static_cast<std::size_t>(index) >= mCore.waveCount()) return QString();
  WavInfo* wave = nullptr;
  if (mCore.getWaveInfo(static_cast<std::uint8_t>(index), &wave) != 0 || !wave) return QString();
  return QString::fromStdWString(wave->fileName);
}

int MainWindow::selectWaveInCombo(int index) {
  mCmbWav->setCurrentIndex(index);
  if (mCmbWav->currentIndex() == index) {
    const QString name = waveFileNameAt(index);
    mCmbWav->setToolTip(name.isEmpty() ? tr("select audio file for section assign") : name);
  }
  return mCmbWav->currentIndex();
}

void MainWindow::selectSectionCombo(int section) {
  const bool open = mProjectState != 0;
  const bool waves = mCore.waveCount() != 0;
  GuardScope guard(mComboGuard);
  if (!waves) {
    mCmbTrimSec->setCurrentIndex(3);
    mCmbTrimSec->setEnabled(false);
    return;
  }
  mCmbTrimSec->setEnabled(open);
  mCmbTrimSec->setCurrentIndex(section);
}

void MainWindow::clearTrimFields() {
  for (QLineEdit* field : {static_cast<QLineEdit*>(mLEditTrimStart), static_cast<QLineEdit*>(mLEditTrimEnd)}) {
    field->clear();
    field->setPlaceholderText(QString());
  }
}

void MainWindow::updateTrimControls(int section) {
  const bool on = mCmbWav->currentIndex() != -1 && mProjectState != 0;
  for (QWidget* w : {static_cast<QWidget*>(mLEditTrimStart), static_cast<QWidget*>(mLEditTrimEnd),
                     static_cast<QWidget*>(mStartTimeLabel), static_cast<QWidget*>(mEndTimeLabel)}) {
    w->setEnabled(on);
  }
  if (mCore.waveCount() != 0) updateTrimFieldsFromBeats(section, 3);
}

ResultCode MainWindow::updateTrimFieldsFromBeats(int section, int mode) {
  if (section != mCmbTrimSec->currentIndex() || mode == 0 || mCore.waveCount() == 0) return Result::kOk;
  SecInfo* sec = nullptr;
  const ResultCode read = mCore.getSecInfo(static_cast<std::uint8_t>(section), &sec);
  if (read != 0 || !sec) return Result::nest(1, read);
  if (sec->wavNo == SecInfo::kNoWave) return Result::kOk;
  std::uint32_t startBeat = 0;
  std::uint32_t endBeat = 0;
  if (mode & 1) {
    const ResultCode c = mCore.getBeatPosOfAddress(sec->wavNo, sec->halfBeat, sec->startAdrs, startBeat);
    if (c != 0) return Result::nest(4, c);
  }
  if (mode & 2) {
    const ResultCode c = mCore.getBeatPosOfAddress(sec->wavNo, sec->halfBeat, sec->endAdrs, endBeat);
    if (c != 0) return Result::nest(5, c);
  }
  const ResultCode c = updateTrimFields(mode, startBeat, endBeat);
  return c == 0 ? Result::kOk : Result::nest(6, c);
}

ResultCode MainWindow::updateTrimFields(int mode, std::uint32_t startBeat, std::uint32_t endBeat) {
  clearTrimFields();
  const bool on = mCmbWav->currentIndex() != -1 && mProjectState != 0;
  mLEditTrimStart->setEnabled(on);
  mLEditTrimEnd->setEnabled(on);
  SecInfo* sec = nullptr;
  WavInfo* wave = nullptr;
  const ResultCode read = mCore.getSecWave(static_cast<std::uint8_t>(mCurrentSection), &sec, &wave);
  if (read != 0 || !sec || !wave) return Result::nest(2, read);
  auto write = [](QLineEdit* field, double seconds) {
    const QString text = QString::number(seconds, 'f', 6);
    field->setText(text);
    field->setPlaceholderText(text);
  };
  if (sec->manualBar) {
    if (mode & 1) write(mLEditTrimStart, static_cast<double>(sec->startAdrs) / 44100.0);
    if (mode & 2) write(mLEditTrimEnd, static_cast<double>(sec->endAdrs) / 44100.0);
    return Result::kOk;
  }
  const std::size_t d = wave->beatDiv == 0 ? 1 : wave->beatDiv;
  std::uint32_t step = 0;
  for (std::size_t i = d * sec->halfBeat; i < wave->beatTime.size(); i += 2 * d, ++step) {
    qDebug() << QString("%1:%2").arg(i).arg(wave->beatTime[i]);
    if ((mode & 1) && step == startBeat) write(mLEditTrimStart, wave->beatTime[i]);
    if ((mode & 2) && step == endBeat) write(mLEditTrimEnd, wave->beatTime[i]);
  }
  return Result::kOk;
}

QString MainWindow::updateSectionInfoLabel() {
  const SectionWaveInfo info(&mCore, static_cast<std::uint32_t>(mCurrentSection));
  if (info.sectionIndex < 0) return QString();
  if (sectionBarsExceedLimit(info)) {
    const bool single = info.sectionIndex >= 7 && info.sectionIndex <= 11;
    return QString("<font color='red'>Please make the \"Bar\" value equal to or smaller than %1.")
        .arg(single ? "1" : "32");
  }
  const double range = std::fabs(info.secondSeconds - info.startSeconds);
  if (range * 10000.0 < 1.0) return QString("<font color='red'>Selected range of waveform is too short.");
  const double length = calcTempo(static_cast<unsigned>(info.numerator), static_cast<unsigned>(info.denominator),
                                  static_cast<unsigned>(info.bars), info.tempo);
  const double percent = calcRatio(length, range) * 100.0;
  QString text = QString::asprintf("[Section length] %.3f sec. - [Wave length] %.3f sec. - [Time stretch]<font "
                                   "color='%s'> %.2f %%",
                                   length, range, isRatioOutOfRange(percent) ? "red" : "black", percent);
  if (info.manualBars) {
    const double tempo = calcTempoFromBars(static_cast<unsigned>(info.numerator),
                                           static_cast<unsigned>(info.denominator),
                                           static_cast<unsigned>(info.bars), range);
    text = QString::asprintf("[Estimated tempo] %d - ", static_cast<int>(tempo)) + text;
  }
  return text;
}

QString MainWindow::statusText() const { return mStatusLabel->text(); }

void MainWindow::refreshSectionView() {
  updateSectionPanel(mCurrentSection);
  updateSectionControls(mCurrentSection);
  updateActionStates();
  updateUndoRedoActions();
}

void MainWindow::refreshAfterSectionEdit() {
  updateSectionControls(mCurrentSection);
  updateAllViews(false);
  updateActionStates();
  updateUndoRedoActions();
}

void MainWindow::showSectionInfo() { mStatusLabel->setText("<font color='black'>" + updateSectionInfoLabel()); }

void MainWindow::showStatusError(const QString& message) { mStatusLabel->setText("<font color='red'>" + message); }

ResultCode MainWindow::updateSectionControls(int section) {
  {
    GuardScope guard(mComboGuard);
    mCmbTrimSec->setCurrentIndex(section > 14 ? mCurrentSection : section);
  }
  SecInfo* sec = nullptr;
  ResultCode read = mCore.getSecInfo(static_cast<std::uint8_t>(section), &sec);
  if (read == 0 && sec && sec->used) {
    // The beat phase may just have changed (a beat shift, an undo).
    read = rebuildBeatList(mCore, static_cast<std::uint8_t>(section));
    if (read == 0) read = rebuildHalfBeatList(mCore, sec->wavNo);
  }
  if (read != 0 || !sec) return Result::nest(1, read);
  if (mChkManual->isChecked()) {
    mChkClick->setChecked(false);
    mChkBlank->setChecked(false);
    for (QWidget* w : {static_cast<QWidget*>(mBtnBeatAnaHalf), static_cast<QWidget*>(mBtnBeatAnaDouble),
                       static_cast<QWidget*>(mSpinPickup), static_cast<QWidget*>(mPickupLabel),
                       static_cast<QWidget*>(mBeatLabel)}) {
      w->setEnabled(false);
    }
  } else {
    mChkBlank->setChecked(sec->pickupSw != 0);
  }
  mChkFade->setChecked(sec->fadeSw != 0);
  std::uint8_t num = 4;
  std::uint8_t den = 4;
  const ResultCode sig = mCore.getTimeSig(num, den);
  if (sig != 0) return Result::nest(2, sig);
  syncGridLayer();
  auto* grid = dynamic_cast<wavPainterMetaLine*>(layer(StandardLayerStack::kBeats));
  if (grid) {
    grid->mHighlightPeriod = num;
    grid->mDrawLines = sec->manualBar == 0;
  }
  if (sec->used && grid) {
    const bool blankIntro = section <= 2 && sec->pickupSw != 0 && sec->pickupNum == 0;
    if (!blankIntro) {
      grid->selectNearest(static_cast<std::int64_t>(sec->startAdrs));
    } else {
      // A blank intro keeps whole bars counted back from its end.
      std::uint32_t first = 0;
      std::uint32_t last = 0;
      ResultCode c = mCore.getBeatPosOfAddress(sec->wavNo, sec->halfBeat, sec->startAdrs, first);
      if (c == 0) c = mCore.getBeatPosOfAddress(sec->wavNo, sec->halfBeat, sec->endAdrs, last);
      if (c != 0) return Result::nest(4, c);
      const std::int64_t span = static_cast<std::int64_t>(last) - first;
      grid->mHighlightBase = first + ((span % num) + num) % num;
    }
  }
  const ResultCode markers = rebuildSectionMarkers();
  update();
  return markers;
}

ResultCode MainWindow::updateSectionPanel(int section) {
  const bool wasPlaying = mPlaying != 0;
  if (wasPlaying) releasedBtnStopped();
  if (mCore.waveCount() >= 2) {
    for (std::uint8_t slot = 0; slot < 15; ++slot) {
      SecInfo* sec = nullptr;
      const ResultCode read = mCore.getSecInfo(slot, &sec);
      if (read != 0 || !sec) return Result::nest(2, read);
      SecInfo changed = *sec;
      changed.manualBar = sec->wavNo != SecInfo::kNoWave ? 1 : 0;
      const ResultCode stored = mCore.updateSecInfo(slot, changed);
      if (stored != 0) return Result::nest(3, stored);
    }
  }
  SecInfo* sec = nullptr;
  const ResultCode read = mCore.getSecInfo(static_cast<std::uint8_t>(section), &sec);
  if (read != 0 || !sec) return Result::nest(4, read);
  {
    GuardScope guard(mComboGuard);
    mCurrentSection = section;
    mCmbTrimSec->setCurrentIndex(section);
    fillWaveCombo();
    const int wave = sec->wavNo < mCore.waveCount() ? sec->wavNo : -1;
    mCurrentWave = selectWaveInCombo(wave);
    updateTempoSpin();
    updateTimeSignatureField();
    updateTrimControls(section);
    updateFadeCheck();
    updateSectionSwitches();
    showSectionInfo();
    adjustSelection(mZoom, false, 0, mScrollOffset);
    updateWaveButtons();
  }
  if (wasPlaying && !mUndoing) releasedBtnPlayLoop();
  return Result::kOk;
}

void MainWindow::updateSectionSwitches() {
  mFrameWav->setEnabled(mCmbWav->currentIndex() != -1 && mProjectState != 0);
  updateManualCheck();
  updateBarsSpin();
  updateTimeStretchCheck();
  updateClickWidget();
  updateMetronomeSlider();
  updateBlankCheck();
  updatePickupSpin();
}

void MainWindow::resetSectionPanel(bool clearProject) {
  GuardScope guard(mComboGuard);
  if (clearProject) {
    mLEditProjectFileName->clear();
    selectSectionCombo(3);
  }
  updateTempoSpin();
  updateTimeSignatureField();
  fillWaveCombo();
  mCurrentWave = selectWaveInCombo(-1);
  updateTrimControls(mCurrentSection);
  clearTrimFields();
  updateFadeCheck();
  mRangeStart = 0;
  mRangeEnd = 0;
  mRangeOn = false;
  // The band and the section strip's highlight go with the range: nothing
  // of the previous project's range stays set on the layers.
  mSelStart = 0;
  mSelEnd = 0;
  mSelShown = false;
  pushSelectionToLayers();
  updateSectionSwitches();
  updateWaveButtons();
  mBeatShiftState = 0;
  updateBeatShiftButton();
  updateActionStates();
  updateUndoRedoActions();
  mStatusLabel->clear();
  if (clearProject) {
    if (QWidget* focused = focusWidget()) focused->clearFocus();
  }
}

void MainWindow::updateAllViews(bool relayout) {
  const int section = mCmbTrimSec->currentIndex();
  const bool chosen = section >= 0 && section <= 14;
  // The view spans the chosen section's own recording, which a section
  // change may just have replaced.
  std::uint64_t end = 0;
  WavInfo* wave = nullptr;
  SecInfo* sec = nullptr;
  if (chosen && mCore.getSecWaveOnly(static_cast<std::uint8_t>(section), &wave) == 0 && wave &&
      !wave->onsetTime.empty()) {
    end = AnalysisUtil().secondsToSamples(wave->onsetTime.back());
  }
  if (chosen) mCore.getSecInfo(static_cast<std::uint8_t>(section), &sec);
  std::vector<std::uint64_t> grid;
  if (wave && sec) {
    grid = sectionGridPlaceholder(*sec, section);
    setWaveLayerFlags(true, true, true);
  } else if (chosen && mCurrentWave == -1) {
    setWaveLayerFlags(false, true, false);
  }

  // The band and the range Play loops are the section's range in the core.
  std::uint64_t start = 0;
  std::uint64_t stop = 0;
  if (sec && sec->used && mCore.getPickupRange(static_cast<std::uint8_t>(section), start, stop) != 0) start = stop = 0;
  mRangeStart = std::min(start, stop);
  mRangeEnd = std::max(start, stop);
  mRangeOn = start != 0 || stop != 0;
  mSelStart = static_cast<int>(mRangeStart);
  mSelEnd = static_cast<int>(mRangeEnd);
  mSelShown = mRangeOn;
  pushSelectionToLayers();

  update();
  if (relayout) setSectionWaveView(mCmbWav->currentIndex(), mCurrentSection, end, grid, mZoom, mScrollOffset);
  scrollToSelection();
  mFullRepaint = true;
  refreshSectionView();
}

std::vector<std::uint64_t> MainWindow::sectionGridPlaceholder(const SecInfo& sec, int section) {
  std::uint8_t numerator = 4;
  std::uint8_t denominator = 4;
  mCore.getTimeSig(numerator, denominator);
  int bars = sec.barNum;
  if (section <= 2 && sec.pickupSw && sec.pickupNum != 0) ++bars;
  // Placeholder positions: the view set-up replaces them by the beats of
  // the section's recording whenever its file exists.
  std::vector<std::uint64_t> grid(
      sec.wavNo < mCore.waveCount() ? static_cast<std::size_t>(numerator) * static_cast<std::size_t>(std::max(bars, 0))
                                    : 0,
      0);
  return grid;
}

void MainWindow::undo() { stepHistory(&CASTcore::undo); }

void MainWindow::redo() { stepHistory(&CASTcore::redo); }

void MainWindow::stepHistory(void (CASTcore::*step)()) {
  const bool wasPlaying = mPlaying != 0;
  if (wasPlaying) releasedBtnStopped();
  mUndoing = 1;
  try {
    (mCore.*step)();
  } catch (...) {
    showMemoryFull();
  }
  refreshAfterSectionEdit();
  updateAllViews(true);
  updateWaveButtons();
  mBeatShiftState = 0;
  updateBeatShiftButton();
  updateActionStates();
  updateUndoRedoActions();
  mUndoing = 0;
  if (wasPlaying) releasedBtnPlayLoop();
}

ResultCode MainWindow::applyTempo(int value) {
  if (mComboGuard || static_cast<std::uint64_t>(value) == mCore.getCommonInfo().tempo) return Result::kOk;
  const ResultCode code = mCore.updateTempo(static_cast<std::uint64_t>(value));
  if (code != 0) {
    showMessage(this, "Quillmere", tr("#0079 updating tempo process returns some error! [%1]").arg(code, 0, 16),
                QMessageBox::Ok, QMessageBox::Ok);
    GuardScope guard(mComboGuard);
    mSpinTempo->setValue(static_cast<int>(mCore.getCommonInfo().tempo));
  }
  refreshSectionView();
  return code;
}

void MainWindow::valueChangedSpinTempo(int value) { applyTempo(value); }
