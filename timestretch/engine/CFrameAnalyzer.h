#pragma once
// Turns the analysis ring buffer into spectrum frames: per hop a centred,
// windowed real FFT in zero-phase layout, giving levels in dB (32768 =
// 0 dB; the lowest float for no energy) and phases in radians (atan2). In
// frame analysis mode 4 (the engine's) the window is windowHops hops long
// and this object analyses each frame itself; in the other modes it only
// keeps its read position in step.

#include <cstdint>
#include <memory>

#include "CSMSAnalysisParams.h"
#include "CSpectrum.h"
#include "SMSFrame.h"

class CFrameAnalyzer : public CSpectrum {
 public:
  static constexpr int kSelfAnalysingMode = 4;

  // Reads `ring` (ringLength samples, not owned) at `sampleRate`. Throws -1
  // when a buffer cannot be allocated and -2 for a ring shorter than the
  // window or a null ring or parameter set.
  CFrameAnalyzer(const CSMSAnalysisParams* params, const float* ring, int sampleRate, std::int64_t ringLength);
  ~CFrameAnalyzer() override;

  // Analyses the frame centred at the read position into frames[0] (unless
  // its time is -1, an empty record) and moves the read position one hop
  // on. Returns 0; throws -1 when the frame's arrays cannot be allocated.
  int NextFrame(SMSFrame* const* frames);

  // Back to the start of the ring, for a new channel pass.
  void ResetReadPosition() { readPosition_ = 0; }

  std::int64_t hop() const { return hop_; }
  // Window length in samples (odd in mode 4).
  std::int64_t windowLength() const { return windowLength_; }
  std::int64_t transformLength() const { return transformLength_; }
  int frameAnalysisMode() const { return mode_; }
  // Frames a record waits before it is analysed: 0 in mode 4, else 1.
  int frameDelay() const { return mode_ == kSelfAnalysingMode ? 0 : 1; }
  std::int64_t readPosition() const { return readPosition_; }
  // The analysis parameter set it was made with (not owned): the window
  // type, frame rate, window span and analysis mode above came from it.
  const CSMSAnalysisParams* params() const { return params_; }

 private:
  void analyse(SMSFrame& frame);

  const CSMSAnalysisParams* params_;
  const float* ring_;
  std::int64_t ringLength_;
  int mode_;
  int analysisWindowType_;
  std::int64_t hop_;
  std::int64_t windowLength_;
  std::int64_t transformLength_;
  std::unique_ptr<float[]> window_;
  std::unique_ptr<float[]> frameScratch_;  // the window's samples in one run
  std::int64_t readPosition_ = 0;
  SMSFrame* const* frameList_ = nullptr;
};
