#include "CBandStretcher.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <new>

#include "EngineArray.h"

namespace {

const CTimeMachineParams::Trailer* trailerOf(const CTimeMachineParams* params) {
  if (!params) throw -2;
  return &params->trailer;
}

}  // namespace

CBandStretcher::CBandStretcher(const CTimeMachineParams* params, CSoundFile** out)
    : CSpectrum(trailerOf(params)),
      params_(params),
      sampleRate_(static_cast<int>(params->trailer.sampleRate)),
      bandCount_(params->trailer.bandCount),
      hopSeconds_(sampleRate_ > 0 ? static_cast<double>(windowSize) / sampleRate_ : 0.0),
      synthesisComponents_(static_cast<std::int32_t>(params->GetParam(CTimeMachineParams::SynthesisComponents, 0.0))),
      stereoPhaseSwitch_(static_cast<std::int32_t>(params->GetParam(CTimeMachineParams::StereoPhaseSwitch, 0.0))),
      stereoPhaseAmount_(params->GetParam(CTimeMachineParams::StereoPhaseAmount, 0.0)),
      outputFlags_(params->trailer.outputFlags) {
  frameBuffer_ = EngineArray::Make<float>(static_cast<std::size_t>(std::max<std::int64_t>(fftLength, fftBase)));
  overlapAdd_ = EngineArray::Make<float>(static_cast<std::size_t>(2 * windowSize));
  // The shape of a join's lift is the same at every join: one half sine
  // over the hop.
  joinLift_ = EngineArray::Make<double>(static_cast<std::size_t>(windowSize));
  const double w = M_PI / static_cast<double>(windowSize);
  for (std::int64_t i = 0; i < windowSize; ++i) joinLift_[static_cast<std::size_t>(i)] = std::sin(w * (static_cast<double>(i) + 0.5));
  if (outputFlags_ & kWritesSampleBuffer) {
    if (out) {
      output_ = new (std::nothrow) CSoundFile(nullptr);
      if (!output_) throw -1;
      output_->sampleRate = sampleRate_;
      *out = output_;
      handedOut_ = true;
    } else {
      outputFlags_ &= ~kWritesSampleBuffer;
    }
  }
}

CBandStretcher::~CBandStretcher() {
  if ((outputFlags_ & kWritesSampleBuffer) && !handedOut_) delete output_;
}

int CBandStretcher::SynthesizeFrame(SMSFrame* frame, bool freeIt, double nyquist) {
  std::unique_ptr<SMSFrame> owned(freeIt ? frame : nullptr);
  const std::int64_t hop = windowSize;
  const std::int64_t N = fftLength;
  // The hop the last frame started is the one this frame completes.
  olaFirst_ = hop - olaFirst_;
  float* ola = overlapAdd_.get() + olaFirst_;
  float* olaNext = overlapAdd_.get() + (hop - olaFirst_);
  float* buf = frameBuffer_.get();
  const std::int64_t centre = overlap == 0.0f ? N / 4 : N / 2;
  // The spectrum is stored over the bins it covers: only the rest of the
  // buffer is cleared.
  std::int64_t written = 0;
  if (frame && (synthesisComponents_ & kSynthesiseSpectrum) &&
      (frame->Has(SMSFrame::kMagnitudes) || frame->Has(SMSFrame::kPhases)) && frame->binCount >= 1) {
    // The band edge as the integer sample rate it stands for, halved.
    const double halfRate = std::floor(2.0 * nyquist) / 2.0;
    if (StoreResidual(*frame, buf, sampleRate_, halfRate, centre)) written = 2 * centre;
  }
  std::fill(buf + written, buf + std::max<std::int64_t>(N, fftBase), 0.0f);
  const bool repeated = frame && outputFrameCounter_ > 0 && frame->time == lastFrameTime_;
  if (frame) lastFrameTime_ = frame->time;
  const int result = InverseSpectrum(buf);
  // The second hop starts from silence; where the frame covers it whole, it
  // is stored as 0.0f plus the frame below, which is what adding the frame
  // to a cleared hop gives.
  const bool coversBoth = centre >= hop && centre + hop <= N;
  if (result != 0 || !coversBoth) std::fill(olaNext, olaNext + hop, 0.0f);
  if (result != 0) return result;

  // The energies only the join level keeping reads: what the first hop
  // held, what the frame adds to it, and (where the frame covers both hops)
  // what the sum holds. Three sums in one pass: each in order of samples,
  // as one after another would make them, but the processor adds to the
  // three side by side instead of waiting on one long chain and then
  // another.
  double held = 0.0, incoming = 0.0, joined = 0.0;
  const bool joinedFirst = coversBoth && keepsJoinLevel_;
  if (joinedFirst) {
    const float* first = buf + centre - hop;
    for (std::int64_t i = 0; i < hop; ++i) {
      const float o = ola[i];
      const double b = first[i];
      held += static_cast<double>(o) * o;
      incoming += b * b;
      const float sum = o + first[i];
      ola[i] = sum;
      joined += static_cast<double>(sum) * sum;
    }
  }
  for (std::int64_t i = 0; keepsJoinLevel_ && !joinedFirst && i < hop; ++i) {
    const std::int64_t before = centre - hop + i;
    const double b = before >= 0 && before < N ? buf[before] : 0.0;
    held += static_cast<double>(ola[i]) * ola[i];
    incoming += b * b;
  }
  if (coversBoth) {
    // The frame covers both hops (every band's case): straight runs that
    // vectorise.
    const float* first = buf + centre - hop;
    const float* second = buf + centre;
    if (!joinedFirst)
      for (std::int64_t i = 0; i < hop; ++i) ola[i] += first[i];
    for (std::int64_t i = 0; i < hop; ++i) olaNext[i] = 0.0f + second[i];
  } else {
    for (std::int64_t i = 0; i < hop; ++i) {
      const std::int64_t before = centre - hop + i;
      const std::int64_t after = centre + i;
      if (before >= 0 && before < N) ola[i] += buf[before];
      if (after >= 0 && after < N) olaNext[i] += buf[after];
    }
  }
  if (keepsJoinLevel_) KeepJoinLevel(ola, hop, held, incoming, repeated, joinedFirst ? &joined : nullptr);
  if (outputFrameCounter_ > 0 && (outputFlags_ & kWritesSampleBuffer) && output_)
    output_->WriteToSoundFileAt(ola, static_cast<int>(hop), outputPosition_ - hop);
  outputPosition_ += hop;
  ++outputFrameCounter_;
  return 0;
}

