#include "CTransientDetector.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "EngineArray.h"
#include "SpectralWindows.h"

namespace {

// Mel scale: mel = 1127.01048 ln(1 + f/700); edges from 40 Hz, equally
// spaced in mel.
constexpr double kMelOf40Hz = 62.62780462351186;
constexpr double kMelSpacing = 92.0348885711845;
constexpr double kMelScale = 1127.01048;

// Entries 0 to 2 of a band block are band energies (power, 16-bit units);
// the others are levels in dB.
constexpr int kEnergyEntries = 3;
// An energy change counts as an attack only when it is larger than the
// energy a tone of -80 dB full scale leaves in a band ((32768e-4)^2 with
// the window's unit gain): a change of a few quantisation steps in a band
// that holds nothing but the noise floor is no attack.
constexpr double kEnergyFloor = 10.737;
// ... and larger than the part of the frames' whole energy that the Hamming
// window's highest side lobe (-43 dB) stands for: below that a band's
// energy can be the leakage of strong partials elsewhere, which beats as
// they do.
constexpr double kLeakage = 5e-5;

}  // namespace

CTransientDetector::CTransientDetector(const float* ring, int sampleRate, std::int64_t ringLength)
    : ring_(ring), sampleRate_(sampleRate), ringLength_(ringLength) {
  if (!ring || sampleRate <= 0 || sampleRate > 192000) throw -2;
  for (int k = 0; k < kEdgeCount; ++k)
    edgeFrequency_[k] = static_cast<float>(700.0 * (std::exp((kMelOf40Hz + kMelSpacing * k) / kMelScale) - 1.0));
  frameLength_ = static_cast<std::int64_t>(sampleRate * 1024.0 / 22050.0);
  half_ = frameLength_ / 2;
  if (frameLength_ < 2 || frameLength_ > kMaxFftLength || ringLength < frameLength_) throw -2;
  frameBuffer_ = EngineArray::Make<float>(static_cast<std::size_t>(frameLength_ + 1));
  window_ = EngineArray::Make<float>(static_cast<std::size_t>(frameLength_));
  power_ = EngineArray::Make<float>(static_cast<std::size_t>(half_ + 1));
  for (auto& h : history_) h = EngineArray::Make<float>(kBandCount);
  MakeWindow(frameLength_, SpectralWindows::kHamming, window_.get());

  const int nyquist = sampleRate_ / 2;
  for (int k = 0; k < kEdgeCount; ++k)
    edgeBin_[k] = static_cast<std::int64_t>(edgeFrequency_[k] * static_cast<float>(half_) / static_cast<float>(nyquist));
  const double hz = static_cast<double>(nyquist) / static_cast<double>(half_);
  const float* e = edgeFrequency_;
  rising_ = EngineArray::Make<double>(static_cast<std::size_t>(half_ + 1));
  falling_ = EngineArray::Make<double>(static_cast<std::size_t>(half_ + 1));
  for (int j = 0; j + 1 < kEdgeCount; ++j) {
    const double d = e[j + 1] - e[j];
    for (std::int64_t b = edgeBin_[j]; b < std::min(edgeBin_[j + 1], half_); ++b) {
      rising_[static_cast<std::size_t>(b)] = 1.0 - (e[j + 1] - b * hz) / d;
      falling_[static_cast<std::size_t>(b)] = 1.0 - (b * hz - e[j]) / d;
    }
  }
}

CTransientDetector::~CTransientDetector() = default;

void CTransientDetector::ResetHistory() {
  for (auto& h : history_) std::fill(h.get(), h.get() + kBandCount, 0.0f);
}

