// MainWindow: what an import settles with the user before anything of the
// recording is written, and where it leaves the keyboard.

#include "MainWindow.h"
#include "MessageDialog.h"
#include "RecordingLength.h"
#include "RecordingMessages.h"

bool MainWindow::acceptRecordingLength(const QString& audioPath) {
  RecordingLength length;
  // A file that cannot be opened is refused by the file check that follows.
  if (RecordingLength::measure(audioPath.toStdWString(), length) != 0 || !length.cutShort()) return true;
  // What is there may be the music the user wants (a recorder that stopped,
  // a full disk), but they learn of the damage before an analysis is made.
  return showQuestion(this, QStringLiteral("Quillmere"),
                      cutShortRecordingQuestion(length.heldSeconds(), length.declaredSeconds()),
                      QMessageBox::Yes | QMessageBox::No, QMessageBox::No) == QMessageBox::Yes;
}

void MainWindow::focusWaveView() {
  // No field keeps the focus (a half-typed value would be taken later), but
  // the keyboard stays in the window for its keys and shortcuts.
  if (QWidget* focused = focusWidget()) focused->clearFocus();
  mFrameWav->setFocus(Qt::OtherFocusReason);
}
