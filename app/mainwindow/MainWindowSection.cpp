// MainWindow: the parameter panel. Project tempo and time signature, and
// the current section's bars, trim points, fade, blank, pickup, manual bars,
// beat phase and beat resolution. Every change goes through the project core
// as one undo step (compound edits on the work copy, handed back whole), and
// no value outside the core's ranges is ever handed to it.

#include <QGuiApplication>
#include <QLineEdit>
#include <QRegExp>
#include <QRegExpValidator>

#include <algorithm>
#include <cstdlib>

#include "ASTprotoSettings.h"
#include "AnalysisUtil.h"
#include "ComnInfo.h"
#include "MainWindow.h"
#include "MessageDialog.h"

namespace {

const QString kTitle = QStringLiteral("Quillmere");
constexpr int kMaxNumerator = 12;
constexpr int kMaxBars = 999;
constexpr std::size_t kManyBeats = 2000;

bool isAllowedDenominator(int d) { return d == 2 || d == 4 || d == 8; }

// The two shapes of a complete time signature: "n/d" and "nn/d".
bool isCompleteTimeSignature(const QString& t) {
  return (t.size() == 4 && t[2] == '/') || (t.size() == 3 && t[1] == '/');
}

// A trim text that is no number. What the validator leaves unfinished, a
// whole number such as "12", is a number all the same: 12.0 seconds.
bool isNotNumber(const QLineEdit& field) {
  bool number = false;
  field.text().toFloat(&number);
  return !number;
}

void waitCursor() { QGuiApplication::setOverrideCursor(QCursor(Qt::WaitCursor)); }

// Moves the section in `slot` half a beat along its recording, `later` or
// earlier: a range on the whole beats goes onto the half beats between them
// and back. A range on the whole beats that starts or ends on the first one
// has nothing earlier and stays. `moved` tells whether the core changed.
ResultCode moveHalfBeat(CASTcore& core, std::uint8_t slot, bool later, bool& moved) {
  SecInfo* sec = nullptr;
  ResultCode code = core.getSecInfo(slot, &sec);
  if (code != 0 || !sec) return Result::nest(1, code);
  std::uint32_t startBeat = 0;
  std::uint32_t endBeat = 0;
  code = core.getBeatPosOfAddress(sec->wavNo, sec->halfBeat, sec->startAdrs, startBeat);
  if (code != 0) return Result::nest(2, code);
  code = core.getBeatPosOfAddress(sec->wavNo, sec->halfBeat, sec->endAdrs, endBeat);
  if (code != 0) return Result::nest(3, code);
  if (!later && !sec->halfBeat && (startBeat < 1 || endBeat < 1)) return Result::kOk;
  SecInfo changed = *sec;
  // Counted on the other grid, the same beat number is half a beat later
  // from the whole beats and half a beat earlier from the half beats.
  const std::uint32_t step = (sec->halfBeat != 0) == later ? 1 : 0;
  changed.halfBeat = sec->halfBeat ? 0 : 1;
  const std::uint32_t start = later ? startBeat + step : startBeat - step;
  const std::uint32_t end = later ? endBeat + step : endBeat - step;
  if (core.getAddressOfBeat(sec->wavNo, changed.halfBeat, start, changed.startAdrs) != 0 ||
      core.getAddressOfBeat(sec->wavNo, changed.halfBeat, end, changed.endAdrs) != 0) {
    return Result::fail(4);
  }
  code = core.setSecInfo(slot, changed);
  if (code != 0) return Result::nest(5, code);
  moved = true;
  return Result::kOk;
}

}  // namespace

// --- Tempo and time signature ---------------------------------------------

