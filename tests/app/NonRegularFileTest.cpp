// A name in the user's folders that leads to a FIFO: a recording, the
// analysis beside one (or a link to a FIFO under that name), a project, a
// recording a project names, a style exported onto one, an analysis newer
// than the project that the export reads. The program never waits on it:
// it says which file it refuses, one SIGTERM still ends it, and the FIFO (a
// link and its target) is left as it was.

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <QDateTime>
#include <QDeadlineTimer>
#include <QDir>
#include <QFile>

#include <csignal>
#include <functional>

#include "AnalysedWaveName.h"
#include "HarnessProcess.h"
#include "MainWindow.h"
#include "ModalDriver.h"
#include "ReplaceQuestion.h"
#include "SectionProject.h"

namespace {

bool isFifo(const QString& path) {
  struct stat info {};
  return ::lstat(QFile::encodeName(path).constData(), &info) == 0 && S_ISFIFO(info.st_mode);
}

QString makeFifo(const QString& path) {
  EXPECT_EQ(::mkfifo(QFile::encodeName(path).constData(), 0600), 0) << path.toStdString();
  return path;
}

QString pipeWords(const QString& path) {
  return "\"" + path + "\": it is a named pipe (FIFO), not a regular file";
}

struct Outcome {
  QString output;
  bool ended = false;
  int exitCode = -1;
};

// Runs the harness with `arguments` until it prints `settled` (a bounded
// wait: a copy held in an open never prints it), then, when `terminate` or
// when it never settled, sends it one SIGTERM. A copy that does not end is
// killed.
Outcome runHarness(const QStringList& arguments, const QString& settled, bool terminate) {
  auto copy = startHarness(arguments);
  Outcome run;
  const QDeadlineTimer deadline(60000);
  while (!run.output.contains(settled) && copy->state() != QProcess::NotRunning && !deadline.hasExpired()) {
    copy->waitForReadyRead(static_cast<int>(deadline.remainingTime()));
    run.output += QString::fromUtf8(copy->readAllStandardOutput());
  }
  if ((terminate || !run.output.contains(settled)) && copy->state() != QProcess::NotRunning)
    ::kill(static_cast<pid_t>(copy->processId()), SIGTERM);
  run.ended = copy->waitForFinished(30000);
  if (!run.ended) copy->kill();
  copy->waitForFinished(60000);
  run.output += QString::fromUtf8(copy->readAllStandardOutput());
  run.exitCode = copy->exitCode();
  return run;
}

}  // namespace

