#include "DvWidgets.h"

#include "DvKeyRule.h"

namespace {

using DvKeyRule::kRedo;
using DvKeyRule::kSelectAll;
using DvKeyRule::kUndo;

const DvKeyRule::Table kLineEdit{{kSelectAll, kRedo, kUndo}, {Qt::Key_Escape}, {Qt::Key_Tab, Qt::Key_Space}, true};
const DvKeyRule::Table kSpinBox{{kSelectAll, kRedo, kUndo}, {Qt::Key_Escape}, {Qt::Key_Enter, Qt::Key_Space}, true};
const DvKeyRule::Table kComboBox{{kRedo, kUndo}, {Qt::Key_Escape}, {Qt::Key_Space}};
const DvKeyRule::Table kButton{{kRedo, kUndo}, {Qt::Key_Escape}, {Qt::Key_Tab, Qt::Key_Space}};
const DvKeyRule::Table kTextEdit{{kRedo, kUndo}, {Qt::Key_Escape, Qt::Key_Tab, Qt::Key_Space}, {}};

// A plain Tab press goes straight to keyPressEvent instead of Qt's focus
// chain, so the widget's rule decides about it.
bool isPlainTab(QEvent* event) {
  if (event->type() != QEvent::KeyPress) return false;
  auto* key = static_cast<QKeyEvent*>(event);
  return key->key() == Qt::Key_Tab && !(key->modifiers() & (Qt::ControlModifier | Qt::AltModifier));
}

// A shortcut override for a key of one of the window's commands: the
// field leaves it to the window (see DvKeyRule::leaveShortcutToWindow).
bool leftToWindow(QWidget* widget, QEvent* event, const DvKeyRule::Table& table) {
  return event->type() == QEvent::ShortcutOverride &&
         DvKeyRule::leaveShortcutToWindow(widget, static_cast<QKeyEvent*>(event), table);
}

}  // namespace

bool DvLineEdit::event(QEvent* event) {
  if (leftToWindow(this, event, kLineEdit)) return true;
  if (isPlainTab(event)) {
    keyPressEvent(static_cast<QKeyEvent*>(event));
    return true;
  }
  return QLineEdit::event(event);
}

void DvLineEdit::keyPressEvent(QKeyEvent* event) {
  if (!DvKeyRule::apply(this, event, kLineEdit)) QLineEdit::keyPressEvent(event);
}

bool DvSpinBox::event(QEvent* event) {
  if (leftToWindow(this, event, kSpinBox)) return true;
  return QSpinBox::event(event);
}

void DvSpinBox::keyPressEvent(QKeyEvent* event) {
  if (!DvKeyRule::apply(this, event, kSpinBox)) QAbstractSpinBox::keyPressEvent(event);
}

bool DvDoubleSpinBox::event(QEvent* event) {
  if (leftToWindow(this, event, kSpinBox)) return true;
  return QDoubleSpinBox::event(event);
}

void DvDoubleSpinBox::keyPressEvent(QKeyEvent* event) {
  if (!DvKeyRule::apply(this, event, kSpinBox)) QAbstractSpinBox::keyPressEvent(event);
}

void DvComboBox::keyPressEvent(QKeyEvent* event) {
  if (!DvKeyRule::apply(this, event, kComboBox)) QComboBox::keyPressEvent(event);
}

bool DvCheckBox::event(QEvent* event) {
  if (isPlainTab(event)) {
    keyPressEvent(static_cast<QKeyEvent*>(event));
    return true;
  }
  return QCheckBox::event(event);
}

void DvCheckBox::keyPressEvent(QKeyEvent* event) {
  if (!DvKeyRule::apply(this, event, kButton)) QAbstractButton::keyPressEvent(event);
}

bool DvPushButton::event(QEvent* event) {
  if (isPlainTab(event)) {
    keyPressEvent(static_cast<QKeyEvent*>(event));
    return true;
  }
  return QPushButton::event(event);
}

void DvPushButton::keyPressEvent(QKeyEvent* event) {
  if (!DvKeyRule::apply(this, event, kButton)) QPushButton::keyPressEvent(event);
}

bool DvTextEdit::event(QEvent* event) {
  if (leftToWindow(this, event, kTextEdit)) return true;
  if (isPlainTab(event)) {
    keyPressEvent(static_cast<QKeyEvent*>(event));
    return true;
  }
  return QTextEdit::event(event);
}

void DvTextEdit::keyPressEvent(QKeyEvent* event) {
  if (!DvKeyRule::apply(this, event, kTextEdit)) QTextEdit::keyPressEvent(event);
}
