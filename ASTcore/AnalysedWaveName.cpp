#include "AnalysedWaveName.h"

#include <QFileInfo>

#include <cfloat>
#include <cmath>

#include "AnalysisUtil.h"
#include "CASTcore.h"

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

}  // namespace AnalysedWaveName
