// Cancelling an export from its progress dialog: the rendering under way
// ends, nothing is written at the chosen path, the user is told, the window
// works again, and the next export writes what an export never interrupted
// writes.

#include <gtest/gtest.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QProgressDialog>
#include <QPushButton>
#include <QTimer>

#include <cstdio>

#include "MainWindow.h"
#include "ModalDriver.h"
#include "SectionProject.h"
#include "TempWaveFiles.h"

using SectionProject::kBeat;
using SectionProject::section;

namespace {

// Four sections of two bars each, stretched by 1.2 at tempo 200.
QString writeProject(const QString& name) {
  return SectionProject::write(TestEnv::tempPath("take.wav"), name, [](CASTcore& core) {
    EXPECT_EQ(core.updateSecInfo(4, section(2 * kBeat, 10 * kBeat, 2)), 0u);
    EXPECT_EQ(core.updateSecInfo(5, section(4 * kBeat, 12 * kBeat, 2)), 0u);
    EXPECT_EQ(core.updateSecInfo(6, section(6 * kBeat, 14 * kBeat, 2)), 0u);
    EXPECT_EQ(core.updateTempo(200), 0u);
  });
}

QByteArray readFile(const QString& path) {
  QFile f(path);
  return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

// Exports through the window's command to `path` and returns what the
// user was shown last.
QString exportTo(MainWindow& window, const QString& path) {
  ModalDriver driver;
  driver.chooseFile(path);
  driver.pressButton(QMessageBox::Ok);
  window.releasedBtnExportSty();
  EXPECT_EQ(driver.unexpected(), 0);
  return driver.seen().empty() ? QString() : driver.seen().back().text;
}

}  // namespace

TEST(ExportCancel, CancelWhileRenderingWritesNothingAndTheNextExportWritesTheUninterruptedBytes) {
  qputenv("QUILLMERE_AUDIO_BACKEND", "virtual");
  const QString project = writeProject("cancel.qmproj");
  ASSERT_FALSE(project.isEmpty());

  QByteArray reference;
  {
    MainWindow window;
    window.openProjectFile(project);
    const QString path = TestEnv::tempPath("reference.aus");
    ASSERT_EQ(exportTo(window, path), "Export operation has been finished.");
    reference = readFile(path);
    ASSERT_GT(reference.size(), 1000);
  }

  MainWindow window;
  window.openProjectFile(project);
  const QString path = TestEnv::tempPath("cancelled.aus");
  {
    ModalDriver driver;
    driver.chooseFile(path);
    driver.pressButton(QMessageBox::Ok);
    // Presses the dialog's Cancel once the worker has made the work copy of
    // the recording, which it does right before the sections are rendered
    // side by side; notes when the dialog is gone.
    QString folder;
    ASSERT_EQ(window.core().getPath(0, folder), 0u);
    QFile workCopy(TempWaveFiles::sourcePath(folder));
    ASSERT_TRUE(workCopy.remove()) << "the reference export left it";
    const qint64 copied = 44 + 4 * 44100 * 4;
    QElapsedTimer sincePress;
    qint64 latency = -1;
    QString buttonText;
    int pressed = 0;
    QTimer canceller;
    QObject::connect(&canceller, &QTimer::timeout, [&] {
      auto* dialog = qobject_cast<QProgressDialog*>(QApplication::activeModalWidget());
      if (!dialog || pressed || QFileInfo(workCopy.fileName()).size() < copied) return;
      QPushButton* cancel = dialog->findChild<QPushButton*>();
      ASSERT_NE(cancel, nullptr) << "the export dialog has a Cancel button";
      buttonText = cancel->text();
      EXPECT_TRUE(cancel->isVisible());
      QObject::connect(dialog, &QObject::destroyed, [&] { latency = sincePress.elapsed(); });
      ++pressed;
      sincePress.start();
      cancel->click();
      EXPECT_FALSE(cancel->isEnabled()) << "pressed once";
      EXPECT_TRUE(dialog->isVisible()) << "the dialog waits for the worker";
    });
    canceller.start(5);
    window.releasedBtnExportSty();
    canceller.stop();

    EXPECT_EQ(pressed, 1);
    EXPECT_EQ(buttonText, "Cancel");
    ASSERT_EQ(driver.seen().size(), 2u);
    EXPECT_EQ(driver.seen()[1].title, "Export Audio Style File");
    EXPECT_EQ(driver.seen()[1].text, "The export operation has been canceled.");
    EXPECT_EQ(driver.unexpected(), 0);
    EXPECT_FALSE(QFile::exists(path)) << "nothing at the chosen path";
    EXPECT_GE(latency, 0) << "the dialog is gone";
    EXPECT_EQ(window.findChild<QProgressDialog*>(), nullptr);
    EXPECT_TRUE(window.actionExport_as_AudioStyleFile->isEnabled()) << "commands are back";
    std::printf("Cancel pressed to dialog gone: %lld ms\n", static_cast<long long>(latency));
  }

  // The sections the cancel left unrendered are rendered now; the file is
  // the one an uninterrupted export writes.
  const QString again = TestEnv::tempPath("again.aus");
  ASSERT_EQ(exportTo(window, again), "Export operation has been finished.");
  EXPECT_TRUE(readFile(again) == reference);
  for (std::uint8_t slot : {3, 4, 5, 6}) EXPECT_TRUE(window.core().isSecRendered(slot)) << int(slot);
}
