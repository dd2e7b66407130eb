// Re-blocking into hops, beat collection, slicing of the semitone frames at
// the selected beats, pooling, and the mapping of pooled semitone powers to
// the feature types.

#include "BeatSliceFeatureGenerator.h"

#include <algorithm>
#include <cmath>
#include <iterator>
#include <stdexcept>

#include <boost/make_shared.hpp>

#include "BeatFrameFeatureExtractor.h"
#include "Hpcp/CHpcp.h"
#include "MzMir/Numeric/NumericUtilities.h"
#include "SemitoneFrameFeatureExtractor.h"
#include "beat/CBeatDetect.h"

namespace kelo {

namespace {

constexpr float kFs = 44100.0f;
// Value of a semitone in the frames that pad a segment too short to have
// any.
constexpr double kPadValue = 1e-20;
constexpr int32_t kChromaBins = 12;
// The front end's type holding the semitone powers.
constexpr int32_t kSemitoneType = 3;

void poolMedianOf(FeatureVector& out, const BeatSliceFeatureGenerator::Slice& slice, std::size_t k) {
  std::vector<double> scratch(k);
  for (std::size_t d = 0; d < out.size(); ++d) {
    std::size_t i = 0;
    for (auto it = slice.first; it != slice.second; ++it) scratch[i++] = (*it)[d];
    out[d] = Numeric::median<double>(scratch.data(), static_cast<int32_t>(k));
  }
}

// Weighted by e^(-k/10) in single precision, normalised by the float sum of
// the weights.
void poolDecayingMeanOf(FeatureVector& out, const BeatSliceFeatureGenerator::Slice& slice) {
  float weightSum = 0.0f;
  std::size_t k = 0;
  for (auto it = slice.first; it != slice.second; ++it, ++k) {
    const float w = std::exp(-static_cast<float>(k) / 10.0f);
    weightSum += w;
    for (std::size_t d = 0; d < out.size(); ++d) out[d] += static_cast<double>(w) * (*it)[d];
  }
  if (weightSum > 0.0f)
    for (std::size_t d = 0; d < out.size(); ++d) out[d] /= static_cast<double>(weightSum);
}

// Each semitone s = 12 o + r is shared between octave bands o and o + 1 in
// the proportions r/12 and (12 - r)/12: a semitone near the bottom of its
// octave goes mostly to the band above, the reverse of plain interpolation.
// It is kept: the profile only feeds the meter estimator, which measures
// how periodic each band is from beat to beat, and the split moves energy
// between neighbouring bands without changing when it comes.
FeatureVector octaveProfile(const FeatureVector& p) {
  FeatureVector out(p.size() / kChromaBins + 1);
  std::fill(out.begin(), out.end(), 0.0);
  for (std::size_t s = 0; s < p.size(); ++s) {
    const std::size_t o = s / kChromaBins;
    const double r = static_cast<double>(s % kChromaBins);
    if (o + 1 >= out.size()) break;  // a partial top octave has no band above it
    out[o] += r / kChromaBins * p[s];
    out[o + 1] += (kChromaBins - r) / kChromaBins * p[s];
  }
  return out;
}

FeatureVector normalisedSemitones(const FeatureVector& p) {
  double energy = 0.0;
  for (double v : p) energy += v * v;
  const double n = std::sqrt(energy) + 0.1;
  FeatureVector out(p.size());
  for (std::size_t d = 0; d < p.size(); ++d) out[d] = p[d] / n;
  return out;
}

FeatureVector range(const std::vector<double>& v, std::size_t from, std::size_t count) {
  FeatureVector out(count);
  std::copy(v.begin() + static_cast<std::ptrdiff_t>(from), v.begin() + static_cast<std::ptrdiff_t>(from + count),
            out.begin());
  return out;
}

}  // namespace

BeatSliceFeatureGenerator::BeatSliceFeatureGenerator(int frameLen, int hopSize)
    : frameLength(frameLen), hop(hopSize) {
  hpcp = boost::make_shared<Hpcp::CHpcp>(12, 6, "C0", frameLength, false, 10, false, 3, 0, true, kFs, 48.0f);
  beatDetector = boost::make_shared<RuBeatO::CBeatDetect>(1024, hop, 3, true, kFs, 60.0f, 200.0f);
  block.reset(new float[static_cast<std::size_t>(hop)]());
  semitoneExtractor =
      boost::make_shared<SemitoneFrameFeatureExtractor>(hop, frameLength, divider, hpcp, &semitoneFrames);
  beatExtractor = boost::make_shared<BeatFrameFeatureExtractor>(hop, hop, beatDetector);
}

BeatSliceFeatureGenerator::~BeatSliceFeatureGenerator() = default;

void BeatSliceFeatureGenerator::pushHop(const float* samples) {
  semitoneExtractor->pushSamples(samples, hop);
  beatExtractor->pushSamples(samples, hop);
}

void BeatSliceFeatureGenerator::pushSamples(const float* samples, int count) {
  if (count <= 0) return;
  if (samples == nullptr) throw std::invalid_argument("samples must not be null");
  int r = 0;
  if (blockFill >= 1) {
    r = hop - blockFill;
    if (r > count) {
      std::copy(samples, samples + count, block.get() + blockFill);
      blockFill += count;
      return;
    }
    std::copy(samples, samples + r, block.get() + blockFill);
    blockFill = 0;
    pushHop(block.get());
  }
  for (; count - r >= hop; r += hop) pushHop(samples + r);
  std::copy(samples + r, samples + count, block.get());
  blockFill = count - r;
}

void BeatSliceFeatureGenerator::flush() {
  beatDetector->infer();
  std::list<int> found;
  beatDetector->getBeatFrames(found, 1, 0);
  flushAtBeats(found);
}

void BeatSliceFeatureGenerator::flushAtBeats(const std::list<int>& beats) {
  if (!std::is_sorted(beats.begin(), beats.end()) || (!beats.empty() && beats.front() < 0))
    throw std::invalid_argument("beat frames must be ascending and not negative");
  beatFrames.clear();
  const int64_t b = static_cast<int64_t>(beats.size());
  const int64_t f = static_cast<int64_t>(semitoneFrames.size());
  const int64_t missing = (b + 4) / 4 - 4 * f;
  if (missing > 0) {
    FeatureVector pad(static_cast<std::size_t>(hpcp->getSize(kSemitoneType)));
    std::fill(pad.begin(), pad.end(), kPadValue);
    for (int64_t i = 0; i < missing; ++i) semitoneFrames.push_back(pad);
  }
  beatFrames.insert(beatFrames.end(), beats.begin(), beats.end());
}

void BeatSliceFeatureGenerator::sliceByBeats(int step, int offset) {
  if (step < 1) throw std::invalid_argument("step must be at least 1");
  selectedBeats.clear();
  uint32_t c = static_cast<uint32_t>(beatOffset);
  for (int frame : beatFrames) {
    if (static_cast<int64_t>(c % static_cast<uint32_t>(step)) == offset) selectedBeats.push_back(frame);
    ++c;
  }

  const int32_t f = static_cast<int32_t>(semitoneFrames.size());
  const float secondsPerFrame = static_cast<float>(hop) / kFs;
  slices.clear();
  beatTimes.clear();
  std::vector<FeatureList::const_iterator> starts;
  for (int frame : selectedBeats) {
    const double quarter = static_cast<double>(static_cast<float>(frame) / 4.0f);
    const int32_t boundary = std::min(f - 1, static_cast<int32_t>(quarter + 0.5));
    // Without semitone frames every slice is empty.
    starts.push_back(f == 0 ? semitoneFrames.cend() : std::next(semitoneFrames.cbegin(), boundary));
    beatTimes.push_back(static_cast<float>(frame) * secondsPerFrame);
  }
  for (std::size_t i = 0; i < starts.size(); ++i)
    slices.emplace_back(starts[i], i + 1 < starts.size() ? starts[i + 1] : semitoneFrames.cend());
}

FeatureVector BeatSliceFeatureGenerator::poolFrames(const Slice& slice, int pooling, std::size_t dimension) {
  if (pooling < poolMedian || pooling > poolRootSumSquares) throw std::invalid_argument("unknown pooling");
  FeatureVector out(slice.first == slice.second ? dimension : slice.first->size());
  std::fill(out.begin(), out.end(), 0.0);
  if (slice.first == slice.second) return out;

  std::size_t k = 0;
  for (auto it = slice.first; it != slice.second; ++it, ++k)
    if (it->size() < out.size()) throw std::invalid_argument("frames of a slice differ in length");

  switch (pooling) {
    case poolMedian:
      poolMedianOf(out, slice, k);
      break;
    case poolSum:
    case poolMean:
      for (auto it = slice.first; it != slice.second; ++it)
        for (std::size_t d = 0; d < out.size(); ++d) out[d] += (*it)[d];
      if (pooling == poolMean)
        for (double& v : out) v /= static_cast<double>(static_cast<float>(k));
      break;
    case poolDecayingMean:
      poolDecayingMeanOf(out, slice);
      break;
    case poolRootSumSquares:
      for (auto it = slice.first; it != slice.second; ++it)
        for (std::size_t d = 0; d < out.size(); ++d) out[d] += (*it)[d] * (*it)[d];
      for (double& v : out) v = static_cast<double>(std::sqrt(static_cast<float>(v)));
      break;
  }
  return out;
}

void BeatSliceFeatureGenerator::makeFeature(std::vector<FeatureVector>& out, int type, int offset, int step,
                                            int pooling) {
  sliceByBeats(step, offset);
  out.resize(slices.size());
  if (slices.empty()) return;

  const int32_t semitones = hpcp->getSize(kSemitoneType);
  hpcp->getSize(type);  // refuses types above 7 and below 0 before any slice
  for (std::size_t i = 0; i < slices.size(); ++i)
    out[i] = featureOf(poolFrames(slices[i], pooling, static_cast<std::size_t>(semitones)), type);
}

FeatureVector BeatSliceFeatureGenerator::featureOf(const FeatureVector& p, int type) const {
  switch (type) {
    case SemitonePow:
      return normalisedSemitones(p);
    case OctaveProfile:
      return octaveProfile(p);
    case BassChroma:
    case TrebleChroma:
    case BassTrebleChroma:
    case JointHPCP:
      break;
    default:
      if (type < 0 || type > OctaveProfile) hpcp->getSize(type);  // "Invalid TYPE"
      throw std::invalid_argument("Cannot use feature other than JointHPCP or SemitonePow");
  }
  const int32_t octaves = hpcp->getOctaves();
  const std::size_t bins = static_cast<std::size_t>(hpcp->getParams().binsPerOctave);
  std::vector<double> folded(2 * bins + 2);
  double trebleSum = 0.0, bassSum = 0.0;
  Hpcp::CHpcp::convertToHpcpfeature<double>(folded.data(), trebleSum, bassSum, &p[0], octaves,
                                            static_cast<int32_t>(bins), static_cast<int32_t>(p.size()), true);
  folded[2 * bins] = bassSum;
  folded[2 * bins + 1] = trebleSum;
  switch (type) {
    case BassChroma:
      return range(folded, 0, bins);
    case TrebleChroma:
      return range(folded, bins, bins);
    case BassTrebleChroma:
      return range(folded, 0, 2 * bins);
    default:
      return range(folded, 0, 2 * bins + 2);
  }
}

float BeatSliceFeatureGenerator::value(int i) const {
  if (i < 0) throw std::out_of_range("beat index must not be negative");
  return beatTimes.at(static_cast<std::size_t>(i));
}

void BeatSliceFeatureGenerator::advance() {
  slices.clear();  // they point into the frames about to go
  semitoneExtractor->clearFeatures();
  beatExtractor->clearFeatures();
  beatOffset += static_cast<int32_t>(beatFrames.size());
}

void BeatSliceFeatureGenerator::reset() {
  beatOffset = 0;
  advance();
}

void BeatSliceFeatureGenerator::setBeatParams(int period, int phase) { beatDetector->setTempoState(period, phase); }

void BeatSliceFeatureGenerator::lastBeat(int* period, int* framesToNext) const {
  beatDetector->getInfoAtFrame(beatDetector->getNumFrames() - 1, period, framesToNext);
}

int BeatSliceFeatureGenerator::framesToNextBeat() const {
  int period = 0, toNext = 0;
  lastBeat(&period, &toNext);
  return toNext;
}

int BeatSliceFeatureGenerator::numFrames() const { return beatDetector->getNumFrames(); }

std::vector<std::pair<int, int>> BeatSliceFeatureGenerator::sliceBounds() const {
  std::vector<std::pair<int, int>> bounds;
  const auto begin = semitoneFrames.cbegin();
  for (const Slice& s : slices)
    bounds.emplace_back(static_cast<int>(std::distance(begin, s.first)),
                        static_cast<int>(std::distance(begin, s.second)));
  return bounds;
}

}  // namespace kelo
