#pragma once
// A waltz that leaves its second beat empty, rendered by fluidsynth: a
// violin's half note on one and quarter note on three, a bass on the root
// on one and three, slow strings holding the chord through the bar; four
// bars of chords over again (C, A minor, F, G), the first downbeat at 0.
// Its rhythm is a slow 12/8 shuffle's long-short at the same pulse rate;
// its chords turn with every bar.

#include <QString>

#include <cstdint>
#include <vector>

#include "MidiSong.h"

namespace HalfQuarterWaltz {

inline std::vector<MidiSong::Event> events(int bpm, double seconds) {
  constexpr std::uint32_t kBeat = MidiSong::kDivision;
  static const int roots[] = {0, 9, 5, 7};
  static const bool minor[] = {false, true, false, false};
  // The tune's steps above each chord's root, the half note's and the
  // quarter's, over eight bars.
  static const int steps[] = {4, 7, 3, 0, 9, 7, 2, 11, 0, 4, 7, 3, 5, 4, 7, 2};
  std::vector<MidiSong::Event> out;
  const int bars = static_cast<int>(seconds * bpm / 180.0) + 2;
  for (int b = 0; b < bars; ++b) {
    const int root = roots[b % 4];
    const int third = minor[b % 4] ? 3 : 4;
    const std::uint32_t t0 = static_cast<std::uint32_t>(b) * 3 * kBeat;
    MidiSong::addNote(out, t0, 2 * kBeat - 10, 1, 36 + root, 88);
    MidiSong::addNote(out, t0 + 2 * kBeat, kBeat - 10, 1, 36 + root, 88);
    for (int interval : {0, third, 7}) MidiSong::addNote(out, t0, 3 * kBeat - 10, 2, 60 + (root + interval) % 12, 56);
    MidiSong::addNote(out, t0, 2 * kBeat - 15, 3, 72 + (root + steps[(b % 8) * 2]) % 12, 84);
    MidiSong::addNote(out, t0 + 2 * kBeat, kBeat - 15, 3, 72 + (root + steps[(b % 8) * 2 + 1]) % 12, 80);
  }
  return out;
}

// The song as a MIDI file's bytes; its rendering as 16-bit stereo samples
// and as mono floats, `seconds` long (empty without fluidsynth or its sound
// font).
inline std::vector<std::uint8_t> fileBytes(int bpm, double seconds) {
  return MidiSong::fileBytes(events(bpm, seconds), bpm, {{1, 32}, {2, 49}, {3, 40}});
}

inline std::vector<std::int16_t> stereo(int bpm, double seconds, const QString& folder) {
  return MidiSong::stereoSamples(fileBytes(bpm, seconds), seconds, folder);
}

inline std::vector<float> mono(int bpm, double seconds, const QString& folder) {
  return MidiSong::monoSamples(fileBytes(bpm, seconds), seconds, folder);
}

}  // namespace HalfQuarterWaltz
