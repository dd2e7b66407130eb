// The main window's construction, teardown and file-open handling, with the
// silent virtual audio output or with none at all.

#include <gtest/gtest.h>

#include <QComboBox>
#include <QFileOpenEvent>
#include <QMenuBar>
#include <QSettings>

#include <memory>

#include "ASTprotoSettings.h"
#include "AnalysedRecording.h"
#include "FileKinds.h"
#include "MainWindow.h"
#include "ModalDriver.h"
#include "QtWarningGuard.h"
#include "TempDir.h"

namespace {

void useBackend(const char* name) { qputenv("QUILLMERE_AUDIO_BACKEND", name); }

// A project file (no recordings, a changed tempo), written through the core.
QString writeProject(const QString& name, std::uint64_t tempo) {
  CASTcore core;
  EXPECT_EQ(core.newProject(), 0u);
  EXPECT_EQ(core.updateTempo(tempo), 0u);
  const QString path = TestEnv::tempPath(name);
  EXPECT_EQ(core.saveProject(path.toStdWString()), 0u);
  return path;
}

}  // namespace

TEST(MainWindow, StartsWithAnEmptyProjectAndEveryConnectionResolved) {
  useBackend("virtual");
  QtWarningGuard guard;
  {
    ModalDriver driver;
    MainWindow window;
    EXPECT_EQ(window.windowTitle(), "Quillmere");
    EXPECT_EQ(window.projectState(), 1);
    EXPECT_TRUE(window.projectPath().isEmpty());
    EXPECT_EQ(window.mLEditProjectFileName->text(), "New Audio Style");
    EXPECT_TRUE(window.audioDeviceOn());
    ASSERT_EQ(window.mCmbTrimSec->count(), 15);
    EXPECT_EQ(window.mCmbTrimSec->itemText(7), "Fill In A") << "the section table's names replace the form's";
    EXPECT_EQ(window.mCmbTrimSec->itemText(14), "Ending 3");
    EXPECT_TRUE(window.mPickupFrame->isHidden());
    EXPECT_TRUE(window.acceptDrops());
    EXPECT_EQ(driver.seen().size(), 0u) << "no box at start with an output device";
  }
  EXPECT_TRUE(guard.connectionWarnings().isEmpty()) << guard.connectionWarnings().join("\n").toStdString();

  // The teardown stored the window's placement and the device name.
  QSettings ini(ASTprotoSettings::settingsFilePath(), QSettings::IniFormat);
  EXPECT_TRUE(ini.contains("MainWindow/GeometryW"));
  EXPECT_TRUE(ini.contains("MainWindow/ScreenGeometryW"));
  EXPECT_EQ(ini.value("MainWindow/Maximized").toString(), "false");
  EXPECT_TRUE(ini.contains("Audio/AudioDeviceName"));
}

TEST(MainWindow, WithoutOutputDeviceShowsTheStartUpBoxAndClosesCleanly) {
  useBackend("none");
  QtWarningGuard guard;
  ModalDriver driver;
  driver.pressButton(QMessageBox::Ok);
  {
    MainWindow window;
    // The new project that ends the start puts the device back in use, so
    // the device setting can still choose one.
    EXPECT_TRUE(window.audioDeviceOn());
    ASSERT_EQ(driver.seen().size(), 1u);
    EXPECT_EQ(driver.seen()[0].title, "Quillmere");
    EXPECT_TRUE(driver.seen()[0].text.startsWith("Cannot open the audio output device \"\"."));
    EXPECT_TRUE(driver.seen()[0].text.endsWith("[8880000321]")) << driver.seen()[0].text.toStdString();
  }
  // No second box at exit: closing a device that never opened succeeds.
  EXPECT_EQ(driver.seen().size(), 1u);
  EXPECT_EQ(driver.unexpected(), 0);
  EXPECT_TRUE(guard.connectionWarnings().isEmpty());
  EXPECT_EQ(loadAudioDeviceName(), "") << "the stored choice is kept while the device is missing";
}

