#include "QuitOnSignal.h"

#include <sys/socket.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QSocketNotifier>

#include <atomic>
#include <cerrno>
#include <iterator>

namespace {

// What the handler may touch: a lock-free atomic and a sig_atomic_t.
std::atomic<int> gWriteFd{-1};
volatile std::sig_atomic_t gSignal = 0;

extern "C" void onQuitSignal(int number) {
  const int saved = errno;
  gSignal = number;
  const int fd = gWriteFd.load(std::memory_order_relaxed);
  if (fd >= 0) {
    const auto byte = static_cast<unsigned char>(number);
    // Non-blocking: with the socket full, a quit is already on its way.
    if (::write(fd, &byte, 1) < 0) {
    }
  }
  errno = saved;
}

}  // namespace

QuitOnSignal::QuitOnSignal() {
  gSignal = 0;
  if (socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0, fds) != 0) fds[0] = fds[1] = -1;
  gWriteFd.store(fds[0]);
  struct sigaction action {};
  action.sa_handler = onQuitSignal;
  sigemptyset(&action.sa_mask);
  for (int number : kSignals) sigaddset(&action.sa_mask, number);
  // The second signal of a kind is not caught: it ends a quit that hangs.
  action.sa_flags = SA_RESTART | SA_RESETHAND;
  for (std::size_t i = 0; i < std::size(kSignals); ++i) {
    // A signal ignored from the start is the starter's wish: nohup ignores
    // SIGHUP so the run outlives its terminal, a shell ignores SIGINT in a
    // job it starts in the background. Caught, it would end that run and
    // lose its unsaved work.
    if (sigaction(kSignals[i], nullptr, &previous[i]) != 0 || previous[i].sa_handler == SIG_IGN) continue;
    sigaction(kSignals[i], &action, nullptr);
  }
}

QuitOnSignal::~QuitOnSignal() {
  stopListening();
  for (std::size_t i = 0; i < std::size(kSignals); ++i) sigaction(kSignals[i], &previous[i], nullptr);
  gWriteFd.store(-1);
  for (int fd : fds) {
    if (fd >= 0) ::close(fd);
  }
}

void QuitOnSignal::listen() {
  if (fds[1] < 0 || notifier) return;
  notifier = std::make_unique<QSocketNotifier>(fds[1], QSocketNotifier::Read);
  connect(notifier.get(), &QSocketNotifier::activated, this, &QuitOnSignal::readSignal);
}

void QuitOnSignal::stopListening() { notifier.reset(); }

bool QuitOnSignal::requested() const { return gSignal != 0; }

int QuitOnSignal::exitCode() const { return 128 + gSignal; }

void QuitOnSignal::readSignal() {
  unsigned char bytes[16];
  while (::read(fds[1], bytes, sizeof bytes) > 0) {
  }
  // Ends every event loop of the GUI thread, the modal ones inside the main
  // loop too; loops started after this return at once, so no question is
  // put to the user on the way out.
  QCoreApplication::exit(exitCode());
}
