#include "KeloOnline_impl.h"

#include <algorithm>
#include <stdexcept>

#include "beat/CBeatTrack.h"
#include "FixedLagHmm.h"
#include "Hpcp/CHpcp.h"
#include "IKelo.h"
#include "KeloChordQueue.h"
#include "KeloHmm.h"
#include "KeloOnline.h"
#include "MzMir/Numeric/NumericUtilities.h"

namespace kelo {

namespace {
constexpr std::int32_t kSemitones = 72;
constexpr std::int32_t kMeanSemitones = 36;  // the bass range is averaged, the rest takes medians
constexpr std::int32_t kMaxProfileFrames =
    std::int32_t((KeloOnline_impl::kSliceCapacity - KeloOnline_impl::kProfileFrame) / KeloOnline_impl::kProfileHop);

std::int32_t lowBits(std::int32_t v, std::int32_t mask) { return v & mask; }
}  // namespace

constexpr std::int32_t KeloOnline_impl::kBlock;
constexpr std::uint64_t KeloOnline_impl::kSliceCapacity;
constexpr std::int32_t KeloOnline_impl::kProfileFrame;
constexpr std::int32_t KeloOnline_impl::kProfileHop;
constexpr std::int32_t KeloOnline_impl::kShortestSlice;
constexpr std::int32_t KeloOnline_impl::kFeatureSize;

KeloOnline_impl::KeloOnline_impl(KeloOnline& owner) : owner_(owner) {}

KeloOnline_impl::~KeloOnline_impl() = default;

std::int32_t KeloOnline_impl::profileFrames(std::int32_t n) {
  if (n < kShortestSlice) return 0;
  if (n < kProfileFrame + kProfileHop) return 1;
  return (n - kProfileFrame) / kProfileHop;
}

int KeloOnline_impl::init(int lag, const std::string& modelPath, int beatsPerBar) {
  model_.reset();
  decoder_.reset();
  if (beatsPerBar == BeatsPerBarNotGiven) beatsPerBar = 4;
  if (lag < 2 || beatsPerBar < 1 || beatsPerBar > 4) return KeloInvalidParameter;

  std::uint32_t status = 0;
  boost::shared_ptr<KeloHmm> model = createFixedLagHmm(modelPath, lag, beatsPerBar, &status);
  if (!model) return int(status);
  tracker_.reset(new RuBeatO::CBeatTrack(1024, kBlock, 3, fs_, bpmMin_, bpmMax_));
  hpcp_.reset(new Hpcp::CHpcp(12, 6, "C0", kProfileFrame, false, 10, false, 3, 0, true, fs_, 48.0f));
  if (hpcp_->getSize(3) != kSemitones || hpcp_->getSize(4) != kFeatureSize)
    throw std::logic_error("KeloOnline: the profile front end has an unexpected layout");

  // Every buffer starts zeroed: a first slice too short for a profile, or
  // one shorter than a profile frame, reads silence rather than leftovers.
  slice_.assign(kSliceCapacity, 0.0f);
  filtered_.assign(kSliceCapacity, 0.0f);
  feature_.assign(kFeatureSize, 0.0f);
  block_.assign(kBlock, 0.0f);
  powers_.assign(std::size_t(kMaxProfileFrames) * kSemitones, 0.0f);
  column_.assign(std::size_t(kMaxProfileFrames), 0.0f);
  sliceFill_ = 0;
  blockFill_ = 0;
  samplePosition_ = 0;
  history_.assign(std::size_t(lag), -1);
  prevType_ = prevRoot_ = prevBass_ = prevMode_ = prevTonic_ = -1;
  decodedCounter_ = meterMode_ = meterPhase_ = tatumCounter_ = barNumber_ = 0;
  // A new stream starts with its own chord history and filter state, so no
  // chord of an earlier stream is reported under this stream's tatums.
  // The seed records only give the first real chords neighbours to be
  // compared with; their negative tatum keeps them from being reported.
  chordQueue_.assign(3, t_chord{kSeedTatum, 0, 0, 0, 0});
  lowPass_.clearHistory();

  decoder_ = asFixedLagHmm(model->decoder());
  model_ = model;
  return KeloSuccess;
}

void KeloOnline_impl::setMeter(std::int32_t level, std::int32_t phase) {
  meterMode_ = level;
  meterPhase_ = phase;
}

void KeloOnline_impl::process(const float* samples, std::int32_t count) {
  std::int32_t used = 0;
  if (blockFill_ > 0) {
    const std::int32_t missing = kBlock - blockFill_;
    if (missing > count) {
      std::copy(samples, samples + count, block_.begin() + blockFill_);
      blockFill_ += count;
      return;
    }
    std::copy(samples, samples + missing, block_.begin() + blockFill_);
    blockStep(block_.data());
    blockFill_ = 0;
    used = missing;
  }
  for (; count - used >= kBlock; used += kBlock) blockStep(samples + used);
  std::copy(samples + used, samples + count, block_.begin());
  blockFill_ = count - used;
}

bool KeloOnline_impl::decides(std::int32_t tatum) const {
  if (meterMode_ >= 1) return true;
  if (meterMode_ == 0) return lowBits(tatum, 1) == lowBits(meterPhase_, 1);
  return lowBits(tatum, 3) == lowBits(meterPhase_, 3);
}

std::int32_t KeloOnline_impl::isDecisionTatum() {
  if (!tracker_->isNewTatum(true)) return 0;
  const bool decision = decides(tatumCounter_);
  ++tatumCounter_;
  return decision ? 1 : 0;
}

void KeloOnline_impl::blockStep(const float* block) {
  tracker_->addData(block, kBlock);
  if (std::uint64_t(sliceFill_) + kBlock < kSliceCapacity) {
    std::copy(block, block + kBlock, slice_.begin() + sliceFill_);
    sliceFill_ += kBlock;
  }
  if (isDecisionTatum()) {
    sliceStep();
    clearSlice();
  }
  samplePosition_ += kBlock;
}

void KeloOnline_impl::computeProfile(std::int32_t n) {
  const std::int32_t frames = profileFrames(n);
  Decimator::process(filtered_.data(), slice_.data(), n, lowPass_, 1);
  for (std::int32_t f = 0; f < frames; ++f) {
    hpcp_->process(filtered_.data() + std::size_t(f) * kProfileHop, kProfileFrame);
    const float* p = hpcp_->getData(3);
    std::copy(p, p + kSemitones, powers_.begin() + std::size_t(f) * kSemitones);
  }
  float pooled[kSemitones];
  for (std::int32_t j = 0; j < kSemitones; ++j) {
    for (std::int32_t f = 0; f < frames; ++f) column_[std::size_t(f)] = powers_[std::size_t(f) * kSemitones + j];
    if (j < kMeanSemitones) {
      float sum = 0.0f;
      for (std::int32_t f = 0; f < frames; ++f) sum += column_[std::size_t(f)];
      pooled[j] = sum / float(frames);
    } else {
      pooled[j] = Numeric::median<float>(column_.data(), frames);
    }
  }
  Hpcp::CHpcp::convertToHpcpfeature<float>(feature_.data(), feature_[25], feature_[24], pooled, 6, 12,
                                           kSemitones, true);
}

void KeloOnline_impl::sliceStep() {
  if (profileFrames(sliceFill_) > 0) computeProfile(sliceFill_);
  decodingStep(feature_.data());
  history_.push_front(std::int32_t(samplePosition_));
  if (history_.size() > std::size_t(decoder_->lag())) history_.pop_back();
}

void KeloOnline_impl::decodingStep(const float* feature) {
  if (!decoder_) return;
  if (history_.size() >= 2 && history_[history_.size() - 2] == -1) {
    decoder_->pushFeature(feature, kFeatureSize);
    return;
  }
  // The first frame's slice began with the stream.
  const std::int32_t position = history_.empty() ? 0 : std::max(history_.back(), 0);
  owner_.reportTatum({position, decodedCounter_});
  owner_.reportBeat({decodedCounter_, decodedCounter_});

  decoder_->pushFeature(feature, kFeatureSize);
  std::int32_t bass = 0, root = 0, chordClass = 0, beat = 0, mode = 0, tonic = 0;
  decoder_->bassNote(bass);
  decoder_->result(root, chordClass, beat, mode, tonic);
  const std::int32_t type = model_->chordTypeOf(chordClass);

  if (mode != prevMode_ || tonic != prevTonic_) owner_.reportKeysig({decodedCounter_, tonic, mode});
  prevMode_ = mode;
  prevTonic_ = tonic;
  if (beat == 1) owner_.reportBarline({decodedCounter_, barNumber_++, 4, 4});

  t_chord chord{decodedCounter_, root, type, bass, 0};
  correctUnlikelyBass(chord);
  chord.chordType = mergedChordType(type, prevType_, root == prevRoot_);
  const bool changed = chord.chordType != prevType_ || root != prevRoot_ ||
                       (beat != 0 && chord.bass != prevBass_);
  if (changed) {
    chordQueue_.push_back(chord);
    prevBass_ = chord.bass;
    prevType_ = chord.chordType;
    prevRoot_ = root;
    if (chordQueue_.size() >= 4) {
      auto it = chordQueue_.begin();
      const t_chord first = *it++;
      const t_chord middle = *it++;
      const t_chord third = *it;
      // A middle chord whose bass only echoes a neighbour's is a passing
      // detection, not a chord change.
      const bool echo = (middle.root == third.root && middle.bass == first.bass) ||
                        (middle.root == first.root && middle.bass == third.bass);
      if (!echo) reportQueuedChord(middle);
      chordQueue_.pop_front();
    }
  }
  ++decodedCounter_;
}

void KeloOnline_impl::reportQueuedChord(const t_chord& chord) {
  if (chord.tatum != kSeedTatum) owner_.reportChord(chord);
}

void KeloOnline_impl::reportPendingChords() {
  // The queue holds the chord decided last and the two still waiting for a
  // right-hand neighbour; at the end of the stream there will be none, so
  // the middle one is judged against its left neighbour alone and the last
  // chord of the recording is always reported.
  if (chordQueue_.size() < 3) return;
  auto it = chordQueue_.begin();
  const t_chord first = *it++;
  const t_chord middle = *it++;
  const t_chord last = *it;
  const bool echo = middle.root == last.root && middle.bass == first.bass;
  if (!echo) reportQueuedChord(middle);
  reportQueuedChord(last);
  chordQueue_.clear();
}

void KeloOnline_impl::finish() {
  const std::vector<float> silence(kFeatureSize, 0.0f);
  while (!history_.empty()) {
    decodingStep(silence.data());
    history_.pop_back();
  }
  reportPendingChords();
  owner_.reportDoneAnalysis();
}

}  // namespace kelo
