#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <vector>

#include "MagnitudeSums.h"

// The sums against a plain loop over the bins, for bin counts that leave
// every remainder of the wide steps, on spectra of very different sizes.
TEST(MagnitudeSums, MatchAPlainLoopForEveryBinCount) {
  std::mt19937 gen(5);
  std::uniform_real_distribution<float> value(-1.0f, 1.0f);
  for (const int bins : {1, 3, 7, 8, 9, 15, 16, 17, 31, 33, 1024, 1031}) {
    for (const float scale : {1e-3f, 1.0f, 3e6f}) {
      std::vector<float> packed(2 * static_cast<std::size_t>(bins));
      for (float& v : packed) v = scale * value(gen);
      double sum = 0.0, squares = 0.0;
      for (int k = 0; k < bins; ++k) {
        const float power = packed[2 * k] * packed[2 * k] + packed[2 * k + 1] * packed[2 * k + 1];
        const double m = std::sqrt(power);
        sum += m;
        squares += m * m;
      }
      const MagnitudeSums got = magnitudeSums(packed.data(), bins);
      EXPECT_NEAR(got.sum, sum, 1e-12 * sum) << bins << " bins at " << scale;
      EXPECT_NEAR(got.squares, squares, 1e-12 * squares) << bins << " bins at " << scale;
    }
  }
}

TEST(MagnitudeSums, SilenceSumsToZero) {
  const std::vector<float> packed(2048, 0.0f);
  const MagnitudeSums got = magnitudeSums(packed.data(), 1024);
  EXPECT_EQ(got.sum, 0.0);
  EXPECT_EQ(got.squares, 0.0);
}
