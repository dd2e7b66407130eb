// The cut, one plain loop compiled twice: for the baseline instruction set
// and once more for AVX2 (which widens 16-bit samples eight at a time),
// chosen at run time. Every header the loop uses is included before the
// target switch (an inline function first compiled under it could become
// the program's only copy, which a CPU without AVX2 cannot run).

#include "FrameCut.h"

namespace {
#define FRAME_CUT_LOOP baselineCut
#include "FrameCutKernel.h"
#undef FRAME_CUT_LOOP
}  // namespace

#if defined(__GNUC__) && !defined(__clang__) && defined(__x86_64__) && !defined(__AVX2__)
#define FRAME_CUT_WIDE 1
#pragma GCC push_options
#pragma GCC target("avx2")
namespace {
#define FRAME_CUT_LOOP wideCut
#include "FrameCutKernel.h"
#undef FRAME_CUT_LOOP
}  // namespace
#pragma GCC pop_options
#else
#define FRAME_CUT_WIDE 0
#endif

void cutFrame(const std::int16_t* samples, const float* window, int length, float* out) {
#if FRAME_CUT_WIDE
  // Reads what the runtime found out about the CPU at start-up.
  if (__builtin_cpu_supports("avx2")) {
    wideCut(samples, window, length, out);
    return;
  }
#endif
  baselineCut(samples, window, length, out);
}
