// bench-deps: kelo
// Decoding 500 beats with a chord/key model of the built-in size: 7 chord
// classes (84 chord states), 3 beats per bar, 10-component bass and treble
// mixtures per class. "full" searches every mode, phase and tonic (72
// Viterbi passes), "phase_fixed" the 24 of a decode after a partial one.
// Transition tables are either dense (every one of the 84 x 84 entries) or
// sparse (about 300 entries); "builtin" decodes with the built-in model
// itself, loaded through the plain-text factory.
//
// "peak_rss_MiB" is the process's peak resident set after the runs (the
// decoder's own arrays for 500 beats are about half a MiB).

#include <benchmark/benchmark.h>
#include <sys/resource.h>

#include <memory>
#include <random>

#include <boost/make_shared.hpp>

#include "KeloHmmPlainTextFactory.h"
#include "KeloPlainTextResourceStreamReader.h"
#include "OfflineHmm.h"

namespace {

using kelo::JointHpcpPowPdf;
using kelo::OfflineHmm;
using Vector = JointHpcpPowPdf::Vector;

constexpr int kClasses = 7;
constexpr int kBeats = 3;
constexpr int kFrames = 500;

Mixture_vMF randomMixture(std::mt19937& rng) {
  std::uniform_real_distribution<double> uniform(0.05, 1.0);
  std::normal_distribution<double> normal;
  Mixture_vMF m(10);
  for (std::size_t k = 0; k < 10; ++k) {
    Vector mean(12);
    for (auto& v : mean) v = normal(rng);
    m.weights(k) = uniform(rng);
    m.components[k].setKappa(60.0 * uniform(rng));
    m.components[k].setMean(mean / boost::numeric::ublas::norm_2(mean));
  }
  m.weights /= boost::numeric::ublas::sum(m.weights);
  return m;
}

void addFeatures(OfflineHmm& hmm, std::mt19937& rng) {
  std::uniform_real_distribution<double> chroma(0.0, 1.0);
  for (int t = 0; t < kFrames; ++t) {
    Vector f(26);
    for (auto& v : f) v = chroma(rng);
    hmm.addFeature(f);
  }
}

void load(OfflineHmm& hmm, bool dense) {
  std::mt19937 rng(1);
  std::uniform_real_distribution<double> uniform(0.0, 1.0);
  for (int c = 0; c < kClasses; ++c) {
    auto pdf = boost::make_shared<JointHpcpPowPdf>();
    pdf->bassMixture = randomMixture(rng);
    pdf->trebleMixture = randomMixture(rng);
    hmm.setEmission(c, pdf);
  }
  const int n = 12 * kClasses;
  for (int m = 0; m < 2; ++m)
    for (int k = 0; k < kBeats; ++k)
      for (int from = 0; from < n; ++from)
        for (int to = 0; to < n; ++to)
          if (from == to || dense || uniform(rng) < 300.0 / (n * n))
            hmm.setTransition(m, k, from, to, 1.0 + 100.0 * uniform(rng));
  addFeatures(hmm, rng);
}

void reportPeak(benchmark::State& state) {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  state.counters["peak_rss_MiB"] = double(usage.ru_maxrss) / 1024.0;
}

void makeOffline(boost::shared_ptr<kelo::IKeloHmm>& out, std::uint32_t classes, std::uint32_t beats, void*) {
  out = boost::make_shared<OfflineHmm>(std::int32_t(classes), std::int32_t(beats));
}

void decode(benchmark::State& state) {
  const bool dense = state.range(0) != 0;
  const bool phaseFixed = state.range(1) != 0;
  OfflineHmm hmm(kClasses, kBeats);
  load(hmm, dense);
  if (phaseFixed) hmm.setFixed(-1, 1, -1);
  for (auto _ : state) benchmark::DoNotOptimize(hmm.decode());
  reportPeak(state);
  state.SetLabel(std::string(dense ? "dense" : "sparse") + (phaseFixed ? ", phase_fixed" : ", full"));
}

}  // namespace

void decodeBuiltin(benchmark::State& state) {
  kelo::KeloPlainTextResourceStreamReader reader;
  kelo::KeloHmmPlainTextFactory factory(&reader, makeOffline, nullptr);
  std::int32_t featureKind = 0;
  std::unique_ptr<kelo::KeloHmm> model(factory.create(featureKind, true, 0, kBeats));
  auto hmm = boost::dynamic_pointer_cast<OfflineHmm>(model->decoder());
  if (factory.lastError() != 0 || !hmm) {
    state.SkipWithError("the built-in model did not load");
    return;
  }
  std::mt19937 rng(2);
  addFeatures(*hmm, rng);
  if (state.range(0) != 0) hmm->setFixed(-1, 1, -1);
  for (auto _ : state) benchmark::DoNotOptimize(hmm->decode());
  reportPeak(state);
  state.SetLabel(state.range(0) != 0 ? "builtin, phase_fixed" : "builtin, full");
}

BENCHMARK(decode)->ArgsProduct({{0, 1}, {0, 1}})->Unit(benchmark::kMillisecond);
BENCHMARK(decodeBuiltin)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);
BENCHMARK_MAIN();