TEST(NonRegularFile, AFifoNamedOnTheCommandLineIsRefusedByNameAndOneSigtermEndsTheProgram) {
  const QString real = TestEnv::tempPath("real.wav");
  ASSERT_TRUE(TestAudio::writeWav(real, TestAudio::clickTrack(2.0, 0.5)));
  QDir().mkpath(TestEnv::tempPath("elsewhere"));
  const QString linkTarget = makeFifo(TestEnv::tempPath("elsewhere/pipe"));
  const struct {
    const char* name;
    std::function<QString()> make;  // makes the files; gives the FIFO or the link to one
    QString named;                  // the file named on the command line
    bool refused;                   // a box names the FIFO or the link
  } cases[] = {
      {"recording", [] { return makeFifo(TestEnv::tempPath("take.wav")); }, TestEnv::tempPath("take.wav"), true},
      {"analysis",
       [&] {
         QFile::copy(real, TestEnv::tempPath("beside.wav"));
         return makeFifo(TestEnv::tempPath("beside.awi"));
       },
       TestEnv::tempPath("beside.wav"), true},
      {"analysis linked to a FIFO",
       [&] {
         QFile::copy(real, TestEnv::tempPath("linked.wav"));
         EXPECT_TRUE(QFile::link(linkTarget, TestEnv::tempPath("linked.awi")));
         return TestEnv::tempPath("linked.awi");
       },
       TestEnv::tempPath("linked.wav"), true},
      {"project", [] { return makeFifo(TestEnv::tempPath("song.qmproj")); }, TestEnv::tempPath("song.qmproj"), true},
      {"recording of a project",
       [] {
         EXPECT_FALSE(SectionProject::write(TestEnv::tempPath("gone.wav"), "gone.qmproj").isEmpty());
         QFile::remove(TestEnv::tempPath("gone.wav"));
         return makeFifo(TestEnv::tempPath("gone.wav"));
       },
       TestEnv::tempPath("gone.qmproj"), false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const QString node = c.make();
    const Outcome run = runHarness({"stay", c.named}, "work=", true);
    if (!run.ended) {
      ADD_FAILURE() << "held in an open, deaf to SIGTERM:\n" << run.output.toStdString();
      continue;
    }
    EXPECT_EQ(run.exitCode, 128 + SIGTERM) << run.output.toStdString();
    if (c.refused) {
      EXPECT_TRUE(run.output.contains("box=Cannot open " + pipeWords(node) + ".")) << run.output.toStdString();
    }
    EXPECT_EQ(QFileInfo(node).isSymLink(), node.endsWith("linked.awi"));
    EXPECT_TRUE(isFifo(QFileInfo(node).isSymLink() ? QFile::symLinkTarget(node) : node));
  }
  EXPECT_EQ(QFile::symLinkTarget(TestEnv::tempPath("linked.awi")), linkTarget);
}

TEST(NonRegularFile, AnAnalysisNewerThanTheProjectThatIsAFifoDoesNotHoldTheExport) {
  const QString recording = TestEnv::tempPath("checked.wav");
  const QString project = SectionProject::write(recording, "checked.qmproj");
  ASSERT_FALSE(project.isEmpty());
  {
    QFile file(project);
    ASSERT_TRUE(file.open(QIODevice::ReadWrite));
    ASSERT_TRUE(file.setFileTime(QDateTime::currentDateTime().addSecs(-600), QFileDevice::FileModificationTime));
  }
  const QString awi = makeFifo(AnalysedWaveName::pathFor(recording));
  const Outcome run = runHarness({"export", project, TestEnv::tempPath("checked.aus")}, "style=", false);
  ASSERT_TRUE(run.ended) << run.output.toStdString();
  EXPECT_EQ(run.exitCode, 0) << run.output.toStdString();
  EXPECT_TRUE(run.output.contains("style=whole")) << run.output.toStdString();
  EXPECT_TRUE(isFifo(awi));
}

TEST(NonRegularFile, AStyleOrAProjectSavedOntoAFifoIsRefusedByNameAndTheFifoStays) {
  qputenv("QUILLMERE_AUDIO_BACKEND", "virtual");
  const QString project = SectionProject::write(TestEnv::tempPath("target.wav"), "target.qmproj");
  ASSERT_FALSE(project.isEmpty());
  const struct {
    const char* name;
    std::function<void(MainWindow&)> save;
  } cases[] = {{"target.aus", [](MainWindow& window) { window.releasedBtnExportSty(); }},
               {"target copy.qmproj", [](MainWindow& window) { window.actionSaveAudioStyleProject_as->trigger(); }}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const QString fifo = makeFifo(TestEnv::tempPath(c.name));
    MainWindow window;
    window.openProjectFile(project);
    window.loadSectionWaveView(true);
    ModalDriver driver;
    driver.chooseFile(fifo);
    driver.pressButton(QMessageBox::Ok);
    const ReplaceQuestion replace;
    c.save(window);
    ASSERT_FALSE(driver.seen().empty());
    EXPECT_EQ(driver.seen().back().text.toStdString(), ("Cannot create " + pipeWords(fifo)).toStdString());
    EXPECT_EQ(driver.unexpected(), 0);
    EXPECT_TRUE(isFifo(fifo));
  }
}
