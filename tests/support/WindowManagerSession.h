#pragma once
// A desktop of its own for a test: a virtual X server (Xvfb, on a display
// number it picks itself, so parallel tests never meet), the openbox window
// manager on it, and xdotool to press keys and find windows the way a user's
// keyboard and eyes would. What only a real window system shows (which
// window the keys reach after dialogs close) needs all three; the offscreen
// platform and a bare X server hide it.

#include <QElapsedTimer>
#include <QProcess>
#include <QProcessEnvironment>
#include <QStandardPaths>
#include <QString>
#include <QStringList>
#include <QThread>

#include <functional>
#include <memory>

class WindowManagerSession {
 public:
  // The programs the session runs, for the message of a test that cannot
  // start (scripts/setup installs them).
  static QString missingPrograms() {
    QStringList missing;
    for (const char* program : {"Xvfb", "openbox", "xdotool"})
      if (QStandardPaths::findExecutable(program).isEmpty()) missing << program;
    return missing.join(' ');
  }

  WindowManagerSession() {
    server.start("Xvfb", {"-displayfd", "1", "-screen", "0", "1280x1024x24", "-nolisten", "tcp"});
    QByteArray said;
    QElapsedTimer clock;
    clock.start();
    while (!said.contains('\n') && clock.elapsed() < 30000 && server.waitForReadyRead(1000))
      said += server.readAllStandardOutput();
    if (!said.contains('\n')) return;
    display = ":" + QString::fromLatin1(said.trimmed());
    manager.setProcessEnvironment(environment());
    manager.start("openbox", {"--sm-disable"});
    if (!manager.waitForStarted(10000)) display.clear();
  }

  ~WindowManagerSession() {
    for (QProcess* process : {&manager, &server}) {
      process->terminate();
      if (!process->waitForFinished(5000)) {
        process->kill();
        process->waitForFinished(5000);
      }
    }
  }

  WindowManagerSession(const WindowManagerSession&) = delete;
  WindowManagerSession& operator=(const WindowManagerSession&) = delete;

  bool started() const { return !display.isEmpty(); }

  // The test's environment with this display and the X platform.
  QProcessEnvironment environment() const {
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("DISPLAY", display);
    env.insert("QT_QPA_PLATFORM", "xcb");
    // Qt's own file dialog, whatever desktop the test runs on.
    env.insert("QT_QPA_PLATFORMTHEME", "");
    return env;
  }

  // Runs xdotool with `arguments`; what it printed, trimmed (empty when it
  // failed, as a search that finds nothing does).
  QString xdotool(const QStringList& arguments) const {
    QProcess tool;
    tool.setProcessEnvironment(environment());
    tool.start("xdotool", arguments);
    if (!tool.waitForFinished(20000) || tool.exitStatus() != QProcess::NormalExit || tool.exitCode() != 0) return {};
    return QString::fromLocal8Bit(tool.readAllStandardOutput()).trimmed();
  }

  // The first visible window whose title matches `pattern`, waited for up to
  // `ms`; empty when none came.
  QString waitForWindow(const QString& pattern, int ms) const {
    QString found;
    waitUntil([&] { return !(found = visibleWindow(pattern)).isEmpty(); }, ms);
    return found;
  }

  QString visibleWindow(const QString& pattern) const {
    return xdotool({"search", "--onlyvisible", "--name", pattern}).section('\n', 0, 0);
  }

  // Polls `done` every 100 ms for up to `ms`; whether it came true.
  static bool waitUntil(const std::function<bool()>& done, int ms) {
    QElapsedTimer clock;
    clock.start();
    while (!done()) {
      if (clock.elapsed() > ms) return false;
      QThread::msleep(100);
    }
    return true;
  }

 private:
  QProcess server;
  QProcess manager;
  QString display;
};
