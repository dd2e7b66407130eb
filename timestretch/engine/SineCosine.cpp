#include "SineCosine.h"

#include <cmath>
#include <cstring>
#include <limits>

namespace SineCosine {

namespace {

std::uint32_t bitsOf(float v) {
  std::uint32_t b;
  std::memcpy(&b, &v, sizeof b);
  return b;
}

float fromBits(std::uint32_t b) {
  float v;
  std::memcpy(&v, &b, sizeof v);
  return v;
}

void computeLibrary(const float* x, std::int64_t n, float* sines, float* cosines) {
  for (std::int64_t i = 0; i < n; ++i) ::sincosf(x[i], &sines[i], &cosines[i]);
}

// Both signs of each value.
void addSigned(std::vector<float>& out, float v) {
  out.push_back(v);
  out.push_back(-v);
}

// v and the `around` floats on either side of it, both signs.
void addNeighbourhood(std::vector<float>& out, float v, int around) {
  std::uint32_t b = bitsOf(v);
  for (int d = -around; d <= around; ++d) {
    const std::int64_t nb = static_cast<std::int64_t>(b) + d;
    if (nb < 0 || nb >= 0x7f800000) continue;
    addSigned(out, fromBits(static_cast<std::uint32_t>(nb)));
  }
}

}  // namespace

std::vector<float> CheckArguments() {
  std::vector<float> out;
  out.reserve(6000);
  constexpr float kInf = std::numeric_limits<float>::infinity();
  // Zero, the subnormals, and the ends of the library's ranges: below 2^-12
  // the sine is the argument itself, below 0.75 no reduction is made,
  // below 120 the reduction is done in double, above it in integers.
  const std::uint32_t edges[] = {0x00000000u, 0x00000001u, 0x00000002u, 0x00400000u, 0x007fffffu,
                                 0x00800000u, 0x00800001u, 0x39800000u, 0x3f400000u, 0x3f800000u,
                                 0x42f00000u, 0x43000000u, 0x4b000000u, 0x7f7fffffu};
  for (std::uint32_t e : edges) addNeighbourhood(out, fromBits(e), 3);
  addSigned(out, kInf);
  addSigned(out, std::numeric_limits<float>::quiet_NaN());
  addSigned(out, std::numeric_limits<float>::signaling_NaN());
  addSigned(out, fromBits(0x7fc12345u));
  // The quadrant changes near odd multiples of pi/4 and the results pass
  // through zero near multiples of pi/2: every multiple below 120.
  const double quarterPi = std::atan(1.0);
  for (int k = 1; k * quarterPi < 121.0; ++k) addNeighbourhood(out, static_cast<float>(k * quarterPi), 4);
  // Where glibc's sincosf without FMA rounds otherwise than with it (all
  // 17 magnitudes below 120), so that a library of that kind is seen even
  // if none of the other arguments showed it.
  const std::uint32_t otherRounding[] = {0x418a3adbu, 0x418a3adcu, 0x418a3addu, 0x418a3adeu, 0x41bc76d9u, 0x4202eb4bu,
                                         0x4255b0a9u, 0x42687a55u, 0x4280ce28u, 0x42870e40u, 0x42a35c07u, 0x42a35d44u,
                                         0x42a97360u, 0x42c55faau, 0x42cf5854u, 0x42d8d23eu, 0x42e87a55u};
  for (std::uint32_t b : otherRounding) addSigned(out, fromBits(b));
  // Spread values: the phases the synthesis sees, in [0, 2 pi), and the
  // whole covered range, from a fixed generator.
  std::uint32_t state = 0x2545f491u;
  auto next = [&state] {
    state = state * 1664525u + 1013904223u;
    return static_cast<double>(state >> 8) / 16777216.0;
  };
  for (int i = 0; i < 1000; ++i) out.push_back(static_cast<float>(next() * 2.0 * 3.14159265358979323846));
  for (int i = 0; i < 1000; ++i) out.push_back(static_cast<float>((next() * 2.0 - 1.0) * 120.0));
  // Every binade of the covered range, with random mantissas.
  for (std::uint32_t exponent = 0; exponent <= 0x85u; ++exponent)
    for (int i = 0; i < 4; ++i)
      addSigned(out, fromBits((exponent << 23) | (static_cast<std::uint32_t>(next() * 8388608.0) & 0x7fffffu)));
  return out;
}

Path Choose(Kernel wide) {
  if (!wide) return Path::Library;
  const std::vector<float> args = CheckArguments();
  const std::size_t n = args.size();
  std::vector<float> s(n), c(n), refS(n), refC(n);
  if (!wide(args.data(), static_cast<std::int64_t>(n), s.data(), c.data())) return Path::Library;
  computeLibrary(args.data(), static_cast<std::int64_t>(n), refS.data(), refC.data());
  for (std::size_t i = 0; i < n; ++i)
    if (bitsOf(s[i]) != bitsOf(refS[i]) || bitsOf(c[i]) != bitsOf(refC[i])) return Path::Library;
  return Path::Wide;
}

Path ChosenPath() {
  static const Path chosen = Choose(&ComputeWide);
  return chosen;
}

void Compute(Path path, const float* x, std::int64_t n, float* sines, float* cosines) {
  if (n <= 0) return;
  if (path == Path::Wide && ComputeWide(x, n, sines, cosines)) return;
  computeLibrary(x, n, sines, cosines);
}

void Compute(const float* x, std::int64_t n, float* sines, float* cosines) {
  Compute(ChosenPath(), x, n, sines, cosines);
}

}  // namespace SineCosine
