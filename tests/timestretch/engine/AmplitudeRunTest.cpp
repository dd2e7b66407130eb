#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <limits>
#include <random>
#include <vector>

#include "AmplitudeRun.h"
#include "BitsOf.h"
#include "LevelAmplitude.h"

namespace {

constexpr float kSilent = -std::numeric_limits<float>::max();

// Levels as spectra hold them, with the clamp's ends, silent bins, the
// infinities and a level a hair above silence among them.
std::vector<float> levels(std::int64_t n, unsigned seed) {
  std::mt19937 gen(seed);
  std::uniform_real_distribution<float> usual(-160.0f, 10.0f);
  std::uniform_real_distribution<float> wide(-7000.0f, 7000.0f);
  const float specials[] = {kSilent, -100.0f, 0.0f, -0.0f, 6080.0f, -6080.0f, 6081.5f, -6081.5f,
                            std::numeric_limits<float>::infinity(), -std::numeric_limits<float>::infinity(),
                            std::nextafter(kSilent, 0.0f), 90.309f};
  std::vector<float> v(static_cast<std::size_t>(n));
  for (std::int64_t k = 0; k < n; ++k)
    v[k] = k % 5 == 3 ? specials[(k / 5) % 12] : (k % 3 ? usual(gen) : wide(gen));
  return v;
}

}  // namespace

// Each copy of the loop against the amplitude taken bin by bin, at every
// length up to 41 (all the tails of two and four bins per vector and of the
// blocks) and a long run with blanked stretches; nothing is written past
// the run.
TEST(AmplitudeRun, EveryCopyGivesTheBitsOfTheSingleBinAmplitude) {
  using Copy = bool (*)(const float*, std::int64_t, float, double*);
  const Copy copies[] = {AmplitudeRun::FromDbTwo, AmplitudeRun::FromDbFour};
  int copiesRun = 0;
  std::vector<std::int64_t> lengths;
  for (std::int64_t n = 0; n <= 41; ++n) lengths.push_back(n);
  lengths.push_back(4097);
  for (std::int64_t n : lengths) {
    std::vector<float> in = levels(n, static_cast<unsigned>(n) + 1);
    // A blanked run, as a band's frame holds outside the band: whole
    // blocks of the silent level, with one NaN (which sounds) among them.
    if (n == 4097) {
      std::fill(in.begin() + 100, in.begin() + 3000, kSilent);
      in[2000] = std::numeric_limits<float>::quiet_NaN();
    }
    for (float silent : {kSilent, -100.0f}) {
      // Bin by bin (the single-bin amplitude has its own test against the
      // library's exponential).
      std::vector<double> expected(static_cast<std::size_t>(n));
      for (std::int64_t k = 0; k < n; ++k) expected[k] = LevelAmplitude::FromDb(in[k], silent);
      auto check = [&](auto&& run, const char* name) {
        std::vector<double> out(static_cast<std::size_t>(n) + 1, -5.0);
        if (!run(out.data())) return;
        for (std::int64_t k = 0; k < n; ++k)
          ASSERT_EQ(BitsOf(out[k]), BitsOf(expected[k])) << name << " n=" << n << " k=" << k << " dB=" << in[k];
        EXPECT_EQ(out[static_cast<std::size_t>(n)], -5.0) << name << " wrote past the run";
      };
      check([&](double* o) { AmplitudeRun::FromDbPlain(in.data(), n, silent, o); return true; }, "plain");
      check([&](double* o) { AmplitudeRun::FromDb(in.data(), n, silent, o); return true; }, "chosen");
      for (Copy copy : copies)
        check([&](double* o) {
          const bool ran = copy(in.data(), n, silent, o);
          copiesRun += ran;
          return ran;
        }, copy == copies[0] ? "two" : "four");
    }
  }
#if defined(__SSE2__)
  EXPECT_GT(copiesRun, 0) << "the two-bin copy exists wherever SSE2 does";
#endif
}
