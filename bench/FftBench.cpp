// bench-deps: mzcommon fftw3 fftw3f
// Real FFT of 512 to 8192 points, one forward and one backward transform
// per iteration, for each instance of our FFT package and, as the
// reference, FFTW planned with FFTW_MEASURE in two forms: its in-place
// half-complex transform (the same packed, unpadded layout as ours; FFTW has
// no SIMD kernels for it) and its in-place r2c/c2r pair (padded to n + 2,
// SIMD, FFTW's fastest real transform). FFTW is linked here only; the
// program itself never uses it.
//
// "per_transform" is the time of one transform (half an iteration). After
// the runs a table gives, per size, each instance's time divided by FFTW's
// r2c/c2r time in the same precision (run with --benchmark_repetitions=N
// to compare medians).
// Backward after forward scales the data (n/2 for ours, n for FFTW); every
// eighth iteration rescales by an exact power of two so values stay finite,
// in both equally.

#include <benchmark/benchmark.h>
#include <fftw3.h>

#include <cmath>
#include <cstdio>
#include <map>
#include <random>
#include <string>
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

// Collects the time per transform of every run (the median when
// repetitions are asked for) and prints the ratios to FFTW at the end.
class RatioReporter : public benchmark::ConsoleReporter {
 public:
  void ReportRuns(const std::vector<Run>& runs) override {
    ConsoleReporter::ReportRuns(runs);
    for (const Run& run : runs) {
      if (run.error_occurred) continue;
      const bool aggregate = run.run_type == Run::RT_Aggregate;
      if (aggregate && run.aggregate_name != "median") continue;
      const auto it = run.counters.find("per_transform");
      if (it == run.counters.end()) continue;
      // "family/size" or "family/size_median"
      const std::string name = run.benchmark_name();
      const auto slash = name.find('/');
      if (slash == std::string::npos) continue;
      const std::string family = name.substr(0, slash);
      const int size = std::atoi(name.c_str() + slash + 1);
      if (!aggregate && medians_.count({family, size})) continue;
      times_[{family, size}] = it->second.value;
      if (aggregate) medians_[{family, size}] = true;
    }
  }

  void Finalize() override {
    ConsoleReporter::Finalize();
    struct Row {
      const char* ours;
      const char* fftw;
      const char* label;
    };
    const Row rows[] = {{"rdft_single", "fftw_r2c_single", "single (rdft)"},
                        {"rdft_double", "fftw_r2c_double", "double (rdft, sync)"},
                        {"RealFft_timestretch", "fftw_r2c_double", "double (RealFft, stretch)"}};
    std::printf("\nTime per transform relative to FFTW r2c/c2r of the same precision\n");
    std::printf("%-28s", "instance");
    for (int n : kSizes) std::printf("%8d", n);
    std::printf("\n");
    for (const Row& row : rows) {
      std::printf("%-28s", row.label);
      for (int n : kSizes) {
        const auto ours = times_.find({row.ours, n});
        const auto fftw = times_.find({row.fftw, n});
        if (ours == times_.end() || fftw == times_.end() || fftw->second <= 0) {
          std::printf("%8s", "-");
        } else {
          std::printf("%8.2f", ours->second / fftw->second);
        }
      }
      std::printf("\n");
    }
  }

  static constexpr int kSizes[] = {512, 1024, 2048, 4096, 8192};

 private:
  std::map<std::pair<std::string, int>, double> times_;
  std::map<std::pair<std::string, int>, bool> medians_;
};

void sizes(benchmark::internal::Benchmark* b) {
  for (int n : RatioReporter::kSizes) b->Arg(n);
}

}  // namespace

BENCHMARK_TEMPLATE(BM_Package, float, Fft::Variant::Current)->Name("rdft_single")->Apply(sizes);
BENCHMARK_TEMPLATE(BM_Package, double, Fft::Variant::Current)->Name("rdft_double")->Apply(sizes);
BENCHMARK_TEMPLATE(BM_Package, double, Fft::Variant::Earlier)->Name("RealFft_timestretch")->Apply(sizes);
BENCHMARK(BM_FftwSingle)->Name("fftw_r2hc_single")->Apply(sizes);
BENCHMARK(BM_FftwDouble)->Name("fftw_r2hc_double")->Apply(sizes);
BENCHMARK(BM_FftwComplexSingle)->Name("fftw_r2c_single")->Apply(sizes);
BENCHMARK(BM_FftwComplexDouble)->Name("fftw_r2c_double")->Apply(sizes);

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  RatioReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  benchmark::Shutdown();
  return 0;
}
