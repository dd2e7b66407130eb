#include <gtest/gtest.h>

#include <cstdint>
#include <random>
#include <vector>

#include "FrameCut.h"

// Every product equals the one rounding of the exact product, whatever the
// length leaves over from the vector steps, the extreme samples included.
TEST(FrameCut, EqualsTheSampleByWindowProductAtEveryLength) {
  std::mt19937 gen(7);
  for (const int length : {1, 7, 8, 9, 15, 16, 17, 31, 33, 2048}) {
    std::vector<std::int16_t> samples(length);
    std::vector<float> window(length), out(length, -1.0f);
    for (int i = 0; i < length; ++i) {
      samples[i] = static_cast<std::int16_t>(static_cast<int>(gen() % 65536) - 32768);
      window[i] = static_cast<float>(gen() % 1000003) / 1000003.0f;
    }
    samples[0] = -32768;
    samples[length - 1] = 32767;
    cutFrame(samples.data(), window.data(), length, out.data());
    for (int i = 0; i < length; ++i) {
      EXPECT_EQ(out[i], static_cast<float>(static_cast<double>(samples[i]) * window[i])) << length << ", " << i;
    }
  }
}
