#pragma once
// The key rule shared by the Dv input widgets: the keys a window uses as its
// own commands (select all, undo, redo, Escape, and per widget Tab, keypad
// Enter or Space) are taken from the focused widget and handed to its parent,
// so the window's commands still work while an input widget has the focus.

#include <QKeyEvent>
#include <QWidget>

#include <initializer_list>

namespace DvKeyRule {

// The keys of one widget class, in the four columns of the rule.
struct Table {
  std::initializer_list<int> controlClear;  // with Control: clear the focus, hand on
  std::initializer_list<int> plainClear;    // without Control: clear the focus, hand on
  std::initializer_list<int> plainHandOn;   // without Control: hand on, keep the focus
  // A text or number field: Control with select all (and no other
  // modifier) selects the field's own text instead of leaving the field, so
  // a user selecting what he typed never selects the whole recording.
  bool selectsOwnText = false;
};

constexpr int kSelectAll = 0x41;
constexpr int kRedo = 0x59;
constexpr int kUndo = 0x5A;

// Applies the rule to a key press on `widget`. Returns true when the event
// was taken (handed to the parent); false means the widget's own handler
// must run.
bool apply(QWidget* widget, QKeyEvent* event, const Table& table);

// Called with a shortcut override: true when the key is the shortcut of one
// of the window's commands (an enabled action placed in a menu or on a
// widget), which the field then leaves to the window: a text field would
// otherwise keep keys such as Control+E (end of line on Linux desktops) and
// the command would never run while it has the focus. The keys of the
// table's Control column are left to their press, which the rule hands on.
bool leaveShortcutToWindow(QWidget* widget, QKeyEvent* event, const Table& table);

// Marks the event ignored and sends it to the widget's parent object, if any.
void handOn(QWidget* widget, QKeyEvent* event);

// True when `table` lists Tab among the keys handed on without Control: the
// widget must then see Tab before Qt's focus chain does.
bool takesTab(const Table& table);

}  // namespace DvKeyRule
