#include <gtest/gtest.h>

#include "QtWarningGuard.h"
#include "SectionSelector.h"

TEST(SectionSelector, OffersTheFifteenSectionsAndKeepsNoneUntilOk) {
  // The form's one dead connection is known and harmless; nothing else may fail.
  QtWarningGuard guard({"currentMidiOutBoxChanged"});
  SectionSelector cancelled;
  ASSERT_EQ(cancelled.m_pCmbSection->count(), 15);
  EXPECT_EQ(cancelled.m_pCmbSection->itemText(0), "Intro 1");
  EXPECT_EQ(cancelled.m_pCmbSection->itemText(7), "Fill In A");
  EXPECT_EQ(cancelled.m_pCmbSection->itemText(14), "Ending 3");
  cancelled.m_pCmbSection->setCurrentIndex(4);
  cancelled.m_pCancelButton->click();
  EXPECT_EQ(cancelled.selectedIndex(), 15);
  EXPECT_EQ(cancelled.result(), QDialog::Rejected);

  SectionSelector chosen;
  chosen.m_pCmbSection->setCurrentIndex(11);
  chosen.m_pOkButton->click();
  EXPECT_EQ(chosen.selectedIndex(), 11);
  EXPECT_EQ(chosen.result(), QDialog::Accepted);
  EXPECT_TRUE(guard.connectionWarnings().isEmpty()) << guard.connectionWarnings().join("\n").toStdString();
}
