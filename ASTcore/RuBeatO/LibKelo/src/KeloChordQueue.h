#pragma once
// The last step between a decoded chord path and the chord reports. Each
// decoded frame's chord passes a triad/seventh merge (a seventh that merely
// colours a held triad, or a triad left when the seventh drops out, keeps
// the chord held) and then a queue of three frames: the middle chord gets
// its bass corrected from its neighbours (an isolated bass is a detection
// error more often than a passing note) and is reported when it differs
// from the chord before it. So a chord is reported one frame late, with the
// tatum at which it was queued; the very first chord goes out at once.
//
// Reporting also waits for the music: a chord is reported only when the
// frame that completes the queue has enough treble energy (or before any
// chord has been reported at all), so silence does not produce chord changes.

#include <cstdint>
#include <functional>
#include <list>

#include "KeloTypes.h"

namespace kelo {

// The chord type a frame keeps after the triad/seventh merge: `type` when
// the root changed; with the same root, MAJ after MAJ7 or 7 stays MAJ7 or
// 7, MAJ7 or 7 after MAJ stays MAJ, and MIN and MIN7 hold each other.
std::int32_t mergedChordType(std::int32_t type, std::int32_t previousType, bool sameRoot);

// A bass a semitone from the root is taken for the root, one a tritone or a
// minor sixth above it for the fifth: inversions on those degrees are rare,
// leakage of neighbouring pitch classes is not.
void correctUnlikelyBass(t_chord& chord);

class KeloChordQueue {
 public:
  using Report = std::function<void(const t_chord&)>;

  // Queues the chord of one frame (type already merged) and reports what
  // the queue releases. `reportable` is true when the frame's treble energy
  // allows a report or no chord has been reported yet.
  void push(const t_chord& chord, bool reportable, const Report& report);

  // At the end of a recording: reports the newest chord, which no later
  // frame will release, when it differs from the one before it (or is the
  // only one) and `reportable` allows it. The queue then holds just that
  // chord, so more frames continue from it without reporting it again.
  void flushLast(bool reportable, const Report& report);

  const std::list<t_chord>& entries() const { return queue_; }

 private:
  std::list<t_chord> queue_;
};

}  // namespace kelo
