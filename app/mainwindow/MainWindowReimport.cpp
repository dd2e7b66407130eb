// MainWindow: what the window keeps of the recordings it imports, and a
// recording the project holds imported again. A take saved over an
// analysed recording is analysed again by the import; the project must
// then cut its sections along the new take's grid, not the old one.

#include <QFileInfo>
#include <QtDebug>

#include "IF_audioFileMngr.h"
#include "MainWindow.h"
#include "WaveReanalysis.h"

ResultCode MainWindow::takeNewAnalysis(int wave, const QString& awiPath) {
  WavInfo* held = nullptr;
  if (wave < 0 || mCore.getWaveInfo(static_cast<std::uint8_t>(wave), &held) != 0 || !held) return Result::fail(1);
  const QString audioPath = QString::fromStdWString(held->fileName);
  WavInfo analysis;
  ResultCode code = WaveReanalysis::load(awiPath, analysis);
  if (code != 0) return Result::nest(2, code);
  if (!WaveReanalysis::sameAudio(*held, analysis)) {
    code = WaveReanalysis::replace(mCore, static_cast<std::uint8_t>(wave), analysis);
    mMemoryFull = mCore.hasException() ? 1 : 0;
    if (code != 0) return Result::nest(3, code);
    refreshAfterSectionEdit();
  }
  rememberImport(audioPath);
  return Result::kOk;
}

bool MainWindow::incomingAudioDiffers(const QString& audioPath) {
  RecordingFingerprint audio;
  if (!mAudioFileMngr || mAudioFileMngr->fingerprint(audioPath.toStdWString(), audio) != 0) return false;
  mImported.measure(audioPath, audio);
  const ImportedRecordings::Entry* before = mImported.find(audioPath);
  if (!before || before->audio == audio) return false;
  qDebug() << "analysing again: other audio than imported before under" << audioPath;
  return true;
}

void MainWindow::rememberImport(const QString& audioPath) {
  const int wave = findWaveIndexByFileName(audioPath);
  WavInfo* held = nullptr;
  if (wave < 0 || mCore.getWaveInfo(static_cast<std::uint8_t>(wave), &held) != 0 || !held) return;
  RecordingFingerprint audio;
  if (!mImported.measured(audioPath, audio) &&
      (!mAudioFileMngr || mAudioFileMngr->fingerprint(audioPath.toStdWString(), audio) != 0))
    return;
  mImported.remember(audioPath, audio, held->onsetTime);
}

void MainWindow::rememberOpenedRecordings() {
  if (!mAudioFileMngr) return;
  for (const auto& wave : mCore.getAllInfo().waves()) {
    RecordingFingerprint audio;
    // One that cannot be read is left to the export's format check.
    if (mAudioFileMngr->fingerprint(wave->fileName, audio) != 0) continue;
    mImported.remember(QString::fromStdWString(wave->fileName), audio, wave->onsetTime, true);
  }
}

RecordingCheck::Context MainWindow::recordingCheckContext() const {
  RecordingCheck::Context context;
  context.imported = &mImported;
  // Only a project read from or written to a file has a date to compare an
  // analysis with; every recording of a new one was imported in this run.
  const QFileInfo project(mProjectPath);
  if (mProjectState == 2 && project.isAbsolute() && project.exists()) context.projectSaved = project.lastModified();
  return context;
}
