#pragma once
// The amplitudes of a run of spectral levels, LevelAmplitude::FromDb bin by
// bin, in one loop the compiler vectorises: compiled for the baseline (two
// bins per SSE2 vector on x86-64) and once more for AVX2 (four), chosen
// at run time. No fused multiply-add, so the bits are those of FromDb.

#include <cstdint>

namespace AmplitudeRun {

// out[k] = LevelAmplitude::FromDb(levels[k], silent) for k = 0 .. n - 1.
void FromDb(const float* levels, std::int64_t n, float silent, double* out);

// The copies one by one, for comparing them: bin by bin, the baseline copy
// of the loop and its AVX2 copy (false, with nothing written, where the
// build or the CPU has none).
void FromDbPlain(const float* levels, std::int64_t n, float silent, double* out);
void FromDbBaseline(const float* levels, std::int64_t n, float silent, double* out);
bool FromDbWide(const float* levels, std::int64_t n, float silent, double* out);

}  // namespace AmplitudeRun
