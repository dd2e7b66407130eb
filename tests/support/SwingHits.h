#pragma once
// A 4/4 band song, rendered by fluidsynth, whose band hits in quarter-note
// triplets all through: over each two beats the piano, a distorted guitar
// and the horns together, two triplet eighths apart. Under them a walking
// bass on every beat, a kick on one and three, a snare on two and four
// with the hi-hat's foot, and a ride swung on every beat (on it and two
// thirds in). A chord a bar (C, A minor, F, G), the first downbeat at 0.
// The hits accent every second triplet eighth, as a simple meter's beats
// would accent its pulses; the bass and the drums accent every third.

#include <QString>

#include <cstdint>
#include <vector>

#include "MidiSong.h"

namespace SwingHits {

inline std::vector<MidiSong::Event> events(int bpm, double seconds) {
  constexpr std::uint32_t kBeat = MidiSong::kDivision;
  constexpr std::uint32_t kTriplet = kBeat / 3;
  constexpr std::uint8_t kPiano = 0, kBass = 1, kGuitar = 2, kHorns = 3, kDrums = 9;
  std::vector<MidiSong::Event> out;
  const int bars = MidiSong::barsOfFour(seconds, bpm);
  for (int b = 0; b < bars; ++b) {
    const MidiSong::BarChord chord = MidiSong::loopChord(b);
    const int root = chord.root;
    const int tones[] = {0, chord.third, 7};
    const int walk[] = {0, tones[1], 7, 10};
    const std::uint32_t t0 = static_cast<std::uint32_t>(b) * 4 * kBeat;
    for (std::uint32_t k = 0; k < 4; ++k) {
      const std::uint32_t beat = t0 + k * kBeat;
      const bool backbeat = k % 2 == 1;
      MidiSong::addNote(out, beat, kBeat - 30, kBass, 36 + (root + walk[k]) % 12, 92);
      MidiSong::addNote(out, beat, kBeat / 4, kDrums, backbeat ? 38 : 36, backbeat ? 70 : 100);
      if (backbeat) MidiSong::addNote(out, beat, kBeat / 4, kDrums, 44, 56);
      MidiSong::addNote(out, beat, kBeat / 4, kDrums, 51, 80);
      MidiSong::addNote(out, beat + 2 * kTriplet, kBeat / 4, kDrums, 51, 58);
    }
    for (std::uint32_t half = 0; half < 2; ++half) {
      for (std::uint32_t j = 0; j < 3; ++j) {
        const std::uint32_t at = t0 + half * 2 * kBeat + j * 2 * kTriplet;
        const int top = (root + tones[(j + half) % 3]) % 12;
        for (int tone : tones) MidiSong::addNote(out, at, 2 * kTriplet - 30, kPiano, 60 + (root + tone) % 12, 72);
        for (int interval : {0, 7, 12})
          MidiSong::addNote(out, at, 2 * kTriplet - 30, kGuitar, 48 + (root + interval) % 12, 72);
        for (int octave : {60, 72}) MidiSong::addNote(out, at, 2 * kTriplet - 30, kHorns, octave + top, 88);
      }
    }
  }
  return out;
}

// The song's rendering as mono floats, `seconds` long (empty without
// fluidsynth or its sound font): piano, acoustic bass, distorted guitar,
// brass section.
inline std::vector<float> mono(int bpm, double seconds, const QString& folder) {
  return MidiSong::monoSamples(MidiSong::fileBytes(events(bpm, seconds), bpm, {{0, 0}, {1, 32}, {2, 30}, {3, 61}}),
                               seconds, folder);
}

}  // namespace SwingHits
