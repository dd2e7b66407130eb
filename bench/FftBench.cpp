// bench-deps: mzcommon fftw3 fftw3f
// Real FFT of 512 to 8192 points, forward and backward timed apart, for
// each instance of our FFT package and, as the reference, FFTW planned with
// FFTW_MEASURE in two forms: its in-place half-complex transform (the same
// packed, unpadded layout as ours; FFTW has no SIMD kernels for it) and its
// in-place r2c/c2r pair (padded to n + 2, SIMD, FFTW's fastest real
// transform). FFTW is linked here only; the program itself never uses it.
// Our arrays come from FFTW's allocator too, so both meet memory aligned
// alike.
//
// Every iteration runs one forward and one backward transform on the same
// array, as a caller would, and each is timed on its own: the "_forward"
// runs report the forward ones, the "_backward" runs the backward ones.
// Besides the mean time per transform, "best" is the fastest single
// transform seen, less the clock's own cost: on a machine shared with
// other work the fastest call is the figure that noise does not inflate.
// After the runs three tables give, per size and direction, each
// instance's time divided by FFTW's r2c/c2r time in the same precision:
// from the "paired_" runs, which call ours and FFTW in turn so that both
// meet the same load (the figure to quote), then from the separate runs
// the fastest calls and the means (the median over
// --benchmark_repetitions=N). Run only the paired figures with
// --benchmark_filter=paired.
// Backward after forward scales the data (n/2 for ours, n for FFTW); every
// eighth iteration rescales by an exact power of two so values stay finite,
// in both equally.

#include <benchmark/benchmark.h>
#include <fftw3.h>

#include <algorithm>
#include <array>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <random>
#include <string>
#include <tuple>
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

// Our data array, taken from FFTW's allocator as FFTW's own array is: both
// transforms meet memory aligned alike (a vector split over two cache
// lines costs either of them a second access). The program's callers keep
// their frames in buffers of their own.
template <typename Real>
class Signal {
 public:
  explicit Signal(int n) : n_(n), a_(static_cast<Real*>(fftw_malloc(sizeof(Real) * n))) {
    const std::vector<Real> x = signal<Real>(n);
    std::copy(x.begin(), x.end(), a_);
  }
  ~Signal() { fftw_free(a_); }
  Signal(const Signal&) = delete;
  Signal& operator=(const Signal&) = delete;
  Real* data() { return a_; }
  std::size_t size() const { return static_cast<std::size_t>(n_); }
  Real& operator[](int i) { return a_[i]; }

 private:
  int n_;
  Real* a_;
};

template <typename Real>
void rescale(Signal<Real>& a, Real factor) {
  for (std::size_t i = 0; i < a.size(); ++i) a.data()[i] *= factor;
}

using Clock = std::chrono::steady_clock;

// The shortest interval the clock measures around nothing: its own cost,
// taken off every timed transform.
double clockCost() {
  static const double cost = [] {
    double best = 1.0;
    for (int i = 0; i < 100000; ++i) {
      const auto t0 = Clock::now();
      const auto t1 = Clock::now();
      best = std::min(best, std::chrono::duration<double>(t1 - t0).count());
    }
    return best;
  }();
  return cost;
}

// Runs forward() and backward() once per iteration, times the one the run
// is about (range(1): 0 forward, 1 backward) and rescales every eighth
// iteration.
template <typename Forward, typename Backward, typename Rescale>
void timeDirection(benchmark::State& state, Forward forward, Backward backward, Rescale rescale) {
  const bool timeBackward = state.range(1) != 0;
  const double cost = clockCost();
  double best = 1.0;
  double sum = 0;
  unsigned k = 0;
  for (auto _ : state) {
    const auto t0 = Clock::now();
    forward();
    const auto t1 = Clock::now();
    backward();
    const auto t2 = Clock::now();
    const double seconds =
        std::max(0.0, std::chrono::duration<double>(timeBackward ? t2 - t1 : t1 - t0).count() - cost);
    state.SetIterationTime(seconds);
    best = std::min(best, seconds);
    sum += seconds;
    if ((++k & 7) == 0) rescale();
  }
  state.counters["best_ns"] = best * 1e9;
  state.counters["mean_ns"] = k ? sum / k * 1e9 : 0.0;
}

