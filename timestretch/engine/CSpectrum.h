#pragma once
// The base of every spectral object of the time-stretch engine (analysis,
// attack detector, frame analyser, band stretcher): work buffers sized once
// for the largest transform, the synthesis windows of one band, the window
// catalogue, the windowed forward transform to a power spectrum, the inverse
// transform of a synthesis spectrum, and the synthesis of a frame's
// spectrum from its levels and phases (random phases for a noise-only
// frame).
//
// Samples are 16-bit values held as floats; levels are dB with 32768 = 0 dB.
// Transforms use the engine's real FFT (packed layout: entry 0 the DC term,
// entry 1 the Nyquist term, then cosine/sine pairs) of up to 8192 values.
// One object serves one thread.

#include <cstdint>
#include <memory>
#include <random>
#include <vector>

#include "CTimeMachineParams.h"
#include "SMSFrame.h"

class CSpectrum {
 public:
  static constexpr std::int64_t kWorkSize = 8194;
  static constexpr std::int64_t kResidualSize = 4097;
  static constexpr std::int64_t kMaxFftLength = 8192;
  static constexpr std::int64_t kMaxWindowSize = 131072;
  static constexpr int kSinCosTableCount = 18;

  // Allocates the work buffers and sets up the windows from the band's
  // spectrum configuration (window type, zero-pad factor, window size,
  // overlap), or from size 128, type 11, overlap 50, factor 2 without one.
  // Throws -1 when an allocation fails.
  explicit CSpectrum(const CTimeMachineParams::Trailer* config = nullptr);
  virtual ~CSpectrum();
  CSpectrum(const CSpectrum&) = delete;
  CSpectrum& operator=(const CSpectrum&) = delete;

  // Sizes and windows: windowSize = size as a power of two (4..131072),
  // fftLength = windowSize x factor (factor at least 1), fftBase its power
  // of two, then SetupWindows. Throws -1 when a window cannot be allocated.
  void Setup(std::int64_t size, int type, float overlap, float factor);

  // The window catalogue (SpectralWindows::Make); returns 0.
  static int MakeWindow(std::int64_t N, int type, float* out);

  // Windowed forward transform of input[0..N-1] zero-padded to M and its
  // spectrum in out[0..M/2]: |DC| and |Nyquist| at the ends, re^2 + im^2
  // for the inner bins. Returns 0, or 2 (nothing written) unless M is a
  // power of two from 2 to 8192 and 0 <= N <= M.
  int WindowedPowerSpectrum(const float* input, const float* window, std::int64_t N, float* out, std::int64_t M);

  // Builds the inverse analysis window and the synthesis window of
  // `length` + 1 entries (length/2 + 1 with overlap 0) for window `type`
  // (clamped to 0..12). Throws -1 when an allocation fails (both windows
  // are then empty).
  void SetupWindows(int type, std::int64_t length, float overlap);

  // Makes `dest` the synthesis window from `inverse` (synthesisLength()
  // entries each): zero, rising ramp, flat, falling ramp, zero, with ramps
  // of overlapLeft and overlapRight percent (0..50) of windowSize, both
  // halves treated alike, divided by synthesisScale. Writes stay within
  // synthesisLength() entries.
  void BuildSynthesisWindow(float* dest, const float* inverse, float overlapLeft, float overlapRight) const;

  // Turns the packed synthesis spectrum in buffer[0 .. fftBase-1] (half of
  // it with overlap 0) into a time frame, centre in the middle, multiplied
  // by the synthesis window. Returns 0, or 2 when the transform length is
  // outside 2..8192 (buffer untouched).
  int InverseSpectrum(float* buffer);

  // Adds the spectrum of `frame` (levels, and phases, or running random
  // phases when it has none) to the packed spectrum out[0 .. 2M-1] of bins
  // 0..M, resampling the frame's bins to the output bins by the ratio of
  // the rates a/(2b). DC and Nyquist are assigned, the other bins added.
  // Returns 1 (nothing written for M outside 1..4096).
  int SynthesizeResidual(const SMSFrame& frame, float* out, double a, double b, std::int64_t M);
  // The same spectrum stored rather than added: out[0 .. 2M-1] is written
  // whole and never read, with the bits SynthesizeResidual gives on a
  // cleared buffer, so the caller clears only what lies beyond. False,
  // nothing written, for M outside 1..4096.
  bool StoreResidual(const SMSFrame& frame, float* out, double a, double b, std::int64_t M);

  // Sine and cosine tables of j*pi/2^k for j = 0..2^k, k = 0..17, built once
  // per object; a table that cannot be allocated stays empty.
  void BuildSinCosTables();
  const std::vector<double>& SinTable(int k) const { return sinTables_[k]; }
  const std::vector<double>& CosTable(int k) const { return cosTables_[k]; }

  // Entries of each synthesis window.
  std::int64_t synthesisLength() const { return synthesisLength_; }

  std::int32_t frameCounter = 0;
  std::unique_ptr<float[]> bufferA;
  std::unique_ptr<float[]> bufferB;
  std::unique_ptr<float[]> residualLevels;
  std::unique_ptr<float[]> residualPhases;
  float overlap = 50.0f;
  std::int64_t windowSize = 128;
  std::int64_t fftBase = 256;
  std::unique_ptr<float[]> synthesisWindow;
  std::unique_ptr<float[]> inverseWindow;
  std::int64_t windowOffset = 0;
  double windowStride = 1.0;
  float zeroPadFactor = 2.0f;
  std::int32_t fftLength = 256;
  float synthesisScale = 1.0f;
  std::uint8_t windowType = 11;

 protected:
  // The engine's real FFT of n values in place (isgn >= 0 forward).
  static void RealFft(int n, int isgn, float* data);

 private:
  void refreshResidualPhases(std::int64_t pool);
  // out[2k] += A[k] cos, out[2k + 1] += A[k] sin (products rounded to
  // float) for the bins 1 .. M - 1 whose level is not blanked.
  // kStore: the pairs are first cleared, never read.
  template <bool kStore>
  static void addProducts(const float* level, const double* A, const float* sines, const float* cosines, float* out,
                          std::int64_t M);
  bool synthesize(const SMSFrame& frame, float* out, double a, double b, std::int64_t M, bool store);

  std::int64_t synthesisLength_ = 0;
  std::unique_ptr<float[]> phaseScratch_;
  // The amplitudes of one frame's bins, worked out in a pass of their own.
  std::unique_ptr<double[]> amplitudeScratch_;
  // Their sines and cosines.
  std::unique_ptr<float[]> sineScratch_;
  std::unique_ptr<float[]> cosineScratch_;
  // Noise phases are drawn per object, so no two engines share a sequence.
  std::minstd_rand random_{0x5eed};
  std::vector<double> sinTables_[kSinCosTableCount];
  std::vector<double> cosTables_[kSinCosTableCount];
};
