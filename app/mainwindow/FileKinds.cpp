#include "FileKinds.h"

#include <QFileInfo>

const QStringList& audioFileSuffixes() {
  static const QStringList suffixes{"wav", "aiff", "aif"};
  return suffixes;
}

const QStringList& projectFileSuffixes() {
  static const QStringList suffixes{"qmproj"};
  return suffixes;
}

bool isAudioFileName(const QString& path) {
  return audioFileSuffixes().contains(QFileInfo(path).suffix().toLower());
}
