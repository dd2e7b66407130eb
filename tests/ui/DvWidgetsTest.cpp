// The Dv widgets' key rule: which keys leave the widget for its parent, and
// whether the widget keeps the focus.

#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QLineEdit>
#include <QKeyEvent>
#include <QKeySequence>
#include <QMouseEvent>

#include <functional>
#include <memory>
#include <ostream>

#include "DvFrame.h"
#include "DvWidgets.h"

namespace {

// A parent that records and accepts every key press and mouse move it gets
// (before Qt's own Tab handling could move the focus).
class Recorder : public QWidget {
 public:
  int keys = 0;
  int lastKey = 0;
  QPoint lastMove{-1, -1};

 protected:
  bool event(QEvent* e) override {
    if (e->type() != QEvent::KeyPress) return QWidget::event(e);
    ++keys;
    lastKey = static_cast<QKeyEvent*>(e)->key();
    e->accept();
    return true;
  }
  void mouseMoveEvent(QMouseEvent* e) override { lastMove = e->pos(); }
};

// Keys a widget leaves to its default handler may still reach the parent
// through Qt's propagation of ignored keys; what tells the rule apart there
// is the focus.
enum class Parent { Gets, Misses, Either };

struct KeyCase {
  const char* widget;
  int key;
  Qt::KeyboardModifiers modifiers;
  Parent parent;
  bool keepsFocus;
};

// Readable, stable case names (the default prints the record's bytes,
// pointer included, so the names changed from build to build).
void PrintTo(const KeyCase& c, std::ostream* os) {
  *os << c.widget << (c.modifiers & Qt::ControlModifier ? " Ctrl+" : " ") << QKeySequence(c.key).toString().toStdString();
}

QWidget* makeWidget(const QString& kind, QWidget* parent) {
  if (kind == "DvLineEdit") return new DvLineEdit(parent);
  if (kind == "DvSpinBox") return new DvSpinBox(parent);
  if (kind == "DvDoubleSpinBox") return new DvDoubleSpinBox(parent);
  if (kind == "DvComboBox") return new DvComboBox(parent);
  if (kind == "DvCheckBox") return new DvCheckBox(parent);
  if (kind == "DvPushButton") return new DvPushButton(parent);
  return new DvTextEdit(parent);
}

class DvKeyTable : public ::testing::TestWithParam<KeyCase> {};

TEST_P(DvKeyTable, KeyReachesParentAndFocusAsTheTableSays) {
  const KeyCase c = GetParam();
  Recorder parent;
  QWidget* widget = makeWidget(c.widget, &parent);
  auto* neighbour = new DvLineEdit(&parent);  // somewhere for Tab to go
  neighbour->move(0, 40);
  widget->setFocusPolicy(Qt::StrongFocus);
  parent.show();
  QApplication::setActiveWindow(&parent);
  widget->setFocus();
  QApplication::processEvents();
  ASSERT_TRUE(widget->hasFocus());

  QKeyEvent press(QEvent::KeyPress, c.key, c.modifiers);
  QApplication::sendEvent(widget, &press);
  if (c.parent != Parent::Either) {
    EXPECT_EQ(parent.keys > 0, c.parent == Parent::Gets) << c.widget << " key " << std::hex << c.key;
  }
  if (c.parent == Parent::Gets) {
    EXPECT_EQ(parent.lastKey, c.key);
  }
  EXPECT_EQ(widget->hasFocus(), c.keepsFocus) << c.widget << " key " << std::hex << c.key;
}

constexpr auto Ctrl = Qt::ControlModifier;
constexpr auto None = Qt::NoModifier;

INSTANTIATE_TEST_SUITE_P(
    Rule, DvKeyTable,
    ::testing::Values(
        // Select all selects a text or number field's own text; with Shift
        // (the window's select clear) it leaves the field for the window...
        KeyCase{"DvLineEdit", Qt::Key_A, Ctrl, Parent::Misses, true}, KeyCase{"DvSpinBox", Qt::Key_A, Ctrl, Parent::Misses, true},
        KeyCase{"DvDoubleSpinBox", Qt::Key_A, Ctrl, Parent::Misses, true},
        KeyCase{"DvLineEdit", Qt::Key_A, Ctrl | Qt::ShiftModifier, Parent::Gets, false},
        KeyCase{"DvSpinBox", Qt::Key_A, Ctrl | Qt::ShiftModifier, Parent::Gets, false},
        // ...and stays with combo boxes and buttons.
        KeyCase{"DvComboBox", Qt::Key_A, Ctrl, Parent::Either, true}, KeyCase{"DvCheckBox", Qt::Key_A, Ctrl, Parent::Either, true},
        KeyCase{"DvPushButton", Qt::Key_A, Ctrl, Parent::Either, true},
        // Undo and redo leave every widget.
        KeyCase{"DvComboBox", Qt::Key_Z, Ctrl, Parent::Gets, false}, KeyCase{"DvPushButton", Qt::Key_Y, Ctrl, Parent::Gets, false},
        KeyCase{"DvTextEdit", Qt::Key_Z, Ctrl, Parent::Gets, false}, KeyCase{"DvLineEdit", Qt::Key_Y, Ctrl, Parent::Gets, false},
        // Escape clears the focus everywhere.
        KeyCase{"DvLineEdit", Qt::Key_Escape, None, Parent::Gets, false},
        KeyCase{"DvSpinBox", Qt::Key_Escape, None, Parent::Gets, false},
        KeyCase{"DvComboBox", Qt::Key_Escape, None, Parent::Gets, false},
        KeyCase{"DvCheckBox", Qt::Key_Escape, None, Parent::Gets, false},
        KeyCase{"DvTextEdit", Qt::Key_Escape, None, Parent::Gets, false},
        // Tab: handed on with the focus kept by line edits and buttons, a
        // focus move on spin boxes, focus cleared on the text edit.
        KeyCase{"DvLineEdit", Qt::Key_Tab, None, Parent::Gets, true}, KeyCase{"DvCheckBox", Qt::Key_Tab, None, Parent::Gets, true},
        KeyCase{"DvPushButton", Qt::Key_Tab, None, Parent::Gets, true}, KeyCase{"DvSpinBox", Qt::Key_Tab, None, Parent::Misses, false},
        KeyCase{"DvTextEdit", Qt::Key_Tab, None, Parent::Gets, false},
        // Space never reaches a line edit's text or toggles a button.
        KeyCase{"DvLineEdit", Qt::Key_Space, None, Parent::Gets, true},
        KeyCase{"DvCheckBox", Qt::Key_Space, None, Parent::Gets, true},
        KeyCase{"DvComboBox", Qt::Key_Space, None, Parent::Gets, true},
        // The keypad Enter leaves a spin box with the focus kept; Return is its own.
        KeyCase{"DvSpinBox", Qt::Key_Enter, None, Parent::Gets, true}, KeyCase{"DvSpinBox", Qt::Key_Return, None, Parent::Either, true},
        // Ordinary keys behave as usual.
        KeyCase{"DvLineEdit", Qt::Key_B, None, Parent::Either, true}));

TEST(DvWidgets, ControlASelectsAllOfAFieldsText) {
  Recorder parent;
  auto* edit = new DvLineEdit(&parent);
  edit->setText("12.500000");
  auto* spin = new DvSpinBox(&parent);
  spin->setRange(5, 500);
  spin->setValue(120);
  for (QWidget* field : {static_cast<QWidget*>(edit), static_cast<QWidget*>(spin)}) {
    QKeyEvent selectAll(QEvent::KeyPress, Qt::Key_A, Qt::ControlModifier);
    QApplication::sendEvent(field, &selectAll);
  }
  EXPECT_EQ(edit->selectedText(), "12.500000");
  EXPECT_EQ(spin->findChild<QLineEdit*>()->selectedText(), "120");
  EXPECT_EQ(parent.keys, 0);
}

namespace {

// What a focused field answers to the shortcut override Qt sends before
// the window's shortcuts: true when it keeps the key for itself.
bool keepsKey(QWidget* field, int key, Qt::KeyboardModifiers modifiers) {
  QKeyEvent override(QEvent::ShortcutOverride, key, modifiers);
  override.ignore();
  QApplication::sendEvent(field, &override);
  return override.isAccepted();
}

}  // namespace

TEST(DvWidgets, FieldsLeaveTheKeysOfTheWindowsCommandsToTheWindow) {
  // Control+X stands for a command key that Qt's line edit keeps for
  // itself under every key scheme (as Linux desktops' scheme keeps
  // Control+E, end of line, from the window's export).
  QWidget window;
  auto* command = new QAction("Command", &window);
  command->setShortcut(QKeySequence("Ctrl+X"));
  auto* undo = new QAction("Undo", &window);
  undo->setShortcut(QKeySequence("Ctrl+Z"));
  auto* unplaced = new QAction("Select all", &window);  // on no widget: no working shortcut
  unplaced->setShortcut(QKeySequence("Ctrl+A"));
  window.addAction(command);
  window.addAction(undo);
  auto* edit = new DvLineEdit(&window);
  auto* spin = new DvSpinBox(&window);
  auto* plain = new QLineEdit(&window);
  window.show();
  QApplication::setActiveWindow(&window);

  EXPECT_TRUE(keepsKey(plain, Qt::Key_X, Qt::ControlModifier)) << "Qt's line edit keeps Control+X (cut)";
  for (QWidget* field : {static_cast<QWidget*>(edit), static_cast<QWidget*>(spin)}) {
    EXPECT_FALSE(keepsKey(field, Qt::Key_X, Qt::ControlModifier)) << field->metaObject()->className();
    EXPECT_TRUE(keepsKey(field, Qt::Key_A, Qt::ControlModifier)) << "no working shortcut: the field's own";
    EXPECT_TRUE(keepsKey(field, Qt::Key_Left, Qt::NoModifier));
    // Undo takes the rule's road: its press leaves the field for the parent.
    EXPECT_TRUE(keepsKey(field, Qt::Key_Z, Qt::ControlModifier));
  }
  // A disabled command leaves the key to the field.
  command->setEnabled(false);
  EXPECT_TRUE(keepsKey(edit, Qt::Key_X, Qt::ControlModifier));
}

TEST(DvWidgets, SpaceDoesNotToggleACheckBoxAndTextIsNotTyped) {
  Recorder parent;
  auto* check = new DvCheckBox(&parent);
  auto* edit = new DvLineEdit(&parent);
  QKeyEvent space(QEvent::KeyPress, Qt::Key_Space, Qt::NoModifier, " ");
  QApplication::sendEvent(check, &space);
  QKeyEvent space2(QEvent::KeyPress, Qt::Key_Space, Qt::NoModifier, " ");
  QApplication::sendEvent(edit, &space2);
  QKeyEvent letter(QEvent::KeyPress, Qt::Key_B, Qt::NoModifier, "b");
  QApplication::sendEvent(edit, &letter);
  EXPECT_FALSE(check->isChecked());
  EXPECT_EQ(edit->text(), "b");
}

TEST(DvWidgets, AKeyHandedOnWithoutParentIsDropped) {
  DvLineEdit orphan;
  QKeyEvent escape(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier);
  QApplication::sendEvent(&orphan, &escape);
  EXPECT_FALSE(escape.isAccepted());
}

TEST(DvFrame, MovesGoToTheTargetInItsCoordinatesOrNowhere) {
  Recorder window;
  window.resize(300, 200);
  auto* frame = new DvFrame(&window);
  frame->setGeometry(40, 30, 200, 100);
  window.show();
  QMouseEvent move(QEvent::MouseMove, QPointF(10.6, 5.2), Qt::NoButton, Qt::LeftButton, Qt::NoModifier);
  QApplication::sendEvent(frame, &move);
  EXPECT_EQ(window.lastMove, QPoint(-1, -1)) << "no target: the move is swallowed";
  frame->mMouseTarget = &window;
  QApplication::sendEvent(frame, &move);
  EXPECT_EQ(window.lastMove, QPoint(51, 35));
}

}  // namespace
