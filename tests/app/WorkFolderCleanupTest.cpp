// The work folders of copies of the program that were killed go at the next
// start, those of running copies stay; a quit signal ends a running copy as
// an orderly quit that removes its folder and asks nothing about unsaved
// work.

#include <gtest/gtest.h>

#include <sys/types.h>

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QProcess>

#include <csignal>
#include <cstdio>
#include <memory>
#include <vector>

#include "AnalysedWaveName.h"
#include "HarnessProcess.h"
#include "TempDir.h"
#include "TestAudio.h"

namespace {

constexpr qint64 kWorkCopyBytes = 1 << 20;

struct Copy {
  std::unique_ptr<QProcess> process;
  QString folder;
  QString output;
};

// A running copy holding a work copy of kWorkCopyBytes and unsaved work.
Copy startCopy() {
  Copy copy{startHarness({"hold", QString::number(kWorkCopyBytes)}), {}, {}};
  while (!copy.output.contains('\n') && copy.process->waitForReadyRead(120000))
    copy.output += QString::fromUtf8(copy.process->readAllStandardOutput());
  const QString line = copy.output.section('\n', 0, 0);
  EXPECT_TRUE(line.contains(" written=1 modified=1")) << copy.output.toStdString();
  copy.folder = line.section("work=", 1).section(' ', 0, 0);
  return copy;
}

// Waits for a copy to end and collects the rest of what it printed.
void finish(Copy& copy) {
  EXPECT_TRUE(copy.process->waitForFinished(120000));
  copy.output += QString::fromUtf8(copy.process->readAllStandardOutput());
}

struct Usage {
  int folders = 0;
  qint64 bytes = 0;
};

// The work folders in the temporary folder, but for those in `apart` (the
// test process's own, when an earlier test made one).
Usage workFolders(const QStringList& apart = {}) {
  Usage usage;
  for (const QFileInfo& folder : QDir(TestEnv::tempDir()).entryInfoList({"Quillmere-*"}, QDir::Dirs)) {
    if (apart.contains(folder.filePath())) continue;
    ++usage.folders;
    for (const QFileInfo& file : QDir(folder.filePath()).entryInfoList(QDir::Files)) usage.bytes += file.size();
  }
  return usage;
}

QStringList workFolderNames() {
  QStringList names;
  for (const QFileInfo& folder : QDir(TestEnv::tempDir()).entryInfoList({"Quillmere-*"}, QDir::Dirs))
    names << folder.filePath();
  return names;
}

}  // namespace

TEST(WorkFolderCleanup, KilledCopiesFoldersGoAtTheNextStartAndRunningCopiesFoldersStay) {
  constexpr int kKilled = 4;
  constexpr int kRunning = 2;
  const QStringList apart = workFolderNames();
  std::vector<Copy> killed, running;
  for (int i = 0; i < kKilled; ++i) killed.push_back(startCopy());
  for (int i = 0; i < kRunning; ++i) running.push_back(startCopy());
  for (Copy& copy : killed) {
    copy.process->kill();  // SIGKILL: nothing of the program runs
    finish(copy);
    EXPECT_TRUE(QFileInfo(copy.folder).isDir()) << "a killed copy cannot remove its own folder";
  }
  const Usage before = workFolders(apart);
  EXPECT_EQ(before.folders, kKilled + kRunning);

  Copy next{startHarness({"run"}), {}, {}};
  finish(next);
  EXPECT_TRUE(next.output.contains("exit=7")) << next.output.toStdString();

  const Usage after = workFolders(apart);
  std::printf("[figures] %d killed, %d running: before the next start %d folders, %lld bytes; after it %d folders, "
              "%lld bytes\n",
              kKilled, kRunning, before.folders, static_cast<long long>(before.bytes), after.folders,
              static_cast<long long>(after.bytes));
  for (const Copy& copy : killed) EXPECT_FALSE(QFileInfo::exists(copy.folder)) << copy.folder.toStdString();
  for (const Copy& copy : running) {
    EXPECT_EQ(QFileInfo(copy.folder + "/AST_temp.wav").size(), kWorkCopyBytes) << "a running copy's work copy stays";
  }
  EXPECT_EQ(after.folders, kRunning);
  EXPECT_EQ(after.bytes, before.bytes - kKilled * kWorkCopyBytes);

  for (Copy& copy : running) {
    ASSERT_EQ(::kill(static_cast<pid_t>(copy.process->processId()), SIGTERM), 0);
    finish(copy);
  }
  EXPECT_EQ(workFolders(apart).folders, 0) << "the running copies removed theirs when they quit";
}

TEST(WorkFolderCleanup, AQuitSignalEndsTheRunAsAQuitThatRemovesTheFolderAndAsksNothing) {
  for (int number : {SIGTERM, SIGINT, SIGHUP}) {
    SCOPED_TRACE(number);
    Copy copy = startCopy();
    ASSERT_TRUE(QFileInfo(copy.folder + "/AST_temp.wav").isFile());
    ASSERT_EQ(::kill(static_cast<pid_t>(copy.process->processId()), number), 0);
    finish(copy);
    EXPECT_EQ(copy.process->exitStatus(), QProcess::NormalExit) << "ended by the program, not by the signal";
    EXPECT_EQ(copy.process->exitCode(), 128 + number);
    EXPECT_TRUE(copy.output.contains(QString("exit=%1").arg(128 + number))) << copy.output.toStdString();
    EXPECT_FALSE(copy.output.contains("box=")) << "no question about the unsaved work: " << copy.output.toStdString();
    EXPECT_FALSE(QFileInfo::exists(copy.folder)) << copy.folder.toStdString();
  }
}

TEST(WorkFolderCleanup, AQuitSignalDuringAnImportStopsTheAnalysisAndLeavesNothingBehind) {
  const QString audio = TestEnv::tempPath("song.wav");
  ASSERT_TRUE(TestAudio::writeWav(audio, TestAudio::clickTrack(30.0, 0.5)));
  const qint64 workCopyBytes = 44 + 30 * 44100 * 4;
  // The recording named to the program is imported (and analysed) before
  // its window's loop runs; the signal comes once the work copy is whole,
  // while the analysis of it runs on its thread.
  Copy copy{startHarness({"export", audio, TestEnv::tempPath("song.aus")}), {}, {}};
  ASSERT_TRUE(copy.process->waitForStarted(60000));
  QString workCopy;
  while (copy.process->state() == QProcess::Running && workCopy.isEmpty()) {
    for (const QFileInfo& folder : QDir(TestEnv::tempDir()).entryInfoList({"Quillmere-*"}, QDir::Dirs)) {
      if (QFileInfo(folder.filePath() + "/AST_temp.wav").size() == workCopyBytes) workCopy = folder.filePath();
    }
    copy.process->waitForFinished(20);
  }
  ASSERT_FALSE(workCopy.isEmpty()) << "the import got as far as its work copy";
  ASSERT_EQ(::kill(static_cast<pid_t>(copy.process->processId()), SIGTERM), 0);
  finish(copy);
  EXPECT_EQ(copy.process->exitStatus(), QProcess::NormalExit) << copy.output.toStdString();
  EXPECT_TRUE(copy.output.contains("exit=143")) << copy.output.toStdString();
  EXPECT_FALSE(copy.output.contains("box=")) << copy.output.toStdString();
  EXPECT_FALSE(QFileInfo::exists(workCopy));
  EXPECT_FALSE(QFileInfo::exists(AnalysedWaveName::pathFor(audio))) << "no analysis of a stopped import";
  EXPECT_FALSE(QFileInfo::exists(TestEnv::tempPath("song.aus")));
}
