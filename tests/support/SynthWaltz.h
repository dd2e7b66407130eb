#pragma once
// Waltzes for the meter tests, mono at 44100 Hz from the plucked notes and
// kicks of SynthNotes: a chord a bar (C, F, G, C, A minor, D minor, G, C)
// in one of two accompaniments, oom-pah (bass and kick on one, the chord
// on two and three) or a melody note on every beat over a bass held
// through the bar. The first downbeat is at 0.

#include <cstddef>
#include <vector>

#include "SynthNotes.h"

namespace SynthWaltz {

enum class Accompaniment { OomPah, MelodyOnEveryBeat };

inline std::vector<float> song(double bpm, double seconds, Accompaniment style) {
  using SynthNotes::addKick;
  using SynthNotes::addNote;
  static const int roots[] = {0, 5, 7, 0, 9, 2, 7, 0};
  static const bool minor[] = {false, false, false, false, true, true, false, false};
  static const int tune[] = {7, 4, 0, 2, 4, 7, 9, 7, 4, 12, 11, 9};
  std::vector<float> out(static_cast<std::size_t>(seconds * SynthNotes::kRate), 0.0f);
  const double beat = 60.0 / bpm;
  for (int b = 0; b * 3 * beat < seconds; ++b) {
    const int root = roots[b % 8];
    const int third = minor[b % 8] ? 3 : 4;
    const double t0 = b * 3 * beat;
    if (style == Accompaniment::OomPah) {
      addNote(out, t0, beat, 36 + root, 0.35, 3, 4.0);
      addKick(out, t0, 0.7);
      for (int k = 1; k < 3; ++k)
        for (int interval : {0, third, 7}) addNote(out, t0 + k * beat, beat * 0.9, 60 + root + interval, 0.07, 4, 5.0);
    } else {
      addNote(out, t0, 3 * beat, 36 + root, 0.30, 3, 1.5);
      for (int k = 0; k < 3; ++k) {
        addNote(out, t0 + k * beat, beat * 0.95, 72 + root + tune[(3 * b + k) % 12] % 12, k == 0 ? 0.12 : 0.09, 4,
                4.0);
        for (int interval : {0, third, 7}) addNote(out, t0 + k * beat, beat, 60 + root + interval, 0.025, 2, 2.0);
      }
    }
  }
  return out;
}

}  // namespace SynthWaltz
