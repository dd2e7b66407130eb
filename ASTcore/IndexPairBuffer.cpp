#include "IndexPairBuffer.h"

IndexPairBuffer::IndexPairBuffer(std::int64_t n) : n(n) {
  if (n > 0) {
    history.assign(static_cast<std::size_t>(n), 0.0f);
    queue.assign(static_cast<std::size_t>(n), 0.0f);
  }
}

IndexPairBuffer::~IndexPairBuffer() = default;

float IndexPairBuffer::pushAverage(bool warmUp, float a, float b) {
  const float mid = (a + b) / 2.0f;
  if (n <= 0) return mid;

  const float queued = warmUp ? b : static_cast<float>(historySum / static_cast<double>(n));
  const float out = queue[head];
  queue[head] = queued;

  historySum += static_cast<double>(mid) - static_cast<double>(history[head]);
  history[head] = mid;

  if (++head == history.size()) head = 0;
  return out;
}
