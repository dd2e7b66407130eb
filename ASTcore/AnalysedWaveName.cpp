#include "AnalysedWaveName.h"

#include <QFileInfo>

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

}  // namespace AnalysedWaveName
