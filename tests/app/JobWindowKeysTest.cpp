// The progress dialog of a running job is closed only by the program:
// Escape and a close request leave it up, its Cancel button still works.

#include <gtest/gtest.h>

#include <QCloseEvent>
#include <QKeyEvent>
#include <QProgressDialog>
#include <QPushButton>
#include <QTimer>

#include "ModalDriver.h"
#include "WaveViewProject.h"

namespace {

// Tries Escape and a close on the first progress dialog shown, then
// presses its Cancel button.
class EscapeProbe : public QObject {
 public:
  EscapeProbe() { qApp->installEventFilter(this); }
  ~EscapeProbe() override { qApp->removeEventFilter(this); }
  bool probed = false;
  bool upAfterEscape = false;
  bool upAfterClose = false;

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override {
    auto* dialog = qobject_cast<QProgressDialog*>(watched);
    if (!dialog || event->type() != QEvent::Show || probed) return false;
    probed = true;
    QTimer::singleShot(0, dialog, [this, dialog] {
      QKeyEvent escape(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier);
      QApplication::sendEvent(dialog, &escape);
      upAfterEscape = dialog->isVisible();
      QCloseEvent close;
      QApplication::sendEvent(dialog, &close);
      upAfterClose = dialog->isVisible() && !close.isAccepted();
      if (auto* button = dialog->findChild<QPushButton*>()) button->click();
    });
    return false;
  }
};

}  // namespace

TEST(JobWindowKeys, EscapeAndACloseRequestLeaveTheAnalysisDialogUp) {
  WaveViewProject::VirtualAudio audio;
  const QString recording = TestEnv::tempPath("long.wav");
  ASSERT_TRUE(TestAudio::writeWav(recording, TestAudio::clickTrack(60.0, 0.5, 0.0, 4)));
  MainWindow window;
  EscapeProbe probe;
  ModalDriver driver;
  driver.chooseFile(recording);
  driver.pressButton(QMessageBox::Ok);
  window.releasedBtnImportAudio();
  ASSERT_TRUE(probe.probed);
  EXPECT_TRUE(probe.upAfterEscape);
  EXPECT_TRUE(probe.upAfterClose);
  EXPECT_EQ(window.core().waveCount(), 0u) << "cancelled";
}
