// Semitone power: one value per semitone of a note range, the strongest
// spectral peak inside the semitone's band on a decibel-like scale with the
// local spectral average removed. The only spectral method of the pitch
// class profile front end CHpcp.
//
// The frame is low-passed by the decimation filter and then read with a
// stride of 4: the analysis runs at a quarter of the sampling rate, so only
// content up to fs/8 is resolved, and the filter keeps what lies above from
// folding into the analysed band. A caller with a stream of overlapping
// frames filters the stream once and hands over low-passed frames
// (computeLowPassed). Peaks are sought below 2640 Hz only. One
// object serves one thread at a time; nothing is allocated per frame once
// configured.

#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <vector>

#include "Hpcp/DecimationFilter.h"
#include "Hpcp/HpcpParams.h"

class CFft;

namespace Hpcp {

// A range of semitones and one power value per semitone.
class ISemitonePower {
 public:
  ISemitonePower() = default;
  ISemitonePower(const ISemitonePower&) = delete;
  ISemitonePower& operator=(const ISemitonePower&) = delete;
  virtual ~ISemitonePower();

  // Analyses one frame of `len` mono samples; the result is in the powers.
  virtual void compute(const float* signal, int32_t len) = 0;

  // Takes the range lowestNote .. lowestNote + binsPerOctave * octaves - 1
  // from the record. An empty or one-note range releases the powers and
  // keeps the previous range fields.
  virtual void setParams(const HpcpParams& params);

  // The power of MIDI note `note`. Throws std::out_of_range
  // ("index out of range!") outside lowestNote .. highestNote or when no
  // powers are allocated.
  float* getPower(int32_t note);

  int32_t getLowestNote() const { return lowestNote; }
  int32_t getHighestNote() const { return highestNote; }
  // Number of semitones; the powers array holds this many values once
  // configured.
  uint32_t getCount() const { return count; }
  // Null while no range is configured.
  const float* getPowers() const { return powers.empty() ? nullptr : powers.data(); }

 protected:
  // Releases the powers; allocates `high - low + 1` of them when low < high,
  // otherwise the range fields stay as they were.
  void applyRange(int32_t low, int32_t high);

  int32_t lowestNote = 0;
  int32_t highestNote = 127;
  uint32_t count = 127;
  std::vector<float> powers;
};

// A method that works on a magnitude spectrum supplied by the caller.
class ISpectralMethod {
 public:
  virtual ~ISpectralMethod();
  // Band analysis of one spectrum of transform size / 2 magnitudes.
  virtual void computeBands(const float* spectrum) = 0;
};

class FFTSemitone : public ISemitonePower, public ISpectralMethod {
 public:
  // Peak positions are never looked for above this frequency (Hz).
  static constexpr float kPeakCeilingHz = 2640.0f;
  // Value of a semitone without a peak.
  static constexpr float kPowerFloor = 0.0001f;
  // Capacity of the per-frame decibel spectrum.
  static constexpr std::size_t kMaxBins = 32768;
  static constexpr std::size_t kKernelTaps = 65;
  static constexpr std::size_t kKernelColumns = 4;
  static constexpr std::size_t kKernelRows = kKernelTaps + kKernelColumns - 1;
  // Lowest semitones of the range never take a peak.
  static constexpr int32_t kFirstPeakBand = 13;

  FFTSemitone();
  ~FFTSemitone() override;

  FFTSemitone(const FFTSemitone&) = delete;
  FFTSemitone& operator=(const FFTSemitone&) = delete;

  // Low-passes the frame (lowPassForDecimation; frames are independent),
  // reads every fourth sample into a Hann-windowed transform of
  // frameSize / 4 points and runs computeBands on its magnitudes. A len
  // other than 4 * transform size prints "Warning: Invalid len_signal" and
  // goes on (a short frame is zero-padded before filtering). Throws
  // std::logic_error before the first successful configuration and
  // std::invalid_argument for a negative len or a null signal.
  void compute(const float* signal, int32_t len) override;