void MainWindow::beatTextChanged(const QString& typed) {
  const QString text = typed;
  const bool twoDigits = text == "1" || text.isEmpty() || (text.size() > 1 && text[1] != '/');
  const QString pattern = twoDigits ? QStringLiteral("[1-9]{1}[0-9/]{1}/[248]") : QStringLiteral("[1-9]{1}/[248]");
  const QValidator* old = mLEditBeat->validator();
  mLEditBeat->setValidator(new QRegExpValidator(QRegExp(pattern, Qt::CaseSensitive, QRegExp::RegExp), this));
  delete old;

  if (text.startsWith('/')) {
    mLEditBeat->clear();
    return;
  }
  if (text.size() >= 2 && text[1] > '2' && text[1].isDigit()) {
    mLEditBeat->setText("1");  // 13 to 19 beats are not offered
    return;
  }
  if (text.size() >= 2 && text[0] != '1' && text[1].isDigit()) {
    mLEditBeat->setText(text.left(1));  // nor 20 and more
    return;
  }
  int numerator = 0;
  int denominator = 0;
  if (text.size() == 4 && text[2] == '/') {
    numerator = text.left(2).toInt();
    denominator = text.mid(3, 1).toInt();
  } else if (text.size() == 3 && text[1] == '/') {
    numerator = text.left(1).toInt();
    denominator = text.mid(2, 1).toInt();
  } else {
    return;
  }
  // What the field shows once the change is through: the typed text when it
  // was taken, the project's own signature again when the question was
  // answered Cancel.
  if (applyTimeSignature(numerator, denominator) == 0) mLEditBeat->setPlaceholderText(mLEditBeat->text());
}

void MainWindow::beatEditingFinished() {
  const QString text = mLEditBeat->text();
  if (isCompleteTimeSignature(text)) {
    mLEditBeat->setPlaceholderText(text);
  } else {
    mLEditBeat->setText(mLEditBeat->placeholderText());
  }
}

ResultCode MainWindow::applyTimeSignature(int numerator, int denominator) {
  if (mComboGuard) return Result::kOk;
  std::uint8_t num = 4;
  std::uint8_t den = 4;
  mCore.getTimeSig(num, den);
  if (numerator == num && denominator == den) return Result::kOk;
  if (numerator < 1 || numerator > kMaxNumerator || !isAllowedDenominator(denominator)) return Result::fail(1);
  bool used = false;
  for (std::uint8_t slot = 0; slot < CASTcore::kSectionCount && !used; ++slot) {
    SecInfo* sec = nullptr;
    used = mCore.getSecInfo(slot, &sec) == 0 && sec && sec->used;
  }
  if (!used) {
    // Nothing to re-assign: the field shows the project's signature again.
    refreshSectionView();
    return Result::kOk;
  }
  if (showMessageBox(this, kTitle, tr("Changing the beat will reset all settings of all sections. Continue?"),
                     QMessageBox::Reset | QMessageBox::Cancel, QMessageBox::Cancel) != QMessageBox::Reset) {
    // Left showing the typed signature, the field would say the project is
    // in a meter its sections are not.
    updateTimeSignatureField();
    return Result::kOk;
  }
  const ResultCode code =
      mCore.changeTimeSig(static_cast<std::uint8_t>(numerator), static_cast<std::uint8_t>(denominator));
  if (code != 0) {
    showMessage(this, kTitle, tr("#0080 changing time signature process returns some error! [%1]").arg(code, 0, 16),
                QMessageBox::Ok, QMessageBox::NoButton);
  }
  refreshAfterSectionEdit();
  mLEditBeat->selectAll();
  return code;
}

// --- Bars ------------------------------------------------------------------

void MainWindow::valueChangedSpinBars(int value) { applySectionBars(value); }

ResultCode MainWindow::applySectionBars(int value) {
  if (mComboGuard) return Result::kOk;
  SecInfo* sec = nullptr;
  if (mCore.getSecInfo(static_cast<std::uint8_t>(mCurrentSection), &sec) != 0 || !sec) return Result::kOk;
  if (sec->barNum == value) return Result::kOk;
  auto restoreSpin = [this, sec] {
    const std::uint8_t guard = mComboGuard;
    mComboGuard = 1;
    mSpinBars->setValue(sec->barNum);
    mComboGuard = guard;
  };
  if (!sec->manualBar) {
    showMessage(this, kTitle, tr("#0081 if you want to change bars, turn on manual bars at first!"), QMessageBox::Ok,
                QMessageBox::Ok);
    restoreSpin();
    return Result::kOk;
  }
  ResultCode code = Result::fail(3);
  if (value >= 1 && value <= kMaxBars) {
    SecInfo changed = *sec;
    changed.setAreaCount(static_cast<std::uint16_t>(value));
    code = mCore.setSecInfo(static_cast<std::uint8_t>(mCurrentSection), changed);
  }
  if (code != 0) {
    showMessage(this, kTitle, tr("#0082 updating section bars process returns some error! [%1]").arg(code, 0, 16),
                QMessageBox::Ok, QMessageBox::Ok);
    if (mCore.getSecInfo(static_cast<std::uint8_t>(mCurrentSection), &sec) == 0 && sec) restoreSpin();
  }
  refreshAfterSectionEdit();
  return code;
}

