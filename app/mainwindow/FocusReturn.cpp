#include "FocusReturn.h"

#include <QApplication>
#include <QTimer>

namespace {

// Longer than the toolkit waits, once a window of ours lost the keyboard,
// for a focus event before it counts no window active; timers fire in the
// order they fall due, so this look comes after that wait has run out.
constexpr int kAfterFocusGrace = 250;

}  // namespace

FocusReturn::FocusReturn(QWidget* window) : window(window), focused(window ? window->focusWidget() : nullptr) {}

FocusReturn::~FocusReturn() {
  if (!window || !window->isVisible()) return;
  // The window system answers with the activation; the focus widget set
  // below takes the keys from then on.
  window->activateWindow();
  if (focused && focused->isVisible() && focused->isEnabled() && window->isAncestorOf(focused))
    focused->setFocus(Qt::ActiveWindowFocusReason);
  // A window manager that had the window active all along (the dialog was
  // never a window of its own for it) has no focus event to answer with.
  // The toolkit, which counted the dialog active meanwhile, then gives up
  // waiting for one and counts no window active: the keys reach the window
  // with no shortcut and no focus widget to take them. Nothing else of ours
  // can be active once the dialog is gone; the window takes the record
  // back, with its focus widget. A focus event that does come (the user
  // went to another program) corrects the record as usual.
  QWidget* const target = window;
  QTimer::singleShot(kAfterFocusGrace, target, [target] {
    if (!QApplication::activeWindow() && target->isVisible()) QApplication::setActiveWindow(target);
  });
}
