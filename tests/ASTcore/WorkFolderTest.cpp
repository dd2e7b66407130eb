// The working waves of a process lie in a folder of its own under the
// temporary folder, so that two copies of the program never share them.

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>

#include <thread>

#include "CASTcore.h"
#include "TempWaveFiles.h"

TEST(WorkFolder, APrivateFolderUnderTheTemporaryFolderSharedByTheProcessThreadsAndCores) {
  const QString temp = QStandardPaths::writableLocation(QStandardPaths::TempLocation);
  const QString folder = TempWaveFiles::workFolder();
  EXPECT_NE(QDir(folder).canonicalPath(), QDir(temp).canonicalPath());
  EXPECT_EQ(QFileInfo(folder).absolutePath(), temp);
  EXPECT_TRUE(QFileInfo(folder).isDir());
  EXPECT_EQ(QFileInfo(folder).permissions() & (QFile::ReadOther | QFile::WriteOther), 0) << "private to the user";
  EXPECT_EQ(TempWaveFiles::workFolder(), folder);

  QString fromThread;
  std::thread worker([&fromThread] { fromThread = TempWaveFiles::workFolder(); });
  worker.join();
  EXPECT_EQ(fromThread, folder) << "the analysis thread's work copy is the one the window renders from";

  CASTcore core;
  QString corePath;
  ASSERT_EQ(core.getPath(0, corePath), 0u);
  EXPECT_EQ(corePath, folder);
}

TEST(WorkFolder, RemovalTakesTheFolderWithItsWavesAndLeavesTheTemporaryFolderAlone) {
  const QString temp = QStandardPaths::writableLocation(QStandardPaths::TempLocation);
  const QString folder = TempWaveFiles::workFolder();
  const QStringList names = {TempWaveFiles::sourcePath(folder), TempWaveFiles::sectionPath(folder, 3),
                             TempWaveFiles::sectionPath(folder, 16), temp + "/AST_temp.wav",
                             temp + "/AST_temp_Main A.wav"};
  for (const QString& name : names) {
    QFile f(name);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly)) << name.toStdString();
  }
  TempWaveFiles::removeWorkFolder();
  EXPECT_FALSE(QFileInfo::exists(folder));
  EXPECT_TRUE(QFileInfo::exists(temp + "/AST_temp.wav")) << "another copy's work copy stays";
  EXPECT_TRUE(QFileInfo::exists(temp + "/AST_temp_Main A.wav"));
  TempWaveFiles::removeWorkFolder();  // nothing left is no error

  const QString next = TempWaveFiles::workFolder();
  EXPECT_TRUE(QFileInfo(next).isDir()) << "a later use makes a new folder";
}
