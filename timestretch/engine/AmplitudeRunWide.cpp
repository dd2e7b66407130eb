// The amplitude loop compiled once more for AVX2 (GCC only): four bins per
// vector. Every header the loop uses is included before the target switch
// (an inline function first compiled under it could become the program's
// only copy, which a CPU without AVX2 cannot run), and the target names
// AVX2 alone: with FMA a product and a sum could become one rounding.

#include <cstdint>
#include <cstring>

#include "AmplitudeRun.h"
#include "LevelAmplitude.h"

#if defined(__GNUC__) && !defined(__clang__) && defined(__x86_64__) && !defined(__AVX2__)
#define AMPLITUDE_RUN_WIDE 1
#pragma GCC push_options
#pragma GCC target("avx2")
namespace {
#define AMPLITUDE_RUN_LOOP wideLoop
#include "AmplitudeRunKernel.h"
#undef AMPLITUDE_RUN_LOOP
}  // namespace
#pragma GCC pop_options
#else
#define AMPLITUDE_RUN_WIDE 0
#endif

namespace AmplitudeRun {

bool FromDbWide(const float* levels, std::int64_t n, float silent, double* out) {
#if AMPLITUDE_RUN_WIDE
  // Reads what the runtime found out about the CPU at start-up.
  if (!__builtin_cpu_supports("avx2")) return false;
  wideLoop(levels, n, silent, out);
  return true;
#else
  (void)levels, (void)n, (void)silent, (void)out;
  return false;
#endif
}

}  // namespace AmplitudeRun