// --- Trim points -----------------------------------------------------------

void MainWindow::trimTextChanged(QLineEdit& field, const QString& text) {
  const int dot = text.indexOf('.');
  const QString whole = dot > 0 ? text.left(dot) : text;
  if (whole.size() >= 2 && whole.startsWith("00")) field.setText("0");
}

void MainWindow::trimStartTextChanged(const QString& text) { trimTextChanged(*mLEditTrimStart, text); }
void MainWindow::trimEndTextChanged(const QString& text) { trimTextChanged(*mLEditTrimEnd, text); }
void MainWindow::trimStartEditingFinished() { trimEditingFinished(mLEditTrimStart); }
void MainWindow::trimEndEditingFinished() { trimEditingFinished(mLEditTrimEnd); }

void MainWindow::trimEditingFinished(QObject* object) {
  auto* field = qobject_cast<QLineEdit*>(object);
  if (!field || !field->isModified()) return;
  bool number = false;
  const float seconds = field->text().toFloat(&number);
  // Return and focus loss reach here whatever the validator thinks of the
  // text; only a text that is no number is refused.
  if (!number || seconds > mSampleCount / 44100.0) {
    field->setText(field->placeholderText());
    return;
  }
  commitTrimFields(mCore);
  updateAllViews(false);
  updateActionStates();
  updateUndoRedoActions();
}

ResultCode MainWindow::commitTrimFields(CASTcore& core) {
  if (!mLEditTrimStart->isModified() && !mLEditTrimEnd->isModified()) return Result::kOk;
  for (QLineEdit* field : {static_cast<QLineEdit*>(mLEditTrimStart), static_cast<QLineEdit*>(mLEditTrimEnd)}) {
    if (isNotNumber(*field)) field->setText(field->placeholderText());
  }
  bool startNumber = false;
  bool endNumber = false;
  float start = mLEditTrimStart->text().toFloat(&startNumber);
  float end = mLEditTrimEnd->text().toFloat(&endNumber);
  mLEditTrimStart->setModified(false);
  mLEditTrimEnd->setModified(false);
  if (!startNumber || !endNumber) return Result::fail(1);
  if (start > end) {
    std::swap(start, end);
    mLEditTrimStart->setText(QString::number(start, 'f', 6));
    mLEditTrimEnd->setText(QString::number(end, 'f', 6));
  }
  const ResultCode code = applyTrimRange(core, start, end);
  if (code != 0) {
    showMessage(this, kTitle, tr("#0083 updating section trim process returns some error! [%1]").arg(code, 0, 16),
                QMessageBox::Ok, QMessageBox::Ok);
  }
  return code;
}

ResultCode MainWindow::applyTrimRange(CASTcore& core, double startSeconds, double endSeconds) {
  const auto slot = static_cast<std::uint8_t>(mCurrentSection);
  SecInfo* sec = nullptr;
  ResultCode code = core.getSecInfo(slot, &sec);
  if (code != 0 || !sec) {
    mMemoryFull = core.hasException() ? 1 : 0;
    return Result::nest(1, code);
  }
  SecInfo changed = *sec;
  changed.used = 1;
  if (changed.wavNo == SecInfo::kNoWave && mCurrentWave >= 0) changed.wavNo = static_cast<std::uint8_t>(mCurrentWave);
  const AnalysisUtil util;
  std::uint64_t start = util.secondsToSamples(static_cast<float>(startSeconds));
  std::uint64_t end = util.secondsToSamples(static_cast<float>(endSeconds));
  changed.startOfs = 0;
  changed.endOfs = 0;
  WavInfo* wave = nullptr;
  code = core.getWaveInfo(changed.wavNo, &wave);
  if (code != 0 || !wave) return Result::nest(2, code);
  if (!wave->onsetTime.empty()) end = std::min(end, util.secondsToSamples(wave->onsetTime.back()));
  if (!changed.manualBar) {
    start = snapToBeat(start, mGridList);
    end = snapToBeat(end, mGridList);
  }
  changed.startAdrs = start;
  changed.endAdrs = end;
  code = core.setSecInfo(slot, changed);
  return code == 0 ? Result::kOk : Result::nest(2, code);
}

