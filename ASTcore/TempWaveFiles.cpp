#include "TempWaveFiles.h"

#include "SectionNameTable.h"

namespace TempWaveFiles {

QString sourceFileName() { return QStringLiteral("AST_temp.wav"); }

QString sectionBaseName(int index) {
  const QString name = SectionNameTable::name(index);
  if (name.isEmpty()) return QString();
  return QStringLiteral("AST_temp_") + name;
}

QString sectionFileName(int index) {
  const QString base = sectionBaseName(index);
  return base.isEmpty() ? QString() : base + QStringLiteral(".wav");
}

QString sourcePath(const QString& folder) { return folder + "/" + sourceFileName(); }

QString sectionPath(const QString& folder, int index) {
  const QString file = sectionFileName(index);
  return file.isEmpty() ? QString() : folder + "/" + file;
}

}  // namespace TempWaveFiles
