#include "CappApplicationPrivate_linux.h"

#include <QCoreApplication>
#include <QFileOpenEvent>

namespace FusionStyle {

CappApplicationPrivate_linux::CappApplicationPrivate_linux(int& argc, char** argv) {
  // A name that does not exist is kept too: the route that opens it says
  // that it cannot be opened, where dropping it left the user without a word.
  for (int i = 1; i < argc; ++i) fileList.append(QString::fromUtf8(argv[i]));
}

bool CappApplicationPrivate_linux::nativeEventFilter(const QByteArray&, void*, long*) { return false; }

bool CappApplicationPrivate_linux::sendFileOpenEvents() {
  QCoreApplication::sendPostedEvents(nullptr, 0);
  const QStringList files = fileList;
  for (const QString& name : files) {
    QFileOpenEvent event(name);
    // Qt keeps spontaneous delivery to itself; the route below does not
    // depend on the flag, so an ordinary synchronous send serves.
    QCoreApplication::sendEvent(QCoreApplication::instance(), &event);
  }
  fileList.clear();
  return true;
}

}  // namespace FusionStyle
