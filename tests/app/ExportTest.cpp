// Exporting from the main window: the refusal of a project with nothing
// trimmed, the one combined message of the section checks, and real
// exports (two in a row) reported against the file on disk.

#include <gtest/gtest.h>

#include <QFile>
#include <QFileInfo>

#include "ASTprotoSettings.h"
#include "MainWindow.h"
#include "ModalDriver.h"
#include "ReplaceQuestion.h"
#include "SectionProject.h"

using SectionProject::kBeat;
using SectionProject::section;

namespace {

void openAndShow(MainWindow& window, const QString& project) {
  window.openProjectFile(project);
  window.loadSectionWaveView(true);
}

}  // namespace

TEST(Export, NothingTrimmedIsRefusedBeforeAnyFileDialog) {
  qputenv("QUILLMERE_AUDIO_BACKEND", "virtual");
  MainWindow window;
  ModalDriver driver;
  driver.pressButton(QMessageBox::Ok);
  window.releasedBtnExportSty();
  ASSERT_EQ(driver.seen().size(), 1u) << "no file dialog";
  EXPECT_EQ(driver.seen()[0].title, "Quillmere");
  EXPECT_EQ(driver.seen()[0].text, "Internal Error #0098 ");
}

TEST(Export, EveryFailingSectionIsListedOnceInOneMessageBySlotOrderAndKind) {
  qputenv("QUILLMERE_AUDIO_BACKEND", "virtual");
  const QString project = SectionProject::write(TestEnv::tempPath("take.wav"), "checks.qmproj", [](CASTcore& core) {
    // Main B: 8 s of bars from 2 s of recording; Fill In A and Break: two
    // bars where one is allowed (Break also far too short, listed once);
    // Ending 1: a range that ends before it starts.
    EXPECT_EQ(core.updateSecInfo(4, section(0, 8 * kBeat, 8)), 0u);
    EXPECT_EQ(core.updateSecInfo(7, section(0, 4 * kBeat, 2)), 0u);
    EXPECT_EQ(core.updateSecInfo(11, section(100, 100, 2)), 0u);
    EXPECT_EQ(core.updateSecInfo(12, section(8 * kBeat, 4 * kBeat, 1)), 0u);
  });
  ASSERT_FALSE(project.isEmpty());
  MainWindow window;
  openAndShow(window, project);
  ModalDriver driver;
  driver.pressButton(QMessageBox::Ok);
  window.releasedBtnExportSty();
  ASSERT_EQ(driver.seen().size(), 1u) << "one box, no file dialog";
  EXPECT_EQ(driver.seen()[0].text,
            "The \"Bar\" value of the following sections exceeds the limit of each section. \n"
            "  section: Fill In A, Break.\n\n"
            "Selected range of waveform of the following sections is too short.\n"
            "  section: Ending 1.\n\n"
            "Time stretch ratio of the following sections exceeds the limits.\n"
            "  section: Main B.\n\n"
            "The project cannot be exported.\n"
            "Please adjust the tempo, or adjust the waveform selection range and the \"Bar\" value of the section.");
}

TEST(Export, TwoExportsInARowEachWriteTheFileTheyReportAndRememberItsFolder) {
  qputenv("QUILLMERE_AUDIO_BACKEND", "virtual");
  const QString project = SectionProject::write(TestEnv::tempPath("take.wav"), "export.qmproj");
  ASSERT_FALSE(project.isEmpty());
  MainWindow window;
  openAndShow(window, project);
  for (const char* name : {"first.aus", "second.aus"}) {
    const QString path = TestEnv::tempPath(name);
    ModalDriver driver;
    driver.chooseFile(path);
    driver.pressButton(QMessageBox::Ok);
    window.releasedBtnExportSty();
    ASSERT_EQ(driver.seen().size(), 2u) << name;
    EXPECT_EQ(driver.seen()[0].title, "Export file");
    EXPECT_EQ(driver.seen()[1].title, "Export Audio Style File");
    // The notice is given only when the size on disk equals what was written.
    EXPECT_EQ(driver.seen()[1].text, "Export operation has been finished.") << name;
    EXPECT_GT(QFileInfo(path).size(), 0) << name;
    EXPECT_EQ(loadAudioStyleFilePath(), QFileInfo(path).path());
    EXPECT_EQ(driver.unexpected(), 0);
  }
  EXPECT_TRUE(window.core().isSecRendered(3)) << "the second export used the first one's rendering";
  EXPECT_TRUE(window.actionExport_as_AudioStyleFile->isEnabled()) << "commands are back after the export";
}

TEST(Export, AFailedExportReportsItAndLeavesAnEarlierFileOfThatNameAlone) {
  qputenv("QUILLMERE_AUDIO_BACKEND", "virtual");
  const QString recording = TestEnv::tempPath("take.wav");
  const QString project = SectionProject::write(recording, "failing.qmproj");
  ASSERT_FALSE(project.isEmpty());
  const QString path = TestEnv::tempPath("kept.aus");
  const QByteArray earlier("an earlier style");
  {
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(earlier);
  }
  MainWindow window;
  openAndShow(window, project);
  ASSERT_TRUE(QFile::remove(recording));  // the section cannot be rendered now
  ModalDriver driver;
  driver.chooseFile(path);
  driver.pressButton(QMessageBox::Ok);
  const ReplaceQuestion replace;
  window.releasedBtnExportSty();
  ASSERT_EQ(driver.seen().size(), 2u);
  EXPECT_EQ(driver.seen()[1].title, "Export Audio Style File");
  EXPECT_TRUE(driver.seen()[1].text.startsWith("Internal Error #0113 ")) << driver.seen()[1].text.toStdString();
  QFile file(path);
  ASSERT_TRUE(file.open(QIODevice::ReadOnly));
  EXPECT_EQ(file.readAll(), earlier);
  EXPECT_TRUE(readSettingString("Audio", "AudioStyleFilePath").isEmpty())
      << "a failed export is not the next start folder";
}
