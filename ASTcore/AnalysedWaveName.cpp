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
  // The analysis ends its onset list at the recording's end, as single-
  // precision seconds: a frame or two, and the float's own step, apart.
  const double recorded = wave->onsetTime.back();
  const double expected = AnalysisUtil().samplesToSeconds(frames);
  const double tolerance = 2.0 / 44100.0 + std::fabs(expected) * 2.0 * FLT_EPSILON;
  if (std::fabs(recorded - expected) > tolerance) {
    return refuse(QStringLiteral("The analysis is of a recording of %1 s, not of %2 s.")
                      .arg(recorded, 0, 'f', 3)
                      .arg(expected, 0, 'f', 3));
  }
  return true;
}

bool isUsableFor(const QString& awiPath, const QString& audioPath, std::uint64_t frames, QString* why) {
  if (!isUsable(awiPath, frames, why)) return false;
  const QDateTime analysed = QFileInfo(awiPath).lastModified();
  const QDateTime changed = QFileInfo(audioPath).lastModified();
  if (analysed < changed) {
    if (why) {
      *why = QStringLiteral("The recording was changed (%1) after its analysis was written (%2).")
                 .arg(changed.toString(Qt::ISODateWithMs), analysed.toString(Qt::ISODateWithMs));
    }
    return false;
  }
  return true;
}

}  // namespace AnalysedWaveName
