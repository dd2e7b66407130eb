#include "DvFrame.h"

#include <QCoreApplication>
#include <QMouseEvent>

void DvFrame::mouseMoveEvent(QMouseEvent* event) {
  if (!mMouseTarget) return;
  const QPoint local = event->localPos().toPoint();  // rounds half away from zero
  const QPoint target = mMouseTarget->mapFromGlobal(mapToGlobal(local));
  QMouseEvent forwarded(event->type(), QPointF(target), event->button(), event->buttons(), event->modifiers());
  QCoreApplication::sendEvent(mMouseTarget, &forwarded);
}
