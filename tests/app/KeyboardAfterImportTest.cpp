// The keyboard after an import that ran the analysis, and after an export:
// the window is active again with a focus widget of its own, and its
// shortcuts work without a click into it.

#include <gtest/gtest.h>

#include <QFileOpenEvent>
#include <QProgressDialog>
#include <QThread>
#include <QTimer>

#include "KeyboardPress.h"
#include "ModalDriver.h"
#include "SectionProject.h"
#include "WaveViewProject.h"

using namespace WaveViewProject;

namespace {

// Gives every progress dialog the keyboard once it is up, as the desktop's
// window system does with the frameless modal analysis dialog.
class ProgressTakesTheKeyboard : public QObject {
 public:
  ProgressTakesTheKeyboard() { qApp->installEventFilter(this); }
  ~ProgressTakesTheKeyboard() override { qApp->removeEventFilter(this); }
  bool tookIt = false;

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override {
    auto* dialog = qobject_cast<QProgressDialog*>(watched);
    if (!dialog || event->type() != QEvent::Show) return false;
    QTimer::singleShot(0, dialog, [this, dialog] {
      dialog->activateWindow();
      QApplication::processEvents();
      tookIt = QApplication::activeWindow() == dialog;
    });
    return false;
  }
};

// Lets the window system's answers arrive (bounded).
void settle(QWidget& window) {
  for (int i = 0; i < 50 && QApplication::activeWindow() != &window; ++i) {
    QApplication::processEvents();
    QThread::msleep(2);
  }
  QApplication::processEvents();
}

// The window shown and given the keyboard, as a user's click would.
void showActive(MainWindow& window) {
  window.show();
  window.activateWindow();
  settle(window);
}

// After the job: the window active again, with a focus widget of its own.
void expectTheKeyboardInTheWindow(MainWindow& window) {
  settle(window);
  EXPECT_EQ(QApplication::activeWindow(), &window);
  QWidget* focused = QApplication::focusWidget();
  ASSERT_NE(focused, nullptr) << "no widget has the focus";
  EXPECT_TRUE(window.isAncestorOf(focused)) << focused->objectName().toStdString();
}

}  // namespace

TEST(KeyboardAfterImport, TheWindowKeepsAFocusWidgetAndItsShortcutsAfterAnAnalysis) {
  VirtualAudio audio;
  const QString song = TestEnv::tempPath("fresh.wav");
  ASSERT_TRUE(TestAudio::writeWav(song, TestAudio::clickTrack(4.0, 0.5, 0.0, 4)));
  MainWindow window;
  showActive(window);
  ASSERT_EQ(QApplication::activeWindow(), &window);

  ProgressTakesTheKeyboard progress;
  ModalDriver driver;
  QFileOpenEvent open(song);
  QApplication::sendEvent(&window, &open);
  ASSERT_EQ(window.core().waveCount(), 1u);
  ASSERT_TRUE(progress.tookIt);
  expectTheKeyboardInTheWindow(window);

  // Control+S typed now saves the new project (through its file dialog).
  const QString project = TestEnv::tempPath("after.qmproj");
  driver.chooseFile(project);
  EXPECT_TRUE(KeyboardPress::press(Qt::Key_S, Qt::ControlModifier));
  EXPECT_TRUE(QFileInfo::exists(project));
  EXPECT_EQ(driver.unexpected(), 0);
}

TEST(KeyboardAfterImport, TheWindowKeepsAFocusWidgetAfterAnExport) {
  VirtualAudio audio;
  const QString project = SectionProject::write(TestEnv::tempPath("take.wav"), "export.qmproj");
  ASSERT_FALSE(project.isEmpty());
  MainWindow window;
  window.openProjectFile(project);
  window.loadSectionWaveView(true);
  showActive(window);
  ASSERT_EQ(QApplication::activeWindow(), &window);

  ProgressTakesTheKeyboard progress;
  ModalDriver driver;
  driver.chooseFile(TestEnv::tempPath("style.aus"));
  driver.pressButton(QMessageBox::Ok);
  window.releasedBtnExportSty();
  ASSERT_TRUE(progress.tookIt);
  expectTheKeyboardInTheWindow(window);
  EXPECT_EQ(driver.unexpected(), 0);
}