// Our package through its checked entry points, as the program calls it.
template <typename Real, Fft::Variant V>
void BM_Package(benchmark::State& state) {
  const int n = static_cast<int>(state.range(0));
  Fft::WorkArrays<Real, V> work(n);
  Signal<Real> a(n);
  const Real undo8 = static_cast<Real>(std::pow(2.0 / n, 8));
  auto transform = [&](int isgn) {
    if constexpr (V == Fft::Variant::Earlier) {
      Fft::RealFft(n, isgn, a.data(), a.size(), work);
    } else {
      Fft::rdft(n, isgn, a.data(), a.size(), work);
    }
    benchmark::DoNotOptimize(a.data());
  };
  timeDirection(
      state, [&] { transform(1); }, [&] { transform(-1); }, [&] { rescale(a, undo8); });
}

// FFTW in one precision: plans made by `plan` on an array of n + 2 values.
template <typename Real, typename Plan, typename MakePlans, typename Execute, typename Destroy>
void runFftw(benchmark::State& state, Real* a, MakePlans makePlans, Execute execute, Destroy destroy) {
  const int n = static_cast<int>(state.range(0));
  Plan forward, backward;
  makePlans(n, forward, backward);
  const std::vector<Real> x = signal<Real>(n);
  for (int i = 0; i < n; ++i) a[i] = x[i];
  const Real undo8 = static_cast<Real>(std::pow(1.0 / n, 8));
  timeDirection(
      state,
      [&] {
        execute(forward);
        benchmark::DoNotOptimize(a);
      },
      [&] {
        execute(backward);
        benchmark::DoNotOptimize(a);
      },
      [&] {
        for (int i = 0; i < n; ++i) a[i] *= undo8;
      });
  destroy(forward);
  destroy(backward);
}

// In-place half-complex transform (R2HC/HC2R), our packed layout's twin.
void BM_FftwDouble(benchmark::State& state) {
  double* a = fftw_alloc_real(state.range(0) + 2);
  runFftw<double, fftw_plan>(
      state, a,
      [a](int n, fftw_plan& f, fftw_plan& b) {
        f = fftw_plan_r2r_1d(n, a, a, FFTW_R2HC, FFTW_MEASURE);
        b = fftw_plan_r2r_1d(n, a, a, FFTW_HC2R, FFTW_MEASURE);
      },
      fftw_execute, fftw_destroy_plan);
  fftw_free(a);
}

void BM_FftwSingle(benchmark::State& state) {
  float* a = fftwf_alloc_real(state.range(0) + 2);
  runFftw<float, fftwf_plan>(
      state, a,
      [a](int n, fftwf_plan& f, fftwf_plan& b) {
        f = fftwf_plan_r2r_1d(n, a, a, FFTW_R2HC, FFTW_MEASURE);
        b = fftwf_plan_r2r_1d(n, a, a, FFTW_HC2R, FFTW_MEASURE);
      },
      fftwf_execute, fftwf_destroy_plan);
  fftwf_free(a);
}

// In-place r2c/c2r: n reals in an array of n + 2, giving n/2 + 1 complex bins.
void BM_FftwComplexDouble(benchmark::State& state) {
  double* a = fftw_alloc_real(state.range(0) + 2);
  fftw_complex* c = reinterpret_cast<fftw_complex*>(a);
  runFftw<double, fftw_plan>(
      state, a,
      [a, c](int n, fftw_plan& f, fftw_plan& b) {
        f = fftw_plan_dft_r2c_1d(n, a, c, FFTW_MEASURE);
        b = fftw_plan_dft_c2r_1d(n, c, a, FFTW_MEASURE);
      },
      fftw_execute, fftw_destroy_plan);
  fftw_free(a);
}

