#pragma once
// A key pressed as the window system delivers it: Qt first offers the key
// to the focused widget as a shortcut override, then to the shortcuts of
// the active window, and only a key no shortcut takes arrives at the
// focused widget as a press and a release. (Qt's own test key clicks take
// the same road, through the same exported entry of Qt GUI.)

#include <QApplication>
#include <QKeyEvent>
#include <QString>
#include <QWidget>

Q_GUI_EXPORT bool qt_sendShortcutOverrideEvent(QObject* o, ulong timestamp, int k, Qt::KeyboardModifiers mods,
                                               const QString& text, bool autorep, ushort count);

namespace KeyboardPress {

// Presses and releases `key` on the focused widget (the active window when
// nothing has the focus). True when a shortcut of the window took it.
inline bool press(int key, Qt::KeyboardModifiers modifiers = Qt::NoModifier, const QString& text = QString()) {
  QWidget* target = QApplication::focusWidget();
  if (!target) target = QApplication::activeWindow();
  if (!target) return false;
  if (qt_sendShortcutOverrideEvent(target, 0, key, modifiers, text, false, 1)) return true;
  QKeyEvent down(QEvent::KeyPress, key, modifiers, text);
  QApplication::sendEvent(target, &down);
  QWidget* now = QApplication::focusWidget() ? QApplication::focusWidget() : target;
  QKeyEvent up(QEvent::KeyRelease, key, modifiers, text);
  QApplication::sendEvent(now, &up);
  return false;
}

// Types digits (and "/" or ".") one key at a time.
inline void type(const QString& text) {
  for (const QChar c : text) {
    int key = Qt::Key_0 + (c.unicode() - '0');
    if (c == '/') key = Qt::Key_Slash;
    if (c == '.') key = Qt::Key_Period;
    press(key, Qt::NoModifier, QString(c));
  }
}

}  // namespace KeyboardPress
