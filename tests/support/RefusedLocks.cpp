#include "RefusedLocks.h"

#include <sys/file.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>

namespace {

std::atomic<int> gError{0};
std::atomic<int> gLeft{0};
std::atomic<int> gRefused{0};

}  // namespace

// Takes the place of the C library's flock in the test program; passes
// every call on to the system unless a RefusedLocks is alive.
extern "C" int flock(int fd, int operation) {
  const int error = gError.load();
  if (error != 0 && gLeft.load() != 0) {
    if (gLeft.load() > 0) --gLeft;
    ++gRefused;
    errno = error;
    return -1;
  }
  return static_cast<int>(syscall(SYS_flock, fd, operation));
}

RefusedLocks::RefusedLocks(int error, int times) {
  gRefused = 0;
  gLeft = times;
  gError = error;
}

RefusedLocks::~RefusedLocks() { gError = 0; }

int RefusedLocks::refused() const { return gRefused.load(); }