std::uint64_t MainWindow::snapToBeat(std::uint64_t position, const std::vector<std::uint64_t>& beats) const {
  if (beats.empty()) return position;
  const auto p = static_cast<std::int64_t>(position);
  // The nearer of two candidates; a tie goes to the later one.
  auto nearer = [p](std::int64_t before, std::int64_t after) {
    return std::llabs(p - before) < std::llabs(after - p) ? before : after;
  };
  const auto first = static_cast<std::int64_t>(beats.front());
  if (p < first && p < first - p) return 0;
  for (std::size_t i = 1; i < beats.size(); ++i) {
    if (static_cast<std::int64_t>(beats[i]) > p)
      return static_cast<std::uint64_t>(nearer(static_cast<std::int64_t>(beats[i - 1]), static_cast<std::int64_t>(beats[i])));
  }
  const std::int64_t lastSample = static_cast<std::int64_t>(mSampleCount) - 1;
  if (first > p) return static_cast<std::uint64_t>(first);
  return static_cast<std::uint64_t>(nearer(static_cast<std::int64_t>(beats.back()), std::max(lastSample, p)));
}

// --- Check boxes and sliders -----------------------------------------------

void MainWindow::clickedChkFade(bool checked) { applyFade(checked); }
void MainWindow::clickedChkBlank(bool checked) { applyBlank(checked); }

// The fade is a plain record change; the blank switch changes the bar
// structure, so the core checks the record against the beat grid.
ResultCode MainWindow::applyFade(bool on) { return applySectionSwitch(&SecInfo::fadeSw, on, &CASTcore::updateSecInfo); }

ResultCode MainWindow::applyBlank(bool on) { return applySectionSwitch(&SecInfo::pickupSw, on, &CASTcore::setSecInfo); }

ResultCode MainWindow::applySectionSwitch(std::uint8_t SecInfo::*flag, bool on,
                                          ResultCode (CASTcore::*store)(std::uint8_t, const SecInfo&)) {
  if (mComboGuard) return Result::kOk;
  const auto slot = static_cast<std::uint8_t>(mCurrentSection);
  SecInfo* sec = nullptr;
  ResultCode code = mCore.getSecInfo(slot, &sec);
  if (code == 0 && sec && ((*sec).*flag != 0) == on) return Result::kOk;
  if (code != 0 || !sec) {
    code = Result::nest(1, code);
  } else {
    SecInfo changed = *sec;
    changed.*flag = on ? 1 : 0;
    const ResultCode stored = (mCore.*store)(slot, changed);
    code = stored == 0 ? Result::kOk : Result::nest(2, stored);
  }
  if (code != 0) {
    showMessage(this, kTitle, tr("#0108 some error occurs! [%1]").arg(code, 0, 16), QMessageBox::Ok, QMessageBox::Ok);
    return code;
  }
  // The refresh also rebuilds the section markers, whose ends follow the
  // fade and the blank switch.
  refreshAfterSectionEdit();
  return code;
}

void MainWindow::clickedChkManual(bool checked) {
  if (applyManualBars(checked) != 0) return;
  mManualDefault = checked ? 1 : 0;
  saveManualDefault(checked);
}

ResultCode MainWindow::applyManualBars(bool on) {
  if (mComboGuard) return Result::kOk;
  auto refresh = [this] {
    refreshAfterSectionEdit();
  };
  mCoreWork.copyFrom(mCore);
  const auto slot = static_cast<std::uint8_t>(mCurrentSection);
  SecInfo* sec = nullptr;
  ResultCode code = mCoreWork.getSecInfo(slot, &sec);
  if (code != 0 || !sec) {
    code = Result::nest(1, code);
  } else if ((sec->manualBar != 0) == on) {
    refresh();
    return Result::kOk;
  } else {
    SecInfo changed = *sec;
    changed.manualBar = on ? 1 : 0;
    if (!mComboGuard) {
      if (on) {
        mClickOnSaved = mClickOn;
        mClickOn = 0;
      } else {
        mClickOn = mClickOnSaved;
      }
    }
    code = mCoreWork.setSecInfo(slot, changed);
    if (code != 0) code = Result::nest(2, code);
    if (code == 0 && !on) {
      // Back on the beats: the range snaps to them again.
      mLEditTrimEnd->setModified(true);
      if (mLEditTrimEnd->text().toFloat() <= mSampleCount / 44100.0 && !isNotNumber(*mLEditTrimEnd))
        code = commitTrimFields(mCoreWork);
      else
        mLEditTrimEnd->setText(mLEditTrimEnd->placeholderText());
    }
    if (code == 0) code = mCore.setAllInfo(mCoreWork.getAllInfo());
  }
  if (code != 0) {
    showMessage(this, kTitle, tr("#0108 some error occurs! [%1]").arg(code, 0, 16), QMessageBox::Ok, QMessageBox::Ok);
    return code;
  }
  refresh();
  return code;
}

