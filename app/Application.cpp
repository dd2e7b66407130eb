#include "Application.h"

#include <QEvent>

Application::Application(int& argc, char** argv) : CappApplicationBase(argc, argv) {}

Application::~Application() = default;

bool Application::event(QEvent* event) {
  if (event->type() != QEvent::FileOpen) return CappApplicationBase::event(event);
  deliverFileOpenEvent(event);
  return event->isAccepted();
}

void Application::deliverFileOpenEvent(QEvent* event) {
  event->ignore();
  if (!fileOpenReceiver) return;
  // sendEvent clears the spontaneous flag: the receiver sees a program event.
  QCoreApplication::sendEvent(fileOpenReceiver, event);
}
