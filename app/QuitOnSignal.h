#pragma once
// SIGTERM, SIGINT and SIGHUP end the program as an orderly quit: the event
// loops end (no question about unsaved work is asked), the window is torn
// down and the work folder removed, as after a normal exit; the exit code
// is 128 + the signal's number. The signal handler only writes the signal's
// number into a socket pair; the reading end wakes the Qt event loop, which
// does the rest. After the first of them, a signal of that kind ends the
// process at once (a second Ctrl+C when the quit takes too long). A signal
// that was ignored when the program started (nohup, a job started in the
// background) stays ignored.
//
// One object at a time, for the program's run: signal dispositions belong
// to the whole process.

#include <QObject>

#include <csignal>
#include <iterator>
#include <memory>

class QSocketNotifier;

class QuitOnSignal : public QObject {
 public:
  // Installs the handlers; a signal that comes before listen() is kept.
  QuitOnSignal();
  // Puts the previous handlers back.
  ~QuitOnSignal() override;
  QuitOnSignal(const QuitOnSignal&) = delete;
  QuitOnSignal& operator=(const QuitOnSignal&) = delete;

  // From now on a signal ends the event loops of the application object,
  // which must exist; stopListening() before it is destroyed.
  void listen();
  void stopListening();

  // Whether a quit signal came, and the exit code it asks for.
  bool requested() const;
  int exitCode() const;

  static constexpr int kSignals[] = {SIGTERM, SIGINT, SIGHUP};

 private:
  void readSignal();

  int fds[2] = {-1, -1};
  struct sigaction previous[std::size(kSignals)] = {};
  std::unique_ptr<QSocketNotifier> notifier;
};
