// A save that runs out of room says why, in the system's words, and leaves
// the file that was there as it was.

#include <gtest/gtest.h>

#include <QFile>

#include <cerrno>
#include <cstring>

#include "CASTcore.h"
#include "FileSizeLimit.h"
#include "TempDir.h"

namespace {

// A project of about 40 KB: one wave with a long beat list.
void fill(CASTcore& core) {
  auto* wave = new WavInfo;
  wave->fileName = L"/music/long.wav";
  for (int k = 0; k < 10000; ++k) wave->beatTime.push_back(0.25f * k);
  wave->onsetTime = {0.0f, 2500.0f};
  ASSERT_EQ(core.addWavList(wave), 0u);
}

}  // namespace

TEST(SaveError, AProjectOrAnalysisThatDoesNotFitNamesTheSystemsReasonAndKeepsTheOldFile) {
  const QString reason = QString::fromLocal8Bit(std::strerror(EFBIG));
  for (const char* name : {"song.qmproj", "song.awi"}) {
    const QString path = TestEnv::tempPath(name);
    const bool awi = QString(name).endsWith(".awi");
    CASTcore small;
    ASSERT_EQ(small.newProject(), 0u);
    ASSERT_EQ(small.addWavList(new WavInfo), 0u);
    ASSERT_EQ(awi ? small.saveAwi(path.toStdWString(), 0) : small.saveProject(path.toStdWString()), 0u);
    QFile before(path);
    ASSERT_TRUE(before.open(QIODevice::ReadOnly));
    const QByteArray old = before.readAll();
    before.close();

    CASTcore core;
    fill(core);
    ResultCode rc = 0;
    {
      FileSizeLimit full(10000);  // a disk with 10 KB left
      rc = awi ? core.saveAwi(path.toStdWString(), 0) : core.saveProject(path.toStdWString());
    }
    EXPECT_TRUE(Result::failed(rc)) << name;
    EXPECT_EQ(core.lastError.toStdString(), QString("Cannot write \"%1\": %2").arg(path, reason).toStdString())
        << name;
    EXPECT_FALSE(core.lastError.contains("Unknown error"));
    QFile after(path);
    ASSERT_TRUE(after.open(QIODevice::ReadOnly));
    EXPECT_EQ(after.readAll(), old) << name << ": the old file stays whole";
  }
}
