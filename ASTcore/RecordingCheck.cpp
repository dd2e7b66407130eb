#include "RecordingCheck.h"

#include <QDateTime>
#include <QFileInfo>

#include <set>

#include "AnalysedWaveName.h"
#include "AnalysisUtil.h"
#include "CASTcore.h"
#include "IF_audioFileMngr.h"
#include "ImportedRecordings.h"
#include "SectionNameTable.h"
#include "WaveReanalysis.h"

namespace RecordingCheck {

namespace {

// The import's format check refused the file: what its code stands for.
QString formatChange(ResultCode code) {
  switch (code) {
    case 0x80000004: return QStringLiteral("it is no longer stereo");
    case 0x80000005: return QStringLiteral("its sample format is no longer one the import takes");
    case 0x80000006: return QStringLiteral("its sample rate is no longer 44100 Hz");
    case 0x80000007:
    case 0x80000008: return QStringLiteral("it can no longer be read as one seekable stream");
    default: break;
  }
  return QStringLiteral("it can no longer be read as audio");
}

QString secondsText(double seconds) { return QString::number(seconds, 'f', 3); }

struct Change {
  QString text;
  // An import of the file takes it: importing it again mends the project.
  bool importable = true;
};

// The recording imported in this run (or opened with a project), against
// the audio and the analysis it held then.
QString importedChange(IF_audioFileMngr& files, const WavInfo& wave, const ImportedRecordings::Entry& imported) {
  RecordingFingerprint now;
  if (!Result::failed(files.fingerprint(wave.fileName, now)) && now != imported.audio) {
    return imported.opened
               ? QStringLiteral("its audio is no longer the audio it held when the project was opened (another "
                                "take was put in its place)")
               : QStringLiteral("its audio is no longer the audio imported (another take was put in its place)");
  }
  if (wave.onsetTime != imported.onsets)
    return QStringLiteral("the project holds an analysis of other audio than the one imported");
  return QString();
}

// A recording analysed again after the project was saved (by another copy
// of the program, say): the newer analysis beside it must describe the
// audio the project's does.
QString reanalysedChange(const WavInfo& wave, const QString& path, const QDateTime& projectSaved) {
  const QFileInfo awi(AnalysedWaveName::pathFor(path));
  if (!projectSaved.isValid() || !awi.exists() || awi.lastModified() <= projectSaved) return QString();
  WavInfo analysis;
  if (Result::failed(WaveReanalysis::load(awi.filePath(), analysis)) || WaveReanalysis::sameAudio(wave, analysis))
    return QString();
  return QStringLiteral("it was analysed again (%1) after the project was saved (%2), as other audio")
      .arg(awi.lastModified().toString(Qt::ISODate), projectSaved.toString(Qt::ISODate));
}

Change detect(IF_audioFileMngr& files, const WavInfo& wave, const Context& context) {
  const QString path = QString::fromStdWString(wave.fileName);
  if (!QFileInfo::exists(path)) return {};
  std::uint64_t frames = 0;
  const ResultCode format = files.checkFile(wave.fileName, frames);
  if (Result::failed(format)) return {formatChange(format), false};
  if (!wave.onsetTime.empty() && !AnalysedWaveName::endsWithRecording(wave.onsetTime.back(), frames)) {
    return {QStringLiteral("it is %1 s long, not %2 s")
                .arg(secondsText(AnalysisUtil().samplesToSeconds(frames)), secondsText(wave.onsetTime.back()))};
  }
  QDateTime modified, analysed;
  if (AnalysedWaveName::recordingChangedSince(AnalysedWaveName::pathFor(path), path, &modified, &analysed)) {
    return {QStringLiteral("it was modified (%1) after its analysis was written (%2)")
                .arg(modified.toString(Qt::ISODate), analysed.toString(Qt::ISODate))};
  }
  const ImportedRecordings::Entry* imported = context.imported ? context.imported->find(path) : nullptr;
  if (!imported) return {reanalysedChange(wave, path, context.projectSaved)};
  const QString swapped = importedChange(files, wave, *imported);
  // Opened, not imported: its analysis is still the one the project was
  // saved with, which an ".awi" written since may contradict.
  if (!swapped.isEmpty() || !imported->opened) return {swapped};
  return {reanalysedChange(wave, path, context.projectSaved)};
}

}  // namespace

QString whatChanged(IF_audioFileMngr& files, const WavInfo& wave, const Context& context) {
  return detect(files, wave, context).text;
}

ResultCode checkSections(CASTcore& core, IF_audioFileMngr& files, const Context& context) {
  std::set<std::uint8_t> checked;
  for (std::uint8_t slot = 0; slot < CASTcore::kSectionCount; ++slot) {
    SecInfo* sec = nullptr;
    WavInfo* wave = nullptr;
    if (Result::failed(core.getSecWave(slot, &sec, &wave)) || !sec || !wave || !sec->used) continue;
    if (!checked.insert(sec->wavNo).second) continue;
    const Change change = detect(files, *wave, context);
    if (change.text.isEmpty()) continue;
    QString sections;
    for (std::uint8_t other = slot; other < CASTcore::kSectionCount; ++other) {
      SecInfo* otherSec = nullptr;
      if (Result::failed(core.getSecInfo(other, &otherSec)) || !otherSec) continue;
      if (!otherSec->used || otherSec->wavNo != sec->wavNo) continue;
      if (!sections.isEmpty()) sections += QStringLiteral(", ");
      sections += SectionNameTable::name(other);
    }
    if (core.lastError.isEmpty()) {
      // An import analyses a changed recording again and gives its
      // sections the new grid; one it refuses must be mended first.
      const QString advice = change.importable
                                 ? QStringLiteral("Please import the audio file again.")
                                 : QStringLiteral("Please save it again as a stereo 44100 Hz audio file and import "
                                                  "it again, or assign another audio file to the sections.");
      core.lastError = QStringLiteral(
                           "The audio file \"%1\" has changed since it was analysed: %2.\n  section: %3.\n\n"
                           "The project cannot be exported.\n%4")
                           .arg(QString::fromStdWString(wave->fileName), change.text, sections, advice);
    }
    return Result::fail(1);
  }
  return Result::kOk;
}

}  // namespace RecordingCheck
