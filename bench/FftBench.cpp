// bench-deps: mzcommon fftw3 fftw3f
// Real FFT of 512, 2048 and 8192 points, one forward and one backward
// transform per iteration, for each instance of our FFT package and, as the
// reference, FFTW planned with FFTW_MEASURE in two forms: its in-place
// half-complex transform (the same packed, unpadded layout as ours; FFTW has
// no SIMD kernels for it) and its in-place r2c/c2r pair (padded to n + 2,
// SIMD, FFTW's fastest real transform). FFTW is linked here only; the
// program itself never uses it.
//
// "per_transform" is the time of one transform (half an iteration).
// Backward after forward scales the data (n/2 for ours, n for FFTW); every
// eighth iteration rescales by an exact power of two so values stay finite,
// in both equally.

#include <benchmark/benchmark.h>
#include <fftw3.h>

#include <cmath>
#include <random>
#include <vector>

#include "FftPackage.h"

namespace {

template <typename Real>
std::vector<Real> signal(int n) {
  std::mt19937 gen(42);
  std::uniform_real_distribution<double> dist(-1.0, 1.0);
  std::vector<Real> x(n);
  for (auto& v : x) v = static_cast<Real>(dist(gen));
  return x;
}

template <typename Real>
void rescale(std::vector<Real>& a, Real factor) {
  for (auto& v : a) v *= factor;
}

void reportPerTransform(benchmark::State& state) {
  state.counters["per_transform"] =
      benchmark::Counter(2, benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
}

// Our package through its checked entry points, as the program calls it.
template <typename Real, Fft::Variant V>
void BM_Package(benchmark::State& state) {
  const int n = static_cast<int>(state.range(0));
  Fft::WorkArrays<Real, V> work(n);
  std::vector<Real> a = signal<Real>(n);
  const Real undo8 = static_cast<Real>(std::pow(2.0 / n, 8));
  unsigned k = 0;
  for (auto _ : state) {
    if constexpr (V == Fft::Variant::Earlier) {
      Fft::RealFft(n, 1, a.data(), a.size(), work);
      Fft::RealFft(n, -1, a.data(), a.size(), work);
    } else {
      Fft::rdft(n, 1, a.data(), a.size(), work);
      Fft::rdft(n, -1, a.data(), a.size(), work);
    }
    if ((++k & 7) == 0) rescale(a, undo8);
    benchmark::DoNotOptimize(a.data());
  }
  reportPerTransform(state);
}

void BM_FftwDouble(benchmark::State& state) {
  const int n = static_cast<int>(state.range(0));
  double* a = fftw_alloc_real(n);
  fftw_plan forward = fftw_plan_r2r_1d(n, a, a, FFTW_R2HC, FFTW_MEASURE);
  fftw_plan backward = fftw_plan_r2r_1d(n, a, a, FFTW_HC2R, FFTW_MEASURE);
  const std::vector<double> x = signal<double>(n);
  for (int i = 0; i < n; ++i) a[i] = x[i];
  const double undo8 = std::pow(1.0 / n, 8);
  unsigned k = 0;
  for (auto _ : state) {
    fftw_execute(forward);
    fftw_execute(backward);
    if ((++k & 7) == 0) {
      for (int i = 0; i < n; ++i) a[i] *= undo8;
    }
    benchmark::DoNotOptimize(a);
  }
  reportPerTransform(state);
  fftw_destroy_plan(forward);
  fftw_destroy_plan(backward);
  fftw_free(a);
}

void BM_FftwSingle(benchmark::State& state) {
  const int n = static_cast<int>(state.range(0));
  float* a = fftwf_alloc_real(n);
  fftwf_plan forward = fftwf_plan_r2r_1d(n, a, a, FFTW_R2HC, FFTW_MEASURE);
  fftwf_plan backward = fftwf_plan_r2r_1d(n, a, a, FFTW_HC2R, FFTW_MEASURE);
  const std::vector<float> x = signal<float>(n);
  for (int i = 0; i < n; ++i) a[i] = x[i];
  const float undo8 = static_cast<float>(std::pow(1.0 / n, 8));
  unsigned k = 0;
  for (auto _ : state) {
    fftwf_execute(forward);
    fftwf_execute(backward);
    if ((++k & 7) == 0) {
      for (int i = 0; i < n; ++i) a[i] *= undo8;
    }
    benchmark::DoNotOptimize(a);
  }
  reportPerTransform(state);
  fftwf_destroy_plan(forward);
  fftwf_destroy_plan(backward);
  fftwf_free(a);
}

// In-place r2c/c2r: n reals in an array of n + 2, giving n/2 + 1 complex bins.
void BM_FftwComplexDouble(benchmark::State& state) {
  const int n = static_cast<int>(state.range(0));
  double* a = fftw_alloc_real(n + 2);
  fftw_complex* c = reinterpret_cast<fftw_complex*>(a);
  fftw_plan forward = fftw_plan_dft_r2c_1d(n, a, c, FFTW_MEASURE);
  fftw_plan backward = fftw_plan_dft_c2r_1d(n, c, a, FFTW_MEASURE);
  const std::vector<double> x = signal<double>(n);
  for (int i = 0; i < n; ++i) a[i] = x[i];
  const double undo8 = std::pow(1.0 / n, 8);
  unsigned k = 0;
  for (auto _ : state) {
    fftw_execute(forward);
    fftw_execute(backward);
    if ((++k & 7) == 0) {
      for (int i = 0; i < n; ++i) a[i] *= undo8;
    }
    benchmark::DoNotOptimize(a);
  }
  reportPerTransform(state);
  fftw_destroy_plan(forward);
  fftw_destroy_plan(backward);
  fftw_free(a);
}

void BM_FftwComplexSingle(benchmark::State& state) {
  const int n = static_cast<int>(state.range(0));
  float* a = fftwf_alloc_real(n + 2);
  fftwf_complex* c = reinterpret_cast<fftwf_complex*>(a);
  fftwf_plan forward = fftwf_plan_dft_r2c_1d(n, a, c, FFTW_MEASURE);
  fftwf_plan backward = fftwf_plan_dft_c2r_1d(n, c, a, FFTW_MEASURE);
  const std::vector<float> x = signal<float>(n);
  for (int i = 0; i < n; ++i) a[i] = x[i];
  const float undo8 = static_cast<float>(std::pow(1.0 / n, 8));
  unsigned k = 0;
  for (auto _ : state) {
    fftwf_execute(forward);
    fftwf_execute(backward);
    if ((++k & 7) == 0) {
      for (int i = 0; i < n; ++i) a[i] *= undo8;
    }
    benchmark::DoNotOptimize(a);
  }
  reportPerTransform(state);
  fftwf_destroy_plan(forward);
  fftwf_destroy_plan(backward);
  fftwf_free(a);
}

}  // namespace

BENCHMARK_TEMPLATE(BM_Package, float, Fft::Variant::Current)->Name("rdft_single")->Arg(512)->Arg(2048)->Arg(8192);
BENCHMARK_TEMPLATE(BM_Package, double, Fft::Variant::Current)->Name("rdft_double")->Arg(512)->Arg(2048)->Arg(8192);
BENCHMARK_TEMPLATE(BM_Package, double, Fft::Variant::Earlier)
    ->Name("RealFft_timestretch")
    ->Arg(512)
    ->Arg(2048)
    ->Arg(8192);
BENCHMARK(BM_FftwSingle)->Name("fftw_r2hc_single")->Arg(512)->Arg(2048)->Arg(8192);
BENCHMARK(BM_FftwDouble)->Name("fftw_r2hc_double")->Arg(512)->Arg(2048)->Arg(8192);
BENCHMARK(BM_FftwComplexSingle)->Name("fftw_r2c_single")->Arg(512)->Arg(2048)->Arg(8192);
BENCHMARK(BM_FftwComplexDouble)->Name("fftw_r2c_double")->Arg(512)->Arg(2048)->Arg(8192);

BENCHMARK_MAIN();
