// New, Save As, Open and close of the main window with driven dialogs.

#include <gtest/gtest.h>

#include <QCloseEvent>
#include <QFile>

#include "MainWindow.h"
#include "ModalDriver.h"
#include "TempDir.h"
#include "TestAudio.h"

namespace {

// Gives the window's project one recording (a generated WAV) so that an
// opened project keeps its settings instead of becoming an empty one.
void addRecording(MainWindow& window) {
  const QString wav = TestEnv::tempPath("take.wav");
  ASSERT_TRUE(TestAudio::writeWav(wav, TestAudio::sine(0.2, 440.0)));
  auto* info = new WavInfo;
  info->fileName = wav.toStdWString();
  ASSERT_EQ(window.core().addWavList(info), 0u);
}

bool closeWindow(MainWindow& window) {
  QCloseEvent close;
  QCoreApplication::sendEvent(&window, &close);
  return close.isAccepted();
}

class ProjectCommands : public ::testing::Test {
 protected:
  void SetUp() override { qputenv("QUILLMERE_AUDIO_BACKEND", "virtual"); }
};

}  // namespace

TEST_F(ProjectCommands, TempoSurvivesSaveAsAndOpen) {
  const QString path = TestEnv::tempPath("Groove.qmproj");
  {
    MainWindow window;
    addRecording(window);
    window.mSpinTempo->setValue(96);
    EXPECT_EQ(window.core().getCommonInfo().tempo, 96u);
    EXPECT_TRUE(window.actionSaveAudioStyleProject->isEnabled());
    ModalDriver driver;
    driver.chooseFile(path);
    window.actionSaveAudioStyleProject->trigger();  // a new project: Save goes through Save As
    EXPECT_EQ(driver.unexpected(), 0);
    EXPECT_EQ(window.projectPath(), path);
    EXPECT_EQ(window.projectState(), 2);
    EXPECT_EQ(window.mLEditProjectFileName->text(), "Groove");
    driver.pressText("Yes");
    EXPECT_TRUE(closeWindow(window)) << "saved: the plain exit question";
    ASSERT_EQ(driver.seen().size(), 2u);
    EXPECT_EQ(driver.seen()[1].text, "Do you wish to exit?");
  }
  MainWindow window;
  EXPECT_EQ(window.core().getCommonInfo().tempo, 120u);
  ModalDriver driver;
  driver.chooseFile(path);
  window.actionOpenAudioStyleProject->trigger();
  EXPECT_EQ(driver.unexpected(), 0);
  EXPECT_EQ(window.core().getCommonInfo().tempo, 96u);
  EXPECT_EQ(window.mSpinTempo->value(), 96);
  EXPECT_EQ(window.projectPath(), path);
  EXPECT_EQ(window.mCmbWav->count(), 1);
}

TEST_F(ProjectCommands, ClosingAsksAboutChangesEvenAfterTheHistoryWasCleared) {
  MainWindow window;
  window.mSpinTempo->setValue(140);
  window.core().clearUndo();  // what a section change does to the history
  ModalDriver driver;
  driver.pressText("Cancel");
  EXPECT_FALSE(closeWindow(window)) << "Cancel keeps the window";
  ASSERT_EQ(driver.seen().size(), 1u);
  EXPECT_EQ(driver.seen()[0].text, "Project data have been changed. Do you wish to proceed without saving?");

  // No, then a cancelled Save As: the question comes back; Yes closes unsaved.
  driver.pressText("No");
  driver.chooseFile(QString());
  driver.pressText("Yes");
  EXPECT_TRUE(closeWindow(window));
  EXPECT_EQ(driver.unexpected(), 0);
  ASSERT_EQ(driver.seen().size(), 4u);
  EXPECT_EQ(driver.seen()[3].text, driver.seen()[1].text);
}

