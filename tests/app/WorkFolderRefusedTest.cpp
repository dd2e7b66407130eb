// An import for which no private work folder can be made is refused with
// the system's reason, and leaves nothing in the shared temporary folder:
// no work copy under the one name every copy would use, no half-made
// folder. Locks refused by the file system (ENOLCK, as on NFS without a
// lock service), and a temporary folder without free inodes (a small tmpfs
// in a mount namespace of the test's own; skipped where there is none).

#include <gtest/gtest.h>

#include <sys/mount.h>

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QFileOpenEvent>
#include <QMessageBox>
#include <QStandardPaths>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>

#include "AnalysedWaveName.h"
#include "MainWindow.h"
#include "ModalDriver.h"
#include "RefusedLocks.h"
#include "SmallFileSystem.h"
#include "TempDir.h"
#include "TestAudio.h"

namespace {

QString recording() {
  const QString audio = TestEnv::tempPath("song.wav");
  EXPECT_TRUE(TestAudio::writeWav(audio, TestAudio::clickTrack(3.0, 0.5)));
  return audio;
}

// Imports `audio` in `window` and checks that it was refused for `error`,
// leaving nothing in the temporary folder.
void expectRefused(MainWindow& window, const QString& audio, int error) {
  const QString temp = QStandardPaths::writableLocation(QStandardPaths::TempLocation);
  const QStringList ours = {"AST_temp*", "Quillmere-*"};
  const QStringList before = QDir(temp).entryList(ours, QDir::AllEntries | QDir::Hidden);
  ModalDriver driver;
  driver.pressButton(QMessageBox::Ok);
  driver.pressButton(QMessageBox::Ok);
  QFileOpenEvent open(audio);
  QCoreApplication::sendEvent(&window, &open);

  const QStringList after = QDir(temp).entryList(ours, QDir::AllEntries | QDir::Hidden);
  std::printf("[figures] %s: %d boxes, first \"%s\"; %d work files and folders added to the temporary folder\n",
              std::strerror(error), static_cast<int>(driver.seen().size()),
              driver.seen().empty() ? "" : qPrintable(driver.seen()[0].text),
              static_cast<int>(after.size() - before.size()));
  ASSERT_EQ(driver.seen().size(), 2u);
  EXPECT_EQ(driver.seen()[0].text.toStdString(),
            QString("Cannot create a work folder in \"%1\": %2").arg(temp, std::strerror(error)).toStdString());
  EXPECT_EQ(driver.seen()[1].text, "The import operation has been canceled.");
  EXPECT_EQ(after, before) << after.join(' ').toStdString();
  EXPECT_FALSE(QFileInfo::exists(AnalysedWaveName::pathFor(audio)));
  EXPECT_EQ(window.core().waveCount(), 0u);
}

}  // namespace

TEST(WorkFolderRefused, LocksTheFileSystemRefusesSayNoLocksAvailable) {
  qputenv("QUILLMERE_AUDIO_BACKEND", "virtual");
  const QString audio = recording();
  auto refuse = std::make_unique<RefusedLocks>(ENOLCK);
  MainWindow window;
  expectRefused(window, audio, ENOLCK);
  refuse.reset();
}

TEST(WorkFolderRefused, ATemporaryFolderWithoutFreeInodesSaysNoSpaceLeftOnDevice) {
  if (!TestEnv::inSmallFileSystemChild("WorkFolderRefused.ATemporaryFolderWithoutFreeInodesSaysNoSpaceLeftOnDevice"))
    return;
  qputenv("QUILLMERE_AUDIO_BACKEND", "virtual");
  const QString audio = recording();  // outside the small file system
  const QString temp = TestEnv::tempPath("small");
  ASSERT_TRUE(QDir().mkpath(temp));
  if (!TestEnv::mountSmallFileSystem(temp, "size=8m,nr_inodes=16")) return;
  qputenv("TMPDIR", QFile::encodeName(temp));
  // Every inode taken while the program starts; then one given back, too
  // few for a folder with its lock file, enough for a file of its own.
  int fillers = 0;
  while (fillers < 64 && QFile(temp + QString("/f%1").arg(fillers)).open(QIODevice::WriteOnly)) ++fillers;
  ASSERT_LT(fillers, 64);
  {
    MainWindow window;
    ASSERT_TRUE(QFile::remove(temp + "/f0"));
    expectRefused(window, audio, ENOSPC);
  }
  umount(QFile::encodeName(temp).constData());
}
