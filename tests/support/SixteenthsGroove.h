#pragma once
// An electronic 4/4 song in sixteenths, rendered by fluidsynth: a synth
// bass on every sixteenth whose figure (root, root, octave, root, fifth,
// root) runs on across the bar lines, so that it comes back every dotted
// quarter; a saw lead whose figure (the root an octave up, the third, the
// root three times, a rest) is six sixteenths long too; a closed hi-hat on
// every sixteenth, a kick on every beat, a clap on two and four, a pad
// holding each bar's chord (E minor, C, G, B); the eighth bar is a bar of
// 2/4. The first downbeat at 0. Its strongest accents fall every third
// eighth, as a compound bar's would; its beats are the kick's.
// The half-time kick: a kick on one and three only, a little louder, and
// the lead on every sixteenth of its figure (the root an octave up, the
// root, the third, the root three times).

#include <QString>

#include <cstdint>
#include <vector>

#include "MidiSong.h"

namespace SixteenthsGroove {

enum class Kick { EveryBeat, OneAndThree };

inline std::vector<MidiSong::Event> events(int bpm, double seconds, Kick kick = Kick::EveryBeat) {
  constexpr std::uint32_t kSixteenth = MidiSong::kDivision / 4;
  constexpr std::uint8_t kBass = 1, kPad = 2, kLead = 3, kDrums = 9;
  constexpr int kShortBar = 7, kFigure = 6;
  static const int roots[] = {4, 0, 7, 11};
  static const bool minor[] = {true, false, false, false};
  static const int bassFigure[kFigure] = {0, 0, 12, 0, 7, 0};
  // The chord tone of each of the lead's sixteenths (0 root, 1 third), -1
  // for none.
  static const int leadFigures[2][kFigure] = {{0, 1, 0, 0, 0, -1}, {0, 0, 1, 0, 0, 0}};
  const bool halfTime = kick == Kick::OneAndThree;
  const int* leadFigure = leadFigures[halfTime ? 1 : 0];
  const int bars = MidiSong::barsOfFour(seconds, bpm);
  std::vector<MidiSong::Event> out;
  std::uint32_t n = 0;  // sixteenths from the start
  for (int b = 0; b < bars; ++b) {
    const std::uint32_t first = n * kSixteenth;
    const int beats = b == kShortBar ? 2 : 4;
    const int root = roots[b % 4];
    const int tones[] = {0, minor[b % 4] ? 3 : 4, 7};
    for (int i = 0; i < 4 * beats; ++i, ++n) {
      const std::uint32_t at = n * kSixteenth;
      const int step = static_cast<int>(n % kFigure);
      MidiSong::addNote(out, at, kSixteenth - 12, kBass, 36 + root + bassFigure[step], step == 0 ? 96 : 80);
      MidiSong::addNote(out, at, kSixteenth / 2, kDrums, 42, i % 2 == 0 ? 62 : 50);
      if (leadFigure[step] >= 0)
        MidiSong::addNote(out, at, kSixteenth - 15, kLead, 72 + (root + tones[leadFigure[step]]) % 12 + (step ? 0 : 12),
                          step == 0 ? 86 : 66);
      if (i % (halfTime ? 8 : 4) == 0) MidiSong::addNote(out, at, kSixteenth, kDrums, 36, halfTime ? 84 : 79);
    }
    for (int k = 1; k < beats; k += 2) MidiSong::addNote(out, first + 4 * k * kSixteenth, kSixteenth, kDrums, 39, 84);
    for (int t : tones)
      MidiSong::addNote(out, first, static_cast<std::uint32_t>(beats) * MidiSong::kDivision - 20, kPad,
                        60 + (root + t) % 12, 58);
  }
  return out;
}

// Mono floats in -1 .. 1, `seconds` long; empty without fluidsynth or its
// sound font.
inline std::vector<float> mono(int bpm, double seconds, const QString& folder, Kick kick = Kick::EveryBeat) {
  return MidiSong::monoSamples(MidiSong::fileBytes(events(bpm, seconds, kick), bpm, {{1, 38}, {2, 89}, {3, 81}}),
                               seconds, folder);
}

}  // namespace SixteenthsGroove
