// The application object's file-open route and the whole run of the program,
// through the harness program (it needs a QApplication of its own).

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>

#include "AnalysedRecording.h"
#include "CASTcore.h"
#include "HarnessProcess.h"
#include "TempDir.h"

namespace {

QString runHarness(const QStringList& args) {
  const auto harness = startHarness(args);
  EXPECT_TRUE(harness->waitForFinished(60000));
  EXPECT_EQ(harness->exitStatus(), QProcess::NormalExit);
  EXPECT_EQ(harness->exitCode(), 0) << harness->readAllStandardError().toStdString();
  return QString::fromUtf8(harness->readAllStandardOutput());
}

}  // namespace

TEST(Application, FileOpenEventsReachTheReceiverOnlyOnceItIsRegistered) {
  const QString out = runHarness({"route"});
  EXPECT_TRUE(out.contains("before result=0 received=0\n")) << out.toStdString();
  EXPECT_TRUE(out.contains("after result=0 received=1 file=late.qmproj spontaneous=0\n")) << out.toStdString();
  EXPECT_TRUE(out.contains("other result=")) << out.toStdString();
}

TEST(Application, AProjectNamedOnTheCommandLineOpensAndTheRunCleansUpOnlyItsOwnWaves) {
  CASTcore core;
  ASSERT_EQ(core.newProject(), 0u);
  const QString project = TestEnv::tempPath("Tune.qmproj");
  ASSERT_EQ(core.saveProject(project.toStdWString()), 0u);
  // Work files of another copy of the program, still running.
  const QString folder = QStandardPaths::writableLocation(QStandardPaths::TempLocation);
  for (const char* name : {"AST_temp.wav", "AST_temp_Break.wav", "keep.wav"}) {
    QFile f(folder + "/" + name);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
  }
  const QString out = runHarness({"run", project});
  EXPECT_TRUE(out.contains("name=Tune path=" + project + " state=2 waves=0\n")) << out.toStdString();
  EXPECT_TRUE(out.contains("exit=7\n")) << out.toStdString();
  EXPECT_FALSE(out.contains("box=")) << out.toStdString();
  const QRegularExpression work("work=(.*)\n");
  const QString own = work.match(out).captured(1);
  ASSERT_FALSE(own.isEmpty()) << out.toStdString();
  EXPECT_EQ(QFileInfo(own).absolutePath(), folder);
  EXPECT_FALSE(QFileInfo::exists(own)) << "the run's own work folder is gone";
  for (const char* name : {"AST_temp.wav", "AST_temp_Break.wav", "keep.wav"}) {
    EXPECT_TRUE(QFile::exists(folder + "/" + name)) << name;
  }
}

TEST(Application, AMissingFileNamedOnTheCommandLineGetsTheMessageOfItsRoute) {
  CASTcore core;
  ASSERT_EQ(core.newProject(), 0u);
  const QString project = TestEnv::tempPath("Tune.qmproj");
  ASSERT_EQ(core.saveProject(project.toStdWString()), 0u);
  // A project that is not there: the open command's message; the next file
  // still opens.
  QString out = runHarness({"run", TestEnv::tempPath("missing.qmproj"), project});
  EXPECT_TRUE(out.contains("box=Internal Error #0110 \n")) << out.toStdString();
  EXPECT_TRUE(out.contains("name=Tune path=" + project + " state=2 waves=0\n")) << out.toStdString();
  // A recording that is not there: the import's message for a file it
  // cannot read, then the import ends.
  out = runHarness({"run", TestEnv::tempPath("missing.wav")});
  EXPECT_TRUE(out.contains("box=Internal Error #0096 \nbox=The import operation has been canceled.\n"))
      << out.toStdString();
  EXPECT_TRUE(out.contains("waves=0\n")) << out.toStdString();
  EXPECT_FALSE(QFileInfo::exists(TestEnv::tempPath("missing.awi")));
}

TEST(Application, ARecordingNamedOnTheCommandLineIsImportedIntoTheNewProject) {
  const QString audio = recordingWithAnalysis("Take.WAV");
  const QString out = runHarness({"run", audio});
  EXPECT_TRUE(out.contains("name=New Audio Style path= state=1 waves=1\n")) << out.toStdString();
  EXPECT_TRUE(out.contains("exit=7\n")) << out.toStdString();
}
