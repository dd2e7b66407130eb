#pragma once
// One loaded chord/key model: the discrete state space of the chord/key
// hidden Markov model, the chord classes of the model's chordlist, and the
// decoder holding the model's emission densities and transitions.
//
// A state combines five coordinates; from fastest to slowest varying in the
// state index:
//   root   0..11             chord root as a pitch class, C = 0
//   class  0..C-1            a chordlist line; each has one chord type
//   beat   0..beatCount-1    position of the frame within the bar
//   mode   0..modeCount-1    key mode, 0 major, 1 minor
//   tonic  0..tonicCount-1   key tonic as a pitch class
// so the 12*C states of one (beat, mode, tonic) form a contiguous chord-state
// block, and root and class of any state follow from the state modulo 12*C.
// The decoders rely on this layout.
//
// The state operations need C >= 1 (a model without chord classes has no
// states); apart from isValid() they do not check their arguments.

#include <cstdint>
#include <list>
#include <string>
#include <utility>
#include <vector>

#include <boost/shared_ptr.hpp>

#include "IKeloHmm.h"

namespace kelo {

class KeloHmm {
 public:
  // (chord-type index, class index), one per chordlist line, in text order.
  using ClassEntry = std::pair<std::int32_t, std::int32_t>;
  using ClassList = std::list<ClassEntry>;

  // An empty model: no classes, no decoder. A key-aware model has 2 modes,
  // `beatsPerBar` beat positions and 12 tonics; otherwise all three counts
  // are 1. The middle argument is accepted and ignored.
  KeloHmm(bool keyAware, std::int32_t unused, std::uint32_t beatsPerBar);

  // Adds one chordlist line: class `chordClass` has chord type `chordType`.
  // The loader adds every line before the model is used; class indices are
  // expected to be exactly 0..C-1, each once. A class index beyond the ones
  // seen so far grows the type table, gaps reading as type -1; a negative
  // class index is listed but gets no type entry.
  void addClass(std::int32_t chordType, std::int32_t chordClass);

  // Forgets every chordlist line (before the loader reads a list anew).
  void clearClasses();

  // Makes `d` the model's decoder (the loader does this once).
  void setDecoder(const boost::shared_ptr<IKeloHmm>& d);

  // root + 12*class + 12*C*(beat + beatCount*(mode + modeCount*tonic)), in
  // unsigned 32-bit arithmetic, coordinates not checked.
  std::uint32_t stateIndex(std::uint32_t root, std::uint32_t chordClass,
                           std::uint32_t mode, std::uint32_t beat,
                           std::uint32_t tonic) const;

  // The inverse of stateIndex() for any index below stateCount().
  void decomposeState(std::uint32_t state, std::uint32_t& root,
                      std::uint32_t& chordClass, std::uint32_t& mode,
                      std::uint32_t& beat, std::uint32_t& tonic) const;

  // True when every coordinate lies in [0, its count).
  bool isValid(std::int32_t root, std::int32_t chordClass, std::int32_t mode,
               std::int32_t beat, std::int32_t tonic) const;

  // Chord-type index (into ChordTypeNames) of a class; `chordClass` must be
  // a class of this model.
  std::int32_t chordTypeOf(std::int32_t chordClass) const;

  // "<pitch name of root>:<chord-type index of the class>", e.g. "A:8"; the
  // type is written as its number, not its name. `root` must be 0..11.
  std::string chordLabel(std::uint32_t root, std::uint32_t chordClass) const;

  // chordLabel() of the root and class of a state.
  std::string stateLabel(std::uint32_t state) const;

  // True when the two states have a different root or chord class; key,
  // mode and beat do not count.
  bool chordDiffers(std::uint32_t stateA, std::uint32_t stateB) const;

  std::uint32_t modeCount() const { return modeCount_; }
  std::uint32_t beatCount() const { return beatCount_; }
  std::uint32_t tonicCount() const { return tonicCount_; }
  std::uint32_t rootCount() const { return rootCount_; }

  // Number of chord classes C.
  std::uint32_t classCount() const {
    return static_cast<std::uint32_t>(classList_.size());
  }
  // 12 * C * beatCount * modeCount * tonicCount.
  std::uint32_t stateCount() const;

  // The decoder, empty until the loader has set it. Both accessors return
  // the same pointer.
  boost::shared_ptr<IKeloHmm> decoder() const { return decoder_; }
  boost::shared_ptr<IKeloHmm> getDecoder() const { return decoder_; }

  const ClassList& classList() const { return classList_; }

  // Drops the decoder's queued feature vectors. Does nothing while the model
  // has no decoder.
  void clearFeatures();

 private:
  ClassList classList_;
  std::vector<std::int32_t> classTypes_;
  std::uint32_t modeCount_;
  std::uint32_t beatCount_;
  std::uint32_t tonicCount_;
  std::uint32_t rootCount_;
  boost::shared_ptr<IKeloHmm> decoder_;
};

}  // namespace kelo
