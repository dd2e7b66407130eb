// The driver that answers the program's dialogs in the GUI tests answers a
// dialog only from inside the dialog's own event loop: one answered after it
// was shown but before its loop started would be hidden with no loop to end,
// and the test would wait for ever.

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDir>
#include <QFileDialog>
#include <QMessageBox>
#include <QPushButton>

#include "ModalDriver.h"
#include "TempDir.h"

namespace {

// Lets the driver look at the shown dialog a few times from outside its
// loop, as when something processes events between show() and exec().
// False when the dialog went away meanwhile.
bool pollWhileShown(ModalDriver& driver, QWidget& dialog) {
  const int start = driver.polls();
  while (driver.polls() < start + 3 && dialog.isVisible()) QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
  return dialog.isVisible();
}

}  // namespace

TEST(ModalDriver, ABoxIsAnsweredInItsOwnLoopNotBeforeItStarts) {
  ModalDriver driver;
  driver.pressButton(QMessageBox::No);
  QMessageBox box(QMessageBox::Question, "Replace", "Replace the file?", QMessageBox::Yes | QMessageBox::No);
  box.setWindowModality(Qt::ApplicationModal);
  box.show();
  ASSERT_TRUE(pollWhileShown(driver, box)) << "answered before its loop ran";
  EXPECT_TRUE(driver.seen().empty());
  EXPECT_EQ(box.exec(), QMessageBox::No);
  ASSERT_EQ(driver.seen().size(), 1u);
  EXPECT_EQ(driver.seen().front().text, "Replace the file?");
  EXPECT_EQ(driver.unexpected(), 0);
}

TEST(ModalDriver, AFileDialogIsAnsweredInItsOwnLoopNotBeforeItStarts) {
  const QString folder = TestEnv::tempPath("files");
  ASSERT_TRUE(QDir().mkpath(folder));
  const QString chosen = folder + "/song.aus";
  ModalDriver driver;
  driver.chooseFile(chosen);
  QFileDialog dialog(nullptr, "Export file", folder);
  dialog.setOption(QFileDialog::DontUseNativeDialog);
  dialog.setAcceptMode(QFileDialog::AcceptSave);
  dialog.setWindowModality(Qt::ApplicationModal);
  dialog.show();
  ASSERT_TRUE(pollWhileShown(driver, dialog)) << "answered before its loop ran";
  EXPECT_EQ(dialog.exec(), QDialog::Accepted);
  EXPECT_EQ(dialog.selectedFiles(), QStringList{chosen});
  EXPECT_EQ(driver.seen().size(), 1u);
  EXPECT_EQ(driver.unexpected(), 0);
}

TEST(ModalDriver, ABoxRunTwiceIsAnsweredEachTimeAndOneWithoutAnAnswerIsClosed) {
  ModalDriver driver;
  driver.pressButton(QMessageBox::Yes);
  driver.pressText("Keep both");
  QMessageBox box(QMessageBox::Question, "Save", "Replace the file?", QMessageBox::Yes);
  QPushButton* keep = box.addButton("Keep both", QMessageBox::RejectRole);
  EXPECT_EQ(box.exec(), QMessageBox::Yes);
  box.exec();
  EXPECT_EQ(box.clickedButton(), static_cast<QAbstractButton*>(keep));
  EXPECT_EQ(driver.unexpected(), 0);
  QMessageBox unasked(QMessageBox::Warning, "Export", "Something went wrong.", QMessageBox::Ok);
  unasked.exec();
  EXPECT_EQ(driver.unexpected(), 1);
  EXPECT_EQ(driver.seen().size(), 3u);
}