void MainWindow::valueChangedSpinPickup(int value) { applyPickup(value); }

ResultCode MainWindow::applyPickup(int value) {
  if (mComboGuard) return Result::kOk;
  const auto slot = static_cast<std::uint8_t>(mCurrentSection);
  SecInfo* sec = nullptr;
  ResultCode code = mCore.getSecInfo(slot, &sec);
  std::uint8_t numerator = 4;
  std::uint8_t denominator = 4;
  if (code != 0 || !sec) {
    code = Result::nest(1, code);
  } else if ((code = mCore.getTimeSig(numerator, denominator)) != 0 || numerator == 0) {
    code = Result::nest(2, code);
  } else {
    // A pickup is shorter than one bar.
    const int limit = 2 * numerator - 1;
    SecInfo changed = *sec;
    changed.pickupNum = static_cast<std::uint8_t>(std::max(0, std::min(value, limit)));
    code = mCore.setSecInfo(slot, changed);
    if (code != 0) code = Result::nest(3, code);
  }
  if (code != 0) {
    showMessage(this, kTitle, mCore.lastError + QString("\r\n[%1]").arg(code, 0, 16), QMessageBox::Ok,
                QMessageBox::Ok);
    if (mCore.getSecInfo(slot, &sec) == 0 && sec) {
      const std::uint8_t guard = mComboGuard;
      mComboGuard = 1;
      mSpinPickup->setValue(sec->pickupNum);
      mComboGuard = guard;
    }
    return code;
  }
  refreshAfterSectionEdit();
  return code;
}

void MainWindow::clickedChkClick(bool checked) {
  if (!mComboGuard) mClickOn = checked ? 1 : 0;
}

void MainWindow::clickedChkTimeStretch(bool checked) {
  mTimeStretchDefault = checked ? 1 : 0;
  saveTimeStretchDefault(checked);
}

void MainWindow::valueChangedSliderMetro(int value) {
  if (mComboGuard) return;
  const auto level = static_cast<std::uint8_t>(std::max(0, std::min(value, 100)));
  if (level != mSourceLevel) mSourceLevel = level;
}

// --- Beat phase and resolution ---------------------------------------------

void MainWindow::releasedBtnBeatToggleShift() {
  if (mCmbWav->currentIndex() == -1) {
    showMessage(this, kTitle, tr("#0092 no audo file is registerd!"), QMessageBox::Ok, QMessageBox::Ok);
    return;
  }
  if (mBeatShiftState == 1) {
    if (unshiftBeatPosition() != 0) return;
    mBeatShiftState = 0;
  } else if (mBeatShiftState == 0) {
    if (shiftBeatPosition() != 0) return;
    mBeatShiftState = 1;
  } else {
    mBeatShiftState = 0;
  }
  updateBeatShiftButton();
  updateAllViews(false);
}

void MainWindow::setBeatShiftState(int state) {
  mBeatShiftState = state;
  updateBeatShiftButton();
}

ResultCode MainWindow::shiftBeatPosition() {
  bool moved = false;
  const ResultCode code = moveHalfBeat(mCore, static_cast<std::uint8_t>(mCurrentSection), true, moved);
  if (moved) refreshSectionView();
  return code;
}

ResultCode MainWindow::unshiftBeatPosition() {
  bool moved = false;
  const ResultCode code = moveHalfBeat(mCore, static_cast<std::uint8_t>(mCurrentSection), false, moved);
  if (moved) refreshSectionView();
  return code;
}

