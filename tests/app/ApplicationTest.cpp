// The application object's file-open route and the whole run of the program,
// through the harness program (it needs a QApplication of its own).

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>

#include "AnalysedRecording.h"
#include "CASTcore.h"
#include "TempDir.h"

namespace {

QString runHarness(const QStringList& args) {
  QProcess harness;
  QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
  env.insert("QT_QPA_PLATFORM", "offscreen");
  env.insert("QUILLMERE_AUDIO_BACKEND", "virtual");
  harness.setProcessEnvironment(env);
  harness.setProcessChannelMode(QProcess::SeparateChannels);
  harness.start(QCoreApplication::applicationDirPath() + "/app_harness", args);
  EXPECT_TRUE(harness.waitForFinished(60000));
  EXPECT_EQ(harness.exitStatus(), QProcess::NormalExit);
  EXPECT_EQ(harness.exitCode(), 0) << harness.readAllStandardError().toStdString();
  return QString::fromUtf8(harness.readAllStandardOutput());
}

}  // namespace

TEST(Application, FileOpenEventsReachTheReceiverOnlyOnceItIsRegistered) {
  const QString out = runHarness({"route"});
  EXPECT_TRUE(out.contains("before result=0 received=0\n")) << out.toStdString();
  EXPECT_TRUE(out.contains("after result=0 received=1 file=late.qmproj spontaneous=0\n")) << out.toStdString();
  EXPECT_TRUE(out.contains("other result=")) << out.toStdString();
}

TEST(Application, AProjectNamedOnTheCommandLineOpensAndTheRunCleansUp) {
  CASTcore core;
  ASSERT_EQ(core.newProject(), 0u);
  const QString project = TestEnv::tempPath("Tune.qmproj");
  ASSERT_EQ(core.saveProject(project.toStdWString()), 0u);
  const QString folder = QStandardPaths::writableLocation(QStandardPaths::TempLocation);
  for (const char* name : {"AST_temp.wav", "AST_temp_Break.wav", "keep.wav"}) {
    QFile f(folder + "/" + name);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
  }
  const QString out = runHarness({"run", TestEnv::tempPath("missing.qmproj"), project});
  EXPECT_TRUE(out.contains("name=Tune path=" + project + " state=2 waves=0\n")) << out.toStdString();
  EXPECT_TRUE(out.contains("exit=7\n")) << out.toStdString();
  EXPECT_FALSE(QFile::exists(folder + "/AST_temp.wav"));
  EXPECT_FALSE(QFile::exists(folder + "/AST_temp_Break.wav"));
  EXPECT_TRUE(QFile::exists(folder + "/keep.wav"));
}

TEST(Application, ARecordingNamedOnTheCommandLineIsImportedIntoTheNewProject) {
  const QString audio = recordingWithAnalysis("Take.WAV");
  const QString out = runHarness({"run", audio});
  EXPECT_TRUE(out.contains("name=New Audio Style path= state=1 waves=1\n")) << out.toStdString();
  EXPECT_TRUE(out.contains("exit=7\n")) << out.toStdString();
}
