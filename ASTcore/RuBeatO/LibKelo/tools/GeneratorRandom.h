#pragma once
// The generator's random numbers: MT19937-64 with our own conversions, so a
// seed gives the same model with any standard library.

#include <cmath>
#include <cstdint>
#include <random>

namespace kelomodel {

class GeneratorRandom {
 public:
  explicit GeneratorRandom(std::uint64_t seed) : engine_(seed) {}

  // Uniform in [0, 1).
  double uniform() { return double(engine_() >> 11) * (1.0 / 9007199254740992.0); }
  double uniform(double low, double high) { return low + (high - low) * uniform(); }
  // Uniform integer in [0, n).
  int below(int n) { return int(uniform() * n); }
  bool chance(double p) { return uniform() < p; }
  double normal() {
    const double u1 = 1.0 - uniform(), u2 = uniform();
    return std::sqrt(-2.0 * std::log(u1)) * std::cos(6.283185307179586 * u2);
  }
  std::uint64_t next() { return engine_(); }

 private:
  std::mt19937_64 engine_;
};

}  // namespace kelomodel
