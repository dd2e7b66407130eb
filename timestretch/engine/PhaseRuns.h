#pragma once
// The per-bin loops of the phase locking and the stereo coherence, over
// runs of bins: two bins per vector where the CPU has SSE2 (every x86-64),
// four for the region advance, the one-offset runs and the coherence where
// it has AVX2, the same operations on each bin as the plain loops, so the
// same bits.
// Sums are wrapped by PhaseMath's near rule in the vector; a pair holding
// a sum farther out goes through PhaseMath::Wrap bin by bin.

#include <cstdint>

namespace PhaseRuns {

// out[k] = Wrap(in[k] + a) for k = 0 .. n - 1, as floats (in and out
// distinct or the same array).
void AddWrapped(float* out, const float* in, std::int64_t n, double a);

// out[k] = Wrap((in[k] + a) + b): the two offsets added one after the other.
void AddWrapped2(float* out, const float* in, std::int64_t n, double a, double b);

// Pulls the output phases of the two channels back to the analysed phase
// difference, for the bins whose left level is above the lowest float:
// d_in = right minus left analysed phase, d_out the same of the output
// (each right unwrapped against its left), d_out unwrapped against d_in,
// c = (d_out - d_in) 0.5 amount; left += c, right -= c, both wrapped.
// Other bins are left alone.
void PullTogether(float* left, float* right, const float* leftLevels, const float* analysedLeft,
                  const float* analysedRight, std::int64_t n, double amount);

// Phases read between two bins, one array per part (see
// PhaseMath::PhasePairAt).
struct PhasePairs {
  const double* low = nullptr;
  const double* high = nullptr;
  const double* fraction = nullptr;
};

// The per-region terms of the phase propagation, one array each.
struct RegionTerms {
  PhasePairs previous;  // previous output frame at the source (or the centre)
  PhasePairs phaseA;    // frame A at the source
  PhasePairs phaseB;    // frame B at the centre
  const double* nearerBin = nullptr;     // frame B's phase at the bin nearer the centre
  const double* advance = nullptr;       // angular frequency times the hop
  const double* useDeviation = nullptr;  // non-zero where the deviation counts
  const double* analysed = nullptr;      // frame B's phase at the centre bin
};

// For k = 0 .. n - 1, each pair read by PhaseMath::PhaseBetween: e =
// Wrap(nearerBin - phaseB); predicted = Wrap(phaseA + advance); deviation
// = phaseB unwrapped against predicted, less predicted (0 unless
// useDeviation); phase = Wrap(previous + e + advance + deviation); offset
// = phase unwrapped against analysed, less analysed.
void AdvanceRegions(const RegionTerms& terms, std::int64_t n, double* phase, double* offset);
void AdvanceRegionsPlain(const RegionTerms& terms, std::int64_t n, double* phase, double* offset);

// The two copies of AdvanceRegions' vector loop alone, from the first bin,
// four bins at a time (AVX2) or two (SSE2): each returns how many bins it
// did (a multiple of its width; 0 where the build or the CPU lacks it), the
// rest is left to the caller.
std::int64_t AdvanceRegionsFour(const RegionTerms& terms, std::int64_t n, double* phase, double* offset);
std::int64_t AdvanceRegionsTwo(const RegionTerms& terms, std::int64_t n, double* phase, double* offset);

// The AVX2 copy of AddWrapped alone, as AdvanceRegionsFour. AddWrapped2
// has none: its runs are mostly one to three bins, where the call to a
// second copy costs more than the wider vector saves.
std::int64_t AddWrappedFour(float* out, const float* in, std::int64_t n, double a);

// The terms from bin k on.
RegionTerms RegionTermsFrom(const RegionTerms& terms, std::int64_t k);

// The AVX2 copy of PullTogether alone, four bins at a time from the first:
// returns how many bins it did (a multiple of four; 0 where the build or
// the CPU has no AVX2), the rest is left to the caller.
std::int64_t PullFour(float* left, float* right, const float* leftLevels, const float* analysedLeft,
                      const float* analysedRight, std::int64_t n, double amount);

// The plain loops, bin by bin: what the vector loops must match.
void AddWrappedPlain(float* out, const float* in, std::int64_t n, double a);
void AddWrapped2Plain(float* out, const float* in, std::int64_t n, double a, double b);
void PullTogetherPlain(float* left, float* right, const float* leftLevels, const float* analysedLeft,
                       const float* analysedRight, std::int64_t n, double amount);

}  // namespace PhaseRuns
