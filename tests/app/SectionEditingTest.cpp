// The parameter panel of the main window: time signature typing, trim
// fields, pickup, manual bars and the beat resolution commands, each with
// what it hands to the project core.

#include <gtest/gtest.h>

#include <QFocusEvent>
#include <QKeyEvent>

#include <tuple>

#include "AnalysedWaveName.h"
#include "ModalDriver.h"
#include "WaveViewProject.h"

using namespace WaveViewProject;

namespace {

void type(QWidget* field, const QString& text) {
  for (const QChar c : text) {
    QKeyEvent press(QEvent::KeyPress, c == '/' ? Qt::Key_Slash : Qt::Key_0 + (c.unicode() - '0'), Qt::NoModifier,
                    QString(c));
    QApplication::sendEvent(field, &press);
  }
}

class SectionEditing : public MainAOnScreen {};

}  // namespace

TEST_F(SectionEditing, TheTimeSignatureIsCommittedOnlyWhenCompleteAndWithinTwelveBeats) {
  ModalDriver driver;
  driver.pressButton(QMessageBox::Cancel);
  window.mLEditBeat->clear();
  type(window.mLEditBeat, "12/");
  EXPECT_TRUE(driver.seen().empty());
  type(window.mLEditBeat, "8");
  ASSERT_EQ(driver.seen().size(), 1u) << "12/8 is committed with its last character";
  EXPECT_EQ(driver.seen()[0].text, "Changing the beat will reset all settings of all sections. Continue?");
  std::uint8_t num = 0;
  std::uint8_t den = 0;
  ASSERT_EQ(window.core().getTimeSig(num, den), 0u);
  EXPECT_EQ(num * 10 + den, 44) << "Cancel keeps 4/4";

  window.mLEditBeat->clear();
  type(window.mLEditBeat, "13");
  EXPECT_EQ(window.mLEditBeat->text(), "1");
  // A pasted 20/4 passes the field's pattern but is no time signature.
  window.mLEditBeat->clear();
  window.mLEditBeat->insert("20/4");
  EXPECT_EQ(window.mLEditBeat->text(), "2");
  EXPECT_EQ(driver.seen().size(), 1u);
  EXPECT_EQ(driver.unexpected(), 0);
}

TEST_F(SectionEditing, AMeterChangeAnsweredCancelLeavesTheFieldShowingTheProjectsMeter) {
  ModalDriver driver;
  driver.pressButton(QMessageBox::Reset);
  window.mLEditBeat->setText("2/4");
  std::uint8_t num = 0;
  std::uint8_t den = 0;
  ASSERT_EQ(window.core().getTimeSig(num, den), 0u);
  ASSERT_EQ(num * 10 + den, 24);
  storeSection(window, 3, 2, 10);  // the change reset the sections
  show(window);
  ASSERT_TRUE(window.mLEditBeat->isEnabled());
  // Cancel, and Escape (the box's reject), each over typed text.
  for (const auto answer : {QMessageBox::Cancel, QMessageBox::NoToAll}) {
    SCOPED_TRACE(answer);
    driver.pressButton(answer);
    window.mLEditBeat->selectAll();
    type(window.mLEditBeat, "3/4");
    ASSERT_EQ(window.core().getTimeSig(num, den), 0u);
    EXPECT_EQ(num * 10 + den, 24);
    EXPECT_EQ(window.mLEditBeat->text().toStdString(), "2/4");
    // What the field falls back to when typing is left unfinished.
    EXPECT_EQ(window.mLEditBeat->placeholderText().toStdString(), "2/4");
  }
  EXPECT_EQ(driver.seen().size(), 3u);
  EXPECT_EQ(driver.unexpected(), 0);
}

