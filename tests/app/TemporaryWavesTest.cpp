#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>

#include <cstdio>

#include "CASTcore.h"
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

TEST(TemporaryWaves, AFolderWhoseNameNowLeadsElsewhereIsNeitherWrittenThroughNorEmptiedAtTheQuit) {
  // The work folder vanishes while the program runs (a cleaner of the
  // temporary folder) and its name comes to lead to someone's files: a link
  // to their folder, or a folder of that name made anew.
  for (const bool link : {true, false}) {
    SCOPED_TRACE(link ? "a link" : "a folder made anew");
    const QString folder = TempWaveFiles::workFolder();
    ASSERT_FALSE(folder.isEmpty());
    ASSERT_TRUE(QDir(folder).removeRecursively());
    const QString target = link ? TestEnv::tempPath("photos") : folder;
    ASSERT_TRUE(QDir().mkpath(target));
    QFile photo(target + "/photo.jpg");
    ASSERT_TRUE(photo.open(QIODevice::WriteOnly));
    photo.close();
    if (link) {
      ASSERT_TRUE(QFile::link(target, folder));
    }

    // The next work copy, written where the import writes it.
    CASTcore core;
    QString now;
    ASSERT_EQ(core.getPath(0, now), 0u);
    QFile workCopy(TempWaveFiles::sourcePath(now));
    ASSERT_TRUE(workCopy.open(QIODevice::WriteOnly));
    workCopy.close();
    const QStringList written = QDir(target).entryList(QDir::Files);
    removeTemporaryWaves();
    const QStringList left = QDir(target).entryList(QDir::Files);
    std::printf("[figures] %s: holding %s before the quit, %s after it\n", link ? "link" : "folder",
                qPrintable(written.join(',')), qPrintable(left.join(',')));

    EXPECT_EQ(written.join(',').toStdString(), "photo.jpg") << "no work file written into it";
    EXPECT_EQ(left.join(',').toStdString(), "photo.jpg") << "nothing taken from it at the quit";
    EXPECT_TRUE(QFileInfo(folder).isSymLink() == link && QFileInfo(folder).isDir()) << "its name is not ours to remove";
    EXPECT_FALSE(QFileInfo::exists(now)) << "the folder made in its place went at the quit";
    QFile::remove(folder);
    QDir(target).removeRecursively();
  }
}