void BM_FftwComplexSingle(benchmark::State& state) {
  float* a = fftwf_alloc_real(state.range(0) + 2);
  fftwf_complex* c = reinterpret_cast<fftwf_complex*>(a);
  runFftw<float, fftwf_plan>(
      state, a,
      [a, c](int n, fftwf_plan& f, fftwf_plan& b) {
        f = fftwf_plan_dft_r2c_1d(n, a, c, FFTW_MEASURE);
        b = fftwf_plan_dft_c2r_1d(n, c, a, FFTW_MEASURE);
      },
      fftwf_execute, fftwf_destroy_plan);
  fftwf_free(a);
}

// FFTW's in-place r2c/c2r pair of one precision, planned with FFTW_MEASURE.
template <typename Real>
struct FftwReal;

template <>
struct FftwReal<double> {
  explicit FftwReal(int n) : a(fftw_alloc_real(n + 2)) {
    fftw_complex* c = reinterpret_cast<fftw_complex*>(a);
    forward = fftw_plan_dft_r2c_1d(n, a, c, FFTW_MEASURE);
    backward = fftw_plan_dft_c2r_1d(n, c, a, FFTW_MEASURE);
  }
  ~FftwReal() {
    fftw_destroy_plan(forward);
    fftw_destroy_plan(backward);
    fftw_free(a);
  }
  void run(bool back) { fftw_execute(back ? backward : forward); }
  double* a;
  fftw_plan forward, backward;
};

template <>
struct FftwReal<float> {
  explicit FftwReal(int n) : a(fftwf_alloc_real(n + 2)) {
    fftwf_complex* c = reinterpret_cast<fftwf_complex*>(a);
    forward = fftwf_plan_dft_r2c_1d(n, a, c, FFTW_MEASURE);
    backward = fftwf_plan_dft_c2r_1d(n, c, a, FFTW_MEASURE);
  }
  ~FftwReal() {
    fftwf_destroy_plan(forward);
    fftwf_destroy_plan(backward);
    fftwf_free(a);
  }
  void run(bool back) { fftwf_execute(back ? backward : forward); }
  float* a;
  fftwf_plan forward, backward;
};

// Ours and FFTW r2c/c2r in turn, each on its own array, every transform
// timed alone: the fastest calls of both are taken under the same load,
// which separate runs cannot promise on a shared machine. The counters
// are the fastest forward and backward call of each.
template <typename Real, Fft::Variant V>
void BM_Paired(benchmark::State& state) {
  const int n = static_cast<int>(state.range(0));
  Fft::WorkArrays<Real, V> work(n);
  Signal<Real> a(n);
  FftwReal<Real> fftw(n);
  for (int i = 0; i < n; ++i) fftw.a[i] = a[i];
  const Real undoOurs = static_cast<Real>(std::pow(2.0 / n, 8));
  const Real undoFftw = static_cast<Real>(std::pow(1.0 / n, 8));
  const double cost = clockCost();
  double best[4] = {1, 1, 1, 1};  // ours forward, ours backward, FFTW forward, FFTW backward
  // One transform of the four kinds; returns its time less the clock's.
  auto timed = [&](int kind) {
    const bool backward = kind & 1;
    const auto t0 = Clock::now();
    if (kind < 2) {
      if constexpr (V == Fft::Variant::Earlier) {
        Fft::RealFft(n, backward ? -1 : 1, a.data(), a.size(), work);
      } else {
        Fft::rdft(n, backward ? -1 : 1, a.data(), a.size(), work);
      }
      benchmark::DoNotOptimize(a.data());
    } else {
      fftw.run(backward);
      benchmark::DoNotOptimize(fftw.a);
    }
    const auto t1 = Clock::now();
    const double seconds = std::max(0.0, std::chrono::duration<double>(t1 - t0).count() - cost);
    best[kind] = std::min(best[kind], seconds);
    return seconds;
  };
  for (auto _ : state) {
    // Eight round trips of ours, then eight of FFTW: each keeps its own
    // data and tables in the cache as a caller's loop would, and both meet
    // the load of the same moment.
    double total = 0;
    for (int side = 0; side < 2; ++side) {
      for (int round = 0; round < 8; ++round) {
        total += timed(2 * side);
        total += timed(2 * side + 1);
      }
    }
    state.SetIterationTime(total);
    rescale(a, undoOurs);
    for (int i = 0; i < n; ++i) fftw.a[i] *= undoFftw;
  }
  state.counters["ours_forward_ns"] = best[0] * 1e9;
  state.counters["ours_backward_ns"] = best[1] * 1e9;
  state.counters["fftw_forward_ns"] = best[2] * 1e9;
  state.counters["fftw_backward_ns"] = best[3] * 1e9;
}

