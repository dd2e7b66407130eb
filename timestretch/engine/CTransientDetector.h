#pragma once
// The attack detector of the analysis: per frame the energy in 40
// triangular mel bands (40 Hz upwards) of a 2048-sample (at 44.1 kHz)
// Hamming-windowed frame, and, eight frames later, a rise measure (flux)
// per band. Both go into the frame's band block:
//   0: total energy, 1: energy of bands 26..35, 2: energy of bands 1..5,
//   3..39: level of band 3..39 in dB below the strongest band (-100 empty),
//   40..79: flux of entries 0..39.

#include <cstdint>
#include <memory>

#include "CSpectrum.h"
#include "SMSFrame.h"

class CTransientDetector : public CSpectrum {
 public:
  static constexpr int kBandCount = 40;
  static constexpr int kEdgeCount = 42;
  static constexpr std::int64_t historyDepth = 8;

  // Reads `ring` (ringLength samples, not owned). Throws -1 when an
  // allocation fails, -2 for a null ring, a rate outside 1..192000 or a
  // ring shorter than a frame.
  CTransientDetector(const float* ring, int sampleRate, std::int64_t ringLength);
  ~CTransientDetector() override;

  // Band levels of the frame centred at ring index `centre` into entries
  // 0..39 of frame's band block (which must be attached). Returns 0, or
  // the transform's non-zero result.
  int ComputeBandLevels(SMSFrame& frame, std::int64_t centre);

  // Flux of the frame in slots[0] from the frames in slots 1, 2, 7 and 8
  // (the analysis delay line, at least 9 records with band blocks) and the
  // two frames before it; then remembers slots[0] as the latest frame.
  // An entry whose four levels are all 0 (silence) gets flux 0. Returns 0.
  int ComputeFlux(SMSFrame* const* slots);

  // Forgets the frames seen, for a new channel pass.
  void ResetHistory();

  std::int64_t frameLength() const { return frameLength_; }
  float edgeFrequency(int k) const { return edgeFrequency_[k]; }

 private:
  const float* ring_;
  int sampleRate_;
  std::int64_t ringLength_;
  float edgeFrequency_[kEdgeCount];
  std::int64_t frameLength_;
  std::int64_t half_;
  std::unique_ptr<float[]> frameBuffer_;
  std::unique_ptr<float[]> window_;
  std::unique_ptr<float[]> power_;
  // The first bin of each band edge, and per bin below the top edge the
  // weights of the triangles rising to the edge above it and falling from
  // the edge below it: fixed by the rate, so worked out once.
  std::int64_t edgeBin_[kEdgeCount];
  std::unique_ptr<double[]> rising_;
  std::unique_ptr<double[]> falling_;
  std::unique_ptr<float[]> history_[historyDepth];
};
