#pragma once
// A 4/4 pop groove of stabs in three-three-two, rendered by fluidsynth:
// brass stabs with a kick on eighths 0, 3 and 6 of each bar, soft chords
// on the other eighths, a snare on two and four, a closed hi-hat on every
// eighth and a synth bass under the stabs; a chord a bar (C, A minor, F,
// G). Its first and third beats carry far more new sound than its second
// and fourth, as a waltz read by its dotted beats does; its new pitches
// come between the thirds of two beats, not on them.

#include <QString>

#include <cstdint>
#include <vector>

#include "MidiSong.h"

namespace StabsGroove {

inline std::vector<MidiSong::Event> events(int bpm, double seconds) {
  constexpr std::uint32_t kEighth = MidiSong::kDivision / 2;
  std::vector<MidiSong::Event> out;
  const int bars = MidiSong::barsOfFour(seconds, bpm);
  for (int b = 0; b < bars; ++b) {
    const MidiSong::BarChord chord = MidiSong::loopChord(b);
    const int root = chord.root, third = chord.third;
    const std::uint32_t t0 = static_cast<std::uint32_t>(b) * 8 * kEighth;
    for (std::uint32_t e = 0; e < 8; ++e) {
      const bool stab = e == 0 || e == 3 || e == 6;
      for (int interval : {0, third, 7})
        MidiSong::addNote(out, t0 + e * kEighth, kEighth - 10, 2, 60 + (root + interval) % 12, stab ? 80 : 46);
      MidiSong::addNote(out, t0 + e * kEighth, kEighth / 2, 9, 42, 54);
      if (stab) {
        MidiSong::addNote(out, t0 + e * kEighth, kEighth / 2, 9, 36, e == 0 ? 100 : 84);
        MidiSong::addNote(out, t0 + e * kEighth, (e == 6 ? 2 : 3) * kEighth - 10, 1, 36 + root + (e == 6 ? 7 : 0), 92);
      }
    }
    MidiSong::addNote(out, t0 + 2 * kEighth, kEighth / 2, 9, 38, 86);
    MidiSong::addNote(out, t0 + 6 * kEighth, kEighth / 2, 9, 38, 86);
  }
  return out;
}

// Mono floats in -1 .. 1, `seconds` long; empty without fluidsynth or its
// sound font.
inline std::vector<float> mono(int bpm, double seconds, const QString& folder) {
  return MidiSong::monoSamples(MidiSong::fileBytes(events(bpm, seconds), bpm, {{1, 38}, {2, 61}}), seconds, folder);
}

}  // namespace StabsGroove