void MainWindow::releasedBtnBeatAnaDouble() {
  if (mCmbWav->currentIndex() == -1) {
    showMessage(this, kTitle, tr("#0092 no audo file is registerd!"), QMessageBox::Ok, QMessageBox::Ok);
    return;
  }
  const auto wave = static_cast<std::uint8_t>(mCmbWav->currentIndex());
  WavInfo* record = nullptr;
  if (mCore.getWaveInfo(wave, &record) == 0 && record && record->beatTime.size() > kManyBeats &&
      showMessage(this, kTitle, tr("It may take much time. are you sure!"), QMessageBox::Ok | QMessageBox::Cancel,
                  QMessageBox::Ok) == QMessageBox::Cancel) {
    return;
  }
  std::uint16_t factor = 0;
  waitCursor();
  const ResultCode code = doubleBeatResolution(wave, factor);
  QGuiApplication::restoreOverrideCursor();
  reportBeatResolution(code, factor);
}

void MainWindow::releasedBtnBeatAnaHalf() {
  if (mCmbWav->currentIndex() == -1) {
    showMessage(this, kTitle, tr("#0092 no audo file is registerd!"), QMessageBox::Ok, QMessageBox::Ok);
    return;
  }
  std::uint16_t factor = 0;
  waitCursor();
  const ResultCode code = halveBeatResolution(static_cast<std::uint8_t>(mCmbWav->currentIndex()), factor);
  QGuiApplication::restoreOverrideCursor();
  reportBeatResolution(code, factor);
}

void MainWindow::reportBeatResolution(ResultCode code, std::uint16_t factor) {
  if (code != 0) {
    QString text = mCore.lastError;
    if (mMemoryFull) {
      text = tr("#0112 memory full");
    } else if (text.isEmpty()) {
      text = tr("#0095 Beat detect speed factor limitation! [%1] or returns some error! [%2]")
                 .arg(factor)
                 .arg(code, 0, 16);
    }
    showMessage(this, kTitle, text, QMessageBox::Ok, QMessageBox::Ok);
  }
  refreshSectionView();
}

ResultCode MainWindow::doubleBeatResolution(std::uint8_t wave, std::uint16_t& factor) {
  return changeBeatResolution(1, wave, factor);
}

ResultCode MainWindow::halveBeatResolution(std::uint8_t wave, std::uint16_t& factor) {
  return changeBeatResolution(0, wave, factor);
}

ResultCode MainWindow::changeBeatResolution(std::uint8_t mode, std::uint8_t wave, std::uint16_t& factor) {
  mCore.clearLastError();
  mMemoryFull = 0;
  // The grid's refresh already measures a tempo from the re-counted bars;
  // doubling that one again would change the tempo four-fold. The new tempo
  // is the one before the command, doubled or halved, and the section keeps
  // its length in seconds.
  const std::uint64_t before = mCore.getCommonInfo().tempo;
  mCoreWork.copyFrom(mCore);
  QString message;
  ResultCode code = mCoreWork.divBeatDnUp(mode, wave, static_cast<std::uint8_t>(mCurrentSection), 1, factor, message);
  if (code != 0) {
    mMemoryFull = mCoreWork.hasException() ? 1 : 0;
    mCore.lastError = mCoreWork.lastError.isEmpty() ? message : mCoreWork.lastError;
    return Result::nest(1, code);
  }
  const std::uint64_t changed = mode == 1 ? before * 2 : std::max<std::uint64_t>(before / 2, 1);
  // A tempo the project cannot hold refuses the whole change.
  if (changed < ComnInfo::kMinTempo || changed > ComnInfo::kMaxTempo) return Result::fail(2);
  code = mCoreWork.updateTempo(changed);
  if (code != 0) {
    mMemoryFull = mCoreWork.hasException() ? 1 : 0;
    return Result::nest(2, code);
  }
  code = resnapSectionToBeats(mCoreWork, static_cast<std::uint8_t>(mCurrentSection));
  if (code != 0) return Result::nest(3, code);
  code = mCore.setAllInfo(mCoreWork.getAllInfo());
  if (code != 0) return Result::nest(3, code);
  code = updateTrimFieldsFromBeats(mCurrentSection, 3);
  if (code != 0) return Result::nest(3, code);
  if (QWidget* focused = focusWidget()) focused->clearFocus();
  return Result::kOk;
}

