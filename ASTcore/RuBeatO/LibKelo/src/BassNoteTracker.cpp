#include "BassNoteTracker.h"

#include <algorithm>
#include <cmath>
#include <stdexcept>

namespace kelo {

namespace {
constexpr std::int32_t kNotes = 12;
}  // namespace

BassNoteTracker::BassNoteTracker(std::int32_t lag) : lag_(lag) {
  if (lag < 1) throw std::invalid_argument("BassNoteTracker: the window needs at least one frame");
  init(4);
}

double BassNoteTracker::stayProbability(std::int32_t position) {
  // Single-precision values: the table was tuned in floats.
  static const float stay[4] = {0.5f, 0.99f, 0.7f, 0.99f};
  return double(stay[((position % 4) + 4) % 4]);
}

void BassNoteTracker::init(std::int32_t beatsPerBar) {
  if (beatsPerBar < 1) throw std::invalid_argument("BassNoteTracker: beats per bar must be positive");
  beatsPerBar_ = beatsPerBar;
  const std::size_t cells = std::size_t(lag_) * kNotes;
  forward_.assign(cells, 1.0);
  backward_.assign(cells, 1.0);
  observation_.assign(cells, 1.0);
}

void BassNoteTracker::update(const float* feature, std::int32_t dimension, std::int32_t phase) {
  if (dimension < kNotes) throw std::invalid_argument("BassNoteTracker: the feature holds no bass chroma");
  const std::int32_t L = lag_;
  std::copy(forward_.begin() + kNotes, forward_.end(), forward_.begin());
  std::copy(observation_.begin() + kNotes, observation_.end(), observation_.begin());

  double* obs = row(observation_, L - 1);
  for (std::int32_t i = 0; i < kNotes; ++i) {
    const double f = feature[i];
    const double below = feature[(i + 11) % kNotes];
    const double above = feature[(i + 1) % kNotes];
    obs[i] = std::exp(f + 0.1 * below + 0.1 * above) + 0.5;
  }

  // Each other note gets the whole leave probability, not a share of it:
  // rows are renormalised anyway, and this keeps moves cheap.
  const auto weight = [](std::int32_t i, std::int32_t j, double stay) { return i == j ? stay : 1.0 - stay; };

  double* fwd = row(forward_, L - 1);
  if (L >= 2) {
    const double stay = stayProbability((phase + L - 1) % beatsPerBar_);
    const double* prev = row(forward_, L - 2);
    double sum = 0.0;
    for (std::int32_t j = 0; j < kNotes; ++j) {
      double acc = 0.0;
      for (std::int32_t i = 0; i < kNotes; ++i) acc += weight(i, j, stay) * prev[i];
      fwd[j] = acc * obs[j] + 1e-10;
      sum += fwd[j];
    }
    for (std::int32_t j = 0; j < kNotes; ++j) fwd[j] /= sum;
  } else {
    double sum = 0.0;
    for (std::int32_t j = 0; j < kNotes; ++j) sum += (fwd[j] = obs[j] + 1e-10);
    for (std::int32_t j = 0; j < kNotes; ++j) fwd[j] /= sum;
  }

  std::fill(backward_.begin(), backward_.end(), 1.0);
  for (std::int32_t t = L - 2; t >= 0; --t) {
    const double stay = stayProbability((t + 1 + phase) % beatsPerBar_);
    const double* nextObs = row(observation_, t + 1);
    const double* nextBack = row(backward_, t + 1);
    double* back = row(backward_, t);
    for (std::int32_t j = 0; j < kNotes; ++j) {
      double acc = 0.0;
      for (std::int32_t i = 0; i < kNotes; ++i) acc += weight(j, i, stay) * nextObs[i] * nextBack[i];
      back[j] = acc;
    }
  }
}

std::int32_t BassNoteTracker::bestNote() const {
  const double* fwd = row(forward_, 0);
  const double* back = row(backward_, 0);
  std::int32_t best = 0;
  for (std::int32_t i = 1; i < kNotes; ++i)
    if (fwd[i] * back[i] > fwd[best] * back[best]) best = i;
  return best;
}

}  // namespace kelo
