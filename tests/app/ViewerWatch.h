#pragma once
// Waits for the time-stretch result viewer to come up modally, lets the
// test look at it (and pump the output), and closes it as the user's close
// button would.

#include <QApplication>
#include <QPointer>
#include <QTimer>

#include <functional>

#include "TimeStretchWindow.h"

class ViewerWatch {
 public:
  explicit ViewerWatch(std::function<void(TimeStretchWindow&)> look) : look(std::move(look)) {
    QObject::connect(&timer, &QTimer::timeout, [this] {
      auto* viewer = qobject_cast<TimeStretchWindow*>(QApplication::activeModalWidget());
      if (!viewer || viewer == last) return;
      last = viewer;
      ++opened;
      this->look(*viewer);
      viewer->close();
    });
    timer.start(10);
  }

  int opened = 0;

 private:
  std::function<void(TimeStretchWindow&)> look;
  QTimer timer;
  // Tracks the viewer itself, not its address: a later viewer may be built
  // where the last one was freed, and must still count as a new one.
  QPointer<TimeStretchWindow> last;
};
