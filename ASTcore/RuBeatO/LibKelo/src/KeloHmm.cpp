#include "KeloHmm.h"

#include <stdexcept>

#include "ChordVocabulary.h"

namespace kelo {

namespace {

// Root and class live in the lowest 12*C states of every index; the factor
// is the number of pitch classes, independent of rootCount.
constexpr std::uint32_t kRoots = 12;

}  // namespace

KeloHmm::KeloHmm(bool keyAware, std::int32_t /*unused*/,
                 std::uint32_t beatsPerBar)
    : modeCount_(keyAware ? 2u : 1u),
      beatCount_(keyAware ? beatsPerBar : 1u),
      tonicCount_(keyAware ? 12u : 1u),
      rootCount_(12u) {}

void KeloHmm::addClass(std::int32_t chordType, std::int32_t chordClass) {
  classList_.emplace_back(chordType, chordClass);
  if (chordClass < 0) return;  // no slot to fill; the loader reports it
  const auto slot = static_cast<std::size_t>(chordClass);
  if (slot >= classTypes_.size()) classTypes_.resize(slot + 1, -1);
  classTypes_[slot] = chordType;
}

void KeloHmm::clearClasses() {
  classList_.clear();
  classTypes_.clear();
}

void KeloHmm::setDecoder(const boost::shared_ptr<IKeloHmm>& d) {
  decoder_ = d;
}

std::uint32_t KeloHmm::stateIndex(std::uint32_t root, std::uint32_t chordClass,
                                  std::uint32_t mode, std::uint32_t beat,
                                  std::uint32_t tonic) const {
  const std::uint32_t c = classCount();
  return root + kRoots * chordClass +
         kRoots * c * (beat + beatCount_ * (mode + modeCount_ * tonic));
}

void KeloHmm::decomposeState(std::uint32_t state, std::uint32_t& root,
                             std::uint32_t& chordClass, std::uint32_t& mode,
                             std::uint32_t& beat, std::uint32_t& tonic) const {
  const std::uint32_t c = classCount();
  if (c == 0 || beatCount_ == 0)
    throw std::domain_error("model has no chord states");
  const std::uint32_t chordBlock = rootCount_ * c;
  const std::uint32_t modeBlock = chordBlock * beatCount_;
  const std::uint32_t tonicBlock = modeBlock * modeCount_;
  tonic = state / tonicBlock;
  state %= tonicBlock;
  mode = state / modeBlock;
  state %= modeBlock;
  beat = state / chordBlock;
  state %= chordBlock;
  chordClass = state / rootCount_;
  root = state % rootCount_;
}

bool KeloHmm::isValid(std::int32_t root, std::int32_t chordClass,
                      std::int32_t mode, std::int32_t beat,
                      std::int32_t tonic) const {
  const auto inRange = [](std::int32_t v, std::uint64_t count) {
    return v >= 0 && static_cast<std::uint64_t>(v) < count;
  };
  return inRange(root, rootCount_) && inRange(chordClass, classList_.size()) &&
         inRange(mode, modeCount_) && inRange(beat, beatCount_) &&
         inRange(tonic, tonicCount_);
}

std::int32_t KeloHmm::chordTypeOf(std::int32_t chordClass) const {
  // A class outside the table is a caller's bug; fail loudly rather than
  // read past the table.
  if (chordClass < 0) throw std::out_of_range("chord class out of range");
  return classTypes_.at(static_cast<std::size_t>(chordClass));
}

std::string KeloHmm::chordLabel(std::uint32_t root,
                                std::uint32_t chordClass) const {
  if (root >= static_cast<std::uint32_t>(PitchCount))
    throw std::out_of_range("chord root out of range");
  return PitchNames[root] + ":" +
         std::to_string(chordTypeOf(static_cast<std::int32_t>(chordClass)));
}

std::string KeloHmm::stateLabel(std::uint32_t state) const {
  const std::uint32_t chordBlock = kRoots * classCount();
  if (chordBlock == 0) throw std::domain_error("model has no chord states");
  const std::uint32_t chordState = state % chordBlock;
  return chordLabel(chordState % kRoots, chordState / kRoots);
}

bool KeloHmm::chordDiffers(std::uint32_t stateA, std::uint32_t stateB) const {
  const std::uint32_t chordBlock = kRoots * classCount();
  if (chordBlock == 0) throw std::domain_error("model has no chord states");
  // Same chord state modulo the block means same root and same class.
  return stateA % chordBlock != stateB % chordBlock;
}

std::uint32_t KeloHmm::stateCount() const {
  return kRoots * classCount() * beatCount_ * modeCount_ * tonicCount_;
}

void KeloHmm::clearFeatures() {
  if (decoder_) decoder_->clearFeatures();
}

}  // namespace kelo
