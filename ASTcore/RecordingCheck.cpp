#include "RecordingCheck.h"

#include <QDateTime>
#include <QFileInfo>

#include <set>

#include "AnalysedWaveName.h"
#include "AnalysisUtil.h"
#include "CASTcore.h"
#include "IF_audioFileMngr.h"
#include "SectionNameTable.h"

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

}  // namespace

QString whatChanged(IF_audioFileMngr& files, const WavInfo& wave) {
  const QString path = QString::fromStdWString(wave.fileName);
  if (!QFileInfo::exists(path)) return QString();
  std::uint64_t frames = 0;
  const ResultCode format = files.checkFile(wave.fileName, frames);
  if (Result::failed(format)) return formatChange(format);
  if (!wave.onsetTime.empty() && !AnalysedWaveName::endsWithRecording(wave.onsetTime.back(), frames)) {
    return QStringLiteral("it is %1 s long, not %2 s")
        .arg(secondsText(AnalysisUtil().samplesToSeconds(frames)), secondsText(wave.onsetTime.back()));
  }
  QDateTime modified, analysed;
  if (AnalysedWaveName::recordingChangedSince(AnalysedWaveName::pathFor(path), path, &modified, &analysed)) {
    return QStringLiteral("it was modified (%1) after its analysis was written (%2)")
        .arg(modified.toString(Qt::ISODate), analysed.toString(Qt::ISODate));
  }
  return QString();
}

ResultCode checkSections(CASTcore& core, IF_audioFileMngr& files) {
  std::set<std::uint8_t> checked;
  for (std::uint8_t slot = 0; slot < CASTcore::kSectionCount; ++slot) {
    SecInfo* sec = nullptr;
    WavInfo* wave = nullptr;
    if (Result::failed(core.getSecWave(slot, &sec, &wave)) || !sec || !wave || !sec->used) continue;
    if (!checked.insert(sec->wavNo).second) continue;
    const QString change = whatChanged(files, *wave);
    if (change.isEmpty()) continue;
    QString sections;
    for (std::uint8_t other = slot; other < CASTcore::kSectionCount; ++other) {
      SecInfo* otherSec = nullptr;
      if (Result::failed(core.getSecInfo(other, &otherSec)) || !otherSec) continue;
      if (!otherSec->used || otherSec->wavNo != sec->wavNo) continue;
      if (!sections.isEmpty()) sections += QStringLiteral(", ");
      sections += SectionNameTable::name(other);
    }
    if (core.lastError.isEmpty()) {
      core.lastError = QStringLiteral(
                           "The audio file \"%1\" has changed since it was analysed: %2.\n  section: %3.\n\n"
                           "The project cannot be exported.\nPlease import the audio file again.")
                           .arg(QString::fromStdWString(wave->fileName), change, sections);
    }
    return Result::fail(1);
  }
  return Result::kOk;
}

}  // namespace RecordingCheck
