// Offline beat tracker: band energies, onset strength, decimated
// observations and tempo evidence for the tempo/phase model.

#include "MZBeatTrackOffline.h"

#include <algorithm>
#include <cmath>
#include <stdexcept>

namespace RuBeatO {

MZBeatTrackOffline::MZBeatTrackOffline(int framelen, int dim_, int decim, float fs, float fps_,
                                       float bpmMin, float bpmMax)
    : dim(checkedTrackerDim(framelen, dim_, decim, fs, fps_, bpmMin, bpmMax)),
      onset(framelen, dim, fs, fps_),
      feature(static_cast<size_t>(dim), 0.0f),
      fps(fps_),
      spare(20, 0.0f),
      ring(static_cast<size_t>(decim), 0.0f),
      ringIndex(decim),
      comb(maxPeriodOf(fps_, bpmMin) + 1, 3.0f * fps_),
      model(new BeatHmm),
      decimIndex(decim),
      energies(static_cast<size_t>(maxPeriodOf(fps_, bpmMin) + 1), 0.0f),
      refreshIndex(80) {
  for (int32_t b = 0; b < dim; ++b) {
    bandStats.emplace_back(new Numeric::MovingAverageSD<float>(50, 5.0f));
    bandMax.emplace_back(new Numeric::MovingMaximum<float>(20));
  }
  const float fpbAt130 = 60.0f * fps / 130.0f;
  model->init(12, static_cast<uint32_t>(maxPeriodOf(fps, bpmMin) + 1), decim,
              minPeriodOf(fps, bpmMax), slowestPeriodOf(fps, bpmMin), fpbAt130,
              std::fabs(fpbAt130 - 60.0f * fps / 100.0f));
}

MZBeatTrackOffline::~MZBeatTrackOffline() = default;

void MZBeatTrackOffline::addData(const float* spectrum, int) {
  const float z = onset.push(spectrum);
  std::copy(onset.bandEnergies().begin(), onset.bandEnergies().end(), feature.begin());

  ++ringIndex;
  ring[ringIndex.GetPosition()] = z;
  comb.push(z);

  if (decimIndex.GetPosition() != 0) {
    ++decimIndex;
    ++frameCount;
    return;
  }
  const float observation = std::max(0.0f, *std::max_element(ring.begin(), ring.end()));
  if (refreshIndex.GetPosition() == 0) comb.getEnergies(energies);
  ++refreshIndex;
  model->pushData(observation, energies);
  ++decimIndex;
  ++frameCount;
}

const float* MZBeatTrackOffline::getFeature(int* dimOut) const {
  if (dimOut != nullptr) *dimOut = dim;
  return feature.data();
}

void MZBeatTrackOffline::infer() { model->infer(); }

float MZBeatTrackOffline::observationAt(int frame) const {
  if (frame < 0) return 0.0f;
  const auto t = static_cast<size_t>(frame / decimIndex.GetSize());
  return t < model->getNumSteps() ? model->getObservation(t) : 0.0f;
}

void MZBeatTrackOffline::getInfoAtFrame(int frame, int* period, int* phase) const {
  const int32_t t = frame / decimIndex.GetSize();
  if (frame < 0 || static_cast<size_t>(t) >= model->getNumSteps())
    throw std::domain_error("idx must be less than the number of times pushData() was called");
  if (static_cast<size_t>(t) >= model->getPath().size())
    throw std::logic_error("infer() has not been called since this frame was added");
  model->getStateAt(static_cast<size_t>(t), period, phase);
}

void MZBeatTrackOffline::setTempoState(int period, int phase) {
  model->setStartState(period, phase);
}

void MZBeatTrackOffline::addBeatConstraint(int frame, int radius) {
  if (radius <= 0) throw std::domain_error("Non-Positive radius is not valid.");
  model->addBeatConstraint(static_cast<uint32_t>(frame), static_cast<uint32_t>(radius));
}

void MZBeatTrackOffline::addNoBeatConstraint(int frame, int radius) {
  model->addNoBeatConstraint(frame, radius);
}

void MZBeatTrackOffline::clearConstraints() { model->clearConstraints(); }

void MZBeatTrackOffline::filterSequences(std::vector<std::vector<float>>& outputs,
                                         const std::vector<float>& input) const {
  const int32_t n = comb.getPeriodCount();
  outputs.assign(static_cast<size_t>(n), {});
  if (n < 2) return;
  // The level of the sequence, followed by the shortest resonator both ways,
  // as the DC reference of every resonator.
  std::vector<float> forward;
  std::vector<float> dc;
  comb.filterSequence(1, input, forward, 1000, true);
  comb.filterSequence(1, forward, dc, 0, false);
  std::vector<float> scratch;
  for (int32_t k = 1; k < n; ++k) {
    comb.filterSequence(k, input, outputs[k], 1000, true);
    comb.filterSequence(k, outputs[k], scratch, 0, false);
    comb.removeDc(k, scratch, dc, outputs[k]);
  }
}

}  // namespace RuBeatO
