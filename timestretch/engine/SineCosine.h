#pragma once
// Sines and cosines of floats, many at a time, bit for bit the values the
// C library's sincosf returns on the machine the program runs on. The
// synthesis needs one pair per bin of every output frame; one library call
// per bin was the largest single cost of a stretch.
//
// The wide path does in vectors of four doubles what glibc's sincosf does
// on CPUs with FMA: reduction by the nearest multiple of pi/2 with one
// fused multiply-add, the same two short polynomials with the same fused
// steps, one rounding to float. Arguments it does not cover (|x| >= 120,
// infinities, NaN) go to ::sincosf one at a time. Because another C
// library (or the same one without FMA) could round differently, the wide
// path is only taken after it matched ::sincosf on a set of arguments that
// reach every branch and every quadrant edge; otherwise, and on CPUs
// without AVX2 and FMA, every value comes from ::sincosf.

#include <cstdint>
#include <vector>

namespace SineCosine {

enum class Path {
  Library,  // ::sincosf per value
  Wide,     // four per vector, AVX2 and FMA
};

// sines[i] and cosines[i] of x[i] for i < n, by the path chosen at first
// use. The outputs must not overlap x or each other.
void Compute(const float* x, std::int64_t n, float* sines, float* cosines);

// The same by a given path; Wide falls back to Library where it cannot run.
void Compute(Path path, const float* x, std::int64_t n, float* sines, float* cosines);

// The path Compute takes: decided once per process (thread-safe, never
// changed afterwards) by Choose(ComputeWide).
Path ChosenPath();

// The wide kernel: false, nothing written, where the build or the CPU has
// no AVX2 and FMA.
bool ComputeWide(const float* x, std::int64_t n, float* sines, float* cosines);

// For k < n whose level is above `silent` (a NaN level counts as above):
// out[2k] += amplitudes[k] cos x[k] and out[2k + 1] += amplitudes[k] sin x[k],
// each product taken in double from ::sincosf's float value and rounded to
// float before the float sum; the other pairs keep every bit. One pass
// over the bins with the wide kernel: false, nothing written, where it
// cannot run. Callers take it only where ChosenPath() is Wide.
// With `store` the pairs are not read: each is 0.0f + its products, +0
// where the bin is blanked, the bits the sums give on a cleared buffer.
bool AddPolarWide(const float* x, const double* amplitudes, const float* levels, float silent, std::int64_t n,
                  float* out, bool store = false);

// The wide kernel's values before their one rounding to float, which are
// the library's: for finding the arguments whose results lie nearest a
// rounding boundary, where any other order of steps would show first.
// NaN for arguments the kernel leaves to the library; false, nothing
// written, where it cannot run.
bool ComputeWideUnrounded(const float* x, std::int64_t n, double* sines, double* cosines);

// Library unless `wide` runs and gives ::sincosf's bits (NaN payloads
// included) for every argument of CheckArguments().
using Kernel = bool (*)(const float* x, std::int64_t n, float* sines, float* cosines);
Path Choose(Kernel wide);

// A few thousand arguments: both signs of zero, subnormals, the ends of
// each range the library treats alike, every multiple of pi/4 below 120
// with its neighbouring floats (where the quadrant changes), the arguments
// where glibc's variant without FMA rounds otherwise, infinities, NaN,
// large values, and spread values over the covered range.
std::vector<float> CheckArguments();

}  // namespace SineCosine
