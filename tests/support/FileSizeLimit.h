#pragma once
// Makes every write of this process past `bytes` of a file fail, as a full
// disk would fail it, for as long as the object lives. The write returns an
// error (EFBIG) instead of raising SIGXFSZ.

#include <sys/resource.h>

#include <csignal>

class FileSizeLimit {
 public:
  explicit FileSizeLimit(rlim_t bytes) {
    previousHandler = std::signal(SIGXFSZ, SIG_IGN);
    getrlimit(RLIMIT_FSIZE, &previous);
    rlimit limited = previous;
    limited.rlim_cur = bytes;
    set = setrlimit(RLIMIT_FSIZE, &limited) == 0;
  }
  ~FileSizeLimit() {
    setrlimit(RLIMIT_FSIZE, &previous);
    std::signal(SIGXFSZ, previousHandler);
  }
  FileSizeLimit(const FileSizeLimit&) = delete;
  FileSizeLimit& operator=(const FileSizeLimit&) = delete;

  // Whether the limit is in force: a test that relies on it checks.
  bool holds() const { return set; }

 private:
  bool set = false;
  rlimit previous{};
  void (*previousHandler)(int) = nullptr;
};