// Collects every run's figures and prints the ratios to FFTW at the end:
// the fastest call over all repetitions, and the median of the means.
class RatioReporter : public benchmark::ConsoleReporter {
 public:
  void ReportRuns(const std::vector<Run>& runs) override {
    ConsoleReporter::ReportRuns(runs);
    for (const Run& run : runs) {
      if (run.error_occurred || run.run_type != Run::RT_Iteration) continue;
      collectPaired(run);
      const auto best = run.counters.find("best_ns");
      const auto mean = run.counters.find("mean_ns");
      if (best == run.counters.end() || mean == run.counters.end()) continue;
      // "family/size/direction/manual_time"
      const std::string name = run.benchmark_name();
      const auto slash = name.find('/');
      if (slash == std::string::npos) continue;
      const std::string family = name.substr(0, slash);
      char* rest = nullptr;
      const int size = static_cast<int>(std::strtol(name.c_str() + slash + 1, &rest, 10));
      if (!rest || *rest != '/') continue;
      const int backward = static_cast<int>(std::strtol(rest + 1, nullptr, 10));
      Figures& f = figures_[{family, size, backward}];
      f.best = f.means.empty() ? best->second.value : std::min(f.best, best->second.value);
      f.means.push_back(mean->second.value);
    }
  }

  void Finalize() override {
    ConsoleReporter::Finalize();
    printPaired();
    printTable("fastest call", [](const Figures& f) { return f.best; });
    printTable("mean (median over repetitions)", [](const Figures& f) {
      std::vector<double> m = f.means;
      std::sort(m.begin(), m.end());
      return m[m.size() / 2];
    });
  }

  static constexpr int kSizes[] = {512, 1024, 2048, 4096, 8192};

 private:
  // "paired_<instance>/size/manual_time": the fastest calls, kept as the
  // minimum over repetitions.
  void collectPaired(const Run& run) {
    const std::string name = run.benchmark_name();
    if (name.rfind("paired_", 0) != 0) return;
    const auto slash = name.find('/');
    if (slash == std::string::npos) return;
    const std::string family = name.substr(0, slash);
    const int size = std::atoi(name.c_str() + slash + 1);
    static const char* const kKeys[4] = {"ours_forward_ns", "ours_backward_ns", "fftw_forward_ns",
                                         "fftw_backward_ns"};
    auto& best = paired_[{family, size}];
    for (int i = 0; i < 4; ++i) {
      const auto it = run.counters.find(kKeys[i]);
      if (it == run.counters.end()) return;
      best[i] = best[i] > 0 ? std::min(best[i], it->second.value) : it->second.value;
    }
  }

