// Work handed out to several threads: every index once, the order kept on
// one thread, and the processor count taken from what this process may use.

#include <gtest/gtest.h>

#include <sched.h>

#include <atomic>
#include <mutex>
#include <set>
#include <thread>
#include <vector>

#include "SideBySide.h"

TEST(SideBySide, EveryIndexRunsOnceWhateverTheThreadCount) {
  for (std::size_t count : {0u, 1u, 5u, 100u}) {
    for (unsigned threads : {0u, 1u, 3u, 8u}) {
      std::vector<std::atomic<int>> calls(count);
      std::mutex guard;
      std::set<std::thread::id> seen;
      runSideBySide(count, threads, [&](std::size_t k) {
        ++calls[k];
        const std::lock_guard<std::mutex> lock(guard);
        seen.insert(std::this_thread::get_id());
      });
      for (std::size_t k = 0; k < count; ++k) EXPECT_EQ(calls[k].load(), 1) << count << " on " << threads << ": " << k;
      EXPECT_LE(seen.size(), std::max(1u, threads)) << count << " on " << threads;
    }
  }
}

TEST(SideBySide, OneThreadRunsInOrderOnTheCallingThread) {
  std::vector<std::size_t> order;
  const std::thread::id caller = std::this_thread::get_id();
  bool elsewhere = false;
  runSideBySide(6, 1, [&](std::size_t k) {
    order.push_back(k);
    elsewhere = elsewhere || std::this_thread::get_id() != caller;
  });
  EXPECT_EQ(order, (std::vector<std::size_t>{0, 1, 2, 3, 4, 5}));
  EXPECT_FALSE(elsewhere);
}

TEST(SideBySide, ProcessorsAreThoseTheProcessMayRunOn) {
  cpu_set_t all;
  CPU_ZERO(&all);
  ASSERT_EQ(sched_getaffinity(0, sizeof(all), &all), 0);
  EXPECT_EQ(processorsAvailable(), static_cast<unsigned>(CPU_COUNT(&all)));
  int first = 0;
  while (!CPU_ISSET(first, &all)) ++first;
  cpu_set_t one;
  CPU_ZERO(&one);
  CPU_SET(first, &one);
  ASSERT_EQ(sched_setaffinity(0, sizeof(one), &one), 0);
  EXPECT_EQ(processorsAvailable(), 1u) << "a machine of many processors, of which this process may use one";
  ASSERT_EQ(sched_setaffinity(0, sizeof(all), &all), 0);
}
