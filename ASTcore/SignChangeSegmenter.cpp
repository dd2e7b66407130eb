#include "SignChangeSegmenter.h"

SignChangeSegmenter::SignChangeSegmenter(std::vector<std::uint64_t>& out, std::uint8_t mode)
    : mode(mode), out(out) {
  out.clear();
}

void SignChangeSegmenter::push(float x) {
  if (mode == 0) {
    if (x > last && last * x < 0.0f) {
      out.push_back(counter);
      lastIndex = counter;
    }
    if (x != 0.0f) last = x;
    ++counter;
    return;
  }

  if (x == 0.0f) {
    changePending = false;
    zeroSeen = true;
  } else {
    if (last * x < 0.0f) changePending = true;
    if (changePending && counter > 0) {
      const std::uint64_t i = counter - 1;
      if (out.empty() || i - lastIndex > kMergeDistance) {
        out.push_back(i);
      } else {
        out.back() = i;
      }
      lastIndex = i;
    }
    // The zero run has now been answered by a non-zero sample; keeping the
    // flag would mark every later sample as a change.
    zeroSeen = false;
  }
  last = x;
  changePending = zeroSeen;
  ++counter;
}
