#include "FocusReturn.h"

FocusReturn::FocusReturn(QWidget* window) : window(window), focused(window ? window->focusWidget() : nullptr) {}

FocusReturn::~FocusReturn() {
  if (!window || !window->isVisible()) return;
  // The window system answers with the activation; the focus widget set
  // below takes the keys from then on.
  window->activateWindow();
  if (focused && focused->isVisible() && focused->isEnabled() && window->isAncestorOf(focused))
    focused->setFocus(Qt::ActiveWindowFocusReason);
}
