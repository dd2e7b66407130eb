// The mix, one plain loop compiled twice: for the baseline instruction set
// and once more for AVX2, chosen at run time. Every header the loop uses is
// included before the target switch (an inline function first compiled
// under it could become the program's only copy, which a CPU without AVX2
// cannot run), and the target names AVX2 alone, so that no product and sum
// become one rounding and both copies give the same values.

#include "NeighbourMix.h"

#include <algorithm>

namespace {
#define NEIGHBOUR_MIX_LOOP baselineMix
#include "NeighbourMixKernel.h"
#undef NEIGHBOUR_MIX_LOOP
}  // namespace

#if defined(__GNUC__) && !defined(__clang__) && defined(__x86_64__) && !defined(__AVX2__)
#define NEIGHBOUR_MIX_WIDE 1
#pragma GCC push_options
#pragma GCC target("avx2")
namespace {
#define NEIGHBOUR_MIX_LOOP wideMix
#include "NeighbourMixKernel.h"
#undef NEIGHBOUR_MIX_LOOP
}  // namespace
#pragma GCC pop_options
#else
#define NEIGHBOUR_MIX_WIDE 0
#endif

void mixNeighbours(const NeighbourSpectra& in, const NeighbourTurns& turns, int bins, float* out) {
#if NEIGHBOUR_MIX_WIDE
  // Reads what the runtime found out about the CPU at start-up.
  if (__builtin_cpu_supports("avx2")) {
    wideMix(in, turns, bins, out);
  } else {
    baselineMix(in, turns, bins, out);
  }
#else
  baselineMix(in, turns, bins, out);
#endif
  // Bin 0 afresh: its Nyquist term sits where an imaginary part would.
  for (int i = 0; i < 2; ++i) {
    out[i] = in.nearWeight * (in.spectra[1][i] + in.spectra[2][i]) +
             in.farWeight * (in.spectra[0][i] + in.spectra[3][i]);
  }
}
