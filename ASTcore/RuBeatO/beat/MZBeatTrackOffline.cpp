// Offline beat tracker: band energies, onset strength, decimated
// observations and tempo evidence for the tempo/phase model.

#include "MZBeatTrackOffline.h"

#include <algorithm>
#include <cmath>
#include <stdexcept>

namespace RuBeatO {

namespace {

int32_t maxPeriodOf(float fps, float bpmMin) {
  return static_cast<int32_t>(60.0f * fps / static_cast<float>(static_cast<int32_t>(bpmMin)));
}

int32_t minPeriodOf(float fps, float bpmMax) {
  return std::max(1, static_cast<int32_t>(60.0f * fps / bpmMax));
}

// The slowest tempo the model holds, in frames per beat.
int32_t slowestPeriodOf(float fps, float bpmMin) {
  return static_cast<int32_t>(static_cast<double>(60.0f * fps / bpmMin) + 0.5) + 1;
}

// Checks every parameter before a member is built; returns dim.
int32_t checkedDim(int framelen, int dim, int decim, float fs, float fps, float bpmMin,
                   float bpmMax) {
  if (!(bpmMin > 0.0f) || !(bpmMin < bpmMax))
    throw std::domain_error("0<bpmMin<bpmMax is not satisfied");
  if (framelen == 0 || static_cast<uint32_t>(framelen) > 32768u)
    throw std::domain_error("Framelen must be >0 and <=32768");
  if (!(fs > 0.0f) || fs > 192000.0f) throw std::domain_error("Fs should be >0 and <=192kHz");
  if (!(fps > 0.0f)) throw std::domain_error("fps should be greater than 0");
  if (dim < 1 || dim >= framelen) throw std::domain_error("_mfccDim should be >0 and <framelen");
  if (decim < 1) throw std::domain_error("decim_factor should be greater than 0");
  // The model refuses this too, but only after the comb bank (whose storage
  // grows with the square of its size) would have been allocated.
  if (static_cast<double>(60.0f * fps) / static_cast<int32_t>(bpmMin) >= 8192.0)
    throw std::domain_error("Comb Filter Dimension should be positive");
  return dim;
}

}  // namespace

MZBeatTrackOffline::MZBeatTrackOffline(int framelen, int dim_, int decim, float fs, float fps_,
                                       float bpmMin, float bpmMax)
    : dim(checkedDim(framelen, dim_, decim, fs, fps_, bpmMin, bpmMax)),
      bands(dim, framelen / 2, framelen, fs, 50.0f, 8000.0f),
      bandEnergy(static_cast<size_t>(dim), 0.0f),
      feature(static_cast<size_t>(dim), 0.0f),
      fps(fps_),
      // A frame rate above fs would make the hop 0 samples long.
      lag(std::max(1, framelen / std::max(1, static_cast<int32_t>(fs / fps_)))),
      weightedSums(static_cast<size_t>(lag), 0.0f),
      sums(static_cast<size_t>(lag), 0.0f),
      spare(20, 0.0f),
      normaliser(20, 0.0f),
      ring(static_cast<size_t>(decim), 0.0f),
      ringIndex(decim),
      comb(maxPeriodOf(fps_, bpmMin) + 1, 3.0f * fps_),
      model(new BeatHmm),
      decimIndex(decim),
      energies(static_cast<size_t>(maxPeriodOf(fps_, bpmMin) + 1), 0.0f),
      refreshIndex(80) {
  history.assign(static_cast<size_t>(lag) * dim, 0.0f);
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
  bands.apply(bandEnergy.data(), spectrum);
  std::copy(bandEnergy.begin(), bandEnergy.end(), feature.begin());

  std::copy(history.begin() + dim, history.end(), history.begin());
  std::copy(bandEnergy.begin(), bandEnergy.end(), history.end() - dim);

  // Rise of each band's log energy over the analysis window; the offset of
  // 100 keeps quiet passages from producing large relative jumps.
  float sum = 0.0f;
  float weightedSum = 0.0f;
  for (int32_t b = 0; b < dim; ++b) {
    const float rise =
        std::max(0.0f, std::log(bandEnergy[b] + 100.0f) - std::log(history[b] + 100.0f));
    const float w = static_cast<float>(dim - b) / static_cast<float>(dim);
    sum += rise;
    weightedSum += w * w * rise;
  }
  const int32_t m = lag < 4 ? 1 : lag / 2;
  std::copy(sums.begin() + 1, sums.begin() + m, sums.begin());
  sums[m - 1] = sum;
  std::copy(weightedSums.begin() + 1, weightedSums.begin() + m, weightedSums.begin());
  weightedSums[m - 1] = weightedSum;

  const float z = normaliser.update(sum);
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
