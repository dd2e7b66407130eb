// Two copies of the program at once, each importing and exporting its own
// song, give exactly what each gives alone: neither reads, overwrites or
// removes the other's work files.

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QProcess>

#include <memory>

#include "AnalysedWaveName.h"
#include "HarnessProcess.h"
#include "TempDir.h"
#include "TestAudio.h"

namespace {

struct Song {
  QString audio;
  QString style;
};

// A harness process that imports `song.audio` and exports its proposal.
std::unique_ptr<QProcess> startExport(const Song& song) {
  return startHarness({"export", song.audio, song.style});
}

// What the copy printed; it must have ended with a whole style file.
QString finish(QProcess& process) {
  EXPECT_TRUE(process.waitForFinished(300000));
  EXPECT_EQ(process.exitCode(), 0) << process.readAllStandardError().toStdString();
  const QString out = QString::fromUtf8(process.readAllStandardOutput());
  EXPECT_TRUE(out.contains("style=whole")) << out.toStdString();
  return out;
}

QByteArray contents(const QString& path) {
  QFile f(path);
  return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

Song song(const QString& folder, double seconds, double beat) {
  QDir().mkpath(TestEnv::tempPath(folder));
  const QString audio = TestEnv::tempPath(folder + "/song.wav");
  EXPECT_TRUE(TestAudio::writeWav(audio, TestAudio::clickTrack(seconds, beat, 0.0, 4)));
  return {audio, TestEnv::tempPath(folder + "/song.aus")};
}

}  // namespace

TEST(TwoCopies, ImportingAndExportingAtOnceGivesEachCopyItsOwnResult) {
  // Different lengths and tempi, so a copy that took the other's work
  // files would write other beats, onsets and audio.
  const Song first = song("first", 8.0, 0.5);
  const Song second = song("second", 6.0, 0.4);

  QByteArray soloStyle[2], soloAnalysis[2];
  int i = 0;
  for (const Song& s : {first, second}) {
    const auto process = startExport(s);
    const QString out = finish(*process);
    ASSERT_TRUE(out.contains("box=Export operation has been finished.")) << out.toStdString();
    soloStyle[i] = contents(s.style);
    soloAnalysis[i] = contents(AnalysedWaveName::pathFor(s.audio));
    ASSERT_FALSE(soloStyle[i].isEmpty());
    ASSERT_FALSE(soloAnalysis[i].isEmpty());
    ASSERT_TRUE(QFile::remove(s.style));
    ASSERT_TRUE(QFile::remove(AnalysedWaveName::pathFor(s.audio)));
    ++i;
  }

  // Both at once, in the one temporary folder of this user.
  const auto a = startExport(first);
  const auto b = startExport(second);
  const QString outA = finish(*a);
  const QString outB = finish(*b);
  EXPECT_TRUE(outA.contains("box=Export operation has been finished.")) << outA.toStdString();
  EXPECT_TRUE(outB.contains("box=Export operation has been finished.")) << outB.toStdString();
  EXPECT_EQ(contents(AnalysedWaveName::pathFor(first.audio)), soloAnalysis[0]) << "the first copy's analysis";
  EXPECT_EQ(contents(AnalysedWaveName::pathFor(second.audio)), soloAnalysis[1]) << "the second copy's analysis";
  EXPECT_EQ(contents(first.style), soloStyle[0]) << "the first copy's style";
  EXPECT_EQ(contents(second.style), soloStyle[1]) << "the second copy's style";
  EXPECT_TRUE(QDir(TestEnv::tempDir()).entryList({"Quillmere-*"}, QDir::Dirs).isEmpty())
      << "each copy removed its work folder";
}
