#pragma once
// A jazz waltz, rendered by fluidsynth: a walking bass on every beat, a
// ride cymbal on every beat and long-short on two and three (the swung
// upbeat two thirds into the beat), a kick on one, and electric piano
// chords on two's swung upbeat and on three; a chord a bar (D minor, G,
// C, A minor, E minor, A, D minor, G), the first downbeat at 0. Against
// straight eighths the comping on two's upbeat lands on the fourth of six,
// where a 6/8 bar's second dotted beat falls, and brings more new sound
// than any beat: only the walking bass shows where the beats are.

#include <QString>

#include <cstdint>
#include <vector>

#include "MidiSong.h"

namespace JazzWaltz {

inline std::vector<MidiSong::Event> events(int bpm, double seconds) {
  constexpr std::uint32_t kBeat = MidiSong::kDivision;
  constexpr std::uint32_t kSwung = 2 * kBeat / 3;
  static const int roots[] = {2, 7, 0, 9, 4, 9, 2, 7};
  static const bool minor[] = {true, false, false, true, true, false, true, false};
  std::vector<MidiSong::Event> out;
  const int bars = static_cast<int>(seconds * bpm / 180.0) + 2;
  for (int b = 0; b < bars; ++b) {
    const int root = roots[b % 8];
    const int third = minor[b % 8] ? 3 : 4;
    const int walk[] = {0, third, 7};
    const std::uint32_t t0 = static_cast<std::uint32_t>(b) * 3 * kBeat;
    for (std::uint32_t k = 0; k < 3; ++k) {
      const std::uint32_t beat = t0 + k * kBeat;
      MidiSong::addNote(out, beat, kBeat - 20, 1, 36 + (root + walk[k]) % 12, 92);
      MidiSong::addNote(out, beat, kBeat / 4, 9, 51, k == 0 ? 80 : 66);
      if (k >= 1) MidiSong::addNote(out, beat + kSwung, kBeat / 4, 9, 51, 52);
    }
    MidiSong::addNote(out, t0, kBeat / 4, 9, 36, 70);
    for (int interval : {0, third, 7, 10}) {
      const int pitch = 60 + (root + interval) % 12;
      MidiSong::addNote(out, t0 + kBeat + kSwung, kBeat / 3, 2, pitch, 64);
      MidiSong::addNote(out, t0 + 2 * kBeat, kBeat / 3, 2, pitch, 58);
    }
  }
  return out;
}

// The song as a MIDI file's bytes; its rendering as 16-bit stereo samples
// and as mono floats, `seconds` long (empty without fluidsynth or its sound
// font).
inline std::vector<std::uint8_t> fileBytes(int bpm, double seconds) {
  return MidiSong::fileBytes(events(bpm, seconds), bpm, {{1, 32}, {2, 4}});
}

inline std::vector<std::int16_t> stereo(int bpm, double seconds, const QString& folder) {
  return MidiSong::stereoSamples(fileBytes(bpm, seconds), seconds, folder);
}

inline std::vector<float> mono(int bpm, double seconds, const QString& folder) {
  return MidiSong::monoSamples(fileBytes(bpm, seconds), seconds, folder);
}

}  // namespace JazzWaltz
