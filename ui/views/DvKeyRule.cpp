#include "DvKeyRule.h"

#include <QCoreApplication>

#include <algorithm>

namespace DvKeyRule {

namespace {

bool listed(std::initializer_list<int> keys, int key) {
  return std::find(keys.begin(), keys.end(), key) != keys.end();
}

}  // namespace

void handOn(QWidget* widget, QKeyEvent* event) {
  event->ignore();
  if (QObject* parent = widget->parent()) QCoreApplication::sendEvent(parent, event);
}

bool apply(QWidget* widget, QKeyEvent* event, const Table& table) {
  const int key = event->key();
  if (event->modifiers() & Qt::ControlModifier) {
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

bool takesTab(const Table& table) { return listed(table.plainHandOn, Qt::Key_Tab); }

}  // namespace DvKeyRule
