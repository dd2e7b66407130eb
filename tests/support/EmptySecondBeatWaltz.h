#pragma once
// Waltzes that leave their second beat empty, rendered by fluidsynth: a
// tune of a half note on one and a quarter note on three, four bars of
// chords over again, the first downbeat at 0. Their beats sound long-short
// as a slow 12/8 shuffle's eighths do.
// - HalfAndQuarter: a violin's tune over slow strings holding the chord, the
//   bass's root on one and three (C, A minor, F, G); its chords turn every
//   bar.
// - LoudThird: a flute's tune, the bass's root and a kick on one, the bass's
//   fifth, a piano chord and a hi-hat on three (G, E minor, C, D): its
//   accents fall on three.

#include <QString>

#include <cstdint>
#include <vector>

#include "MidiSong.h"

namespace EmptySecondBeatWaltz {

enum class Style { HalfAndQuarter, LoudThird };

inline std::vector<MidiSong::Event> events(Style style, int bpm, double seconds) {
  constexpr std::uint32_t kBeat = MidiSong::kDivision;
  const bool loudThird = style == Style::LoudThird;
  static const int halfAndQuarterRoots[] = {0, 9, 5, 7};
  static const int loudThirdRoots[] = {7, 4, 0, 2};
  static const bool minor[] = {false, true, false, false};
  // The tune's steps above each chord's root, the half note's and the
  // quarter's, over eight bars.
  static const int halfAndQuarterSteps[] = {4, 7, 3, 0, 9, 7, 2, 11, 0, 4, 7, 3, 5, 4, 7, 2};
  static const int loudThirdSteps[] = {0, 4, 7, 3, 4, 2, 7, 11, 4, 7, 3, 0, 9, 7, 4, 2};
  const int* roots = loudThird ? loudThirdRoots : halfAndQuarterRoots;
  const int* steps = loudThird ? loudThirdSteps : halfAndQuarterSteps;
  const int bassVelocity = loudThird ? 96 : 88;
  std::vector<MidiSong::Event> out;
  const int bars = static_cast<int>(seconds * bpm / 180.0) + 2;
  for (int b = 0; b < bars; ++b) {
    const int root = roots[b % 4];
    const int third = minor[b % 4] ? 3 : 4;
    const std::uint32_t t0 = static_cast<std::uint32_t>(b) * 3 * kBeat;
    MidiSong::addNote(out, t0, 2 * kBeat - 10, 1, 36 + root, bassVelocity);
    MidiSong::addNote(out, t0 + 2 * kBeat, kBeat - 10, 1, 36 + (root + (loudThird ? 7 : 0)) % 12, bassVelocity);
    if (loudThird) {
      for (int interval : {0, third, 7})
        MidiSong::addNote(out, t0 + 2 * kBeat, kBeat - 10, 0, 60 + (root + interval) % 12, 68);
      MidiSong::addNote(out, t0, kBeat / 2, 9, 36, 100);
      MidiSong::addNote(out, t0 + 2 * kBeat, kBeat / 2, 9, 42, 60);
    } else {
      for (int interval : {0, third, 7})
        MidiSong::addNote(out, t0, 3 * kBeat - 10, 2, 60 + (root + interval) % 12, 56);
    }
    MidiSong::addNote(out, t0, 2 * kBeat - 15, 3, 72 + (root + steps[(b % 8) * 2]) % 12, loudThird ? 78 : 84);
    MidiSong::addNote(out, t0 + 2 * kBeat, kBeat - 15, 3, 72 + (root + steps[(b % 8) * 2 + 1]) % 12,
                      loudThird ? 74 : 80);
  }
  return out;
}

// The song as a MIDI file's bytes; its rendering as 16-bit stereo samples
// and as mono floats, `seconds` long (empty without fluidsynth or its sound
// font).
inline std::vector<std::uint8_t> fileBytes(Style style, int bpm, double seconds) {
  if (style == Style::LoudThird) return MidiSong::fileBytes(events(style, bpm, seconds), bpm, {{0, 0}, {1, 33}, {3, 73}});
  return MidiSong::fileBytes(events(style, bpm, seconds), bpm, {{1, 32}, {2, 49}, {3, 40}});
}

inline std::vector<std::int16_t> stereo(Style style, int bpm, double seconds, const QString& folder) {
  return MidiSong::stereoSamples(fileBytes(style, bpm, seconds), seconds, folder);
}

inline std::vector<float> mono(Style style, int bpm, double seconds, const QString& folder) {
  return MidiSong::monoSamples(fileBytes(style, bpm, seconds), seconds, folder);
}

}  // namespace EmptySecondBeatWaltz