TEST_F(SectionEditing, TrimFieldsSwapSnapToBeatsAndRefuseWhatTheyCannotHold) {
  enter(window.mLEditTrimEnd, "2.0");
  enter(window.mLEditTrimStart, "5.0");
  EXPECT_EQ(window.mLEditTrimStart->text(), "2.000000");
  EXPECT_EQ(window.mLEditTrimEnd->text(), "5.000000");
  EXPECT_EQ(sectionRecord(window, 3).startAdrs, samples(2.0));
  EXPECT_EQ(sectionRecord(window, 3).endAdrs, samples(5.0));

  const struct {
    const char* typed;
    double beat;
  } cases[] = {{"1.2", 1.0}, {"1.25", 1.5}, {"0.2", 0.0}};
  for (const auto& c : cases) {
    enter(window.mLEditTrimStart, c.typed);
    EXPECT_EQ(sectionRecord(window, 3).startAdrs, samples(c.beat)) << c.typed;
  }

  // Beyond the recording, and a text that is no number (Return and focus
  // loss reach the field whatever its pattern says).
  for (const char* refused : {"99.0", "7..", ""}) {
    enter(window.mLEditTrimEnd, refused);
    EXPECT_EQ(window.mLEditTrimEnd->text(), "5.000000") << refused;
    EXPECT_EQ(sectionRecord(window, 3).endAdrs, samples(5.0)) << refused;
  }
  // A whole number is what the pattern leaves unfinished: Return on it
  // commits that many seconds.
  window.mLEditTrimEnd->setFocus();
  window.mLEditTrimEnd->clear();
  type(window.mLEditTrimEnd, "7");
  ASSERT_EQ(window.mLEditTrimEnd->text(), "7");
  QKeyEvent ret(QEvent::KeyRelease, Qt::Key_Return, Qt::NoModifier);
  QApplication::sendEvent(window.mLEditTrimEnd, &ret);
  EXPECT_EQ(sectionRecord(window, 3).endAdrs, samples(7.0));
  EXPECT_EQ(window.selectionEnd(), static_cast<int>(samples(7.0))) << "the band follows the committed end";
}

TEST_F(SectionEditing, APickupStaysShorterThanOneBar) {
  storeSection(window, 0, 8, 16, true);
  window.mCmbTrimSec->setCurrentIndex(0);
  ModalDriver driver;
  window.mSpinPickup->setValue(9);
  EXPECT_EQ(sectionRecord(window, 0).pickupNum, 7) << "at most seven half beats in 4/4";
  EXPECT_EQ(driver.unexpected(), 0);
}

TEST_F(SectionEditing, ManualBarsSwitchTheClicksOffAndBringThemBack) {
  ASSERT_TRUE(window.mChkClick->isChecked());
  window.mChkManual->click();
  EXPECT_EQ(sectionRecord(window, 3).manualBar, 1);
  EXPECT_FALSE(window.mChkClick->isChecked());
  window.mChkManual->click();
  EXPECT_EQ(sectionRecord(window, 3).manualBar, 0);
  EXPECT_TRUE(window.mChkClick->isChecked());
}

TEST_F(SectionEditing, TheBeatShiftMovesTheRangeHalfABeatLaterAndBack) {
  const int steps = window.core().undoCount();
  window.mBtnShiftBeatPosition->click();
  SecInfo section = sectionRecord(window, 3);
  EXPECT_EQ(section.halfBeat, 1);
  EXPECT_EQ(section.startAdrs, samples(1.25));
  EXPECT_EQ(section.endAdrs, samples(5.25));
  EXPECT_EQ(window.mBtnShiftBeatPosition->text(), "Unshift Beat Position");
  window.mBtnShiftBeatPosition->click();
  section = sectionRecord(window, 3);
  EXPECT_EQ(section.halfBeat, 0);
  EXPECT_EQ(section.startAdrs, samples(1.0));
  EXPECT_EQ(section.endAdrs, samples(5.0));
  EXPECT_EQ(window.core().undoCount(), steps + 2);
}

TEST(SectionEditingBeats, DoublingManyBeatsAsksFirstAndHalvingIsOneStepWithoutAQuestion) {
  VirtualAudio audio;
  MainWindow window;
  addRecording(window, 501.0, 2001);
  storeSection(window, 3, 2, 10);
  show(window);
  ModalDriver driver;
  driver.pressButton(QMessageBox::Cancel);
  window.mBtnBeatAnaDouble->click();
  ASSERT_EQ(driver.seen().size(), 1u);
  EXPECT_EQ(driver.seen()[0].text, "It may take much time. are you sure!");
  EXPECT_EQ(window.core().getCommonInfo().tempo, 120u);

  // Halving never asks; the merged grid and the new tempo are one step.
  const int steps = window.core().undoCount();
  window.mBtnBeatAnaHalf->click();
  EXPECT_EQ(driver.seen().size(), 1u);
  WavInfo* wave = nullptr;
  ASSERT_EQ(window.core().getWaveInfo(0, &wave), 0u);
  EXPECT_EQ(wave->beatDiv, 2);
  EXPECT_EQ(window.core().undoCount(), steps + 1);
  const std::uint64_t tempo = window.core().getCommonInfo().tempo;
  EXPECT_TRUE(tempo >= ComnInfo::kMinTempo && tempo <= ComnInfo::kMaxTempo) << tempo;
  EXPECT_EQ(driver.unexpected(), 0);
}

