#include "Hpcp/CHpcp.h"

#include <algorithm>
#include <cmath>
#include <new>
#include <stdexcept>

#include "MzMir/Numeric/PitchConversion.h"

namespace Hpcp {

namespace {

// Semitones an unconfigured method reports; the semitone copy never holds
// fewer.
constexpr std::size_t kDefaultSemitones = 127;
// Bins of one profile the fold and its normalisation cover.
constexpr int32_t kProfileBins = 12;
constexpr int32_t kBassCentre = 12;
constexpr int32_t kTrebleCentre = 48;
constexpr int32_t kWeightWidth = 12;
// Gaussian weights are divided by this (single-precision value in both
// instances).
constexpr float kWeightDivisor = 30.071915f;
constexpr float kNormEpsilon = 1e-10f;

const char* const kInvalidType = "Invalid TYPE";

template <typename T>
void centreAndScale(T* profile) {
  T sum = 0;
  for (int32_t j = 0; j < kProfileBins; ++j) sum += profile[j];
  const T mean = sum / T(kProfileBins);
  T energy = 0;
  for (int32_t j = 0; j < kProfileBins; ++j) {
    profile[j] -= mean;
    energy += profile[j] * profile[j];
  }
  const T length = std::sqrt(energy + T(kNormEpsilon));
  for (int32_t j = 0; j < kProfileBins; ++j) profile[j] /= length;
}

}  // namespace

template <typename T>
void CHpcp::convertToHpcpfeature(T* out, T& trebleSum, T& bassSum, const T* in, int32_t octaves,
                                 int32_t binsPerOctave, int32_t inCount, bool normalize) {
  if (binsPerOctave < kProfileBins)
    throw std::invalid_argument("convertToHpcpfeature needs at least 12 bins per octave");
  const int64_t semitoneCount = std::max<int64_t>(0, int64_t{octaves} * binsPerOctave);
  if (inCount < semitoneCount) throw std::invalid_argument("convertToHpcpfeature: too few input values");
  if (out == nullptr || (in == nullptr && inCount > 0))
    throw std::invalid_argument("convertToHpcpfeature: null buffer");

  // The input may overlap the output.
  const std::vector<T> x(in, in + inCount);
  const T divisor = T(kWeightDivisor);
  const T width = T(kWeightWidth);

  T* bass = out;
  T* treble = out + binsPerOctave;
  std::fill(bass, bass + binsPerOctave, T(0));
  for (int64_t i = 0; i < semitoneCount; ++i) {
    const T d = (T(i) - T(kBassCentre)) / width;
    bass[i % kProfileBins] += std::exp(T(-0.5) * d * d) / divisor * x[static_cast<std::size_t>(i)];
  }
  std::fill(treble, treble + binsPerOctave, T(0));
  for (int64_t i = 0; i < semitoneCount; ++i) {
    const T d = (T(i) - T(kTrebleCentre)) / width;
    treble[i % kProfileBins] += std::exp(T(-0.5) * d * d) / divisor * x[static_cast<std::size_t>(i)];
  }

  T b = 0, t = 0;
  for (int32_t j = 0; j < binsPerOctave; ++j) {
    b += bass[j];
    t += treble[j];
  }
  bassSum = b;
  trebleSum = t;

  if (normalize) {
    centreAndScale(bass);
    centreAndScale(treble);
  }
}

template void CHpcp::convertToHpcpfeature<float>(float*, float&, float&, const float*, int32_t, int32_t, int32_t,
                                                bool);
template void CHpcp::convertToHpcpfeature<double>(double*, double&, double&, const double*, int32_t, int32_t,
                                                 int32_t, bool);

CHpcp::CHpcp(int32_t binsPerOctave, int32_t octaves, const std::string& lowestNoteName, int32_t frameSize,
             bool flagA, int32_t intA, bool flagB, int32_t oversample, int32_t intB, bool normalize, float fs,
             float floatA) {
  init(binsPerOctave, octaves, lowestNoteName, frameSize, flagA, intA, flagB, oversample, intB, normalize, fs,
       floatA);
}

CHpcp::~CHpcp() { release(); }

void CHpcp::init(int32_t binsPerOctave, int32_t octaves, const std::string& lowestNoteName, int32_t frameSize,
                 bool flagA, int32_t intA, bool flagB, int32_t oversample, int32_t intB, bool normalize, float fs,
                 float floatA) {
  release();

  const int32_t lowestNote = NoteNameToMidi(lowestNoteName);
  if (lowestNote < 0) throw std::invalid_argument("unknown note name: " + lowestNoteName);

  params.fixedFlag0 = false;
  params.fixedFlag1 = true;
  params.fixedFlag2 = true;
  params.binsPerOctave = binsPerOctave;
  params.octaves = octaves;
  params.fs = fs;
  params.lowestNote = lowestNote;
  params.floatA = floatA;
  params.frameSize = frameSize;
  params.flagA = flagA;
  params.flagB = flagB;
  params.intA = intA;
  params.oversample = oversample;
  params.normalize = normalize;
  params.refFreq = 440.0f;
  params.intB = intB;

  if (createSpectralMethod() != 0) throw std::bad_alloc();
  method->setParams(params);
  copyPowers();  // sizes the copy for ranges wider than the default
}

int32_t CHpcp::createSpectralMethod() {
  try {
    method = std::make_unique<FFTSemitone>();
    feature.assign(static_cast<std::size_t>(std::max(0, 2 * params.binsPerOctave + 2)), 0.0f);
    semitones.assign(std::max<std::size_t>(kDefaultSemitones, method->getCount()), 0.0f);
  } catch (const std::bad_alloc&) {
    release();
    return 1;
  }
  return 0;
}

FFTSemitone* CHpcp::semitoneMethod() const { return dynamic_cast<FFTSemitone*>(method.get()); }

void CHpcp::copyPowers() {
  if (!method) return;
  const std::size_t n = method->getCount();
  if (semitones.size() < n) semitones.resize(n, 0.0f);
  if (const float* p = method->getPowers()) std::copy(p, p + n, semitones.begin());
}

void CHpcp::fold() {
  const std::size_t b = static_cast<std::size_t>(params.binsPerOctave);
  convertToHpcpfeature<float>(feature.data(), feature[2 * b + 1], feature[2 * b], method->getPowers(),
                              params.octaves, params.binsPerOctave, static_cast<int32_t>(method->getCount()),
                              params.normalize);
}

void CHpcp::process(const float* signal, int32_t len) {
  if (!method) throw std::logic_error("CHpcp has no spectral method");
  method->compute(signal, len);
  copyPowers();
}

void CHpcp::processLowPassed(const float* signal, int32_t len) {
  FFTSemitone* fftMethod = semitoneMethod();
  if (fftMethod == nullptr) throw std::logic_error("CHpcp has no spectral method");
  fftMethod->computeLowPassed(signal, len);
  copyPowers();
}

void CHpcp::processAndCopy(float* out, const float* signal, int32_t len) {
  process(signal, len);
  if (out != nullptr && !semitones.empty()) std::copy(semitones.begin(), semitones.begin() + method->getCount(), out);
}

int32_t CHpcp::processToHpcp(const float* signal, int32_t len) {
  process(signal, len);
  fold();
  return 0;
}

int32_t CHpcp::processSpectrum(const float* spectrum) {
  FFTSemitone* fftMethod = semitoneMethod();
  if (fftMethod == nullptr) throw std::logic_error("ISemitone is not FFTSemitone");
  fftMethod->computeBands(spectrum);
  copyPowers();
  fold();
  return 0;
}

int32_t CHpcp::getSize(int32_t type) const {
  const int32_t b = params.binsPerOctave;
  switch (type) {
    case 0:
    case 1: return b;
    case 2: return 2 * b;
    case 3: return method ? static_cast<int32_t>(method->getCount()) : 0;
    case 4: return 2 * b + 2;
    case 5:
    case 6: return 1;
    case 7: return params.octaves;
    default: throw std::logic_error(kInvalidType);
  }
}

const float* CHpcp::getData(int32_t type) const {
  const std::size_t b = static_cast<std::size_t>(params.binsPerOctave);
  if (type == 3) return semitones.empty() ? nullptr : semitones.data();
  if (type < 0 || type > 6) throw std::logic_error(kInvalidType);
  if (feature.empty()) return nullptr;
  switch (type) {
    case 1: return feature.data() + b;
    case 5: return feature.data() + 2 * b;
    case 6: return feature.data() + 2 * b + 1;
    default: return feature.data();
  }
}

float CHpcp::getSemitonePower(int32_t note) {
  if (!method) return 0.0f;
  return *method->getPower(note);
}

void CHpcp::setReferenceFrequency(float f) {
  params.refFreq = f;
  if (!method) return;
  method->setParams(params);
  copyPowers();
}

void CHpcp::setWhitening(bool on) {
  if (FFTSemitone* fftMethod = semitoneMethod()) fftMethod->setWhitening(on);
}

int32_t CHpcp::release() {
  feature.clear();
  feature.shrink_to_fit();
  semitones.clear();
  semitones.shrink_to_fit();
  method.reset();
  return 0;
}

}  // namespace Hpcp