  // As compute, for a frame that is already low-passed: a window of a stream
  // the caller ran once through a DecimationLowPass, so the overlapping
  // frames of a stream share one filtering. Reads every fourth sample; a
  // short frame is zero-padded (after the filter, unlike compute). Same
  // warning and exceptions as compute.
  void computeLowPassed(const float* signal, int32_t len);

  // Range from the record, then setRange with its frame size, oversampling
  // ratio and sampling rate; refFreq is taken first.
  void setParams(const HpcpParams& params) override;

  // Range (as in setParams), then setFs(fs), then the frame size (1 .. 65535,
  // std::invalid_argument "Framesize should be positive and less than 65535"
  // otherwise) and the oversampling ratio (> 0, std::invalid_argument
  // "Oversample Ratio should be positive" otherwise; the new frame size stays
  // in force). frameSize / 4 must be a power of two of at least 2, which the
  // transform checks (std::invalid_argument; the previous frame size is kept).
  void setRange(int32_t lowNote, int32_t highNote, int32_t frameSize, int32_t oversample, float fs);

  // Accepts 0 < fs <= 192000 and rebuilds; std::invalid_argument
  // "Fs should be between 0 and 192kHz" otherwise (NaN included).
  void setFs(float fs);

  // `spectrum`: transform size / 2 magnitudes. Fills the powers.
  void computeBands(const float* spectrum) override;

  // Drops the transform; the next configuration creates a new one.
  void releaseFft();

  void setWhitening(bool on) { whitening = on; }
  bool getWhitening() const { return whitening; }
  int32_t getFrameSize() const { return frameSize; }
  int32_t getOversample() const { return oversample; }
  float getReferenceFrequency() const { return refFreq; }
  // 0 until configured with a frame size.
  uint64_t getTransformSize() const;
  // Oversampled spectrum of the last frame (NB values) and its band map:
  // semitone index per oversampled bin, -1 outside every band.
  const std::vector<float>& getSpectrum() const { return spectrum; }
  const std::vector<int32_t>& getBandMap() const { return bandMap; }
  // Centre frequency (Hz) per semitone.
  const std::vector<float>& getCentres() const { return centres; }

 private:
  void setUp();
  // Checks a frame of `len` samples for compute*; returns how many of them
  // the transform reads.
  uint64_t usableLength(const float* signal, int32_t len) const;
  // Transform of every fourth sample of the low-passed frame, then the bands.
  void analyseLowPassed(const float* lowPassed);
  void buildBandMap();
  // K: the spline of oversampleSpectrum runs over source bins 0 .. K-1 of
  // the m decibel values (those below the peak ceiling, at most m - 1).
  int32_t splineReach(int32_t m) const;
  void oversampleSpectrum(int32_t m);
  void whiten(int32_t k2);

  std::unique_ptr<CFft> fft;
  int32_t oversample = 1;
  std::vector<float> spectrum;
  std::vector<int32_t> bandMap;
  std::vector<float> smoothed;
  // The whitened range of the spectrum between runs of zeros as long as the
  // kernel, so the convolution reads it without bounds checks.
  std::vector<float> padded;
  std::array<float, kMaxBins> dbSpectrum{};
  // kKernelRows x kKernelColumns, row-major: column c holds the normalised
  // taps shifted down by c rows, so one pass yields four neighbouring
  // outputs of the convolution.
  std::vector<float> kernel;
  bool whitening = true;
  int32_t frameSize = 0;
  float quarterFs = 0.0f;
  float bandRatio = 1.0293022f;  // 2^(1/24): centre to band edge
  std::vector<float> centres;
  float refFreq = 440.0f;
  std::vector<float> magnitudes;
  // The low-passed frame (or the zero-padded copy of a short one); frameSize
  // values.
  std::vector<float> filtered;
};

// Replaces each of n values x by 10 log10(x + floor) - 10 log10(floor).
void powerToDecibel(float* values, int32_t n, float floor);

}  // namespace Hpcp