  void printPaired() const {
    if (paired_.empty()) return;
    const std::pair<const char*, const char*> rows[] = {{"paired_single", "single (rdft)"},
                                                        {"paired_double", "double (rdft, sync)"},
                                                        {"paired_timestretch", "double (RealFft, stretch)"}};
    std::printf("\nFastest call relative to FFTW r2c/c2r of the same precision, timed in turn\n");
    std::printf("%-38s", "instance");
    for (int n : kSizes) std::printf("%8d", n);
    std::printf("\n");
    for (const auto& row : rows) {
      for (int backward : {0, 1}) {
        std::printf("%-28s%-10s", row.second, backward ? "backward" : "forward");
        for (int n : kSizes) {
          const auto it = paired_.find({row.first, n});
          if (it == paired_.end() || it->second[2 + backward] <= 0) {
            std::printf("%8s", "-");
          } else {
            std::printf("%8.2f", it->second[backward] / it->second[2 + backward]);
          }
        }
        std::printf("\n");
      }
    }
  }

  std::map<std::pair<std::string, int>, std::array<double, 4>> paired_;

  struct Figures {
    double best = 0;
    std::vector<double> means;
  };

  template <typename Pick>
  void printTable(const char* what, Pick pick) const {
    struct Row {
      const char* ours;
      const char* fftw;
      const char* label;
    };
    const Row rows[] = {{"rdft_single", "fftw_r2c_single", "single (rdft)"},
                        {"rdft_double", "fftw_r2c_double", "double (rdft, sync)"},
                        {"RealFft_timestretch", "fftw_r2c_double", "double (RealFft, stretch)"}};
    std::printf("\nTime per transform relative to FFTW r2c/c2r of the same precision, %s\n", what);
    std::printf("%-38s", "instance");
    for (int n : kSizes) std::printf("%8d", n);
    std::printf("\n");
    for (const Row& row : rows) {
      for (int backward : {0, 1}) {
        std::printf("%-28s%-10s", row.label, backward ? "backward" : "forward");
        for (int n : kSizes) {
          const auto ours = figures_.find({row.ours, n, backward});
          const auto fftw = figures_.find({row.fftw, n, backward});
          const double reference = fftw == figures_.end() ? 0 : pick(fftw->second);
          if (ours == figures_.end() || reference <= 0) {
            std::printf("%8s", "-");
          } else {
            std::printf("%8.2f", pick(ours->second) / reference);
          }
        }
        std::printf("\n");
      }
    }
  }

  std::map<std::tuple<std::string, int, int>, Figures> figures_;
};

void sizes(benchmark::internal::Benchmark* b) {
  for (int n : RatioReporter::kSizes) {
    b->Args({n, 0});
    b->Args({n, 1});
  }
  b->UseManualTime();
}

void pairedSizes(benchmark::internal::Benchmark* b) {
  for (int n : RatioReporter::kSizes) b->Arg(n);
  b->UseManualTime();
}

}  // namespace

BENCHMARK_TEMPLATE(BM_Package, float, Fft::Variant::Current)->Name("rdft_single")->Apply(sizes);
BENCHMARK_TEMPLATE(BM_Package, double, Fft::Variant::Current)->Name("rdft_double")->Apply(sizes);
BENCHMARK_TEMPLATE(BM_Package, double, Fft::Variant::Earlier)->Name("RealFft_timestretch")->Apply(sizes);
BENCHMARK(BM_FftwSingle)->Name("fftw_r2hc_single")->Apply(sizes);
BENCHMARK(BM_FftwDouble)->Name("fftw_r2hc_double")->Apply(sizes);
BENCHMARK(BM_FftwComplexSingle)->Name("fftw_r2c_single")->Apply(sizes);
BENCHMARK(BM_FftwComplexDouble)->Name("fftw_r2c_double")->Apply(sizes);

BENCHMARK_TEMPLATE(BM_Paired, float, Fft::Variant::Current)->Name("paired_single")->Apply(pairedSizes);
BENCHMARK_TEMPLATE(BM_Paired, double, Fft::Variant::Current)->Name("paired_double")->Apply(pairedSizes);
BENCHMARK_TEMPLATE(BM_Paired, double, Fft::Variant::Earlier)->Name("paired_timestretch")->Apply(pairedSizes);

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  RatioReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  benchmark::Shutdown();
  return 0;
}
