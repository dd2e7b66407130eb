// Generates the built-in chord/key model and writes it as C++ source.
//
//   KeloModelGenerator --out <file.cpp> [--reduced] [--work <folder>]
//                      [--features <file>]
//
// Emission densities: per chord type, chord events are synthesised (and
// played by GM instruments through fluidsynth when it is installed), turned
// into joint chroma features by the engine's front end, rotated to root 0
// and fitted with the engine's own mixture training (fixed seeds, several
// restarts, the best kept). Transition counts come from the harmony model
// of ChordTransitionModel. Every random draw is seeded, so a configuration
// always writes the same file. --reduced makes a small model quickly (for
// checking determinism, not for use). --features keeps the training
// features in a file and reuses them when it exists, for trying fitting
// settings without synthesising everything again.

#include <unistd.h>

#include <chrono>
#include <cmath>
#include <cstdlib>
#include <fstream>
#include <iostream>
#include <limits>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "ChordRecipes.h"
#include "ChordTransitionModel.h"
#include "FluidChordRenderer.h"
#include "JointHpcpPowPdf.h"
#include "ModelSourceWriter.h"
#include "TrainingSequences.h"

namespace {

using namespace kelomodel;
using Matrix = kelo::JointHpcpPowPdf::Matrix;

struct Config {
  int syntheticSequences;
  int targetsPerSequence;
  std::vector<int> programs;  // GM instruments for rendered events
  int renderedTargets;        // per instrument
  int restarts;
};

const Config kFull = {7, 20, {0, 4, 19, 24, 48, 56, 26}, 12, 4};
const Config kReduced = {2, 5, {0}, 4, 1};
// GM basses under the rendered chords, taken in turn.
const int kBassPrograms[] = {33, 32};

// Concentrations outside this range are clamped so that no class dominates
// the decoder through sharpness alone.
constexpr double kKappaMin = 1.0;
constexpr double kKappaMax = 15.0;
constexpr std::uint64_t kSeed = 20261207;

double seconds(std::chrono::steady_clock::time_point since) {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - since).count();
}

// Root-relative features of every target event of one chord type.
std::vector<Feature> trainingFeatures(const std::vector<int>& intervals, std::size_t pool, const Config& config,
                                      const std::string& workDir, bool render) {
  std::vector<Feature> rows;
  GeneratorRandom rng(kSeed + 7919 * pool);
  auto collect = [&rows](const ChordSequence& s) {
    if (s.audio.empty()) return;
    const std::vector<Feature> features = jointChromaPerEvent(s);
    for (std::size_t i = 0; i < features.size() && i < s.isTarget.size(); ++i)
      if (s.isTarget[i]) rows.push_back(rotatedToRoot(features[i], s.roots[i]));
  };
  for (int i = 0; i < config.syntheticSequences; ++i)
    collect(synthesisedSequence(rng, intervals, config.targetsPerSequence));
  if (render) {
    for (std::size_t p = 0; p < config.programs.size(); ++p) {
      const ChordSequence s =
          renderedSequence(rng, intervals, config.renderedTargets, config.programs[p], kBassPrograms[p % 2], workDir,
                           "pool" + std::to_string(pool) + "_" + std::to_string(p));
      if (s.audio.empty()) throw std::runtime_error("fluidsynth could not render the chord events");
      collect(s);
    }
  }
  return rows;
}

// Every row for the first key of a pool; a fixed 85 % of them for the
// others, so that keys of one chord type get texts of their own.
Matrix trainingMatrix(const std::vector<Feature>& rows, bool firstOfPool, std::uint64_t seed) {
  GeneratorRandom pick(seed);
  std::vector<const Feature*> chosen;
  for (const Feature& f : rows)
    if (firstOfPool || pick.chance(0.85)) chosen.push_back(&f);
  Matrix X(chosen.size(), kelo::JointHpcpPowPdf::kFeatureSize);
  for (std::size_t r = 0; r < chosen.size(); ++r)
    for (std::size_t c = 0; c < X.size2(); ++c) X(r, c) = (*chosen[r])(c);
  return X;
}

// Clamps the concentrations and makes every mean a unit vector: a
// component that lost all its data keeps a tiny resultant as its mean, and
// one without any takes the direction of the heaviest component.
void tidy(Mixture_vMF& m) {
  std::size_t heaviest = 0;
  for (std::size_t k = 1; k < m.components.size(); ++k)
    if (m.weights(k) > m.weights(heaviest)) heaviest = k;
  for (Vmf& c : m.components) {
    const double norm = boost::numeric::ublas::norm_2(c.mean);
    if (norm > 0.0) c.mean /= norm;
  }
  for (Vmf& c : m.components) {
    if (!(boost::numeric::ublas::norm_2(c.mean) > 0.5)) c.mean = m.components[heaviest].mean;
    if (c.kappa > kKappaMax) c.setKappa(kKappaMax);
    if (c.kappa < kKappaMin) c.setKappa(kKappaMin);
  }
}

