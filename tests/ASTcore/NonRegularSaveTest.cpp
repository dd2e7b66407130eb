// A project or an analysis saved under a name that leads to a FIFO, itself
// or through a symbolic link, is refused by name: no file is renamed over
// the FIFO, and the link stays a link to it. A link to a regular file is
// written through as before.

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include "CASTcore.h"
#include "TempDir.h"

TEST(NonRegularSave, NoSavedFileReplacesAFifoOrTheFifoALinkLeadsTo) {
  QDir().mkpath(TestEnv::tempPath("elsewhere"));
  const QByteArray pipe = QFile::encodeName(TestEnv::tempPath("elsewhere/pipe"));
  ASSERT_EQ(::mkfifo(pipe.constData(), 0600), 0);
  ASSERT_EQ(::mkfifo(QFile::encodeName(TestEnv::tempPath("song.qmproj")).constData(), 0600), 0);
  ASSERT_TRUE(QFile::link(TestEnv::tempPath("elsewhere/pipe"), TestEnv::tempPath("take.awi")));
  QFile regular(TestEnv::tempPath("elsewhere/kept.awi"));
  ASSERT_TRUE(regular.open(QIODevice::WriteOnly));
  regular.close();
  ASSERT_TRUE(QFile::link(regular.fileName(), TestEnv::tempPath("linked.awi")));

  const struct {
    const char* name;
    bool project;
    const char* target;  // what the name leads to
    bool written;
  } cases[] = {
      {"song.qmproj", true, "song.qmproj", false},
      {"take.awi", false, "elsewhere/pipe", false},
      {"linked.awi", false, "elsewhere/kept.awi", true},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const QString name = TestEnv::tempPath(c.name);
    CASTcore core;
    ASSERT_EQ(core.addWavList(new WavInfo), 0u);
    const ResultCode rc = c.project ? core.saveProject(name.toStdWString()) : core.saveAwi(name.toStdWString(), 0);
    EXPECT_EQ(Result::failed(rc), !c.written);
    struct stat target {};
    ASSERT_EQ(::lstat(QFile::encodeName(TestEnv::tempPath(c.target)).constData(), &target), 0);
    if (c.written) {
      EXPECT_TRUE(S_ISREG(target.st_mode));
      EXPECT_GT(target.st_size, 0);
    } else {
      EXPECT_EQ(core.lastError.toStdString(),
                ("Cannot create \"" + name + "\": it is a named pipe (FIFO), not a regular file").toStdString());
      EXPECT_TRUE(S_ISFIFO(target.st_mode));
    }
    // A link still leads where it led: to the FIFO or the file written.
    if (!c.project) {
      EXPECT_EQ(QFile::symLinkTarget(name), TestEnv::tempPath(c.target));
    }
  }
}
