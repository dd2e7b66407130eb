#include "DvKeyRule.h"

#include <QAction>
#include <QCoreApplication>
#include <QKeySequence>

#include <algorithm>

namespace DvKeyRule {

namespace {

bool listed(std::initializer_list<int> keys, int key) {
  return std::find(keys.begin(), keys.end(), key) != keys.end();
}

Qt::KeyboardModifiers withoutKeypad(Qt::KeyboardModifiers modifiers) { return modifiers & ~Qt::KeypadModifier; }

// Whether an action of the widget's window runs on this key: an enabled
// action with the key among its shortcuts, placed somewhere (an action in
// no menu and on no widget has no working shortcut).
bool isWindowCommandKey(QWidget* widget, const QKeyEvent* event) {
  QWidget* window = widget->window();
  if (!window || window == widget) return false;
  const QKeySequence pressed(static_cast<int>(withoutKeypad(event->modifiers())) | event->key());
  for (const QAction* action : window->findChildren<QAction*>()) {
    if (!action->isEnabled() || action->associatedWidgets().isEmpty()) continue;
    if (action->shortcutContext() == Qt::WidgetShortcut) continue;
    for (const QKeySequence& shortcut : action->shortcuts()) {
      if (shortcut == pressed) return true;
    }
  }
  return false;
}

}  // namespace

void handOn(QWidget* widget, QKeyEvent* event) {
  event->ignore();
  if (QObject* parent = widget->parent()) QCoreApplication::sendEvent(parent, event);
}

bool apply(QWidget* widget, QKeyEvent* event, const Table& table) {
  const int key = event->key();
  if (event->modifiers() & Qt::ControlModifier) {
    if (table.selectsOwnText && key == kSelectAll && withoutKeypad(event->modifiers()) == Qt::ControlModifier)
      return false;
    if (!listed(table.controlClear, key)) return false;
    widget->clearFocus();
    handOn(widget, event);
    return true;
  }
  if (listed(table.plainClear, key)) {
    widget->clearFocus();
    handOn(widget, event);
    return true;
  }
  if (listed(table.plainHandOn, key)) {
    handOn(widget, event);
    return true;
  }
  return false;
}

bool leaveShortcutToWindow(QWidget* widget, QKeyEvent* event, const Table& table) {
  // Undo and redo already take the rule's road: their press leaves the
  // field and is sent on to the parent, where Qt offers it to the window's
  // shortcuts.
  if ((event->modifiers() & Qt::ControlModifier) && listed(table.controlClear, event->key())) return false;
  if (!isWindowCommandKey(widget, event)) return false;
  event->ignore();
  return true;
}

bool takesTab(const Table& table) { return listed(table.plainHandOn, Qt::Key_Tab); }

}  // namespace DvKeyRule
