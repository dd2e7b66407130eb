#pragma once
// Runs independent pieces of work on several threads at once.

#include <cstddef>
#include <functional>

// Calls work(k) once for every k = 0 .. count-1, on up to `threads` threads
// (the calling thread among them), handing the indices out in rising order;
// returns when every call has returned. With one thread, or one index, all
// calls run on the calling thread in order. `work` must not throw, and calls
// for different indices must not change anything they share.
void runSideBySide(std::size_t count, unsigned threads, const std::function<void(std::size_t)>& work);

// The processors this process may run on (its affinity mask), at least 1.
unsigned processorsAvailable();
