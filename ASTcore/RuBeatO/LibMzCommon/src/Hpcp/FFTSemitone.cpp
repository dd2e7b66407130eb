#include "Hpcp/FFTSemitone.h"

#include <algorithm>
#include <cstddef>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <limits>
#include <stdexcept>

#include "MzMir/Numeric/PitchConversion.h"
#include "Spectrum/CFft.h"

namespace Hpcp {

namespace {

// The frame is read every fourth sample: the transform runs at fs / 4.
constexpr int32_t kStride = 4;
constexpr uint64_t kTransformHop = 256;
constexpr int32_t kMaxFrameSize = 65535;
constexpr float kMaxFs = 192000.0f;
// Half-width of the whitening average, in oversampled bins.
constexpr int64_t kKernelCentre = 32;
// Four single-precision lanes, each an IEEE operation of its own (no
// fused multiply-add is enabled), so a lane computes what scalar code does.
typedef float Lanes __attribute__((vector_size(16)));
constexpr std::size_t kLanes = sizeof(Lanes) / sizeof(float);

inline Lanes loadLanes(const float* p) {
  Lanes v;
  std::memcpy(&v, p, sizeof v);
  return v;
}

// Outputs of the whitening average summed side by side.
constexpr std::size_t kBlockVectors = 8;
constexpr std::size_t kBlock = kBlockVectors * kLanes;

}  // namespace

ISemitonePower::~ISemitonePower() = default;

void ISemitonePower::setParams(const HpcpParams& params) {
  const int64_t n = int64_t{params.binsPerOctave} * params.octaves;
  const int64_t low = params.lowestNote;
  const int64_t high = low + n - 1;
  if (high > std::numeric_limits<int32_t>::max() || high < std::numeric_limits<int32_t>::min())
    throw std::invalid_argument("semitone range does not fit the note numbers");
  applyRange(static_cast<int32_t>(low), static_cast<int32_t>(high));
}

void ISemitonePower::applyRange(int32_t low, int32_t high) {
  powers.clear();
  powers.shrink_to_fit();
  if (low < high) {
    lowestNote = low;
    highestNote = high;
    count = static_cast<uint32_t>(int64_t{high} - low + 1);
    powers.assign(count, 0.0f);
  }
}

float* ISemitonePower::getPower(int32_t note) {
  if (note < lowestNote || note > highestNote ||
      static_cast<uint64_t>(int64_t{note} - lowestNote) >= powers.size())
    throw std::out_of_range("index out of range!");
  return &powers[static_cast<std::size_t>(note - lowestNote)];
}

ISpectralMethod::~ISpectralMethod() = default;

FFTSemitone::FFTSemitone() : kernel(kKernelRows * kKernelColumns, 0.0f) {}

FFTSemitone::~FFTSemitone() = default;

uint64_t FFTSemitone::getTransformSize() const { return fft ? fft->GetSize() : 0; }

void FFTSemitone::setParams(const HpcpParams& params) {
  refFreq = params.refFreq;
  ISemitonePower::setParams(params);
  setRange(lowestNote, highestNote, params.frameSize, params.oversample, params.fs);
}

void FFTSemitone::setRange(int32_t lowNote, int32_t highNote, int32_t newFrameSize,
                           int32_t newOversample, float fs) {
  applyRange(lowNote, highNote);
  setFs(fs);
  if (newFrameSize < 1 || newFrameSize > kMaxFrameSize)
    throw std::invalid_argument("Framesize should be positive and less than 65535");
  const int32_t previousFrameSize = frameSize;
  frameSize = newFrameSize;
  try {
    setUp();
  } catch (...) {
    // The transform refused the size before anything else changed.
    frameSize = previousFrameSize;
    throw;
  }
  if (newOversample <= 0) throw std::invalid_argument("Oversample Ratio should be positive");
  oversample = newOversample;
  setUp();
}

void FFTSemitone::setFs(float fs) {
  // At a rate of 0 the bins have no frequencies to place the bands on.
  if (!(fs > 0.0f && fs <= kMaxFs))
    throw std::invalid_argument("Fs should be between 0 and 192kHz");
  quarterFs = fs * 0.25f;
  setUp();
}

void FFTSemitone::releaseFft() { fft.reset(); }

void FFTSemitone::setUp() {
  // The sampling rate may arrive before the frame size; there is no
  // transform to build yet.
  if (frameSize == 0) return;

  const uint64_t n = static_cast<uint64_t>(frameSize / kStride);
  auto newFft = std::make_unique<CFft>(n, kTransformHop);  // rejects sizes that are no power of two
  newFft->MakeWindow(n, CFft::Hann);
  fft = std::move(newFft);

  magnitudes.assign(static_cast<std::size_t>(frameSize), 0.0f);
  filtered.assign(static_cast<std::size_t>(frameSize), 0.0f);
  const std::size_t nb = static_cast<std::size_t>(n * static_cast<uint64_t>(oversample) / 2);
  if (spectrum.size() != nb) {
    spectrum.assign(nb, 0.0f);
    spectrum.shrink_to_fit();
  }
  smoothed.assign(nb, 0.0f);
  smoothed.shrink_to_fit();
  // A block of outputs starting below nb reads up to kKernelTaps + kBlock - 2
  // positions past its start.
  padded.assign(nb + kKernelTaps + kBlock, 0.0f);
  padded.shrink_to_fit();
  centres.resize(count);

  std::fill(kernel.begin(), kernel.end(), 0.0f);
  float taps[kKernelTaps];
  float sum = 0.0f;
  for (std::size_t k = 0; k < kKernelTaps; ++k) {
    taps[k] = static_cast<float>(0.5 - 0.5 * std::cos(static_cast<double>(k) * 6.28318 * 0.015625));
    sum += taps[k];
  }
  for (std::size_t k = 0; k < kKernelTaps; ++k)
    for (std::size_t c = 0; c < kKernelColumns; ++c) kernel[(k + c) * kKernelColumns + c] = taps[k];
  for (float& v : kernel) v /= sum;

  dbSpectrum.fill(0.0f);
  buildBandMap();
}

void FFTSemitone::buildBandMap() {
  const std::size_t nb = spectrum.size();
  bandMap.assign(nb, -1);
  if (quarterFs == 0.0f || frameSize == 0) return;

  const float nyq = quarterFs * 0.5f;
  const float nbF = static_cast<float>(nb);
  const double nbD = static_cast<double>(nb);
  for (uint32_t i = 0; i < count && i < centres.size(); ++i) {
    const float f = MidiToFrequency(static_cast<float>(int64_t{lowestNote} + i), refFreq);
    centres[i] = f;
    const double lo = static_cast<double>((f / bandRatio) * nbF / nyq) + 0.5;
    if (!(lo < nbD)) break;
    const double hi = static_cast<double>((nbF * (f * bandRatio)) / nyq) + 0.5;
    const std::size_t first = lo > 0.0 ? static_cast<std::size_t>(lo) : 0;
    std::size_t end = nb;
    if (hi < nbD) end = std::min(nb, (hi > 0.0 ? static_cast<std::size_t>(hi) : 0) + 1);
    // The higher semitone, written later, keeps a shared edge bin.
    for (std::size_t b = first; b < end; ++b) bandMap[b] = static_cast<int32_t>(i);
  }
}

uint64_t FFTSemitone::usableLength(const float* signal, int32_t len) const {
  if (!fft) throw std::logic_error("FFTSemitone has no transform; configure it first");
  if (len < 0) throw std::invalid_argument("len_signal must not be negative");
  if (static_cast<uint64_t>(len) != kStride * fft->GetSize()) std::printf("Warning: Invalid len_signal\n");
  // The transform reads no sample at or beyond 4 * transform size.
  const uint64_t used = std::min<uint64_t>(static_cast<uint64_t>(len), kStride * fft->GetSize());
  if (used > 0 && signal == nullptr) throw std::invalid_argument("signal must not be null");
  return used;
}

void FFTSemitone::analyseLowPassed(const float* lowPassed) {
  fft->ComputeMagnitude(magnitudes.data(), lowPassed, kStride * fft->GetSize(), -1, true, kStride);
  computeBands(magnitudes.data());
}

void FFTSemitone::compute(const float* signal, int32_t len) {
  const uint64_t used = usableLength(signal, len);
  // A short frame is padded with zeros before it is filtered, so it gives
  // what the same frame padded by the caller gives.
  const uint64_t span = kStride * fft->GetSize();
  std::copy(signal, signal + used, filtered.begin());
  std::fill(filtered.begin() + static_cast<std::ptrdiff_t>(used),
            filtered.begin() + static_cast<std::ptrdiff_t>(span), 0.0f);
  lowPassForDecimation(filtered.data(), static_cast<int32_t>(span));
  analyseLowPassed(filtered.data());
}

void FFTSemitone::computeLowPassed(const float* signal, int32_t len) {
  const uint64_t used = usableLength(signal, len);
  const uint64_t span = kStride * fft->GetSize();
  if (used == span) {
    analyseLowPassed(signal);
    return;
  }
  std::copy(signal, signal + used, filtered.begin());
  std::fill(filtered.begin() + static_cast<std::ptrdiff_t>(used),
            filtered.begin() + static_cast<std::ptrdiff_t>(span), 0.0f);
  analyseLowPassed(filtered.data());
}

int32_t FFTSemitone::splineReach(int32_t m) const {
  const float nyq = quarterFs * 0.5f;
  const float reach = static_cast<float>(m) * kPeakCeilingHz / nyq;
  return reach >= static_cast<float>(m - 1) ? m - 1 : static_cast<int32_t>(reach);
}

void FFTSemitone::oversampleSpectrum(int32_t m) {
  const int32_t r = oversample;
  std::fill(spectrum.begin(), spectrum.end(), 0.0f);
  const int32_t k = splineReach(m);
  auto db = [&](int32_t i) { return i < m ? dbSpectrum[static_cast<std::size_t>(i)] : 0.0f; };
  for (int32_t src = 0; src < k; ++src) {
    const float y0 = db(src), y1 = db(src + 1), y2 = db(src + 2), y3 = db(src + 3);
    const float c1 = 0.5f * y2 - 0.5f * y0;
    const float c2 = y0 - 2.5f * y1 + 2.0f * y2 - 0.5f * y3;
    const float c3 = -0.5f * y0 + 1.5f * y1 - 1.5f * y2 + 0.5f * y3;
    for (int32_t j = 0; j < r; ++j) {
      const float t = static_cast<float>(j) / static_cast<float>(r);
      spectrum[static_cast<std::size_t>(r) * static_cast<std::size_t>(src + 1) + static_cast<std::size_t>(j)] =
          y1 + t * c1 + t * t * c2 + t * t * t * c3;
    }
  }
  const std::size_t clipped = k > 0 ? static_cast<std::size_t>(r) * static_cast<std::size_t>(k) : 0;
  for (std::size_t i = 0; i < clipped; ++i) spectrum[i] = std::max(spectrum[i], 0.0f);
}

void FFTSemitone::whiten(int32_t k2) {
  // Positions outside 0 .. k2-1 read as zeros: the spectrum is copied
  // between zeros once instead of every read being checked.
  const std::size_t count = static_cast<std::size_t>(std::max<int32_t>(k2, 0));
  std::fill(padded.begin(), padded.end(), 0.0f);
  std::copy(spectrum.begin(), spectrum.begin() + static_cast<std::ptrdiff_t>(count),
            padded.begin() + kKernelCentre);
  // Column 0 of the kernel holds the taps in their order.
  float taps[kKernelTaps];
  for (std::size_t k = 0; k < kKernelTaps; ++k) taps[k] = kernel[k * kKernelColumns];
  // A block of neighbouring outputs at a time, lane by lane in vectors, each
  // summed over the taps in their order: the block's sums are independent
  // chains the processor overlaps, while every output is the same sum, term
  // by term, as taken alone.
  for (std::size_t i = 0; i < count; i += kBlock) {
    Lanes acc[kBlockVectors] = {};
    // padded[i + k] is spectrum[i - kKernelCentre + k].
    const float* in = padded.data() + i;
    for (std::size_t k = 0; k < kKernelTaps; ++k) {
      const float h = taps[k];
      for (std::size_t v = 0; v < kBlockVectors; ++v) acc[v] += h * loadLanes(in + k + v * kLanes);
    }
    float out[kBlock];
    std::memcpy(out, acc, sizeof out);
    const std::size_t n = std::min(kBlock, count - i);
    std::copy(out, out + n, smoothed.begin() + static_cast<std::ptrdiff_t>(i));
  }
  for (std::size_t p = 0; p < count; ++p) spectrum[p] = std::max(0.0f, spectrum[p] - smoothed[p]);
}

void FFTSemitone::computeBands(const float* magnitudeSpectrum) {
  const int32_t m = static_cast<int32_t>(getTransformSize() / 2);
  if (m > 0 && magnitudeSpectrum == nullptr) throw std::invalid_argument("spectrum must not be null");
  // The spline reads no bin past its reach + 3: bins above the peak
  // ceiling need no logarithm.
  const int32_t used = oversample != 1 ? std::min(m, std::max(splineReach(m), 0) + 3) : m;
  for (int32_t k = 0; k < used; ++k) {
    const std::size_t p = static_cast<std::size_t>(k);
    dbSpectrum[p] = 10.0f * std::log10(magnitudeSpectrum[p] + 1.0f);
  }

  const std::size_t nb = spectrum.size();
  const float nyq = quarterFs * 0.5f;
  const float reach = static_cast<float>(nb) * kPeakCeilingHz / nyq;
  const int32_t k2 = reach >= static_cast<float>(nb) ? static_cast<int32_t>(nb) : static_cast<int32_t>(reach);

  if (oversample != 1) {
    oversampleSpectrum(m);
  } else {
    std::copy(dbSpectrum.begin(), dbSpectrum.begin() + std::min<std::ptrdiff_t>(m, static_cast<std::ptrdiff_t>(nb)),
              spectrum.begin());
  }

  if (whitening) whiten(k2);

  std::fill(powers.begin(), powers.end(), kPowerFloor);
  if (k2 < 3) return;

  // A peak beats both neighbours on either side; positions whose right
  // neighbours would lie past the spectrum are not peaks. A band takes its
  // highest peak. The band map runs upward in runs of one band, so each
  // run's highest peak is kept in a register and written once, and the
  // peak test is evaluated without a branch: data-dependent branches cost
  // more here than the comparisons.
  const std::size_t end = std::min(static_cast<std::size_t>(k2), nb > 2 ? nb - 2 : 0);
  auto keep = [&](int32_t band, float best) {
    if (band >= kFirstPeakBand && static_cast<std::size_t>(band) < powers.size())
      powers[static_cast<std::size_t>(band)] = std::max(powers[static_cast<std::size_t>(band)], best);
  };
  int32_t current = -1;
  // Below the floor every power starts from: a peak under it changes nothing
  // either way.
  float best = 0.0f;
  for (std::size_t p = 2; p < end; ++p) {
    const int32_t band = bandMap[p];
    if (band != current) {
      keep(current, best);
      current = band;
      best = 0.0f;
    }
    const float v = spectrum[p];
    const int peak = static_cast<int>(v > spectrum[p - 2]) & static_cast<int>(v > spectrum[p - 1]) &
                     static_cast<int>(v > spectrum[p + 1]) & static_cast<int>(v > spectrum[p + 2]);
    // v times 0 or 1: a product the compiler cannot turn back into a branch
    // (a non-peak gives 0, or NaN for an infinite v, which max passes over).
    best = std::max(best, v * static_cast<float>(peak));
  }
  keep(current, best);
}

void powerToDecibel(float* values, int32_t n, float floor) {
  if (values == nullptr) return;
  const float reference = 10.0f * std::log10(floor);
  for (int32_t i = 0; i < n; ++i) values[i] = 10.0f * std::log10(values[i] + floor) - reference;
}

}  // namespace Hpcp
