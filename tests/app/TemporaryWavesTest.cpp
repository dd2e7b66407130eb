#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>

#include "SectionNameTable.h"
#include "TempDir.h"
#include "TempWaveFiles.h"
#include "TemporaryWaves.h"

TEST(TemporaryWaves, TheRunsOwnWorkingWavesGoAndNoOtherFile) {
  const QString temp = QStandardPaths::writableLocation(QStandardPaths::TempLocation);
  ASSERT_EQ(QDir(temp).canonicalPath(), QDir(TestEnv::tempDir()).canonicalPath());
  const QString folder = TempWaveFiles::workFolder();
  QStringList ours = {TempWaveFiles::sourcePath(folder)};
  for (int slot = 0; slot < SectionNameTable::kSlots; ++slot) ours << TempWaveFiles::sectionPath(folder, slot);
  ASSERT_EQ(ours.size(), 16);
  EXPECT_TRUE(ours.contains(folder + "/AST_temp_Fill In A.wav"));
  // The same names in the temporary folder itself belong to another copy of
  // the program that may still be running.
  const QStringList foreign = {temp + "/AST_temp.wav", temp + "/AST_temp_Main A.wav", temp + "/song.wav"};
  for (const QString& name : ours + foreign) {
    QFile f(name);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly)) << name.toStdString();
  }
  removeTemporaryWaves();
  for (const QString& name : ours) EXPECT_FALSE(QFile::exists(name)) << name.toStdString();
  EXPECT_FALSE(QFileInfo::exists(folder));
  for (const QString& name : foreign) EXPECT_TRUE(QFile::exists(name)) << name.toStdString();
  removeTemporaryWaves();  // nothing left to remove is no error
}