// A frame that repeats the analysed frame before it joins the previous
// output frame with its peaks' phase steps, not with the steps the input
// takes from one frame to the next: tones still join whole, but the noise
// between the peaks adds with less coherence than at any other join, and
// its level dips there, once per repeat (a 34 Hz flutter at a stretch by
// 1.25 that sounded as extra attacks in the decays of drums). The join of
// a repeat is lifted back towards the coherence the band's other joins
// have; a join that has it (a tone) is left alone.
void CBandStretcher::KeepJoinLevel(float* block, std::int64_t hop, double held, double incoming, bool repeated,
                                   const double* joined) {
  if (!(held > 0.0) || !(incoming > 0.0)) return;
  double sum = 0.0;
  if (joined)
    sum = *joined;
  else
    for (std::int64_t i = 0; i < hop; ++i) sum += static_cast<double>(block[i]) * block[i];
  const double cross = std::sqrt(held * incoming);
  const double coherence = (sum - held - incoming) / (2.0 * cross);
  if (!std::isfinite(coherence)) return;
  if (!repeated) {
    // Noise moved to the input time joins as if it were new: what a share
    // of it lost is owed back, up to the coherence of unchanged frames
    // under the frames' complementary slopes. The loss is read from the
    // moved joins' coherence as followed over the joins, not from the
    // join's own: in music that swings from one join to the next (0.56 to
    // 0.01 within 30 ms in a soft pop song's cymbals), and each lifted to
    // the full amount, a run of low ones rose by up to 3 dB at once after
    // the unlifted joins of a transient, a burst in the top band's level
    // that an onset measure counted as an attack (8 in that song at 1.25).
    double expected = coherence;
    if (movedShare_ > 0.0) {
      constexpr double kWholeJoin = 0.5;
      movedCoherence_ += kCoherenceFollow * (std::clamp(coherence, -1.0, 1.0) - movedCoherence_);
      expected = std::min(kWholeJoin, movedCoherence_ + kWholeJoin * movedShare_);
      const double usualSum = held + incoming + 2.0 * movedCoherence_ * cross;
      if (movedCoherence_ < expected && usualSum > 0.0) LiftJoin(block, hop, held, incoming, usualSum, expected);
    }
    usualCoherence_ += kCoherenceFollow * (std::clamp(expected, -1.0, 1.0) - usualCoherence_);
    return;
  }
  if (!(coherence < usualCoherence_) || !(sum > 0.0)) return;
  LiftJoin(block, hop, held, incoming, sum, usualCoherence_);
}

void CBandStretcher::LiftJoin(float* block, std::int64_t hop, double held, double incoming, double sum,
                              double target) const {
  // The lift peaks in the middle of the join, where the two frames weigh
  // alike and the loss is greatest, and falls to nothing at its ends, where
  // one frame stands alone: its peak is the whole loss in energy taken as
  // an amplitude gain.
  const double cross = std::sqrt(held * incoming);
  const double gain = std::min(kMaxJoinGain, (held + incoming + 2.0 * target * cross) / sum);
  if (!(gain > 1.0)) return;
  const double* lift = joinLift_.get();
  for (std::int64_t i = 0; i < hop; ++i) block[i] = static_cast<float>(block[i] * (1.0 + (gain - 1.0) * lift[i]));
}
