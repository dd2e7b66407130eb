// The number rule of the message box and the boxes' answers.

#include <gtest/gtest.h>

#include <QGuiApplication>

#include "MessageDialog.h"
#include "ModalDriver.h"

TEST(MessageDialog, NumberRuleShowsOnlyTheNumberAndAnEightDigitCode) {
  const struct {
    QString text;
    QString shown;
  } cases[] = {
      {QString("#0079 updating tempo process returns some error! [%1]").arg(0x80000003ull, 0, 16),
       "Internal Error #0079 [80000003]"},
      {QString("#0079 updating tempo process returns some error! [%1]").arg(0x880000032ull, 0, 16),
       "Internal Error #0079 "},
      {"#0112 memory full", "Internal Error #0112 "},
      {QString("#0100 opening audio file process returns some error! [%1] ").arg(0x80000001ull, 0, 16),
       "Internal Error #0100 "},
      {"#0081 if you want to change bars, turn on manual bars at first!", "Internal Error #0081 "},
      {"#12a4 not a number", "#12a4 not a number"},
      {"#007", "#007"},
      {"#0097", "Internal Error #0097 "},
      {"#0097 [AbCdEf01]", "Internal Error #0097 [AbCdEf01]"},
      {"Changing the beat will reset all settings of all sections. Continue?",
       "Changing the beat will reset all settings of all sections. Continue?"},
      {"", ""},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(MessageDialog::displayText(c.text), c.shown) << c.text.toStdString();
    MessageDialog box(nullptr);
    box.setErrorText(c.text);
    EXPECT_EQ(box.text(), c.shown);
  }
}

TEST(MessageDialog, BoxesReturnTheAnswerAndLeaveNoBusyCursor) {
  ModalDriver driver;
  driver.pressButton(QMessageBox::No);
  driver.pressText("Later");
  driver.pressButton(QMessageBox::Ok);
  QGuiApplication::setOverrideCursor(Qt::WaitCursor);
  const QString longTitle(60, QChar('W'));
  EXPECT_EQ(showQuestion(nullptr, longTitle, "Go on?", QMessageBox::Yes | QMessageBox::No, QMessageBox::Yes),
            QMessageBox::No);
  EXPECT_EQ(QGuiApplication::overrideCursor(), nullptr) << "the box removed the busy cursor";
  EXPECT_EQ(showMessageWithButtons(nullptr, "Quillmere", "Save?",
                                   {{"Now", QMessageBox::YesRole}, {"Later", QMessageBox::NoRole}}, "Now"),
            "Later");
  EXPECT_EQ(showInformation(nullptr, "About", "#0098 no section is trimmed!", 450, QMessageBox::Ok,
                            QMessageBox::Ok, QMessageBox::NoIcon),
            QMessageBox::Ok);
  ASSERT_EQ(driver.seen().size(), 3u);
  EXPECT_EQ(driver.seen()[0].title, longTitle);
  EXPECT_EQ(driver.seen()[2].text, "Internal Error #0098 ");
}

TEST(MessageDialog, ClosingABoxOfOwnButtonsWithoutAnyGivesAnEmptyAnswer) {
  // No answer queued: the driver closes the box. Without a No or Reject
  // button there is no escape button to count as the answer.
  ModalDriver driver;
  EXPECT_EQ(showMessageWithButtons(nullptr, "Quillmere", "Well?",
                                   {{"Now", QMessageBox::YesRole}, {"Fine", QMessageBox::AcceptRole}}, "Fine"),
            "");
  EXPECT_EQ(driver.unexpected(), 1);
}
