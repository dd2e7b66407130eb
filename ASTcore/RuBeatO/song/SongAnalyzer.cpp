#include "SongAnalyzer.h"

#include <algorithm>
#include <iostream>
#include <stdexcept>

#include "NumericUtilities.h"
#include "SongAnalyzerImpl.h"
#include "SongStructure.h"

namespace {

constexpr int kRounds = 10;
constexpr std::uint32_t kSeed = 32768;
constexpr float kMaxSampleRate = 192000.0f;

}  // namespace

std::shared_ptr<MzMir::FeatureGenerator> SongAnalyzerImpl::freshGenerator(
    const MzMir::FeatureGenerator::EngineFactory& factory) {
  auto g = std::make_shared<MzMir::FeatureGenerator>(1024, 8192);
  if (factory) g->setEngineFactory(factory);
  return g;
}

void SongAnalyzerImpl::setDefaults() {
  structure = StructureSettings{};
  featureDimension = kDefaultFeatureDimension;
  meter = kDefaultMeter;
}


SongAnalyzer::SongAnalyzer() : impl(std::make_unique<SongAnalyzerImpl>()) {}

SongAnalyzer::~SongAnalyzer() = default;

SongAnalyzer& SongAnalyzer::setMixtureWeightPrior(double prior) {
  if (prior > 0.0) impl->structure.mixtureWeightPrior = prior;
  return *this;
}

SongAnalyzer& SongAnalyzer::setObservationPriors(double a, double b, double c) {
  if (a > 0.0) impl->structure.observationPriors[0] = a;
  if (b > 0.0) impl->structure.observationPriors[1] = b;
  if (c > 0.0) impl->structure.observationPriors[2] = c;
  return *this;
}

SongAnalyzer& SongAnalyzer::setFeatureDimension(int dimension) {
  if (dimension >= 1) impl->featureDimension = dimension;
  return *this;
}

SongAnalyzer& SongAnalyzer::setInferenceParamC(double value) {
  if (value > 0.0) impl->structure.paramC = value;
  return *this;
}

SongAnalyzer& SongAnalyzer::setInferenceParamD(double value) {
  if (value > 0.0) impl->structure.paramD = value;
  return *this;
}

SongAnalyzer& SongAnalyzer::setNumStates(int states) {
  if (states >= 1 && states <= 63) impl->structure.numStates = states;
  return *this;
}

SongAnalyzer& SongAnalyzer::setNumMixtures(int mixtures) {
  if (mixtures >= 1 && mixtures <= 63) impl->structure.numMixtures = mixtures;
  return *this;
}

SongAnalyzer& SongAnalyzer::setMeter(int beatsPerBar, int level, int phase, int denominatorCode) {
  impl->meter = {beatsPerBar, level, phase, denominatorCode};
  return *this;
}

SongAnalyzer& SongAnalyzer::setProgress(MzMir::IProgress* listener) {
  impl->listener = listener;
  return *this;
}

SongAnalyzer& SongAnalyzer::setEngineFactory(MzMir::FeatureGenerator::EngineFactory factory) {
  impl->engineFactory = factory;
  std::atomic_load(&impl->featureGenerator)->setEngineFactory(std::move(factory));
  return *this;
}

std::vector<float> SongAnalyzer::getBeats() const { return impl->beatTimes; }

const StructureSettings& SongAnalyzer::structureSettings() const { return impl->structure; }

void SongAnalyzer::getSegments(std::vector<SongSegment>& out) const {
  out.resize(impl->segments.size());
  std::copy(impl->segments.begin(), impl->segments.end(), out.begin());
}

void SongAnalyzer::abort() {
  impl->running = false;
  // A run on another thread may be replacing the generator at this moment.
  std::atomic_load(&impl->featureGenerator)->stop();
}

bool SongAnalyzer::isTooLong(std::uint64_t frames, float rate) {
  // In whole frames: a float count rounds a few frames past the hour down
  // to it.
  return static_cast<double>(frames) > static_cast<double>(kMaxMinutes) * 60.0 * static_cast<double>(rate);
}

void SongAnalyzer::analyze(ISeekable<float>& source) {
  SongAnalyzerImpl& s = *impl;
  s.running = true;
  // The structure model's random starts draw from this thread's sequence.
  Numeric::seedRandomInt(kSeed);
  const std::shared_ptr<MzMir::FeatureGenerator> generator = std::atomic_load(&s.featureGenerator);
  MzMir::IProgress* const listener = s.listener;
  // Handed on even when null: a generator kept from a failed run must not
  // report to the listener of that run.
  generator->setProgress(listener);
  if (listener) listener->progress(0);

  const float rate = source.sampleRate();
  if (!(rate > 0.0f) || rate > kMaxSampleRate) throw std::domain_error("Fs should be >0 and <=192kHz");
  if (isTooLong(source.length(), rate)) throw std::runtime_error("Cannot analyze waveform this long");

  MzMir::FeatureMatrix features(0, s.featureDimension);
  generator->setNdim(s.featureDimension);
  generator->generate(features, s.barTimes, s.barTatums, source, s.meter[0], s.meter[1], s.meter[2], s.meter[3]);
  if (!s.running) return;
  s.beatTimes = generator->beatTimes;
  if (listener) listener->progress(50);
  if (static_cast<std::size_t>(features.rows()) + 1 != s.barTimes.size()) std::cerr << "BEATLEN != DATA-ROWS" << std::endl;

  std::vector<int> countdown, labels;
  const bool complete = inferSongStructure(features, s.structure, kRounds, countdown, labels, [&](int round) {
    if (!s.running) return false;
    if (listener) {
      // The rounds take a while on a long song; an abort must not wait for
      // all of them.
      if (listener->abort.load()) throw std::runtime_error("Aborted");
      listener->progress(50 + 5 * round);
    }
    return true;
  });
  if (!complete) return;
  s.labels = labels;
  s.countdown = countdown;

  // The structure was inferred over every bar; the segments are cut from
  // the bars that hold sound, and the last of them still runs to the end of
  // the recording: a silent tail belongs to the song's last part, which the
  // caller's sections and edits reach to the end.
  const MzMir::BarRange sounding = generator->soundingBars;
  std::vector<double> keptTimes = MzMir::keptBarsOf(s.barTimes, sounding, true);
  if (keptTimes.size() >= 2 && !s.barTimes.empty()) keptTimes.back() = s.barTimes.back();
  s.segments = segmentsOfBars(keptTimes,
                              MzMir::keptBarsOf(s.barTatums, sounding), MzMir::keptBarsOf(s.countdown, sounding),
                              MzMir::keptBarsOf(s.labels, sounding));
  if (listener)
    for (const SongSegment& segment : s.segments) listener->onSegment(&segment);
  if (listener) {
    listener->progress(100);
    listener->done();
  }
  std::atomic_store(&s.featureGenerator, SongAnalyzerImpl::freshGenerator(s.engineFactory));
}
