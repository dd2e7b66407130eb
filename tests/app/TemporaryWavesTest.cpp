#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QStandardPaths>

#include "TempDir.h"
#include "TemporaryWaves.h"

TEST(TemporaryWaves, OnlyTheSixteenWorkingWavesAreRemoved) {
  const QString folder = QStandardPaths::writableLocation(QStandardPaths::TempLocation);
  ASSERT_EQ(QDir(folder).canonicalPath(), QDir(TestEnv::tempDir()).canonicalPath());
  const QStringList ours = {"AST_temp.wav",         "AST_temp_Intro 1.wav",  "AST_temp_Intro 2.wav",
                            "AST_temp_Intro 3.wav", "AST_temp_Main A.wav",   "AST_temp_Main B.wav",
                            "AST_temp_Main C.wav",  "AST_temp_Main D.wav",   "AST_temp_Fill In A.wav",
                            "AST_temp_Fill In B.wav", "AST_temp_Fill In C.wav", "AST_temp_Fill In D.wav",
                            "AST_temp_Break.wav",   "AST_temp_Ending 1.wav", "AST_temp_Ending 2.wav",
                            "AST_temp_Ending 3.wav"};
  const QStringList foreign = {"AST_temp_Down Beat.wav", "AST_temp_Fill in A.wav", "song.wav"};
  for (const QString& name : ours + foreign) {
    QFile f(folder + "/" + name);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
  }
  removeTemporaryWaves();
  for (const QString& name : ours) EXPECT_FALSE(QFile::exists(folder + "/" + name)) << name.toStdString();
  for (const QString& name : foreign) EXPECT_TRUE(QFile::exists(folder + "/" + name)) << name.toStdString();
  removeTemporaryWaves();  // nothing left to remove is no error
}