std::string fitText(const Matrix& X, int components, int digits, int restarts, std::uint64_t seed) {
  kelo::JointHpcpPowPdf best;
  double bestScore = -std::numeric_limits<double>::infinity();
  for (int r = 0; r < restarts; ++r) {
    // The mixture training draws from the process-wide rand().
    std::srand(unsigned(seed + 101 * std::uint64_t(r)));
    kelo::JointHpcpPowPdf pdf;
    pdf.setNumComponents(components, components);
    const double score = pdf.fit(X);
    if (score > bestScore || r == 0) {
      bestScore = score;
      best = pdf;
    }
  }
  tidy(best.bassMixture);
  tidy(best.trebleMixture);
  std::ostringstream out;
  out.precision(digits);
  best.print(out);
  return out.str();
}

using Pools = std::map<std::vector<int>, std::vector<Feature>>;

// The cache: per pool its interval count and intervals, its row count and
// the rows, all as doubles in the machine's byte order.
bool readPools(const std::string& path, Pools& pools) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return false;
  auto get = [&in]() {
    double v = 0.0;
    in.read(reinterpret_cast<char*>(&v), sizeof v);
    return v;
  };
  while (in.peek() != EOF) {
    std::vector<int> intervals(static_cast<std::size_t>(get()));
    for (int& i : intervals) i = int(get());
    std::vector<Feature>& rows = pools[intervals];
    rows.assign(std::size_t(get()), Feature(kelo::JointHpcpPowPdf::kFeatureSize));
    for (Feature& f : rows)
      for (double& v : f) v = get();
    if (!in) throw std::runtime_error("damaged feature cache " + path);
  }
  return true;
}

void writePools(const std::string& path, const Pools& pools) {
  std::ofstream out(path, std::ios::binary);
  auto put = [&out](double v) { out.write(reinterpret_cast<const char*>(&v), sizeof v); };
  for (const auto& p : pools) {
    put(double(p.first.size()));
    for (int i : p.first) put(i);
    put(double(p.second.size()));
    for (const Feature& f : p.second)
      for (double v : f) put(v);
  }
}

std::vector<KeyedModelText> emissionTexts(const Config& config, const std::string& workDir, bool render,
                                          const std::string& cache) {
  const auto start = std::chrono::steady_clock::now();
  std::vector<KeyedModelText> texts;
  Pools cached;
  const bool useCache = !cache.empty() && readPools(cache, cached);
  Pools pools;
  std::size_t index = 0;
  for (const ChordRecipe& recipe : chordRecipes()) {
    ++index;
    if (!recipe.sameTextAs.empty()) {
      texts.push_back({recipe.key, "", recipe.sameTextAs});
      continue;
    }
    const bool firstOfPool = pools.find(recipe.intervals) == pools.end();
    if (firstOfPool)
      pools[recipe.intervals] = useCache ? cached.at(recipe.intervals)
                                         : trainingFeatures(recipe.intervals, pools.size(), config, workDir, render);
    const std::vector<Feature>& rows = pools[recipe.intervals];
    const Matrix X = trainingMatrix(rows, firstOfPool, kSeed + 31 * index);
    texts.push_back({recipe.key, fitText(X, recipe.components, recipe.digits, config.restarts, kSeed + 977 * index), ""});
    std::cerr << "emission " << recipe.key << ": " << X.size1() << " events, " << seconds(start) << " s\n";
  }
  if (!cache.empty() && !useCache) writePools(cache, pools);
  return texts;
}

std::vector<KeyedModelText> transitionTexts() {
  std::vector<KeyedModelText> texts;
  for (int mode = 0; mode < 2; ++mode)
    for (int beats = 2; beats <= 4; ++beats)
      for (int position = 0; position < beats; ++position)
        texts.push_back({std::string("transition.") + (mode == 0 ? "major" : "minor") + "." + std::to_string(beats) +
                             "." + std::to_string(position),
                         tableText(transitionCounts(mode, beats, position)), ""});
  return texts;
}

int usage() {
  std::cerr << "usage: KeloModelGenerator --out <file.cpp> [--reduced] [--work <folder>] [--features <file>]\n";
  return 2;
}

}  // namespace

int main(int argc, char** argv) {
  std::string outPath, workDir, cache;
  bool reduced = false;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    if (arg == "--out" && i + 1 < argc) outPath = argv[++i];
    else if (arg == "--work" && i + 1 < argc) workDir = argv[++i];
    else if (arg == "--features" && i + 1 < argc) cache = argv[++i];
    else if (arg == "--reduced") reduced = true;
    else return usage();
  }
  if (outPath.empty()) return usage();
  try {
    const bool render = fluidsynthAvailable();
    if (!render) {
      std::cerr << "KeloModelGenerator: fluidsynth and the GM sound font are needed\n";
      return 1;
    }
    if (workDir.empty()) {
      char pattern[] = "/tmp/kelo-model-XXXXXX";
      if (mkdtemp(pattern) == nullptr) throw std::runtime_error("no work folder");
      workDir = pattern;
    }
    const std::string source = modelSource(emissionTexts(reduced ? kReduced : kFull, workDir, render, cache),
                                           transitionTexts(), builtinChordList());
    std::ofstream out(outPath, std::ios::binary);
    out << source;
    if (!out) throw std::runtime_error("cannot write " + outPath);
  } catch (const std::exception& e) {
    std::cerr << "KeloModelGenerator: " << e.what() << "\n";
    return 1;
  }
  return 0;
}