TEST_F(ProjectCommands, NewAsksFirstAndAFailedSaveChangesNothing) {
  MainWindow window;
  window.mSpinTempo->setValue(150);
  // A save that cannot be written: the folder does not exist.
  ModalDriver driver;
  driver.chooseFile(TestEnv::tempPath("no/such/folder/X.qmproj"));
  driver.pressButton(QMessageBox::Ok);
  window.actionSaveAudioStyleProject_as->trigger();
  ASSERT_GE(driver.seen().size(), 2u);
  EXPECT_TRUE(driver.seen().back().text.startsWith("Internal Error #0078 "));
  EXPECT_TRUE(window.projectPath().isEmpty());
  EXPECT_EQ(window.projectState(), 1);

  const std::size_t before = driver.seen().size();
  driver.pressText("Cancel");
  window.actionNewAudioStyleProject->trigger();
  EXPECT_EQ(window.core().getCommonInfo().tempo, 150u) << "Cancel keeps the work";
  driver.pressText("Yes");
  window.actionNewAudioStyleProject->trigger();
  EXPECT_EQ(window.core().getCommonInfo().tempo, 120u);
  EXPECT_EQ(driver.seen().size(), before + 2);
  EXPECT_EQ(driver.unexpected(), 0);
}

TEST_F(ProjectCommands, StatusTextShowsSectionLengthRangeAndStretch) {
  MainWindow window;
  addRecording(window);
  SecInfo* current = nullptr;
  ASSERT_EQ(window.core().getSecInfo(3, &current), 0u);
  SecInfo section = *current;
  section.used = 1;
  section.wavNo = 0;
  section.setAreaCount(4);
  section.startAdrs = 0;
  section.endAdrs = 374850;  // 8.5 s
  ASSERT_EQ(window.core().updateSecInfo(3, section), 0u);
  window.refreshSectionView();
  EXPECT_EQ(window.statusText(),
            "<font color='black'>[Section length] 8.001 sec. - [Wave length] 8.500 sec. - [Time stretch]"
            "<font color='black'> 106.24 %");
  section.endAdrs = 749700;  // 17 s
  ASSERT_EQ(window.core().updateSecInfo(3, section), 0u);
  window.refreshSectionView();
  EXPECT_TRUE(window.statusText().endsWith("<font color='red'> 212.49 %")) << window.statusText().toStdString();
  EXPECT_TRUE(window.actionUndo->isEnabled());
  EXPECT_TRUE(window.actionExport_as_AudioStyleFile->isEnabled());
}

TEST_F(ProjectCommands, AMovedRecordingIsSearchedForOrReportedByNumber) {
  const QString path = TestEnv::tempPath("Moved.qmproj");
  {
    MainWindow window;
    addRecording(window);
    ASSERT_EQ(window.core().saveProject(path.toStdWString()), 0u);
  }
  const QString moved = TestEnv::tempPath("moved take.wav");
  ASSERT_TRUE(QFile::rename(TestEnv::tempPath("take.wav"), moved));

  MainWindow window;
  ModalDriver driver;
  driver.pressButton(QMessageBox::No);  // do not search
  driver.pressButton(QMessageBox::Ok);
  window.openProjectFile(path);
  ASSERT_EQ(driver.seen().size(), 2u);
  EXPECT_EQ(driver.seen()[0].text, "Cannot find the audio file \"take.wav\". Search the file now?");
  EXPECT_EQ(driver.seen()[1].text, "Cannot find the audio file \"take.wav\". - fileNo[0]");

  // Searching: a cancelled dialog asks again, a chosen file is taken.
  driver.pressButton(QMessageBox::Yes);
  driver.chooseFile(QString());
  driver.pressButton(QMessageBox::Yes);
  driver.chooseFile(moved);
  window.openProjectFile(path);
  EXPECT_EQ(driver.unexpected(), 0);
  WavInfo* wave = nullptr;
  ASSERT_EQ(window.core().getWaveInfo(0, &wave), 0u);
  EXPECT_EQ(QString::fromStdWString(wave->fileName), moved);
}
