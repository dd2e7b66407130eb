#include "OnsetSignalChain.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <limits>

#include "OnsetArrayRoutines.h"

namespace onset {

namespace {

constexpr std::int64_t kSlowMeanFrames = 256;
constexpr std::int64_t kSlopeMeanFrames = 2 * kSlopeHalfWidth + 1;
constexpr std::int64_t kLeadInPulse = 4000;
// Frames read from the source per call.
constexpr std::size_t kReadBlockValues = 16384;
constexpr std::uint32_t kMostChannels = 64;

// The per-frame part of the chain: slope of the frame envelope, averaged over
// 5 frames and normalised by the slow mean of the envelope around it. Works
// kChainDelayFrames behind the newest frame, in place in the curve.
class FrameStage {
 public:
  explicit FrameStage(std::int64_t frames)
      : frames_(frames), slowMean_(kSlowMeanFrames), slopeMean_(kSlopeMeanFrames) {}

  // curve[m] holds the envelope of frame m; writes the onset strength of
  // frame m - kChainDelayFrames.
  void step(std::int64_t* curve, std::int64_t m) {
    // The delay cells move one frame; the newest cells start empty.
    delayedMean_[0] = delayedMean_[1];
    delayedMean_[1] = delayedMean_[2];
    delayedMean_[2] = 0;
    std::int64_t slope = 0;

    const std::int64_t v = m < frames_ ? curve[m] / 2 : 0;
    const std::int64_t mean = slowMean_.step(v);
    if (m >= kLookAheadFrames) {
      delayedMean_[2] = mean;
      const std::int64_t j = m - kLookAheadFrames;
      const std::int64_t envelope = curve[j];
      curve[j] = envelope - previousEnvelope_;
      previousEnvelope_ = envelope;
      const std::int64_t slopeMean = slopeMean_.step(curve[j]);
      if (j - kSlopeHalfWidth >= 0 && j - kSlopeHalfWidth < frames_) slope = slopeMean;
    }
    if (m >= kChainDelayFrames) {
      const std::int64_t divisor = delayedMean_[0];
      curve[m - kChainDelayFrames] = normalisingDivision(slope, divisor);
    }
  }

 private:
  std::int64_t frames_;
  MovingMean slowMean_;
  MovingMean slopeMean_;
  std::int64_t delayedMean_[3] = {0, 0, 0};
  std::int64_t previousEnvelope_ = 0;
};

// Sequential reader of the recording as integer samples (left + right at
// 16384 per unit each), a block of frames per call to the source.
class SourceReader {
 public:
  SourceReader(ISeekable<float>& source, std::int64_t frames) : source_(source), remaining_(frames) {
    const std::uint32_t channels = source_.channels();
    if (channels < 1 || channels > kMostChannels) throw -1;
    channels_ = channels;
    blockFrames_ = std::max<std::size_t>(1, kReadBlockValues / channels_);
    buffer_.assign(blockFrames_ * channels_, 0.0f);
    source_.seek(0);
  }

  std::int64_t next() {
    if (pos_ == available_) refill();
    const float* frame = buffer_.data() + pos_ * channels_;
    ++pos_;
    const float left = frame[0];
    const float right = channels_ > 1 ? frame[1] : frame[0];
    float mixed = 16384.0f * left + 16384.0f * right;
    // Out-of-range or broken values must not make the conversion undefined.
    if (!(mixed == mixed)) mixed = 0.0f;
    mixed = std::min(65536.0f, std::max(-65536.0f, mixed));
    return static_cast<std::int64_t>(mixed);
  }

 private:
  void refill() {
    if (remaining_ <= 0) throw -1;
    const std::uint64_t want = static_cast<std::uint64_t>(
        std::min<std::int64_t>(remaining_, static_cast<std::int64_t>(blockFrames_)));
    const std::uint64_t got = source_.read(buffer_.data(), want);
    // A source that stops before the announced length is broken, not silent.
    if (got != want) throw -1;
    available_ = static_cast<std::size_t>(got);
    pos_ = 0;
    remaining_ -= static_cast<std::int64_t>(got);
  }

