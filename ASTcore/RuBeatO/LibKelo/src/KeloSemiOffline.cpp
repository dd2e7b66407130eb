#include "KeloSemiOffline.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include <boost/make_shared.hpp>

#include "KeloOffline.h"

namespace kelo {

namespace {

constexpr int kMinimumLag = 3000;

KeloSemiOffline* frontEnd(void* user) { return static_cast<KeloSemiOffline*>(user); }

int relayChord(t_chord chord, double, void* user) {
  frontEnd(user)->forwardChord(chord);
  return 0;
}
int relayBarline(t_barline barline, double, void* user) {
  frontEnd(user)->forwardBarline(barline);
  return 0;
}
int relayTatum(t_tatum tatum, void* user) {
  frontEnd(user)->forwardTatum(tatum);
  return 0;
}
int relayBeat(t_beat beat, double, void* user) {
  frontEnd(user)->forwardBeat(beat);
  return 0;
}
int relayKeysig(t_keysig keysig, double, void* user) {
  frontEnd(user)->forwardKeysig(keysig);
  return 0;
}
// The offline engine ends every partial analysis; only the front end's own
// finish ends the analysis for the client.
int relayDoneAnalysis(int, void*) { return 0; }
int relayTatumFeature(t_tatumFeature feature, void* user) {
  frontEnd(user)->forwardTatumFeature(feature);
  return 0;
}

}  // namespace

constexpr int KeloSemiOffline::kBlock;
constexpr int KeloSemiOffline::kDefaultLag;

KeloSemiOffline::KeloSemiOffline() = default;
KeloSemiOffline::~KeloSemiOffline() = default;

boost::shared_ptr<KeloOffline> KeloSemiOffline::createEngine() const {
  return boost::make_shared<KeloOffline>();
}

int KeloSemiOffline::init(int lag, std::string modelPath, int blockSize, int beatsPerBar, double) {
  inner_ = createEngine();
  inner_->onChord = &relayChord;
  inner_->onBarline = &relayBarline;
  inner_->onTatum = &relayTatum;
  inner_->onBeat = &relayBeat;
  inner_->onKeysig = &relayKeysig;
  inner_->onDoneAnalysis = &relayDoneAnalysis;
  inner_->onTatumFeature = &relayTatumFeature;
  inner_->userChord = inner_->userBarline = inner_->userTatum = inner_->userBeat = this;
  inner_->userKeysig = inner_->userDoneAnalysis = inner_->userTatumFeature = this;
  remainder_.fill(0.0f);
  setMeter(0, -1, MeterNotGiven);
  samplesSinceDecode_ = 0;
  const int result = inner_->init(lag, std::move(modelPath), blockSize, beatsPerBar, 0.0);
  if (result == KeloSuccess) initialised_ = true;
  return result;
}

int KeloSemiOffline::setLag(int x) {
  const double blocks = std::trunc((x - 1.09) / 0.4923 * 1000.0);
  const double held = std::min(blocks, static_cast<double>(std::numeric_limits<std::int32_t>::max()));
  lag_ = std::max(kMinimumLag, static_cast<int>(std::max(held, 0.0)));
  return 0;
}

int KeloSemiOffline::setMeter(int level, int phase, int meterCode) {
  if (!initialised_) return KeloNotInitialised;
  return inner_->setMeter(level, phase, meterCode);
}

void KeloSemiOffline::feedBlock(const float* block) {
  inner_->process(block, kBlock);
  ++blocksFed_;
}

int KeloSemiOffline::process(const float* samples, int count) {
  if (!initialised_) return KeloNotInitialised;
  if (count <= 0) return KeloSuccess;
  if (samples == nullptr) return KeloInvalidParameter;

  int used = 0;
  if (remainderCount_ > 0) {
    const int missing = kBlock - remainderCount_;
    if (count < missing) {
      std::copy(samples, samples + count, remainder_.begin() + remainderCount_);
      remainderCount_ += count;
      return KeloSuccess;
    }
    std::copy(samples, samples + missing, remainder_.begin() + remainderCount_);
    feedBlock(remainder_.data());
    remainderCount_ = 0;
    used = missing;
  }
  const std::int64_t period = static_cast<std::int64_t>(lag_) * kBlock;
  for (; count - used >= kBlock; used += kBlock) {
    feedBlock(samples + used);
    samplesSinceDecode_ += kBlock;
    if (blocksFed_ % 3 == 0 && samplesSinceDecode_ > period) {
      inner_->partialDecode();
      samplesSinceDecode_ = 0;
    }
  }
  std::copy(samples + used, samples + count, remainder_.begin() + remainderCount_);
  remainderCount_ += count - used;
  return KeloSuccess;
}

int KeloSemiOffline::finish() {
  if (!initialised_) return KeloNotInitialised;
  const int result = inner_->finish();
  reportDoneAnalysis();
  return result;
}

void KeloSemiOffline::reset() {
  if (initialised_) {
    inner_->startSegment();
    inner_->resetFeatureGenerator();
  }
  samplesSinceDecode_ = 0;
}

void KeloSemiOffline::setFeatureDumpStream(std::ostream* stream) {
  if (inner_) inner_->setFeatureDumpStream(stream);
}

}  // namespace kelo
