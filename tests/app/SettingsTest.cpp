// The settings file in the test's private data folder.

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>

#include "ASTprotoSettings.h"
#include "TempDir.h"

TEST(Settings, FirstStartGivesTheDefaults) {
  EXPECT_EQ(ASTprotoSettings::settingsFilePath(), TestEnv::tempDir() + "/Dorvik/Quillmere/Quillmere.ini");
  // Without the standard folders (a fresh Linux account may have none) the
  // dialogs start at home, never in a folder that is not there.
  const QString documents = standardLocation(QStandardPaths::DocumentsLocation);
  const QString music = standardLocation(QStandardPaths::MusicLocation);
  ASSERT_FALSE(QFileInfo::exists(documents));
  EXPECT_EQ(loadProjectFilePath(), QDir::homePath());
  EXPECT_EQ(loadAudioStyleFilePath(), QDir::homePath());
  EXPECT_EQ(loadAudioFilePath(), QDir::homePath());
  ASSERT_TRUE(QDir().mkpath(documents));
  ASSERT_TRUE(QDir().mkpath(music));
  EXPECT_EQ(loadProjectFilePath(), documents);
  EXPECT_EQ(loadAudioStyleFilePath(), documents);
  EXPECT_EQ(loadAudioFilePath(), music);
  EXPECT_EQ(loadAudioDeviceName(), "");
  EXPECT_FALSE(loadManualDefault());
  EXPECT_FALSE(loadTimeStretchDefault());
  EXPECT_FALSE(loadRectWavViewer().isValid());
  EXPECT_FALSE(QFile::exists(ASTprotoSettings::settingsFilePath())) << "reading creates nothing";
}

TEST(Settings, ValuesSurviveInTheFileAndFoldersMustStillExist) {
  const QString folder = TestEnv::tempPath("projects");
  ASSERT_TRUE(QDir().mkpath(folder));
  ASSERT_TRUE(QDir().mkpath(standardLocation(QStandardPaths::DocumentsLocation)));
  saveProjectFilePath(folder);
  EXPECT_TRUE(QFile::exists(ASTprotoSettings::settingsFilePath())) << "the first save creates file and folders";
  saveAudioDeviceName("Virtual Output");
  saveManualDefault(true);
  saveTimeStretchDefault(false);
  saveRectWavViewer(QRect(1, 2, 300, 400));
  EXPECT_EQ(loadProjectFilePath(), folder);
  EXPECT_EQ(loadAudioDeviceName(), "Virtual Output");
  EXPECT_TRUE(loadManualDefault());
  EXPECT_FALSE(loadTimeStretchDefault());
  EXPECT_EQ(loadRectWavViewer(), QRect(1, 2, 300, 400));

  // A stored folder that is gone, or a file, falls back to Documents.
  QDir(folder).removeRecursively();
  EXPECT_EQ(loadProjectFilePath(), standardLocation(QStandardPaths::DocumentsLocation));
  const QString file = TestEnv::tempPath("plain.txt");
  QFile(file).open(QIODevice::WriteOnly);
  saveAudioStyleFilePath(file);
  EXPECT_EQ(loadAudioStyleFilePath(), standardLocation(QStandardPaths::DocumentsLocation));
}

TEST(Settings, ValuesOfTheWrongTypeReadAsDefaults) {
  QDir().mkpath(QFileInfo(ASTprotoSettings::settingsFilePath()).path());
  QFile ini(ASTprotoSettings::settingsFilePath());
  ASSERT_TRUE(ini.open(QIODevice::WriteOnly));
  ini.write("[ParameterInfo]\nManualDefault=banana\nTimeStretchDefault=@Rect(1 2 3 4)\n"
            "[MainWindow]\nGeometryX=wide\n[WavViewer]\nRectWavViewer=12\n\x01\x02garbage\n");
  ini.close();
  EXPECT_FALSE(loadManualDefault());
  EXPECT_FALSE(loadTimeStretchDefault());
  EXPECT_EQ(readSettingInt("MainWindow", "GeometryX"), 0);
  EXPECT_FALSE(loadRectWavViewer().isValid());
}

TEST(Settings, AnUnwritableFileLosesTheValueWithoutHarm) {
  // The settings folder is a file: nothing can be written below it.
  QFile blocker(TestEnv::tempPath("Dorvik"));
  ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
  blocker.close();
  saveAudioDeviceName("Lost");
  EXPECT_EQ(loadAudioDeviceName(), "");
}

TEST(Settings, ATrailingSeparatorOfTheDataFolderChangesNothing) {
  const QByteArray plain = qgetenv("XDG_DATA_HOME");
  const QString before = ASTprotoSettings::settingsFilePath();
  qputenv("XDG_DATA_HOME", plain + "/");
  EXPECT_EQ(ASTprotoSettings::settingsFilePath(), before);
  qputenv("XDG_DATA_HOME", plain);
}
