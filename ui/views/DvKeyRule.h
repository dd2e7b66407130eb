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
};

constexpr int kSelectAll = 0x41;
constexpr int kRedo = 0x59;
constexpr int kUndo = 0x5A;

// Applies the rule to a key press on `widget`. Returns true when the event
// was taken (handed to the parent); false means the widget's own handler
// must run.
bool apply(QWidget* widget, QKeyEvent* event, const Table& table);

// Marks the event ignored and sends it to the widget's parent object, if any.
void handOn(QWidget* widget, QKeyEvent* event);

// True when `table` lists Tab among the keys handed on without Control: the
// widget must then see Tab before Qt's focus chain does.
bool takesTab(const Table& table);

}  // namespace DvKeyRule
