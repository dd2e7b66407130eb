#pragma once
// One point of the engine's time map: the stretch ratio that holds from an
// input sample on, until the next point.

#include <cstdint>

struct TimeMapPoint {
  double ratio = 1.0;      // output duration / input duration from here on
  std::int64_t start = 0;  // first input sample this ratio applies to
};
