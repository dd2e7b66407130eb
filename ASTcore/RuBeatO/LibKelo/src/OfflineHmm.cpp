#include "OfflineHmm.h"

#include <cmath>
#include <limits>
#include <stdexcept>

namespace kelo {

namespace {

constexpr std::int32_t kRoots = 12;
constexpr double kSearchStart = -1e100;
constexpr double kCandidateStart = -1e60;
constexpr double kScoreFloor = -1e30;

// Staying on a chord is far likelier between downbeats than across them;
// the factors favour holding the chord on the off-beats of the bar.
double selfTransitionFactor(std::int32_t beatsPerBar, std::int32_t position) {
  if (beatsPerBar == 3) {
    static const double triple[3] = {1.0, 1000.0, 10.0};
    return triple[position % 3];
  }
  static const double other[4] = {1.0, 1000.0, 10.0, 1000.0};
  return other[position % 4];
}

std::int32_t checkedClassCount(std::int32_t classCount) {
  if (classCount < 0) throw std::length_error("OfflineHmm: negative class count");
  if (classCount > OfflineHmm::kMaxChordStates / kRoots)
    throw std::length_error("OfflineHmm: more chord states than the back-pointers hold");
  return classCount;
}

std::int32_t checkedBeats(std::int32_t beatsPerBar) {
  if (beatsPerBar < 1) throw std::invalid_argument("OfflineHmm: beats per bar must be positive");
  return beatsPerBar;
}

// Chord state 12 * class + root moved by `shift` semitones.
std::int32_t shiftRoot(std::int32_t state, std::int32_t shift) {
  const std::int32_t root = ((state % kRoots + shift) % kRoots + kRoots) % kRoots;
  return state - state % kRoots + root;
}

}  // namespace

constexpr std::int32_t OfflineHmm::kModes;
constexpr std::int32_t OfflineHmm::kTonics;
constexpr std::int32_t OfflineHmm::kMaxChordStates;

OfflineHmm::OfflineHmm(std::int32_t classCount, std::int32_t beatsPerBar)
    : classCount_(checkedClassCount(classCount)),
      chordStates_(kRoots * classCount_),
      beatsPerBar_(checkedBeats(beatsPerBar)),
      emissions_(std::size_t(classCount_)),
      transitions_(std::size_t(kModes) * std::size_t(beatsPerBar_) * std::size_t(chordStates_)),
      rowSums_(transitions_.size(), 0.0),
      logRowSums_(transitions_.size(), 0.0) {}

std::int32_t OfflineHmm::setEmission(std::int32_t chordClass,
                                     boost::shared_ptr<JointHpcpPowPdf> pdf) {
  if (chordClass >= classCount_) return -1;
  if (chordClass < 0) throw std::out_of_range("OfflineHmm::setEmission: negative class");
  emissions_[std::size_t(chordClass)] = pdf;
  return 0;
}

std::int32_t OfflineHmm::setTransition(std::int32_t mode, std::int32_t position,
                                       std::int32_t from, std::int32_t to,
                                       double weight) {
  if (!(weight > 0.0) || !std::isfinite(weight)) return -1;
  if (mode < 0 || mode >= kModes || position < 0 || position >= beatsPerBar_ ||
      from < 0 || from >= chordStates_ || to < 0 || to >= chordStates_)
    return -1;
  if (from == to) weight *= selfTransitionFactor(beatsPerBar_, position);
  if (!std::isfinite(weight)) return -1;
  const std::size_t table = tableIndex(mode, position);
  transitions_[table + std::size_t(to)].push_back({from, std::log(weight)});
  rowSums_[table + std::size_t(from)] += weight;
  return 0;
}

std::int32_t OfflineHmm::clearFeatures() {
  features_.clear();
  return 0;
}

void OfflineHmm::addFeature(const Vector& feature) {
  if (feature.size() < JointHpcpPowPdf::kFeatureSize)
    throw std::invalid_argument("OfflineHmm::addFeature: feature shorter than 26 values");
  features_.push_back(feature);
}

void OfflineHmm::setFixed(std::int32_t mode, std::int32_t phase, std::int32_t tonic) {
  if (mode >= kModes || phase >= beatsPerBar_ || tonic >= kTonics)
    throw std::out_of_range("OfflineHmm::setFixed: fixed coordinate outside its range");
  fixedMode_ = mode;
  fixedPhase_ = phase;
  fixedTonic_ = tonic;
}

void OfflineHmm::getChosen(std::int32_t& mode, std::int32_t& phase,
                           std::int32_t& tonic) const {
  mode = chosenMode_;
  phase = chosenPhase_;
  tonic = chosenTonic_;
}

std::int32_t OfflineHmm::numFrames() const { return std::int32_t(features_.size()); }

std::int32_t OfflineHmm::numClasses() const { return std::int32_t(emissions_.size()); }

std::int32_t OfflineHmm::stateAt(std::int32_t frame) const {
  if (frame < 0) throw std::out_of_range("OfflineHmm::stateAt: negative frame");
  return bestPath_.at(std::size_t(frame));
}

std::int32_t OfflineHmm::componentAt(std::int32_t frame) const {
  if (frame < 0) throw std::out_of_range("OfflineHmm::componentAt: negative frame");
  return bestComponents_.at(std::size_t(frame));
}

std::size_t OfflineHmm::tableIndex(std::int32_t mode, std::int32_t position) const {
  return (std::size_t(mode) * std::size_t(beatsPerBar_) + std::size_t(position)) *
         std::size_t(chordStates_);
}

void OfflineHmm::computeLogRowSums() {
  for (std::size_t i = 0; i < rowSums_.size(); ++i)
    logRowSums_[i] = rowSums_[i] > 0.0 ? std::log(rowSums_[i]) : 0.0;
}

void OfflineHmm::fixedRanges(Range& modeRange, Range& tonicRange, Range& phaseRange) const {
  const auto narrow = [](std::int32_t fixed, std::int32_t count) {
    return fixed >= 0 ? Range{fixed, fixed + 1} : Range{0, count};
  };
  modeRange = narrow(fixedMode_, kModes);
  tonicRange = narrow(fixedTonic_, kTonics);
  phaseRange = narrow(fixedPhase_, beatsPerBar_);
}

void OfflineHmm::valueAndBeats(std::int32_t value, std::int32_t& valueOut, std::int32_t& beatsOut) const {
  valueOut = value;
  beatsOut = beatsPerBar_;
}

void OfflineHmm::scoreEmissions() {
  const std::size_t frames = features_.size();
  const std::size_t n = std::size_t(chordStates_);
  emissionScores_.assign(frames * n, 0.0);
  componentIds_.assign(frames * n, 0);
  Vector rotated(JointHpcpPowPdf::kFeatureSize);
  for (std::size_t t = 0; t < frames; ++t) {
    const Vector& f = features_[t];
    rotated(24) = f(24);
    rotated(25) = f(25);
    for (std::int32_t r = 0; r < kRoots; ++r) {
      for (std::int32_t i = 0; i < kRoots; ++i) {
        const std::size_t from = std::size_t((r + i) % kRoots);
        rotated(std::size_t(i)) = f(from);
        rotated(std::size_t(kRoots + i)) = f(kRoots + from);
      }
      for (std::int32_t c = 0; c < classCount_; ++c) {
        JointHpcpPowPdf& pdf = *emissions_[std::size_t(c)];
        const std::size_t cell = t * n + std::size_t(kRoots * c + r);
        const double score = pdf.logPdf(rotated);
        // A density that cannot score a frame must not win it.
        emissionScores_[cell] =
            std::isnan(score) ? -std::numeric_limits<double>::infinity() : score;
        componentIds_[cell] = pdf.bassMixture.bestPeak;
      }
    }
  }
}

double OfflineHmm::viterbi(std::int32_t mode, std::int32_t phase, std::int32_t tonic,
                           std::vector<std::int32_t>& path) {
  const std::size_t frames = features_.size();
  const std::int32_t n = chordStates_;
  path.assign(frames, 0);
  if (frames == 0) return 0.0;

  // Key-relative <-> absolute chord states for this tonic, once per pass.
  for (std::int32_t s = 0; s < n; ++s) {
    relativeOf_[std::size_t(s)] = shiftRoot(s, -tonic);
    absoluteOf_[std::size_t(s)] = shiftRoot(s, tonic);
  }
  for (std::int32_t s = 0; s < n; ++s) delta_[std::size_t(s)] = emissionScores_[std::size_t(s)];
  std::int32_t position = phase;
  for (std::size_t t = 1; t < frames; ++t) {
    const std::size_t table = tableIndex(mode, position);
    for (std::int32_t s = 0; s < n; ++s) {
      const std::int32_t relative = relativeOf_[std::size_t(s)];
      double best = kCandidateStart;
      std::int32_t pointer = 0;
      for (const Entry& e : transitions_[table + std::size_t(relative)]) {
        const std::int32_t source = absoluteOf_[std::size_t(e.from)];
        const double candidate = e.logWeight - logRowSums_[table + std::size_t(e.from)] +
                                 delta_[std::size_t(source)];
        if (candidate > best) {
          best = candidate;
          pointer = source;
        }
      }
      const double value = best + emissionScores_[t * std::size_t(n) + std::size_t(s)];
      nextDelta_[std::size_t(s)] = value > kScoreFloor ? value : kScoreFloor;
      backPointers_[t * std::size_t(n) + std::size_t(s)] = std::uint8_t(pointer);
    }
    delta_.swap(nextDelta_);
    position = (position + 1) % beatsPerBar_;
  }

  std::int32_t last = 0;
  for (std::int32_t s = 1; s < n; ++s)
    if (delta_[std::size_t(s)] > delta_[std::size_t(last)]) last = s;
  const double score = delta_[std::size_t(last)];
  path[frames - 1] = last;
  for (std::size_t t = frames - 1; t > 0; --t)
    path[t - 1] = backPointers_[t * std::size_t(n) + std::size_t(path[t])];
  return score;
}

double OfflineHmm::decode() {
  for (const auto& pdf : emissions_)
    if (!pdf) throw std::logic_error("OfflineHmm::decode: a chord class has no emission density");
  computeLogRowSums();
  scoreEmissions();

  const std::size_t frames = features_.size();
  const std::size_t n = std::size_t(chordStates_);
  delta_.assign(n, 0.0);
  nextDelta_.assign(n, 0.0);
  relativeOf_.assign(n, 0);
  absoluteOf_.assign(n, 0);
  backPointers_.assign(frames * n, 0);
  bestPath_.assign(frames, 0);
  bestComponents_.assign(frames, 0);

  Range modes{}, tonics{}, phases{};
  fixedRanges(modes, tonics, phases);
  chosenMode_ = modes.first;
  chosenPhase_ = phases.first;
  chosenTonic_ = tonics.first;

  double best = kSearchStart;
  bool chosen = false;
  std::vector<std::int32_t> path;
  for (std::int32_t mode = modes.first; mode < modes.last; ++mode) {
    for (std::int32_t phase = phases.first; phase < phases.last; ++phase) {
      for (std::int32_t tonic = tonics.first; tonic < tonics.last; ++tonic) {
        const double score = viterbi(mode, phase, tonic, path);
        // The first combination always stands, so the path and the score
        // returned describe the same decode even when nothing beats the
        // search's start value.
        if (score > best || !chosen) {
          best = score;
          chosen = true;
          chosenMode_ = mode;
          chosenPhase_ = phase;
          chosenTonic_ = tonic;
          bestPath_ = path;
        }
      }
    }
  }

  const std::int32_t b = beatsPerBar_;
  for (std::size_t t = 0; t < frames; ++t) {
    const std::int32_t state = bestPath_[t];
    bestComponents_[t] = componentIds_[t * n + std::size_t(state)];
    const std::int32_t beat = (b - 1 + std::int32_t(t % std::size_t(b)) + chosenPhase_) % b;
    bestPath_[t] = state + chordStates_ * (beat + b * (chosenMode_ + kModes * chosenTonic_));
  }
  return best;
}

}  // namespace kelo