TEST(MainWindow, AFileOpenEventOpensTheProject) {
  useBackend("virtual");
  const QString path = writeProject("Song.qmproj", 96);
  MainWindow window;
  QFileOpenEvent open(path);
  EXPECT_TRUE(QCoreApplication::sendEvent(&window, &open));
  EXPECT_EQ(window.projectPath(), path);
  EXPECT_EQ(window.projectState(), 2);
  EXPECT_EQ(window.mLEditProjectFileName->text(), "Song");
  // A project without recordings opens as an empty project under its name.
  EXPECT_EQ(window.core().getCommonInfo().tempo, 120u);
  EXPECT_FALSE(window.core().isModified());
}

TEST(MainWindow, AFileOpenEventImportsARecordingWhateverTheCaseOfItsSuffix) {
  useBackend("virtual");
  const QString audio = recordingWithAnalysis("Take.WAV");
  MainWindow window;
  ModalDriver driver;
  QFileOpenEvent open(audio);
  EXPECT_TRUE(QCoreApplication::sendEvent(&window, &open));
  EXPECT_EQ(driver.seen().size(), 0u) << "neither a file dialog nor an error";
  EXPECT_EQ(window.projectState(), 1) << "the new project stays, with the recording in it";
  EXPECT_TRUE(window.projectPath().isEmpty());
  ASSERT_EQ(window.core().waveCount(), 1u);
  EXPECT_EQ(window.mCmbWav->currentText(), "Take.WAV");
  EXPECT_EQ(window.core().getCommonInfo().tempo, 97u);
}

TEST(FileKinds, RecordingsAreToldByTheirSuffixInAnyCase) {
  for (const char* name : {"a.wav", "b.WAV", "c.aif", "d.Aif", "e.aiff", "f.AIFF", "/x.y/g.wav"})
    EXPECT_TRUE(isAudioFileName(name)) << name;
  for (const char* name : {"Song.qmproj", "wav", "h.wav.qmproj", "i.wave", "/x.wav/j", ""})
    EXPECT_FALSE(isAudioFileName(name)) << name;
}

TEST(MainWindow, BothCoresFadeSectionsOverTwentySixMilliseconds) {
  useBackend("virtual");
  MainWindow window;
  // ceil(0.026 * 44100) frames.
  EXPECT_EQ(window.core().fadeLength(), 1147u);
  EXPECT_EQ(window.workCore().fadeLength(), 1147u);
}

TEST(MainWindow, AnUnreadableProjectKeepsTheCurrentOneAndSaysSo) {
  useBackend("virtual");
  const QString bad = TestEnv::tempPath("Broken.qmproj");
  QFile file(bad);
  ASSERT_TRUE(file.open(QIODevice::WriteOnly));
  file.write("ASTPT012 not really a project");
  file.close();
  ModalDriver driver;
  driver.pressButton(QMessageBox::Ok);
  MainWindow window;
  window.openProjectFile(bad);
  ASSERT_EQ(driver.seen().size(), 1u);
  EXPECT_EQ(driver.seen()[0].text, "Internal Error #0110 ");
  EXPECT_EQ(window.projectState(), 1);
  EXPECT_TRUE(window.projectPath().isEmpty());
}

