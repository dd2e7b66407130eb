// A work copy that cannot be made or written says why, in the system's
// words, and leaves no file: a file size limit (EFBIG), a missing folder
// (ENOENT) and a temporary folder that is really full (a small tmpfs in a
// mount namespace of the test's own; skipped where the system allows none).

#include <gtest/gtest.h>

#include <sys/mount.h>

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>

#include "FileSizeLimit.h"
#include "SmallFileSystem.h"
#include "TempDir.h"
#include "TestAudio.h"
#include "audioFileMngr.h"

namespace {

QString systemWords(int error) { return QString::fromLocal8Bit(std::strerror(error)); }

// Three seconds of clicks: a 529 KB work copy.
std::wstring recording() {
  const QString path = TestEnv::tempPath("song.wav");
  EXPECT_TRUE(TestAudio::writeWav(path, TestAudio::clickTrack(3.0, 0.5)));
  return path.toStdWString();
}

}  // namespace

TEST(WorkCopyError, ATargetThatCannotBeMadeOrWrittenNamesTheSystemsReason) {
  std::unique_ptr<IF_audioFileMngr> files(audioFileMngr::create());
  const std::wstring source = recording();

  const QString missing = TestEnv::tempPath("gone/AST_temp.wav");
  EXPECT_EQ(files->copyFile(source, missing), 0x80000002u);
  EXPECT_EQ(files->lastError().toStdString(),
            QString("Cannot create \"%1\": %2").arg(missing, systemWords(ENOENT)).toStdString());

  const QString target = TestEnv::tempPath("AST_temp.wav");
  ResultCode rc = 0;
  {
    FileSizeLimit full(64 * 1024);
    ASSERT_TRUE(full.holds());
    rc = files->copyFile(source, target);
  }
  EXPECT_EQ(rc, 0x80000004u);
  EXPECT_EQ(files->lastError().toStdString(),
            QString("Cannot write \"%1\": %2").arg(target, systemWords(EFBIG)).toStdString());
  EXPECT_FALSE(QFileInfo::exists(target));

  // A copy that succeeds carries no old text.
  EXPECT_EQ(files->copyFile(source, target), 0u);
  EXPECT_TRUE(files->lastError().isEmpty());
}

TEST(WorkCopyError, AFullTemporaryFolderSaysNoSpaceLeftOnDevice) {
  if (!TestEnv::inSmallFileSystemChild("WorkCopyError.AFullTemporaryFolderSaysNoSpaceLeftOnDevice")) return;

  // In the child: the recording stays outside, the temporary folder is a
  // 256 KiB file system.
  const std::wstring source = recording();
  const QString temp = TestEnv::tempPath("small");
  ASSERT_TRUE(QDir().mkpath(temp));
  if (!TestEnv::mountSmallFileSystem(temp, "size=256k")) return;
  std::unique_ptr<IF_audioFileMngr> files(audioFileMngr::create());
  const QString target = temp + "/AST_temp.wav";
  EXPECT_EQ(files->copyFile(source, target), 0x80000004u);
  EXPECT_EQ(files->lastError().toStdString(),
            QString("Cannot write \"%1\": %2").arg(target, systemWords(ENOSPC)).toStdString());
  EXPECT_EQ(systemWords(ENOSPC), "No space left on device");
  EXPECT_TRUE(QDir(temp).entryList(QDir::Files).isEmpty()) << "no partial work copy";
  umount(QFile::encodeName(temp).constData());
}
