#include "SideBySide.h"

#include <sched.h>

#include <algorithm>
#include <atomic>
#include <thread>
#include <vector>

void runSideBySide(std::size_t count, unsigned threads, const std::function<void(std::size_t)>& work) {
  std::atomic<std::size_t> next{0};
  auto drain = [&] {
    for (std::size_t k = next++; k < count; k = next++) work(k);
  };
  const std::size_t helpers = std::min<std::size_t>(threads > 0 ? threads - 1 : 0, count > 0 ? count - 1 : 0);
  std::vector<std::thread> pool;
  try {
    pool.reserve(helpers);
    for (std::size_t h = 0; h < helpers; ++h) pool.emplace_back(drain);
  } catch (...) {
    // Fewer threads than asked for: the ones running take the rest.
  }
  drain();
  for (std::thread& thread : pool) thread.join();
}

unsigned processorsAvailable() {
  cpu_set_t set;
  CPU_ZERO(&set);
  if (sched_getaffinity(0, sizeof(set), &set) == 0) {
    const int count = CPU_COUNT(&set);
    if (count > 0) return static_cast<unsigned>(count);
  }
  return std::max(1u, std::thread::hardware_concurrency());
}
