#include "KeloChordQueue.h"

#include <iterator>

namespace kelo {

namespace {

// Chord-type indices of the vocabulary that the merge compares.
constexpr std::int32_t kMaj = 0;
constexpr std::int32_t kMaj7 = 2;
constexpr std::int32_t kMin = 8;
constexpr std::int32_t kMin7 = 10;
constexpr std::int32_t kDominant7 = 19;

std::int32_t pitchClass(std::int32_t p) { return ((p % 12) + 12) % 12; }

bool differs(const t_chord& a, const t_chord& b) {
  return a.root != b.root || a.chordType != b.chordType || a.bass != b.bass;
}

}  // namespace

void correctUnlikelyBass(t_chord& c) {
  if (c.bass == pitchClass(c.root + 1) || c.bass == pitchClass(c.root + 11)) {
    c.bass = c.root;
  } else if (c.bass == pitchClass(c.root + 8) || c.bass == pitchClass(c.root + 6)) {
    c.bass = pitchClass(c.root + 7);
  }
}

std::int32_t mergedChordType(std::int32_t type, std::int32_t previousType, bool sameRoot) {
  if (!sameRoot) return type;
  const bool merges = (type == kMaj && (previousType == kMaj7 || previousType == kDominant7)) ||
                      ((type == kMaj7 || type == kDominant7) && previousType == kMaj) ||
                      (type == kMin && previousType == kMin7) ||
                      (type == kMin7 && previousType == kMin);
  return merges ? previousType : type;
}

void KeloChordQueue::push(const t_chord& chord, bool reportable, const Report& report) {
  queue_.push_back(chord);
  if (queue_.size() == 1) {
    if (reportable) report(chord);
    return;
  }
  if (queue_.size() < 3) return;

  const t_chord& a = queue_.front();
  t_chord& b = *std::next(queue_.begin());
  const t_chord& c = queue_.back();
  if (b.root == c.root && b.root != a.root && b.bass == a.bass && b.bass != c.bass) {
    // The bass changed one frame before the chord did: it belongs to the new chord.
    b.bass = c.bass;
  } else if (b.bass != a.bass && b.root == a.root && b.root != c.root && b.bass == c.bass) {
    // The bass changed one frame early: it still belongs to the old chord.
    b.bass = a.bass;
  }
  correctUnlikelyBass(b);
  // A bass held on both sides holds through the middle frame too.
  if (a.bass == c.bass) b.bass = a.bass;

  if (reportable && differs(b, a)) report(b);
  queue_.pop_front();
}

void KeloChordQueue::flushLast(bool reportable, const Report& report) {
  if (queue_.size() < 2) return;
  t_chord& newest = queue_.back();
  correctUnlikelyBass(newest);
  const t_chord& before = *std::prev(queue_.end(), 2);
  if (reportable && differs(newest, before)) report(newest);
  while (queue_.size() > 1) queue_.pop_front();
}

}  // namespace kelo
