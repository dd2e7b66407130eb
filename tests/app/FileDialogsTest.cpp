// The file dialogs on Linux: they open in a folder that exists with an
// empty name field, and a save dialog adds its extension to a bare name.

#include <gtest/gtest.h>

#include <QApplication>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QLineEdit>
#include <QStandardPaths>
#include <QTimer>

#include "FileDialogs.h"
#include "MainWindow.h"
#include "ModalDriver.h"
#include "SectionProject.h"
#include "TempDir.h"

namespace {

// What the next file dialog shows when it comes up.
struct DialogLook {
  DialogLook() {
    QObject::connect(&timer, &QTimer::timeout, [this] {
      auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
      if (!dialog || seen) return;
      seen = true;
      folder = dialog->directory().absolutePath();
      if (auto* edit = dialog->findChild<QLineEdit*>("fileNameEdit")) name = edit->text();
    });
    timer.start(5);
  }
  QTimer timer;
  bool seen = false;
  QString folder;
  QString name;
};

}  // namespace

TEST(FileDialogs, StartInAFolderThatExistsAndNeverOfferAFolderAsAName) {
  const QString home = QDir::homePath();
  const QString here = TestEnv::tempPath("songs");
  ASSERT_TRUE(QDir().mkpath(here));
  struct Row {
    QString suggested, start;
  };
  const Row rows[] = {
      {"", home},
      {here, here},
      {here + "/", here + "/"},
      {here + "/New Audio Style.qmproj", here + "/New Audio Style.qmproj"},
      {home + "/Music", home},
      {home + "/Documents/", home},
      {home + "/Documents/New Audio Style.qmproj", home + "/New Audio Style.qmproj"},
      {"/no/such/place/take.aus", home + "/take.aus"},
  };
  for (const Row& r : rows) EXPECT_EQ(FileDialogs::startPath(r.suggested), r.start) << r.suggested.toStdString();
}

TEST(FileDialogs, ABareNameGetsTheExtensionAndAnyOtherNameStaysAsTyped) {
  const struct {
    const char* typed;
    const char* result;
  } rows[] = {
      {"/x/take", "/x/take.aus"},       {"/x/take.aus", "/x/take.aus"}, {"/x/take.AUS", "/x/take.AUS"},
      {"/x/my.song", "/x/my.song"},     {"/x.d/take", "/x.d/take.aus"}, {"", ""},
  };
  for (const auto& r : rows) EXPECT_EQ(FileDialogs::withDefaultExtension(r.typed, "aus"), r.result) << r.typed;
}

TEST(FileDialogs, TheSaveDialogAddsTheExtensionToWhatTheUserTyped) {
  const QString folder = TestEnv::tempPath("out");
  ASSERT_TRUE(QDir().mkpath(folder));
  ModalDriver driver;
  DialogLook look;
  driver.chooseFile(folder + "/take");
  EXPECT_EQ(FileDialogs::saveFile(nullptr, "Export file", folder, "Style File (*.aus);; All Files (*)", "aus"),
            folder + "/take.aus");
  EXPECT_EQ(look.folder, folder);
  EXPECT_EQ(look.name, "") << "an empty name field";
  EXPECT_EQ(driver.unexpected(), 0);
}

TEST(FileDialogs, OnAFreshAccountTheWindowsDialogsStartAtHomeAndSaveAsWritesAProjectFile) {
  qputenv("QUILLMERE_AUDIO_BACKEND", "virtual");
  ASSERT_FALSE(QFileInfo::exists(QDir::homePath() + "/Documents"));
  MainWindow window;
  {
    ModalDriver driver;
    DialogLook look;
    driver.chooseFile(QString());
    window.openProject();
    EXPECT_EQ(look.folder, QDir::homePath());
    EXPECT_EQ(look.name, "") << "not \"Documents\"";
  }
  {
    ModalDriver driver;
    DialogLook look;
    driver.chooseFile(QDir::homePath() + "/tune");
    window.saveProjectAs();
    EXPECT_EQ(look.folder, QDir::homePath());
    EXPECT_EQ(look.name, "New Audio Style.qmproj");
    EXPECT_TRUE(QFileInfo::exists(QDir::homePath() + "/tune.qmproj"));
    EXPECT_FALSE(QFileInfo::exists(QDir::homePath() + "/tune"));
    EXPECT_EQ(window.projectPath(), QDir::homePath() + "/tune.qmproj");
    EXPECT_EQ(driver.unexpected(), 0);
  }
}

TEST(FileDialogs, SaveAsOfAnOpenedProjectProposesItsOwnFolderAndName) {
  qputenv("QUILLMERE_AUDIO_BACKEND", "virtual");
  ASSERT_TRUE(QDir().mkpath(TestEnv::tempPath("songs")));
  const QString project = SectionProject::write(TestEnv::tempPath("songs/take.wav"), "songs/Groove.qmproj");
  ASSERT_FALSE(project.isEmpty());
  MainWindow window;
  window.openProjectFile(project);
  ASSERT_EQ(window.projectPath(), project);

  // The copy goes beside it under another name (the same name would be
  // met by the replace question).
  const QString copy = TestEnv::tempPath("songs/Groove 2.qmproj");
  ModalDriver driver;
  DialogLook look;
  driver.chooseFile(copy);
  window.saveProjectAs();
  EXPECT_EQ(look.folder, TestEnv::tempPath("songs"));
  EXPECT_EQ(look.name, "Groove.qmproj");
  EXPECT_EQ(driver.unexpected(), 0);
  EXPECT_EQ(window.projectPath(), copy);
  EXPECT_EQ(window.projectState(), 2);
  EXPECT_TRUE(QFileInfo::exists(copy));
  EXPECT_FALSE(QFileInfo::exists(QDir::homePath() + "/Groove.qmproj")) << "no copy at home";
}
