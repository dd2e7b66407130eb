#include "FixedLagHmm.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <stdexcept>

#include <boost/make_shared.hpp>

#include "KeloHmm.h"
#include "KeloHmmPlainTextFactory.h"
#include "KeloPlainTextFileStreamReader.h"
#include "KeloPlainTextResourceStreamReader.h"

namespace kelo {

namespace {

constexpr std::int32_t kRoots = 12;
constexpr std::int32_t kFeatureSize = 26;
constexpr double kMissingRowSum = 0.001;
constexpr float kSilentTrebleSum = 0.2f;

std::int32_t checkedLag(std::int32_t lag) {
  // The step reads the row before the newest.
  if (lag < 2) throw std::invalid_argument("FixedLagHmm: the lag must be at least 2");
  return lag;
}

std::int32_t checkedClasses(std::int32_t rootCount, std::int32_t classCount) {
  if (rootCount != kRoots) throw std::invalid_argument("FixedLagHmm: the root count must be 12");
  if (classCount < 1) throw std::invalid_argument("FixedLagHmm: at least one chord class is needed");
  return classCount;
}

}  // namespace

constexpr std::int32_t FixedLagHmm::kBeats;
constexpr std::int32_t FixedLagHmm::kModes;
constexpr std::int32_t FixedLagHmm::kTonics;
constexpr std::int32_t FixedLagHmm::kHypotheses;
constexpr double FixedLagHmm::kFloor;

FixedLagHmm::FixedLagHmm(std::int32_t lag, std::int32_t rootCount, std::int32_t classCount)
    : lag_(checkedLag(lag)),
      classCount_(checkedClasses(rootCount, classCount)),
      S_(kRoots * classCount_),
      absToRel_(std::size_t(kTonics) * std::size_t(S_), 0),
      relToAbs_(std::size_t(kTonics) * std::size_t(S_), 0),
      incoming_(std::size_t(kModes) * kBeats * std::size_t(S_)),
      rowSums_(std::size_t(kModes) * std::size_t(S_), 0.0),
      scores_(std::size_t(kHypotheses) * std::size_t(lag_) * std::size_t(S_), 1.0),
      backPointers_(scores_.size(), 0),
      emission_(std::size_t(lag_) * std::size_t(S_), 1.0),
      pdfs_(std::size_t(classCount_)),
      tracker_(lag_),
      rotated_(kFeatureSize, 0.0) {}

std::int32_t FixedLagHmm::setEmission(std::int32_t chordClass, boost::shared_ptr<JointHpcpPowPdf> pdf) {
  if (chordClass < 0 || chordClass >= classCount_) return -1;
  pdfs_[std::size_t(chordClass)] = pdf;
  return 0;
}

std::int32_t FixedLagHmm::setEmission(std::int32_t chordClass, JointHpcpPowPdf* pdf) {
  return setEmission(chordClass, boost::shared_ptr<JointHpcpPowPdf>(pdf));
}

std::int32_t FixedLagHmm::setTransition(std::int32_t mode, std::int32_t position, std::int32_t from,
                                        std::int32_t to, double count) {
  if (std::isnan(count)) return 0;
  if (!(count > 0.0) || std::isinf(count)) return -1;
  if (mode < 0 || mode >= kModes || position < 0 || position >= kBeats || from < 0 || from >= S_ ||
      to < 0 || to >= S_)
    return -1;
  incoming_[list(mode, position, to)].push_back({from, std::log(count)});
  rowSums_[std::size_t(mode) * std::size_t(S_) + std::size_t(from)] += count;
  return 0;
}

std::int32_t FixedLagHmm::clearFeatures() { return 0; }

void FixedLagHmm::prepare() {
  frameCount_ = 0;
  for (double& sum : rowSums_) sum = sum > 0.0 ? std::log(sum) : kMissingRowSum;
  for (std::int32_t mode = 0; mode < kModes; ++mode) {
    const double* logSums = rowSums_.data() + std::size_t(mode) * std::size_t(S_);
    for (std::int32_t position = 0; position < kBeats; ++position) {
      for (std::int32_t to = 0; to < S_; ++to) {
        std::vector<Entry>& entries = incoming_[list(mode, position, to)];
        for (Entry& e : entries) e.value -= logSums[e.from];
        std::sort(entries.begin(), entries.end(), [](const Entry& a, const Entry& b) {
          return a.from != b.from ? a.from < b.from : a.value < b.value;
        });
      }
    }
  }
  for (std::int32_t k = 0; k < kTonics; ++k) {
    for (std::int32_t c = 0; c < classCount_; ++c) {
      for (std::int32_t r = 0; r < kRoots; ++r) {
        const std::int32_t absolute = kRoots * c + r;
        const std::int32_t relative = kRoots * c + (r - k + kRoots) % kRoots;
        absToRel_[std::size_t(k) * std::size_t(S_) + std::size_t(absolute)] = relative;
        relToAbs_[std::size_t(k) * std::size_t(S_) + std::size_t(relative)] = absolute;
      }
    }
  }
  tracker_.init(kBeats);
}

double FixedLagHmm::transitionLogProbability(std::int32_t mode, std::int32_t position, std::int32_t from,
                                             std::int32_t to) const {
  for (const Entry& e : incoming_.at(list(mode, position, to)))
    if (e.from == from) return e.value;
  return std::numeric_limits<double>::quiet_NaN();
}

void FixedLagHmm::computeEmissions(const float* x) {
  std::copy(emission_.begin() + S_, emission_.end(), emission_.begin());
  double* newest = emission_.data() + cell(lag_ - 1, 0);
  const bool audible = x[25] > kSilentTrebleSum;
  rotated_(24) = x[24];
  rotated_(25) = x[25];
  for (std::int32_t r = 0; r < kRoots; ++r) {
    for (std::int32_t i = 0; i < kRoots; ++i) {
      const std::size_t to = std::size_t((i - r + kRoots) % kRoots);
      rotated_(to) = x[i];
      rotated_(kRoots + to) = x[kRoots + i];
    }
    for (std::int32_t c = 0; c < classCount_; ++c)
      newest[kRoots * c + r] = audible ? pdfs_[std::size_t(c)]->logPdf(rotated_) : 0.0;
  }
}

void FixedLagHmm::step() {
  const std::size_t window = std::size_t(lag_) * std::size_t(S_);
  for (std::int32_t g = 0; g < kHypotheses; ++g) {
    const std::size_t base = std::size_t(g) * window;
    std::copy(scores_.begin() + base + S_, scores_.begin() + base + window, scores_.begin() + base);
    std::copy(backPointers_.begin() + base + S_, backPointers_.begin() + base + window,
              backPointers_.begin() + base);
  }
  const double* emission = emission_.data() + cell(lag_ - 1, 0);
  for (std::int32_t b = 0; b < kBeats; ++b) {
    const std::int32_t position = (frameCount_ + b + lag_ - 1) % kBeats;
    for (std::int32_t m = 0; m < kModes; ++m) {
      for (std::int32_t k = 0; k < kTonics; ++k) {
        const std::int32_t g = (2 * k + m) * kBeats + b;
        const double* previous = scores_.data() + windowCell(g, lag_ - 2, 0);
        double* score = scores_.data() + windowCell(g, lag_ - 1, 0);
        std::int32_t* pointer = backPointers_.data() + windowCell(g, lag_ - 1, 0);
        const std::int32_t* toRelative = absToRel_.data() + std::size_t(k) * std::size_t(S_);
        const std::int32_t* toAbsolute = relToAbs_.data() + std::size_t(k) * std::size_t(S_);
        for (std::int32_t s = 0; s < S_; ++s) {
          const std::vector<Entry>& entries = incoming_[list(m, position, toRelative[s])];
          if (entries.empty()) {
            score[s] = kFloor;
            pointer[s] = s;
            continue;
          }
          double best = kFloor;
          std::int32_t arg = s;
          for (const Entry& e : entries) {
            const std::int32_t from = toAbsolute[e.from];
            const double candidate = e.value + previous[from];
            if (candidate > best) {
              best = candidate;
              arg = from;
            }
          }
          score[s] = best + emission[s];
          pointer[s] = arg;
        }
      }
    }
  }
  backtrack();
}

void FixedLagHmm::backtrack() {
  double best = kFloor;
  std::int32_t column = 0;
  std::int32_t chosen = -1;
  for (std::int32_t b = 0; b < kBeats; ++b) {
    for (std::int32_t m = 0; m < kModes; ++m) {
      for (std::int32_t k = 0; k < kTonics; ++k) {
        const std::int32_t g = (2 * k + m) * kBeats + b;
        const double* row = scores_.data() + windowCell(g, lag_ - 1, 0);
        std::int32_t argmax = 0;
        for (std::int32_t s = 1; s < S_; ++s)
          if (row[s] > row[argmax]) argmax = s;
        if (row[argmax] >= best) {
          best = row[argmax];
          column = argmax;
          chosen = g;
          phase_ = b;
          mode_ = m;
          tonic_ = k;
        }
      }
    }
  }
  if (chosen >= 0) {
    for (std::int32_t t = lag_ - 1; t >= 1; --t) column = backPointers_[windowCell(chosen, t, column)];
  }
  root_ = column % kRoots;
  class_ = column / kRoots;
  for (std::int32_t g = 0; g < kHypotheses; ++g) {
    double* row = scores_.data() + windowCell(g, lag_ - 1, 0);
    for (std::int32_t s = 0; s < S_; ++s) row[s] -= best;
  }
}

void FixedLagHmm::pushFeature(const float* feature, std::int32_t dimension) {
  if (feature == nullptr || dimension < kFeatureSize)
    throw std::invalid_argument("FixedLagHmm: a feature holds 26 values");
  for (const auto& pdf : pdfs_)
    if (!pdf) throw std::logic_error("FixedLagHmm: a chord class has no emission density");
  computeEmissions(feature);
  step();
  tracker_.update(feature, dimension, (frameCount_ + phase_) % kBeats);
  ++frameCount_;
}

float FixedLagHmm::result(std::int32_t& root, std::int32_t& chordClass, std::int32_t& beat,
                          std::int32_t& mode, std::int32_t& tonic) const {
  root = root_;
  chordClass = class_;
  beat = (phase_ + frameCount_) % kBeats;
  mode = mode_;
  tonic = tonic_;
  return 1.0f;
}

std::int32_t FixedLagHmm::chord(std::int32_t& root, std::int32_t& chordClass) const {
  root = root_;
  chordClass = class_;
  return 0;
}

std::int32_t FixedLagHmm::bassNote(std::int32_t& pitchClass) const {
  pitchClass = tracker_.bestNote();
  return 0;
}

std::int32_t FixedLagHmm::numStates() const { return kRoots * classCount_ * kBeats * kModes * kTonics; }

std::int32_t FixedLagHmm::stateIndex(std::int32_t root, std::int32_t chordClass, std::int32_t beat,
                                     std::int32_t mode, std::int32_t tonic) const {
  return (((tonic * kModes + mode) * kBeats + beat) * classCount_ + chordClass) * kRoots + root;
}

std::int32_t FixedLagHmm::decomposeState(std::int32_t& root, std::int32_t& chordClass, std::int32_t& beat,
                                         std::int32_t& mode, std::int32_t& tonic,
                                         std::int32_t index) const {
  const std::int32_t perTonic = kModes * kBeats * S_;
  tonic = index / perTonic;
  index %= perTonic;
  mode = index / (kBeats * S_);
  index %= kBeats * S_;
  beat = index / S_;
  index %= S_;
  chordClass = index / kRoots;
  root = index % kRoots;
  return chordClass;
}

void makeFixedLagHmm(boost::shared_ptr<IKeloHmm>& out, std::uint32_t classCount, std::uint32_t /*beatCount*/,
                     void* lagArg) {
  const std::int32_t lag = *static_cast<const std::int32_t*>(lagArg);
  out = boost::make_shared<FixedLagHmm>(lag, kRoots, std::int32_t(classCount));
}

boost::shared_ptr<KeloHmm> createFixedLagHmm(const std::string& path, std::int32_t lag,
                                             std::int32_t beatsPerBar, std::uint32_t* status) {
  checkedLag(lag);
  if (beatsPerBar < 1 || beatsPerBar > FixedLagHmm::kBeats)
    throw std::invalid_argument("FixedLagHmm: the decoder has four beat positions");
  boost::shared_ptr<IKeloPlainTextStreamReader> reader;
  if (path.empty())
    reader = boost::make_shared<KeloPlainTextResourceStreamReader>();
  else
    reader = boost::make_shared<KeloPlainTextFileStreamReader>(path, "Mixture");
  std::int32_t featureKind = 0;
  std::uint32_t code = 0;
  boost::shared_ptr<KeloHmm> model;
  {
    KeloHmmPlainTextFactory factory(reader.get(), &makeFixedLagHmm, &lag);
    model.reset(factory.create(featureKind, true, 0, std::uint32_t(beatsPerBar)));
    code = factory.lastError();
  }
  const boost::shared_ptr<FixedLagHmm> decoder = asFixedLagHmm(model->decoder());
  // A half-loaded model would decode with missing densities or tables.
  if (code == 0 && !decoder) code = KeloHmmPlainTextFactory::kTextUnreadable;
  if (status != nullptr) *status = code;
  if (code != 0) return {};
  decoder->prepare();
  return model;
}

boost::shared_ptr<FixedLagHmm> asFixedLagHmm(const boost::shared_ptr<IKeloHmm>& decoder) {
  return boost::dynamic_pointer_cast<FixedLagHmm>(decoder);
}

}  // namespace kelo
