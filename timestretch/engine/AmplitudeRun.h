#pragma once
// The amplitudes of a run of spectral levels, LevelAmplitude::FromDb bin by
// bin, with the same operations on each bin in vectors: four bins per
// vector where the CPU has AVX2, two with SSE2 (every x86-64), one at a
// time elsewhere. No fused multiply-add, so the bits are those of FromDb.

#include <cstdint>

namespace AmplitudeRun {

// out[k] = LevelAmplitude::FromDb(levels[k], silent) for k = 0 .. n - 1.
void FromDb(const float* levels, std::int64_t n, float silent, double* out);

// The copies one by one, for comparing them: the plain loop, the SSE2 copy
// and the AVX2 copy (each false, with nothing written, where the build or
// the CPU has none).
void FromDbPlain(const float* levels, std::int64_t n, float silent, double* out);
bool FromDbTwo(const float* levels, std::int64_t n, float silent, double* out);
bool FromDbFour(const float* levels, std::int64_t n, float silent, double* out);

}  // namespace AmplitudeRun