TEST(MainWindowForm, ActionsShortcutsAndMenusInOrder) {
  useBackend("virtual");
  MainWindow window;
  const struct {
    QAction* action;
    const char* text;
    const char* keys;
  } expected[] = {
      {window.actionNewAudioStyleProject, "New Audio Style Project", "Ctrl+N"},
      {window.actionNewAudioStyleProject_with_Import, "New Audio Style Project with Importing Audio ...", "Ctrl+I"},
      {window.actionOpenAudioStyleProject, "Open Audio Style Project ...", "Ctrl+O"},
      {window.actionSaveAudioStyleProject_as, "Save Audio Style Project as ...", "Ctrl+Shift+S"},
      {window.actionExport_as_AudioStyleFile, "Export as Audio Style File ...", "Ctrl+E"},
      {window.actionRedo, "Redo", "Ctrl+Y"},
      {window.actionAudioDeviceSetting, "Audio Device Setting ...", ""},
      {window.actionSelectClear, "Select clear", "Ctrl+Shift+A"},
  };
  for (const auto& e : expected) {
    EXPECT_EQ(e.action->text(), e.text);
    EXPECT_EQ(e.action->shortcut(), QKeySequence(e.keys)) << e.text;
  }
  QStringList titles;
  for (QAction* menu : window.Ui_MainWindow::menuBar->actions()) titles << menu->text();
  EXPECT_EQ(titles, QStringList({"File", "Edit", "Setting", "Help"}));
  QStringList file;
  for (QAction* a : window.menuFile->actions()) file << (a->isSeparator() ? QString("-") : a->objectName());
  EXPECT_EQ(file, QStringList({"actionNewAudioStyleProject", "actionNewAudioStyleProject_with_Import",
                               "actionOpenAudioStyleProject", "-", "actionSaveAudioStyleProject",
                               "actionSaveAudioStyleProject_as", "actionExport_as_AudioStyleFile", "-",
                               "actionQuit"}));
  EXPECT_TRUE(window.actionSelectAll->associatedWidgets().isEmpty()) << "select all belongs to no menu";
}

TEST(MainWindowForm, ControlsStartAtTheirRangesAndASecondRetranslationKeepsFifteenSections) {
  QMainWindow host;
  Ui::MainWindow form;
  form.setupUi(&host);
  EXPECT_EQ(form.mCmbTrimSec->count(), 15);
  EXPECT_EQ(form.mCmbTrimSec->currentText(), "Intro 1");
  EXPECT_EQ(form.mCmbTrimSec->itemText(7), "Fill in A");
  EXPECT_EQ(form.mSpinTempo->value(), 120);
  EXPECT_EQ(form.mSpinTempo->minimum(), 5);
  EXPECT_EQ(form.mSpinTempo->maximum(), 500);
  EXPECT_EQ(form.mSpinBars->value(), 1);
  EXPECT_EQ(form.mSpinBars->maximum(), 999);
  EXPECT_EQ(form.mSpinPickup->value(), 0);
  EXPECT_EQ(form.mSliderMetro->value(), 100);
  EXPECT_TRUE(form.mChkClick->isChecked());
  EXPECT_TRUE(form.mChkTimeStretch->isChecked());
  EXPECT_FALSE(form.mChkManual->isChecked() || form.mChkFade->isChecked() || form.mChkBlank->isChecked());
  EXPECT_EQ(form.mBtnBeatAnaHalf->text(), " /2");
  EXPECT_EQ(form.mBeatLabel->text(), "Beat ");
  EXPECT_EQ(host.size(), QSize(666, 571));
  EXPECT_FALSE(form.mLabelTempo->pixmap(Qt::ReturnByValue).isNull()) << "our own tempo picture is compiled in";
  form.retranslateUi(&host);
  EXPECT_EQ(form.mCmbTrimSec->count(), 15);
}

TEST(MainWindowForm, TrimFieldsAcceptDecimalSecondsOnly) {
  useBackend("virtual");
  MainWindow window;
  const QValidator* v = window.mLEditTrimStart->validator();
  ASSERT_NE(v, nullptr);
  const struct {
    const char* text;
    QValidator::State state;
  } cases[] = {
      {"12.5", QValidator::Acceptable},   {".5", QValidator::Acceptable},
      {"0.25", QValidator::Acceptable},   {"99999.123456", QValidator::Acceptable},
      {"12", QValidator::Intermediate},   {"0.", QValidator::Intermediate},
      {"012.5", QValidator::Invalid},     {"123456.5", QValidator::Invalid},
      {"1.1234567", QValidator::Invalid},
  };
  for (const auto& c : cases) {
    QString text = c.text;
    int pos = text.size();
    EXPECT_EQ(v->validate(text, pos), c.state) << c.text;
  }
}