ResultCode MainWindow::resnapSectionToBeats(CASTcore& core, std::uint8_t section) {
  if (mChkManual->isChecked()) return Result::kOk;
  SecInfo* sec = nullptr;
  ResultCode code = core.getSecInfo(section, &sec);
  if (code != 0 || !sec) return Result::nest(1, code);
  if (sec->wavNo == SecInfo::kNoWave) return Result::kOk;
  rebuildBeatList(core, section);
  rebuildHalfBeatList(core, sec->wavNo);
  const std::uint64_t start = snapToBeat(sec->startAdrs, mGridList);
  const std::uint64_t end = snapToBeat(sec->endAdrs, mGridList);
  if (start == sec->startAdrs && end == sec->endAdrs) return Result::kOk;
  mRangeStart = start;
  mRangeEnd = end;
  SecInfo changed = *sec;
  changed.startAdrs = start;
  changed.endAdrs = end;
  code = core.setSecInfo(section, changed);
  if (code != 0) return Result::nest(2, code);
  mSelStart = static_cast<int>(start);
  mSelEnd = static_cast<int>(end);
  pushSelectionToLayers();
  update();
  return Result::kOk;
}

// --- Beat lists, current section, whole wave -------------------------------

ResultCode MainWindow::rebuildBeatList(CASTcore& core, std::uint8_t section) {
  mGridList.clear();
  SecInfo* sec = nullptr;
  WavInfo* wave = nullptr;
  if (core.getSecWave(section, &sec, &wave) != 0 || !sec || !wave) return Result::fail(1);
  const std::size_t d = std::max<std::uint16_t>(wave->beatDiv, 1);
  const AnalysisUtil util;
  for (std::size_t i = d * (sec->halfBeat ? 1 : 0); i < wave->beatTime.size(); i += 2 * d)
    mGridList.push_back(util.secondsToSamples(wave->beatTime[i]));
  return Result::kOk;
}

ResultCode MainWindow::rebuildHalfBeatList(CASTcore& core, std::uint8_t waveIndex) {
  mHalfBeatList.clear();
  WavInfo* wave = nullptr;
  if (core.getWaveInfo(waveIndex, &wave) != 0 || !wave) return Result::fail(1);
  const std::size_t d = std::max<std::uint16_t>(wave->beatDiv, 1);
  const AnalysisUtil util;
  for (std::size_t i = 0; i < wave->beatTime.size(); i += d) mHalfBeatList.push_back(util.secondsToSamples(wave->beatTime[i]));
  return Result::kOk;
}

void MainWindow::currentIdxChangedCmbTrimSec(int index) {
  if (mComboGuard || index == mCurrentSection || index < 0 || index > 14) return;
  const bool wasPlaying = mPlaying != 0;
  if (wasPlaying) releasedBtnStopped();
  mSpinBars->setRange(1, kMaxBars);
  resetSectionPanel(false);
  updateSectionPanel(index);
  updateAllViews(true);
  updateWaveButtons();
  mBeatShiftState = 0;
  updateBeatShiftButton();
  updateActionStates();
  // Undo never crosses a change of section.
  mCore.clearUndo();
  updateUndoRedoActions();
  if (wasPlaying) releasedBtnPlayLoop();
}

ResultCode MainWindow::selectWholeWave(bool on) {
  const int section = mCmbTrimSec->currentIndex();
  if (section < 0 || section > 14) return Result::fail(1);
  const int chosen = mCmbWav->currentIndex();
  if (chosen < 0) return Result::fail(1);
  // The length is the section's own recording's, whatever the combo box
  // shows at the moment.
  WavInfo* wave = nullptr;
  ResultCode code = mCore.getSecWaveOnly(static_cast<std::uint8_t>(section), &wave);
  if (code != 0 || !wave) return Result::nest(1, code);
  const std::uint64_t end =
      on && !wave->onsetTime.empty() ? AnalysisUtil().secondsToSamples(wave->onsetTime.back()) : 0;
  mRangeStart = 0;
  mRangeEnd = end;
  mRangeOn = on;
  mSelStart = 0;
  mSelEnd = static_cast<int>(end);
  mSelShown = on;
  pushSelectionToLayers();
  SecInfo* sec = nullptr;
  code = mCore.getSecInfo(static_cast<std::uint8_t>(section), &sec);
  if (code != 0 || !sec) return Result::nest(2, code);
  SecInfo changed = *sec;
  changed.used = on ? 1 : 0;
  changed.wavNo = static_cast<std::uint8_t>(chosen);
  changed.startAdrs = 0;
  changed.startOfs = 0;
  changed.endAdrs = end;
  changed.endOfs = 0;
  code = mCore.setSecInfo(static_cast<std::uint8_t>(section), changed);
  refreshAfterSectionEdit();
  update();
  return code == 0 ? Result::kOk : Result::nest(3, code);
}
