#pragma once
// A waltz that leaves its second beat empty and sounds its third the
// loudest, rendered by fluidsynth: the bass's root and a kick on one, the
// bass's fifth, a piano chord and a hi-hat on three, a flute's half note on
// one and quarter note on three; four bars of chords over again (G, E
// minor, C, D), the first downbeat at 0. Its beats sound long-short as a
// slow 12/8 shuffle's eighths do, and its accents fall on three.

#include <QString>

#include <cstdint>
#include <vector>

#include "MidiSong.h"

namespace LiltWaltz {

inline std::vector<MidiSong::Event> events(int bpm, double seconds) {
  constexpr std::uint32_t kBeat = MidiSong::kDivision;
  static const int roots[] = {7, 4, 0, 2};
  static const bool minor[] = {false, true, false, false};
  // The tune's steps above each chord's root, the half note's and the
  // quarter's, over eight bars.
  static const int steps[] = {0, 4, 7, 3, 4, 2, 7, 11, 4, 7, 3, 0, 9, 7, 4, 2};
  std::vector<MidiSong::Event> out;
  const int bars = static_cast<int>(seconds * bpm / 180.0) + 2;
  for (int b = 0; b < bars; ++b) {
    const int root = roots[b % 4];
    const int third = minor[b % 4] ? 3 : 4;
    const std::uint32_t t0 = static_cast<std::uint32_t>(b) * 3 * kBeat;
    MidiSong::addNote(out, t0, 2 * kBeat - 10, 1, 36 + root, 96);
    MidiSong::addNote(out, t0 + 2 * kBeat, kBeat - 10, 1, 36 + (root + 7) % 12, 96);
    for (int interval : {0, third, 7})
      MidiSong::addNote(out, t0 + 2 * kBeat, kBeat - 10, 0, 60 + (root + interval) % 12, 68);
    MidiSong::addNote(out, t0, kBeat / 2, 9, 36, 100);
    MidiSong::addNote(out, t0 + 2 * kBeat, kBeat / 2, 9, 42, 60);
    MidiSong::addNote(out, t0, 2 * kBeat - 15, 3, 72 + (root + steps[(b % 8) * 2]) % 12, 78);
    MidiSong::addNote(out, t0 + 2 * kBeat, kBeat - 15, 3, 72 + (root + steps[(b % 8) * 2 + 1]) % 12, 74);
  }
  return out;
}

// Mono floats `seconds` long (empty without fluidsynth or its sound font).
inline std::vector<float> mono(int bpm, double seconds, const QString& folder) {
  return MidiSong::monoSamples(MidiSong::fileBytes(events(bpm, seconds), bpm, {{0, 0}, {1, 33}, {3, 73}}), seconds,
                               folder);
}

}  // namespace LiltWaltz
