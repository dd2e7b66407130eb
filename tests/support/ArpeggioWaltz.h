#pragma once
// A waltz rendered by fluidsynth whose accompaniment is a piano arpeggio on
// every eighth (root, third, fifth, third an octave up, fifth, third; the
// first louder) over a bass held through the bar, and a flute's tune of a
// dotted half note, or a half note and a quarter, every other bar: C, A
// minor, F, G, a chord a bar; the first downbeat at 0. Its even eighths
// come as fast as a quick song's beats.

#include <QString>

#include <cstdint>
#include <vector>

#include "MidiSong.h"

namespace ArpeggioWaltz {

inline std::vector<MidiSong::Event> events(int bpm, double seconds) {
  constexpr std::uint32_t kEighth = MidiSong::kDivision / 2;
  static const int roots[] = {0, 9, 5, 7};
  static const bool minor[] = {false, true, false, false};
  static const int order[] = {0, 1, 2, 1, 2, 1};
  // The tune's steps above the chord's root: a dotted half note, or a
  // half note and a quarter.
  constexpr int dottedHalf = 4;
  static const int halfAndQuarter[] = {0, 7};
  const int bars = static_cast<int>(seconds * bpm / 180.0) + 2;
  std::vector<MidiSong::Event> out;
  for (int b = 0; b < bars; ++b) {
    const int root = roots[b % 4];
    const int tones[] = {0, minor[b % 4] ? 3 : 4, 7};
    const std::uint32_t t0 = static_cast<std::uint32_t>(b * 6) * kEighth;
    MidiSong::addNote(out, t0, 6 * kEighth - 10, 1, 36 + root, 95);
    for (int i = 0; i < 6; ++i)
      MidiSong::addNote(out, t0 + static_cast<std::uint32_t>(i) * kEighth, kEighth - 10, 0,
                        60 + (root + tones[order[i]]) % 12 + (i == 3 ? 12 : 0), i == 0 ? 88 : 70);
    if (b % 2 == 0) {
      MidiSong::addNote(out, t0, 6 * kEighth - 15, 3, 72 + (root + dottedHalf) % 12, 72);
    } else {
      MidiSong::addNote(out, t0, 4 * kEighth - 15, 3, 72 + (root + halfAndQuarter[0]) % 12, 72);
      MidiSong::addNote(out, t0 + 4 * kEighth, 2 * kEighth - 15, 3, 72 + (root + halfAndQuarter[1]) % 12, 72);
    }
  }
  return out;
}

// The song as 16-bit stereo samples and as mono floats, `seconds` long
// (empty without fluidsynth or its sound font).
inline std::vector<std::uint8_t> fileBytes(int bpm, double seconds) {
  return MidiSong::fileBytes(events(bpm, seconds), bpm, {{0, 0}, {1, 32}, {3, 73}});
}

inline std::vector<std::int16_t> stereo(int bpm, double seconds, const QString& folder) {
  return MidiSong::stereoSamples(fileBytes(bpm, seconds), seconds, folder);
}

inline std::vector<float> mono(int bpm, double seconds, const QString& folder) {
  return MidiSong::monoSamples(fileBytes(bpm, seconds), seconds, folder);
}

}  // namespace ArpeggioWaltz
