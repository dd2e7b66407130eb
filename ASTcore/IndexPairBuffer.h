#pragma once
// A delayed moving average over pairs of values, the smoothing stage of the
// zero-crossing scan: each call stores the midpoint of its pair and returns
// what was queued n calls earlier, so the output lags the input by exactly
// n calls and the first n results are zero.

#include <cstdint>
#include <vector>

class IndexPairBuffer {
 public:
  // n <= 0 makes a pass-through that returns the midpoint of each pair.
  explicit IndexPairBuffer(std::int64_t n);
  ~IndexPairBuffer();

  IndexPairBuffer(const IndexPairBuffer&) = delete;
  IndexPairBuffer& operator=(const IndexPairBuffer&) = delete;

  // Records (a + b) / 2 and queues, for the call n calls from now, either b
  // (warmUp set: the window is not yet full of real data) or the mean of the
  // n midpoints recorded before this one. Returns the value queued n calls
  // earlier.
  float pushAverage(bool warmUp, float a, float b);

 private:
  std::int64_t n;
  // Both hold the last n values in rings; `head` is the slot of the oldest,
  // which the current call replaces.
  std::vector<float> history;
  std::vector<float> queue;
  std::size_t head = 0;
  // Sum of `history`. The core feeds midpoints of 16-bit samples (multiples
  // of 0.5), which a double adds and removes without rounding.
  double historySum = 0.0;
};
