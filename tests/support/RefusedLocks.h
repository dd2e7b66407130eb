#pragma once
// Makes flock(2) of this process fail with the given error for as long as
// the object lives, as a file system without a lock service refuses it
// (ENOLCK on NFS without lockd), or as a lock held elsewhere answers
// (EWOULDBLOCK). `times` limits the refusals to the first calls; -1 refuses
// every one. A test program that uses it has its flock calls go through the
// test support (the program's own code is linked in, not loaded).

class RefusedLocks {
 public:
  explicit RefusedLocks(int error, int times = -1);
  ~RefusedLocks();
  RefusedLocks(const RefusedLocks&) = delete;
  RefusedLocks& operator=(const RefusedLocks&) = delete;

  // How many calls were refused.
  int refused() const;
};
