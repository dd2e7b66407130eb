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

  // Whether the join of a frame that repeats its analysed frame is lifted
  // to the band's usual level (see KeepJoinLevel); off after construction.
  // The engine turns it on for the upper band of two, where the noise of
  // drums and cymbals lies; the lower band carries the tones.
  void SetKeepsJoinLevel(bool on) { keepsJoinLevel_ = on; }

  // The share (0..1) of the next frame's energy whose phases were moved to
  // the input time (NoisePhases.h): its join with the frame before holds
  // that much less coherence than unmoved frames, and is lifted by it
  // (with the join level keeping on).
  void SetMovedShare(double share) { movedShare_ = share; }

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
  // The hop of output made by the latest frame (valid until the next).
  const float* outputBlock() const { return overlapAdd_.get() + olaFirst_; }
  CSoundFile* output() const { return output_; }
  // Work records for the stretch of this band's frames.
  SMSFrame workFrames[4];

 private:
  static constexpr std::int32_t kWritesSampleBuffer = 1;
  static constexpr std::int32_t kSynthesiseSpectrum = 2;
  // How fast the usual coherence of a join follows the signal (per join),
  // and the most a repeat's join is lifted (3 dB).
  static constexpr double kCoherenceFollow = 0.1;
  static constexpr double kMaxJoinGain = 1.4142135623730951;

  // `block` is one hop of output just overlap-added from what earlier
  // frames left in it (energy `held`) and the new frame's share (energy
  // `incoming`); `joined`, when given, is the energy of `block` as it
  // stands, already summed; see the definition.
  void KeepJoinLevel(float* block, std::int64_t hop, double held, double incoming, bool repeated,
                     const double* joined);
  // Lifts the middle of the join in `block` from the energy `sum` to what
  // the coherence `target` would give; never by more than kMaxJoinGain.
  void LiftJoin(float* block, std::int64_t hop, double held, double incoming, double sum, double target) const;

  const CTimeMachineParams* params_;
  int sampleRate_;
  std::int32_t bandCount_;
  double hopSeconds_;
  std::int32_t synthesisComponents_;
  std::int32_t stereoPhaseSwitch_;
  float stereoPhaseAmount_;
  std::unique_ptr<float[]> frameBuffer_;
  // Two hops of overlap-add: the one a frame completes and hands out, from
  // olaFirst_, and the one it starts, in the other half. The halves change
  // roles from frame to frame instead of the started hop being moved down.
  std::unique_ptr<float[]> overlapAdd_;
  std::int64_t olaFirst_ = 0;
  // sin(pi (i + 0.5) / hop) for each sample i of a hop.
  std::unique_ptr<double[]> joinLift_;
  std::int64_t outputPosition_ = 0;
  std::int64_t outputFrameCounter_ = 0;
  std::int32_t outputFlags_;
  CSoundFile* output_ = nullptr;
  bool handedOut_ = false;
  double lastFrameTime_ = -1.0;
  // Correlation of the two frames' shares in a join that is not a repeat's,
  // followed over the joins: 0.5 for a steady tone under the frames'
  // complementary slopes.
  double usualCoherence_ = 0.5;
  // The same for the joins whose frame moved some of its noise to the
  // input time, which the lift of those joins reads.
  double movedCoherence_ = 0.0;
  bool keepsJoinLevel_ = false;
  double movedShare_ = 0.0;
};
