#pragma once
// Collects Qt's connection warnings ("QObject::connect: No such slot ...")
// while it lives, so a test can fail on any connection that did not resolve.
// Patterns passed to the constructor are expected warnings and not counted.

#include <QMutex>
#include <QString>
#include <QStringList>
#include <QtGlobal>

class QtWarningGuard {
 public:
  explicit QtWarningGuard(QStringList allowed = {}) {
    QMutexLocker lock(&mutex());
    allowedList() = std::move(allowed);
    seenList().clear();
    previous() = qInstallMessageHandler(&QtWarningGuard::handle);
  }
  ~QtWarningGuard() { qInstallMessageHandler(previous()); }
  QtWarningGuard(const QtWarningGuard&) = delete;
  QtWarningGuard& operator=(const QtWarningGuard&) = delete;

  // The connection warnings seen so far that no allowed pattern covers.
  QStringList connectionWarnings() const {
    QMutexLocker lock(&mutex());
    return seenList();
  }

 private:
  static void handle(QtMsgType type, const QMessageLogContext& context, const QString& message) {
    // Qt follows each refused connection with "(sender name: ...)" and
    // "(receiver name: ...)" lines; only the warning itself is counted.
    const bool detail = message.contains(QLatin1String(":  ("));
    if (type == QtWarningMsg && !detail &&
        (message.contains("QObject::connect") || message.contains("QObject::disconnect"))) {
      QMutexLocker lock(&mutex());
      bool allowed = false;
      for (const QString& pattern : allowedList()) allowed = allowed || message.contains(pattern);
      if (!allowed) seenList().append(message);
    }
    if (QtMessageHandler next = previous()) next(type, context, message);
  }
  static QMutex& mutex() {
    static QMutex m;
    return m;
  }
  static QStringList& allowedList() {
    static QStringList list;
    return list;
  }
  static QStringList& seenList() {
    static QStringList list;
    return list;
  }
  static QtMessageHandler& previous() {
    static QtMessageHandler handler = nullptr;
    return handler;
  }
};
