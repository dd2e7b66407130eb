#pragma once
// A waltz with a tune on every beat, rendered by fluidsynth: an oboe's
// note on each beat, a bass on the root, the fifth and the octave of each
// bar's chord, strings holding the chord through the bar and a kick on
// one; four bars of chords over again (C, F, G, C, or A minor, D minor,
// E, A minor), the first downbeat at 0. Every beat brings a new note and
// the downbeat the most: a new chord, the bass's root and the kick. Its
// chords repeat every twelve beats, which three bars of four fill as well
// as four bars of three.

#include <QString>

#include <cstdint>
#include <vector>

#include "MidiSong.h"

namespace MelodyWaltz {

// The key's tonic (pitch class) and mode; the chords are the tonic's,
// the fourth's and the fifth's (major in minor keys too) and the tonic's.
struct Key {
  int tonic;
  bool minor;
};

inline std::vector<MidiSong::Event> events(int bpm, double seconds, Key key) {
  constexpr std::uint32_t kBeat = MidiSong::kDivision;
  static const int degrees[] = {0, 5, 7, 0};
  // The tune's steps above each chord's root, a beat each, over eight bars.
  static const int steps[] = {4, 7, 9, 0, 4, 2, 11, 7, 5, 7, 4, 0, 0, 4, 7, 5, 4, 2, 11, 2, 5, 0, 4, 7};
  std::vector<MidiSong::Event> out;
  const int bars = static_cast<int>(seconds * bpm / 180.0) + 2;
  for (int b = 0; b < bars; ++b) {
    const bool minor = key.minor && b % 4 != 2;
    const int root = (key.tonic + degrees[b % 4]) % 12;
    const int third = minor ? 3 : 4;
    const std::uint32_t t0 = static_cast<std::uint32_t>(b) * 3 * kBeat;
    const int bass[] = {0, 7, 12};
    for (std::uint32_t k = 0; k < 3; ++k) {
      MidiSong::addNote(out, t0 + k * kBeat, kBeat - 10, 1, 36 + root + bass[k], 80);
      MidiSong::addNote(out, t0 + k * kBeat, kBeat - 15, 3, 72 + (root + steps[(b % 8) * 3 + k]) % 12, 84);
    }
    for (int interval : {0, third, 7}) MidiSong::addNote(out, t0, 3 * kBeat - 10, 2, 60 + (root + interval) % 12, 52);
    MidiSong::addNote(out, t0, kBeat / 4, 9, 36, 80);
  }
  return out;
}

// The song as a MIDI file's bytes; its rendering as 16-bit stereo samples
// and as mono floats, `seconds` long (empty without fluidsynth or its sound
// font).
inline std::vector<std::uint8_t> fileBytes(int bpm, double seconds, Key key) {
  return MidiSong::fileBytes(events(bpm, seconds, key), bpm, {{1, 32}, {2, 48}, {3, 68}});
}

inline std::vector<std::int16_t> stereo(int bpm, double seconds, const QString& folder, Key key) {
  return MidiSong::stereoSamples(fileBytes(bpm, seconds, key), seconds, folder);
}

inline std::vector<float> mono(int bpm, double seconds, const QString& folder, Key key) {
  return MidiSong::monoSamples(fileBytes(bpm, seconds, key), seconds, folder);
}

}  // namespace MelodyWaltz