namespace {

// A recording with an analysed-wave file proposing "Intro 2", "Main B" and
// "Ending 1", each over its own range.
QString recordingWithThreeSections() {
  const QString audio = TestEnv::tempPath("three.wav");
  EXPECT_TRUE(TestAudio::writeWav(audio, TestAudio::sine(8.0, 220.0)));
  CASTcore writer;
  auto* wave = new WavInfo;
  wave->fileName = audio.toStdWString();
  for (int k = 0; k <= 32; ++k) wave->beatTime.push_back(0.25f * k);
  wave->onsetTime = {0.0f, 8.0f};
  EXPECT_EQ(writer.addWavList(wave), 0u);
  for (const auto& [slot, first, last] : {std::tuple<int, int, int>{1, 0, 4}, {4, 4, 12}, {12, 12, 16}}) {
    SecInfo section;
    section.used = 1;
    section.wavNo = 0;
    section.startAdrs = samples(0.5 * first);
    section.endAdrs = samples(0.5 * last);
    EXPECT_EQ(writer.updateSecInfo(static_cast<std::uint8_t>(slot), section), 0u);
  }
  EXPECT_EQ(writer.saveAwi(AnalysedWaveName::pathFor(audio).toStdWString(), 0), 0u);
  return audio;
}

}  // namespace

TEST(SectionEditingImport, AnImportedRecordingTakesTheSettingsOfTheNearestProposedSectionOfTheGroup) {
  const QString audio = recordingWithThreeSections();
  const struct {
    int current;
    double start;  // of the proposed section whose settings it takes
  } cases[] = {{2, 0.0}, {3, 2.0}, {5, 2.0}, {7, 2.0}, {13, 6.0}};
  for (const auto& c : cases) {
    VirtualAudio audioOutput;
    MainWindow window;
    window.mCmbTrimSec->setCurrentIndex(c.current);
    ModalDriver driver;
    driver.chooseFile(audio);
    window.releasedBtnImportAudio();
    EXPECT_EQ(driver.unexpected(), 0);
    const SecInfo section = sectionRecord(window, static_cast<std::uint8_t>(c.current));
    EXPECT_EQ(section.used, 1) << c.current;
    EXPECT_EQ(section.startAdrs, samples(c.start)) << c.current;
  }
}

TEST_F(SectionEditing, BarsAreEditableOnlyWithManualBarsOn) {
  ModalDriver driver;
  auto manualOff = [&](const char* when) {
    EXPECT_FALSE(window.mChkManual->isChecked()) << when;
    EXPECT_FALSE(window.mSpinBars->isEnabled()) << when;
    EXPECT_FALSE(window.mBarLabel->isEnabled()) << when;
  };
  manualOff("shown");
  window.mChkManual->click();
  ASSERT_TRUE(window.mSpinBars->isEnabled());
  window.mSpinBars->setValue(window.mSpinBars->value() + 1);
  EXPECT_EQ(sectionRecord(window, 3).barNum, window.mSpinBars->value());
  window.mChkManual->click();
  manualOff("switched off");
  window.undo();
  EXPECT_TRUE(window.mSpinBars->isEnabled()) << "manual again after undo";
  window.undo();
  EXPECT_TRUE(window.mSpinBars->isEnabled());
  window.undo();
  manualOff("undone");
  storeSection(window, 5, 12, 16);
  window.mCmbTrimSec->setCurrentIndex(5);
  manualOff("other section");
  window.mCmbTrimSec->setCurrentIndex(3);
  manualOff("back");
  const QString project = TestEnv::tempPath("Bars.qmproj");
  ASSERT_EQ(window.core().saveProject(project.toStdWString()), 0u);
  driver.pressText("Yes");
  window.openProjectFile(project);
  manualOff("opened");
  EXPECT_EQ(driver.seen().size(), 1u) << "only the changed-project question";
}

TEST_F(SectionEditing, WithTwoRecordingsBarsAreManualAndEditable) {
  addRecording(window, 8.0, 0, "second.wav");
  storeSection(window, 5, 2, 10, false, 1);
  window.refreshSectionView();
  ModalDriver driver;
  for (int slot : {3, 5}) {
    window.mCmbTrimSec->setCurrentIndex(slot);
    EXPECT_TRUE(window.mChkManual->isChecked()) << slot;
    ASSERT_TRUE(window.mSpinBars->isEnabled()) << slot;
    window.mSpinBars->setValue(window.mSpinBars->value() + 1);
    EXPECT_EQ(sectionRecord(window, static_cast<std::uint8_t>(slot)).barNum, window.mSpinBars->value()) << slot;
    window.undo();
    EXPECT_TRUE(window.mSpinBars->isEnabled()) << slot;
    EXPECT_EQ(sectionRecord(window, static_cast<std::uint8_t>(slot)).manualBar, 1) << slot;
  }
  EXPECT_EQ(driver.seen().size(), 0u) << "no #0081";
}
