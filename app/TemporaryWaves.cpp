#include "TemporaryWaves.h"

#include <QFile>
#include <QStandardPaths>

#include "SectionNameTable.h"
#include "TempWaveFiles.h"

void removeTemporaryWaves() {
  const QString folder = QStandardPaths::writableLocation(QStandardPaths::TempLocation);
  for (int slot = 0; slot < SectionNameTable::kSlots; ++slot) {
    const QString path = TempWaveFiles::sectionPath(folder, slot);
    if (QFile::exists(path)) QFile::remove(path);
  }
  const QString source = TempWaveFiles::sourcePath(folder);
  if (QFile::exists(source)) QFile::remove(source);
}
