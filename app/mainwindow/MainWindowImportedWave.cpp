// MainWindow: a freshly analysed recording joins the project. Its
// analysed-wave file is tried on a scratch core before the project core
// takes it, the current section gets the new recording with the settings
// the analysis proposed, and recordings no section uses any more go.

#include <QFileInfo>

#include <array>
#include <memory>

#include "AnalysisUtil.h"
#include "MainWindow.h"
#include "ProposalMeter.h"

namespace {

// The sections whose settings a newly assigned recording borrows, searched
// in this order after the current section: its own group first.
std::array<std::uint8_t, 15> sectionSearchOrder(int current) {
  if (current >= 0 && current <= 2) return {{0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14}};
  if (current >= 7 && current <= 11) return {{7, 8, 9, 10, 11, 3, 4, 5, 6, 0, 1, 2, 12, 13, 14}};
  if (current >= 12 && current <= 14) return {{12, 13, 14, 0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11}};
  return {{3, 4, 5, 6, 0, 1, 2, 7, 8, 9, 10, 11, 12, 13, 14}};
}

}  // namespace

ResultCode MainWindow::addWaveToCore(CASTcore& core, const QString& fileName, const QString& awiPath,
                                     qint64 frames) {
  core.clearLastError();
  mMemoryFull = 0;
  auto record = std::make_unique<WavInfo>();
  record->beatDiv = 1;
  record->tempo = 120;
  record->fileName = fileName.toStdWString();
  const ResultCode code = core.addAnalyzedFile(record.get(), awiPath, static_cast<std::uint64_t>(frames));
  // On success the core has taken the record over.
  if (code == 0) record.release();
  mMemoryFull = core.hasException() ? 1 : 0;
  return code;
}

ResultCode MainWindow::assignWholeWaveToSection(CASTcore& core, std::uint8_t section, std::uint8_t wave) {
  WavInfo* record = nullptr;
  ResultCode code = core.getWaveInfo(wave, &record);
  if (code != 0 || !record) return Result::nest(1, code);
  SecInfo* current = nullptr;
  code = core.getSecInfo(section, &current);
  if (code != 0 || !current) return Result::nest(2, code);
  SecInfo whole = *current;
  whole.used = 1;
  whole.wavNo = wave;
  whole.startAdrs = 0;
  whole.startOfs = 0;
  whole.endAdrs = record->onsetTime.empty() ? 0 : AnalysisUtil().secondsToSamples(record->onsetTime.back());
  whole.endOfs = 0;
  code = core.setSecInfo(section, whole);
  return code == 0 ? Result::kOk : Result::nest(3, code);
}

ResultCode MainWindow::assignWaveToSection(CASTcore& source, CASTcore& target, std::uint8_t wave) {
  const ResultCode meter = ProposalMeter::follow(target, source);
  if (meter != 0) return meter;
  const auto current = static_cast<std::uint8_t>(mCurrentSection);
  std::vector<std::uint8_t> order{current};
  for (std::uint8_t slot : sectionSearchOrder(mCurrentSection)) {
    if (slot != current) order.push_back(slot);
  }
  for (std::uint8_t slot : order) {
    SecInfo* section = nullptr;
    WavInfo* record = nullptr;
    if (source.getSecWave(slot, &section, &record) != 0 || !section || !record) continue;
    SecInfo borrowed = *section;
    borrowed.wavNo = wave;
    return target.updateSecInfo(current, borrowed);
  }
  return assignWholeWaveToSection(target, current, wave);
}

ResultCode MainWindow::removeUnusedWaves(const QString& name) {
  for (int wave = static_cast<int>(mCore.waveCount()) - 1; wave >= 0; --wave) {
    std::uint8_t used = 1;
    if (mCore.isWaveUsed(static_cast<std::uint8_t>(wave), &used) != 0) break;
    if (used) continue;
    const ResultCode code = mCore.removeWave(static_cast<std::uint8_t>(wave));
    if (code != 0) return code;
  }
  if (!name.isEmpty()) {
    const int index = findWaveIndexByFileName(name);
    if (index >= 0) mCurrentWave = index;
  }
  return Result::kOk;
}

ResultCode MainWindow::assignImportedWave(const QString& audioPath, const QString& awiPath, qint64 frames) {
  if (mCurrentSection < 0 || mCurrentSection > 14) return Result::fail(1);
  CASTcore trial;
  ResultCode code = addWaveToCore(trial, audioPath, awiPath, frames);
  if (code != 0) {
    mCore.lastError = trial.lastError;
    return Result::nest(2, code);
  }
  // The project takes the recording only with its section assigned: a
  // recording no section can hold (a single frame, say) leaves it as it was.
  mCoreWork.copyFrom(mCore);
  code = addWaveToCore(mCoreWork, audioPath, awiPath, frames);
  if (code != 0) {
    mCore.lastError = mCoreWork.lastError;
    return Result::nest(3, code);
  }
  const auto wave = static_cast<std::uint8_t>(mCoreWork.waveCount() - 1);
  code = assignWaveToSection(trial, mCoreWork, wave);
  if (code == 0) code = mCore.setAllInfo(mCoreWork.getAllInfo());
  if (code != 0) {
    mMemoryFull = mCoreWork.hasException() || mCore.hasException() ? 1 : 0;
    return Result::nest(4, code);
  }
  WavInfo* added = nullptr;
  const QString name =
      mCore.getWaveInfo(wave, &added) == 0 && added ? QString::fromStdWString(added->fileName) : QString();
  // The recordings the section gave up go before the views load, so the
  // views and the empty undo history describe the final project.
  code = removeUnusedWaves(name);
  if (code != 0) return Result::nest(5, code);
  loadSectionWaveView(true);
  selectSectionCombo(mCurrentSection);
  focusWaveView();
  return Result::kOk;
}
