#pragma once
// The synthesis end of one band of one channel: turns each output spectrum
// frame back into samples and overlap-adds them, one hop per output frame,
// into the band's output sample buffer. The first output hop is never
// written, so the written output lines up with the analysed input.

#include <cstdint>
#include <memory>

#include "CSoundFile.h"
#include "CSpectrum.h"
#include "CTimeMachineParams.h"
#include "SMSFrame.h"

class CBandStretcher : public CSpectrum {
 public:
  // Uses the band's parameter set (its trailer sets window, size and
  // overlap). With output flag bit 0 and an `out` location, a new output
  // sample buffer is made and handed out through it (the caller then owns
  // it); without a location the flag is cleared. Throws -1 when an
  // allocation fails, -2 for a null parameter set.
  CBandStretcher(const CTimeMachineParams* params, CSoundFile** out);
  ~CBandStretcher() override;

  // Synthesises `frame` (its levels and phases, when synthesis component
  // bit 2 is on) and overlap-adds one hop of output; `nyquist` is the
  // frame's band edge in Hz. With freeIt the stretcher owns the frame and
  // deletes it on every path. Returns 0, or the inverse transform's
  // non-zero code (the output position then stays).
  int SynthesizeFrame(SMSFrame* frame, bool freeIt, double nyquist);

  const CTimeMachineParams* params() const { return params_; }
  int sampleRate() const { return sampleRate_; }
  std::int32_t bandCount() const { return bandCount_; }
  double hopSeconds() const { return hopSeconds_; }
  std::int32_t synthesisComponents() const { return synthesisComponents_; }
  std::int32_t stereoPhaseSwitch() const { return stereoPhaseSwitch_; }
  float stereoPhaseAmount() const { return stereoPhaseAmount_; }
  std::int64_t hop() const { return windowSize; }
  std::int64_t outputPosition() const { return outputPosition_; }
  std::int64_t outputFrameCounter() const { return outputFrameCounter_; }
  double lastFrameTime() const { return lastFrameTime_; }
  // The hop of output made by the latest frame.
  const float* outputBlock() const { return outputBlock_.get(); }
  CSoundFile* output() const { return output_; }
  // Work records for the stretch of this band's frames.
  SMSFrame workFrames[4];

 private:
  static constexpr std::int32_t kWritesSampleBuffer = 1;
  static constexpr std::int32_t kSynthesiseSpectrum = 2;

  const CTimeMachineParams* params_;
  int sampleRate_;
  std::int32_t bandCount_;
  double hopSeconds_;
  std::int32_t synthesisComponents_;
  std::int32_t stereoPhaseSwitch_;
  float stereoPhaseAmount_;
  std::unique_ptr<float[]> frameBuffer_;
  std::unique_ptr<float[]> outputBlock_;
  std::unique_ptr<float[]> overlapAdd_;
  std::int64_t outputPosition_ = 0;
  std::int64_t outputFrameCounter_ = 0;
  std::int32_t outputFlags_;
  CSoundFile* output_ = nullptr;
  bool handedOut_ = false;
  double lastFrameTime_ = -1.0;
};
