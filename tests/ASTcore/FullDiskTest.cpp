// A temporary folder that really runs out of space (a small tmpfs, in a
// mount namespace of the test's own): the section wave that does not fit
// leaves no torn file, and a save says "No space left on device". Skipped
// where the system does not let a process make such a namespace.

#include <sys/mount.h>

#include <QCoreApplication>
#include <QDir>
#include <QFile>

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "RenderFixture.h"
#include "SmallFileSystem.h"

namespace {

using FullDisk = RenderFixture;

// Fills the folder's file system up to `leave` bytes.
void fillUpTo(const QString& folder, qint64 leave) {
  QFile filler(folder + "/filler");
  ASSERT_TRUE(filler.open(QIODevice::WriteOnly));
  const QByteArray block(4096, '\0');
  while (filler.write(block) == block.size() && filler.flush()) {
  }
  filler.close();
  // Give back what is to be left over.
  ASSERT_TRUE(filler.resize(std::max<qint64>(0, filler.size() - leave)));
}

QStringList filesIn(const QString& folder) { return QDir(folder).entryList(QDir::Files, QDir::Name); }

}  // namespace

TEST_F(FullDisk, ASectionWaveThatDoesNotFitIsNotLeftTornAndASaveSaysNoSpace) {
  if (!TestEnv::inSmallFileSystemChild("FullDisk.ASectionWaveThatDoesNotFitIsNotLeftTornAndASaveSaysNoSpace")) return;

  // In the child: the test's own folder becomes a 1 MiB file system.
  const QString folder = TestEnv::tempDir();
  if (!TestEnv::mountSmallFileSystem(folder, "size=1m")) return;

  load(TestAudio::clickTrack(3.0, 0.35), 0.35);  // a 529 KB work copy
  ASSERT_EQ(core.setSecInfo(3, span(0, 4)), 0u);  // one bar: 353 KB rendered
  std::uint8_t ratioFlag = 0;
  ASSERT_EQ(core.renderAudition(3, &ratioFlag), 0u) << core.lastError.toStdString();
  const QString path = TempWaveFiles::sectionPath(folder, 3);
  const QByteArray complete = WavBytes::readAll(path);
  ASSERT_EQ(WavBytes::getLE(complete, 40, 4) + 44, static_cast<std::uint64_t>(complete.size()));
  const QStringList before = filesIn(folder);

  ASSERT_EQ(core.setSecInfo(3, span(0, 8)), 0u);  // two bars no longer fit
  EXPECT_TRUE(Result::failed(core.renderAudition(3, &ratioFlag)));
  EXPECT_EQ(WavBytes::readAll(path), complete) << "the last complete wave stays";
  EXPECT_EQ(filesIn(folder), before) << "no partial file";

  // Two pages left and a project of about 40 KB: the disk fills part-way
  // through the write.
  fillUpTo(folder, 8192);
  CASTcore large;
  auto* wave = new WavInfo;
  wave->fileName = L"/music/long.wav";
  for (int k = 0; k < 10000; ++k) wave->beatTime.push_back(0.25f * k);
  wave->onsetTime = {0.0f, 2500.0f};
  ASSERT_EQ(large.addWavList(wave), 0u);
  const QString project = folder + "/song.qmproj";
  EXPECT_TRUE(Result::failed(large.saveProject(project.toStdWString())));
  EXPECT_EQ(large.lastError.toStdString(),
            QString("Cannot write \"%1\": No space left on device").arg(project).toStdString());
  EXPECT_FALSE(QFile::exists(project));
  umount(QFile::encodeName(folder).constData());
}

TEST_F(FullDisk, AnExportWhoseSectionWaveDoesNotFitNamesTheSystemsReason) {
  if (!TestEnv::inSmallFileSystemChild("FullDisk.AnExportWhoseSectionWaveDoesNotFitNamesTheSystemsReason")) return;
  const QString folder = TestEnv::tempDir();
  if (!TestEnv::mountSmallFileSystem(folder, "size=1m")) return;

  load(TestAudio::clickTrack(3.0, 0.35), 0.35);  // a 529 KB work copy
  ASSERT_EQ(core.setSecInfo(1, span(0, 8)), 0u);  // Intro 2, two bars: 706 KB rendered
  // The export renders its sections this way before it writes the style.
  std::uint8_t ratioFlag = 0;
  EXPECT_TRUE(Result::failed(core.renderSections({1}, nullptr, &ratioFlag)));
  EXPECT_EQ(core.lastError.toStdString(),
            QString("Cannot write \"%1\": No space left on device").arg(TempWaveFiles::sectionPath(folder, 1)).toStdString());
  umount(QFile::encodeName(folder).constData());
}
