#include "AnalysedWaveName.h"

#include <QDateTime>
#include <QFileInfo>

#include <cfloat>
#include <cmath>

#include "AnalysisUtil.h"
#include "CASTcore.h"
#include "SongAnalyzer.h"

namespace AnalysedWaveName {

QString pathFor(const QString& audioPath) {
  const QFileInfo info(audioPath);
  return info.absolutePath() + "/" + info.completeBaseName() + ".awi";
}

bool matches(const QString& awiPath, const QString& audioPath) {
  if (!QFileInfo::exists(awiPath)) return false;
  CASTcore scratch;
  if (Result::failed(scratch.addWavList(new WavInfo))) return false;
  if (Result::failed(scratch.loadAwi(awiPath.toStdWString(), 0))) return false;
  WavInfo* wave = nullptr;
  if (Result::failed(scratch.getWaveInfo(0, &wave))) return false;
  return QFileInfo(QString::fromStdWString(wave->fileName)).fileName() == QFileInfo(audioPath).fileName();
}

bool isUsable(const QString& awiPath, std::uint64_t frames, QString* why) {
  auto refuse = [why](const QString& text) {
    if (why) *why = text;
    return false;
  };
  CASTcore scratch;
  if (Result::failed(scratch.addWavList(new WavInfo))) return refuse(scratch.lastError);
  if (Result::failed(scratch.loadAwi(awiPath.toStdWString(), 0))) return refuse(scratch.lastError);
  WavInfo* wave = nullptr;
  if (Result::failed(scratch.getWaveInfo(0, &wave)) || !wave) return refuse(QStringLiteral("No wave record."));
  if (wave->onsetTime.empty()) return refuse(QStringLiteral("The analysis records no length."));
  // Only a grid made up without an analysis can stand beside a recording
  // the analysis refuses.
  if (SongAnalyzer::isTooLong(frames, static_cast<float>(AnalysisUtil::kSampleRate)))
    return refuse(QStringLiteral("The recording is longer than the analysis takes."));
  if (!endsWithRecording(wave->onsetTime.back(), frames)) {
    return refuse(QStringLiteral("The analysis is of a recording of %1 s, not of %2 s.")
                      .arg(static_cast<double>(wave->onsetTime.back()), 0, 'f', 3)
                      .arg(static_cast<double>(AnalysisUtil().samplesToSeconds(frames)), 0, 'f', 3));
  }
  return true;
}

bool endsWithRecording(float analysedEnd, std::uint64_t frames) {
  const double expected = AnalysisUtil().samplesToSeconds(frames);
  const double tolerance = 2.0 / AnalysisUtil::kSampleRate + std::fabs(expected) * 2.0 * FLT_EPSILON;
  return std::fabs(static_cast<double>(analysedEnd) - expected) <= tolerance;
}

bool recordingChangedSince(const QString& awiPath, const QString& audioPath, QDateTime* changed,
                           QDateTime* analysed) {
  const QFileInfo analysis(awiPath);
  if (!analysis.exists()) return false;
  const QDateTime written = analysis.lastModified();
  const QDateTime modified = QFileInfo(audioPath).lastModified();
  if (changed) *changed = modified;
  if (analysed) *analysed = written;
  return written < modified;
}

bool isUsableFor(const QString& awiPath, const QString& audioPath, std::uint64_t frames, QString* why) {
  if (!isUsable(awiPath, frames, why)) return false;
  QDateTime analysed, changed;
  if (recordingChangedSince(awiPath, audioPath, &changed, &analysed)) {
    if (why) {
      *why = QStringLiteral("The recording was changed (%1) after its analysis was written (%2).")
                 .arg(changed.toString(Qt::ISODateWithMs), analysed.toString(Qt::ISODateWithMs));
    }
    return false;
  }
  return true;
}

}  // namespace AnalysedWaveName