int CTransientDetector::ComputeBandLevels(SMSFrame& frame, std::int64_t centre) {
  if (!frame.bandBlock) return 0;
  // The power spectrum writes every bin 0 .. half_ (or fails, and then
  // nothing below reads them): no zeroing first.
  float* power = power_.get();
  std::int64_t start = centre - half_;
  if (start < 0) start += ringLength_;
  const float* samples;
  if (start < ringLength_ - frameLength_) {
    samples = ring_ + start;
  } else {
    // The frame crosses the ring's end: the tail, then the head.
    const std::int64_t tail = ringLength_ - start;
    std::memcpy(frameBuffer_.get(), ring_ + start, static_cast<std::size_t>(tail) * sizeof(float));
    std::memcpy(frameBuffer_.get() + tail, ring_, static_cast<std::size_t>(frameLength_ - tail) * sizeof(float));
    samples = frameBuffer_.get();
  }
  const int result = WindowedPowerSpectrum(samples, window_.get(), frameLength_, power, 2 * half_);
  if (result != 0) return result;

  // Each band a triangle over the bins between the edges below and above
  // it, summed in order of bins.
  const std::int64_t* edgeBin = edgeBin_;
  const double* rising = rising_.get();
  const double* falling = falling_.get();
  double band[kBandCount] = {};
  for (std::int64_t b = edgeBin[0]; b < std::min(edgeBin[1], half_); ++b) band[0] += rising[b] * power[b];
  bool reachedTop = true;
  for (int j = 1; j < kBandCount; ++j) {
    if (edgeBin[j] >= half_) {
      reachedTop = false;
      break;
    }
    for (std::int64_t b = edgeBin[j]; b < std::min(edgeBin[j + 1], half_); ++b) {
      band[j - 1] += falling[b] * power[b];
      band[j] += rising[b] * power[b];
    }
  }
  if (reachedTop) {
    for (std::int64_t b = edgeBin[40]; b < std::min(edgeBin[41], half_); ++b) band[39] += falling[b] * power[b];
  }

  double total = 0.0, strongest = 0.0, high = 0.0, low = 0.0;
  for (int j = 0; j < kBandCount; ++j) {
    total += band[j];
    strongest = std::max(strongest, band[j]);
    if (j >= 26 && j <= 35) high += band[j];
    if (j >= 1 && j <= 5) low += band[j];
  }
  float* block = frame.bandBlock;
  for (int j = 0; j < kBandCount; ++j)
    block[j] = band[j] > 0.0 ? static_cast<float>(10.0 * std::log10(band[j] / strongest)) : -100.0f;
  block[0] = static_cast<float>(total);
  block[1] = static_cast<float>(high);
  block[2] = static_cast<float>(low);
  return 0;
}

int CTransientDetector::ComputeFlux(SMSFrame* const* slots) {
  const double D = static_cast<double>(historyDepth);
  SMSFrame* target = slots[0];
  if (!target || !target->bandBlock) return 0;
  auto levels = [&](int s) -> const float* {
    static const float kSilence[kBandCount] = {};
    return slots[s] && slots[s]->bandBlock ? slots[s]->bandBlock : kSilence;
  };
  const float* l1 = levels(1);
  const float* l2 = levels(2);
  const float* lNearEnd = levels(historyDepth - 1);
  const float* lEnd = levels(historyDepth);
  const float* h0 = history_[0].get();
  const float* h1 = history_[1].get();
  // The same sum over the frames' total energies.
  const double totalScale = std::fabs(l2[0]) + 0.5 * std::fabs(l1[0]) + 0.5 * std::fabs(h1[0]) + std::fabs(h0[0]);
  for (int i = 0; i < kBandCount; ++i) {
    const double numerator = (static_cast<double>(lNearEnd[i]) - h1[i]) * (D - 1.0) +
                             (static_cast<double>(lEnd[i]) - h0[i]) * D;
    const double denominator =
        std::fabs(l2[i]) + 0.5 * std::fabs(l1[i]) + 0.5 * std::fabs(h1[i]) + std::fabs(h0[i]);
    // The numerator weighs 15 frames' worth of change, the total scale 3
    // frames' energy.
    const bool belowFloor = i < kEnergyEntries && std::fabs(numerator) <= 15.0 * kEnergyFloor + 5.0 * kLeakage * totalScale;
    target->bandBlock[kBandCount + i] =
        denominator > 0.0 && !belowFloor ? static_cast<float>(3.0 * numerator / denominator) : 0.0f;
  }
  std::memcpy(history_[0].get(), history_[1].get(), kBandCount * sizeof(float));
  std::memcpy(history_[1].get(), target->bandBlock, kBandCount * sizeof(float));
  return 0;
}
