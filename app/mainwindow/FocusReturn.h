#pragma once
// Hands the keyboard back to a window after a modal dialog the window system
// gave the keyboard to. The analysis progress dialog is a frameless window
// that takes the input focus while it is up; once hidden, the window system
// leaves the focus nowhere, and every key and shortcut of the window is lost
// until the user clicks into it. Under a window manager that kept the
// window active through the dialog, no focus event comes back at all. Made
// before the dialog, its destructor makes the window active again, in Qt's
// record too, and puts the focus back where it was.

#include <QPointer>
#include <QWidget>

class FocusReturn {
 public:
  explicit FocusReturn(QWidget* window);
  ~FocusReturn();
  FocusReturn(const FocusReturn&) = delete;
  FocusReturn& operator=(const FocusReturn&) = delete;

 private:
  QPointer<QWidget> window;
  QPointer<QWidget> focused;
};
