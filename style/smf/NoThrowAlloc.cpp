#include "NoThrowAlloc.h"

namespace NoThrowAlloc {

namespace {
thread_local unsigned gCountdown = 0;
thread_local bool gSticky = false;
thread_local bool gFailing = false;
}  // namespace

void FailAfter(unsigned n, bool sticky) {
  gCountdown = n;
  gSticky = sticky;
  gFailing = false;
}

bool InjectedFailure() {
  if (gFailing) return gSticky;
  if (gCountdown == 0) return false;
  if (--gCountdown == 0) {
    gFailing = true;
    return true;
  }
  return false;
}

}  // namespace NoThrowAlloc
