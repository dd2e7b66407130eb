#pragma once
// A slow blues shuffle in 12/8, rendered by fluidsynth: each dotted beat
// long-short (a quarter and an eighth, the eighth softer, or nearly as
// loud with `loudShort`) in the bass (the
// root on one and three, the fifth on two and four), the piano's chords and
// the hi-hat; a kick on one (louder) and three, a snare on two and four. A
// chord a bar (C, F, C, G), the first downbeat at 0. Slow enough that its
// eighths, at 108 to 156 a minute, are a tempo the beat tracker may read as
// beats; nothing sounds on the middle eighth of three.

#include <QString>

#include <cstdint>
#include <vector>

#include "MidiSong.h"

namespace ShuffleBlues {

inline std::vector<MidiSong::Event> events(int dottedBpm, double seconds, bool loudShort) {
  constexpr std::uint32_t kEighth = MidiSong::kDivision / 2;
  constexpr std::uint32_t kDotted = 3 * kEighth;
  static const int roots[] = {0, 5, 0, 7};
  std::vector<MidiSong::Event> out;
  const int bars = static_cast<int>(seconds * dottedBpm / 240.0) + 2;
  for (int b = 0; b < bars; ++b) {
    const int root = roots[b % 4];
    const std::uint32_t t0 = static_cast<std::uint32_t>(b) * 4 * kDotted;
    for (std::uint32_t k = 0; k < 4; ++k) {
      const std::uint32_t beat = t0 + k * kDotted;
      const std::uint32_t shortOne = beat + 2 * kEighth;
      const int bass = 36 + (root + (k % 2 == 0 ? 0 : 7)) % 12;
      MidiSong::addNote(out, beat, 2 * kEighth - 20, 1, bass, 96);
      MidiSong::addNote(out, shortOne, kEighth - 20, 1, bass, 84);
      for (int interval : {0, 4, 10}) {
        const int pitch = 60 + (root + interval) % 12;
        MidiSong::addNote(out, beat, 2 * kEighth - 30, 0, pitch, 70);
        MidiSong::addNote(out, shortOne, kEighth - 30, 0, pitch, loudShort ? 58 : 48);
      }
      MidiSong::addNote(out, beat, kEighth / 2, 9, 42, 72);
      MidiSong::addNote(out, shortOne, kEighth / 2, 9, 42, loudShort ? 56 : 46);
      MidiSong::addNote(out, beat, kEighth / 2, 9, k % 2 == 0 ? 36 : 38, k == 0 ? 110 : 80);
    }
  }
  return out;
}

// Mono floats `seconds` long (empty without fluidsynth or its sound font).
// The file's tempo is in whole quarter notes a minute, a dotted beat three
// eighths: an odd `dottedBpm` would play a third of a beat a minute slower.
inline std::vector<float> mono(int dottedBpm, double seconds, bool loudShort, const QString& folder) {
  const std::vector<std::uint8_t> bytes =
      MidiSong::fileBytes(events(dottedBpm, seconds, loudShort), dottedBpm * 3 / 2, {{0, 0}, {1, 33}});
  return MidiSong::monoSamples(bytes, seconds, folder);
}

}  // namespace ShuffleBlues
