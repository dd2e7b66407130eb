// Keys in the main window's text and number fields, pressed as a keyboard
// delivers them: a typed tempo or bar count is one edit, taken when the
// typing ends; Control+A selects the field's own text; the window's
// commands (Control+E, Control+Z) work whichever field has the focus.

#include <gtest/gtest.h>

#include <QLineEdit>

#include "KeyboardPress.h"
#include "ModalDriver.h"
#include "WaveViewProject.h"

using namespace WaveViewProject;
using KeyboardPress::press;
using KeyboardPress::type;

namespace {

class FieldKeys : public MainAOnScreen {
 protected:
  void SetUp() override {
    MainAOnScreen::SetUp();
    QApplication::setActiveWindow(&window);
    QApplication::processEvents();
  }

  void focus(QWidget* field) {
    QApplication::setActiveWindow(&window);  // a dialog may have had it
    field->setFocus();
    QApplication::processEvents();
    ASSERT_TRUE(field->hasFocus());
  }

  // The text field itself: a spin box's editor, or the line edit.
  static QLineEdit* editorOf(QWidget* field) {
    if (auto* edit = qobject_cast<QLineEdit*>(field)) return edit;
    return field->findChild<QLineEdit*>();
  }

  std::uint64_t tempo() { return window.core().getCommonInfo().tempo; }
};

}  // namespace

TEST_F(FieldKeys, ATypedTempoIsOneUndoStepTakenWhenTheTypingEnds) {
  const std::uint64_t before = tempo();
  const int steps = window.core().undoCount();
  focus(window.mSpinTempo);
  window.mSpinTempo->selectAll();
  type("130");
  EXPECT_EQ(tempo(), before) << "nothing is applied while typing";
  press(Qt::Key_Return);
  EXPECT_EQ(tempo(), 130u);
  EXPECT_EQ(window.core().undoCount(), steps + 1) << "130, not 1, 13 and 130";
  // Undo from the menu goes back to the tempo before the typing.
  window.actionUndo->trigger();
  EXPECT_EQ(tempo(), before);

  // Leaving the box ends the typing too; Control+Z typed in the box undoes
  // the typed tempo as a whole and leaves the box.
  focus(window.mSpinTempo);
  window.mSpinTempo->selectAll();
  type("96");
  focus(window.mLEditTrimEnd);
  EXPECT_EQ(tempo(), 96u);
  focus(window.mSpinTempo);
  press(Qt::Key_Z, Qt::ControlModifier);
  EXPECT_EQ(tempo(), before);
  EXPECT_FALSE(window.mSpinTempo->hasFocus());

  // The arrows still apply at once, a step each.
  focus(window.mSpinTempo);
  press(Qt::Key_Up);
  EXPECT_EQ(tempo(), before + 1);
  press(Qt::Key_Up);
  EXPECT_EQ(tempo(), before + 2);
  window.actionUndo->trigger();
  EXPECT_EQ(tempo(), before + 1);
}

TEST_F(FieldKeys, ATypedBarCountIsOneUndoStep) {
  window.mChkManual->click();
  ASSERT_EQ(sectionRecord(window, 3).manualBar, 1);
  const int steps = window.core().undoCount();
  focus(window.mSpinBars);
  window.mSpinBars->selectAll();
  type("12");
  EXPECT_EQ(sectionRecord(window, 3).barNum, 2) << "nothing is applied while typing";
  focus(window.mLEditTrimStart);
  EXPECT_EQ(sectionRecord(window, 3).barNum, 12);
  EXPECT_EQ(window.core().undoCount(), steps + 1);
  window.actionUndo->trigger();
  EXPECT_EQ(sectionRecord(window, 3).barNum, 2);
}

TEST_F(FieldKeys, ControlASelectsTheFieldsTextAndElsewhereTheWholeRecording) {
  const SecInfo before = sectionRecord(window, 3);
  for (QWidget* field : std::initializer_list<QWidget*>{window.mSpinTempo, window.mLEditTrimStart, window.mLEditTrimEnd,
                                                        window.mLEditBeat}) {
    focus(field);
    QLineEdit* editor = editorOf(field);
    ASSERT_NE(editor, nullptr);
    editor->deselect();
    press(Qt::Key_A, Qt::ControlModifier);
    const SecInfo after = sectionRecord(window, 3);
    EXPECT_EQ(after.startAdrs, before.startAdrs) << field->objectName().toStdString();
    EXPECT_EQ(after.endAdrs, before.endAdrs) << field->objectName().toStdString();
    EXPECT_TRUE(field->hasFocus()) << field->objectName().toStdString();
    EXPECT_FALSE(editor->text().isEmpty());
    EXPECT_EQ(editor->selectedText(), editor->text()) << field->objectName().toStdString();
  }
  EXPECT_EQ(window.selectionStart(), static_cast<int>(before.startAdrs));
  EXPECT_EQ(window.selectionEnd(), static_cast<int>(before.endAdrs));

  // Outside the fields the key selects the whole recording as the section.
  QApplication::focusWidget()->clearFocus();
  press(Qt::Key_A, Qt::ControlModifier);
  EXPECT_EQ(sectionRecord(window, 3).startAdrs, 0u);
  EXPECT_EQ(sectionRecord(window, 3).endAdrs, samples(kSeconds));
}

TEST_F(FieldKeys, TheExportShortcutWorksWhicheverFieldHasTheFocus) {
  for (QWidget* field :
       std::initializer_list<QWidget*>{window.mLEditTrimStart, window.mLEditTrimEnd, window.mSpinTempo}) {
    focus(field);
    ModalDriver driver;
    driver.chooseFile(QString());
    EXPECT_TRUE(press(Qt::Key_E, Qt::ControlModifier)) << field->objectName().toStdString();
    ASSERT_EQ(driver.seen().size(), 1u) << field->objectName().toStdString();
    EXPECT_EQ(driver.seen()[0].title, "Export file");
    EXPECT_EQ(driver.unexpected(), 0);
  }
}
