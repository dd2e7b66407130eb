#pragma once
// A 4/4 band song, rendered by fluidsynth: a walking bass on every beat, a
// kick on one and three and a soft snare on two and four (so that two and
// four sound a little softer than one and three), a ride swung on one and
// three and playing 0, 1/3, 1/2 and 5/6 of two and four. Over each two
// beats the piano and the horns play quarter-note triplets, the bar's
// chord on the beat with a distorted guitar, then the chords a fourth and
// a fifth above it, laid back a little, two and four thirds of a beat in;
// strings come in on two and four. A chord a bar (C, A minor, F, G), the
// first downbeat at 0. The triplets bring the most new pitches two and
// four thirds of a beat in, where a waltz read by its dotted beats has its
// second and third beats; the bass and the strings bring new pitches on
// two and four as well, which such a waltz does not.

#include <QString>

#include <cstdint>
#include <vector>

#include "MidiSong.h"

namespace SwingBand {

inline std::vector<MidiSong::Event> events(int bpm, double seconds) {
  constexpr std::uint32_t kBeat = MidiSong::kDivision;
  constexpr std::uint32_t kTriplet = 2 * kBeat / 3;
  constexpr std::uint32_t kLaidBack = 15;  // ticks, 18 ms at 104 BPM
  constexpr std::uint8_t kPiano = 0, kBass = 1, kGuitar = 2, kHorns = 3, kStrings = 4, kDrums = 9;
  std::vector<MidiSong::Event> out;
  const int bars = MidiSong::barsOfFour(seconds, bpm);
  for (int b = 0; b < bars; ++b) {
    const MidiSong::BarChord chord = MidiSong::loopChord(b);
    const int root = chord.root, third = chord.third;
    const int walk[] = {0, third, 7, 10};
    const std::uint32_t t0 = static_cast<std::uint32_t>(b) * 4 * kBeat;
    for (std::uint32_t k = 0; k < 4; ++k) {
      const std::uint32_t beat = t0 + k * kBeat;
      const bool backbeat = k % 2 == 1;
      MidiSong::addNote(out, beat, kBeat - 30, kBass, 36 + (root + walk[k]) % 12, backbeat ? 78 : 92);
      MidiSong::addNote(out, beat, kBeat / 4, kDrums, backbeat ? 38 : 36, backbeat ? 30 : 120);
      MidiSong::addNote(out, beat, kBeat / 4, kDrums, 51, backbeat ? 60 : 80);
      const std::vector<std::uint32_t> ride = backbeat ? std::vector<std::uint32_t>{kBeat / 3, kBeat / 2, 5 * kBeat / 6}
                                                       : std::vector<std::uint32_t>{kTriplet};
      for (std::uint32_t at : ride) MidiSong::addNote(out, beat + at, kBeat / 4, kDrums, 51, 58);
    }
    for (std::uint32_t half = 0; half < 2; ++half) {
      const std::uint32_t h = t0 + half * 2 * kBeat;
      for (std::uint32_t j = 0; j < 3; ++j) {
        const int r = root + (j == 0 ? 0 : j == 1 ? 5 : 7);
        const int triad[] = {0, j == 0 ? third : 4, 7};
        const std::uint32_t at = h + j * kTriplet + (j > 0 ? kLaidBack : 0);
        for (int interval : triad)
          MidiSong::addNote(out, at, kTriplet - 20, kPiano, 60 + (r + interval) % 12, j > 0 ? 64 : 90);
        for (int i = 0; i < 2; ++i)
          MidiSong::addNote(out, at, kTriplet - 20, kHorns, 72 + (r + triad[i]) % 12, j > 0 ? 80 : 105);
        if (j == 0)
          for (int interval : {0, 7, 12})
            MidiSong::addNote(out, at, kTriplet - 20, kGuitar, 48 + (r + interval) % 12, 90);
      }
      for (int interval : {0, third, 7})
        MidiSong::addNote(out, h + kBeat, kBeat / 3, kStrings, 67 + (root + interval) % 12, 64);
    }
  }
  return out;
}

// The song as a MIDI file's bytes (piano, acoustic bass, distorted guitar,
// brass section, strings); its rendering as mono floats, `seconds` long
// (empty without fluidsynth or its sound font).
inline std::vector<std::uint8_t> fileBytes(int bpm, double seconds) {
  return MidiSong::fileBytes(events(bpm, seconds), bpm, {{0, 0}, {1, 32}, {2, 30}, {3, 61}, {4, 48}});
}

inline std::vector<float> mono(int bpm, double seconds, const QString& folder) {
  return MidiSong::monoSamples(fileBytes(bpm, seconds), seconds, folder);
}

}  // namespace SwingBand