  ISeekable<float>& source_;
  std::int64_t remaining_;
  std::size_t channels_ = 0;
  std::size_t blockFrames_ = 0;
  std::vector<float> buffer_;
  std::size_t pos_ = 0;
  std::size_t available_ = 0;
};

}  // namespace

void envelopeToOnsetStrength(std::int64_t* curve, std::int64_t frames) {
  FrameStage stage(frames);
  for (std::int64_t m = 0; m < frames + kChainDelayFrames; ++m) stage.step(curve, m);
}

void runSignalChain(ISeekable<float>& source, OnsetWork& work) {
  const std::int64_t hop = work.hop;
  const std::int64_t frames = work.analysisFrames;
  const std::int64_t chainFrames = frames + kChainDelayFrames;
  if (hop < 1 || frames < 0 || work.curve == nullptr || work.strength == nullptr ||
      work.curveCapacity < chainFrames || work.frameCapacity < frames ||
      work.sampleCount < 0 || work.totalLength != work.sampleCount + COnsetDetector::kLeadIn) {
    throw -1;
  }

  const double fs = work.sampleRate;
  PreEmphasis preEmphasis(13);
  TwoPoleHighPass highPass(static_cast<std::int64_t>(451584.0 / fs));
  EnvelopeFollower follower(static_cast<std::int64_t>(14450688.0 / fs),
                            static_cast<std::int64_t>(505774.08 / fs));
  PositiveMovingMean smoother(static_cast<std::size_t>(5 * hop));
  FrameStage frameStage(frames);
  SourceReader reader(source, work.sampleCount);

  const std::int64_t leadIn = COnsetDetector::kLeadIn;
  const std::int64_t total = work.totalLength;
  std::int64_t n = 0;
  for (std::int64_t m = 0; m < chainFrames; ++m) {
    std::int64_t frameSum = 0;
    for (std::int64_t i = 0; i < hop; ++i, ++n) {
      std::int64_t x;
      if (n >= leadIn && n < total) {
        x = reader.next();
      } else if (n < leadIn) {
        x = (n == 1 || n == 2) ? kLeadInPulse : 0;
      } else {
        x = 0;
      }
      std::int64_t y = highPass.step(preEmphasis.step(x));
      if (y < 0) y = -y;
      frameSum += smoother.step(follower.step(y));
    }
    work.curve[m] = frameSum / hop;
    frameStage.step(work.curve, m);
  }

  work.firstOnsetFrame = pickPeaks(work.curve, work.strength, work.peakList, work.peakCount,
                                   frames, work.peakThreshold);
}

std::int64_t pickPeaks(const std::int64_t* curve, std::int16_t* strength, std::int64_t* peakList,
                       std::int64_t& peakCount, std::int64_t frameCount, std::int16_t threshold) {
  std::int64_t largest = 0;
  for (std::int64_t i = 0; i < frameCount; ++i) largest = std::max(largest, curve[i]);
  std::fill(strength, strength + std::max<std::int64_t>(frameCount, 0), std::int16_t{0});
  std::fill(peakList, peakList + kOnsetPeakListSize, std::int64_t{0});
  peakCount = 0;

  const std::int64_t floor = largest >> 7;
  std::int64_t firstOnset = -1;
  // Said once per recording: a line per dropped peak flooded the output
  // with tens of thousands of copies for a long one.
  bool overflowSaid = false;
  std::int64_t i = 0;
  while (i < frameCount) {
    if (curve[i] <= floor) {
      ++i;
      continue;
    }
    // Climb to the top of the peak.
    const std::int64_t climbStart = i;
    while (i + 1 < frameCount && curve[i + 1] > curve[i] && curve[i + 1] > 0) ++i;
    const std::int64_t peak = i;
    std::int64_t top = curve[climbStart];
    for (std::int64_t f = climbStart; f <= peak; ++f) top = std::max(top, curve[f]);
    // Descend: strong values and falling values belong to the same peak.
    ++i;
    while (i < frameCount && curve[i] >= 1) {
      top = std::max(top, curve[i]);
      const bool nextLarger = i + 1 < frameCount && curve[i + 1] > curve[i];
      if (curve[i] > threshold || !nextLarger) {
        ++i;
        continue;
      }
      break;
    }

    const auto peakStrength = static_cast<std::int16_t>((top * 128) / largest);
    strength[peak] = peakStrength;
    if (peakStrength > threshold) {
      if (firstOnset < 0) {
        firstOnset = peak;
      } else if (peakCount < static_cast<std::int64_t>(kOnsetPeakListSize)) {
        peakList[peakCount++] = peak;
      } else if (!overflowSaid) {
        std::printf("interval buffer overflow!\n");
        overflowSaid = true;
      }
    }
    for (std::int64_t f = climbStart; f < peak; ++f) strength[f] = -1;
  }
  return firstOnset < 0 ? 0 : firstOnset;
}

}  // namespace onset
