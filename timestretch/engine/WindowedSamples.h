#pragma once
// Samples times a window, each product rounded to float and widened to
// double, as a float array would hold it before a double transform: the
// per-sample pass in front of every analysis transform. Eight samples to a
// vector where the CPU has AVX, four elsewhere; a product is a product in
// either, so the same bits.

#include <cstdint>

namespace WindowedSamples {

// out[i] = double(samples[i] * window[i]) for i = 0 .. n - 1.
void Multiply(const float* samples, const float* window, std::int64_t n, double* out);

// The plain loop alone, and the AVX copy alone (false where the build or
// the CPU has none); for comparing the two.
void MultiplyPlain(const float* samples, const float* window, std::int64_t n, double* out);
bool MultiplyWide(const float* samples, const float* window, std::int64_t n, double* out);

}  // namespace WindowedSamples
