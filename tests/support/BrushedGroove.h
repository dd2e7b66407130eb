#pragma once
// A 4/4 groove rendered by fluidsynth: a piano arpeggio on every eighth
// over a fretless bass held through the bar, a flute's tune of a quarter
// note a beat, and brushed drums (a kick on one and three, a side stick on
// two and four, a hi-hat on every beat): E flat, C minor, A flat, B flat,
// a chord a bar; the first downbeat at 0. Played slowly it is a ballad
// whose even eighths come as fast as a quick song's beats; played fast,
// its backbeat is soft and its eighths sound between its beats.

#include <QString>

#include <cstdint>
#include <vector>

#include "MidiSong.h"

namespace BrushedGroove {

inline std::vector<MidiSong::Event> events(int bpm, double seconds) {
  constexpr std::uint32_t kEighth = MidiSong::kDivision / 2;
  static const int roots[] = {3, 0, 8, 10};
  static const bool minor[] = {false, true, false, false};
  // The tune's steps above each chord's root, a quarter note a beat.
  static const int steps[] = {7, 4, 7, 9, 12, 11, 7, 4, 0, 4, 7, 4, 2, 4, 5, 7};
  const int bars = MidiSong::barsOfFour(seconds, bpm);
  std::vector<MidiSong::Event> out;
  for (int b = 0; b < bars; ++b) {
    const int root = roots[b % 4];
    const int arpeggio[] = {7, 12 + (minor[b % 4] ? 3 : 4), 19, 24};
    const std::uint32_t t0 = static_cast<std::uint32_t>(b * 8) * kEighth;
    MidiSong::addNote(out, t0, 8 * kEighth - 10, 1, 36 + root, 72);
    for (int i = 0; i < 8; ++i)
      MidiSong::addNote(out, t0 + static_cast<std::uint32_t>(i) * kEighth, kEighth - 10, 0,
                        48 + root + arpeggio[i % 4], 62);
    for (int beat = 0; beat < 4; ++beat) {
      const std::uint32_t at = t0 + static_cast<std::uint32_t>(2 * beat) * kEighth;
      MidiSong::addNote(out, at, 2 * kEighth - 15, 3, 72 + (root + steps[(b % 4) * 4 + beat]) % 12, 76);
      MidiSong::addNote(out, at, kEighth / 2, 9, beat % 2 == 0 ? 36 : 37, 54);
      MidiSong::addNote(out, at, kEighth / 2, 9, 42, 42);
    }
  }
  return out;
}

// Mono floats `seconds` long (empty without fluidsynth or its sound font).
inline std::vector<float> mono(int bpm, double seconds, const QString& folder) {
  return MidiSong::monoSamples(MidiSong::fileBytes(events(bpm, seconds), bpm, {{0, 0}, {1, 35}, {3, 73}}), seconds,
                               folder);
}

}  // namespace BrushedGroove
