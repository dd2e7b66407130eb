#pragma once
// An oom-pah waltz whose chords swell in, rendered by fluidsynth: a
// fingered bass and a kick on one, accordion chords on two and three, a
// chord a bar (C, F, G, C, A minor, D minor, G, C), the bass on the fifth
// every second bar; the first downbeat at 0. Its second and third beats
// bring so little new sound that the beat tracker, between about 90 and
// 115 BPM, takes one and a half of its beats for one of its own.
//
// With a tune, an accordion also plays a note on one, held for two beats
// with another on three, or for the whole of every fourth bar, as a
// waltz's melody often goes, and a hi-hat sounds on two and three: the
// downbeat then brings far more new sound than the chords of two and
// three.

#include <QString>

#include <cstdint>
#include <vector>

#include "MidiSong.h"

namespace AccordionWaltz {

enum class Tune { None, OnTheDownbeats };

inline std::vector<MidiSong::Event> events(int bpm, double seconds, Tune tune = Tune::None) {
  constexpr std::uint32_t kBeat = MidiSong::kDivision;
  static const int roots[] = {0, 5, 7, 0, 9, 2, 7, 0};
  static const bool minor[] = {false, false, false, false, true, true, false, false};
  std::vector<MidiSong::Event> out;
  const int bars = static_cast<int>(seconds * bpm / 180.0) + 2;
  for (int b = 0; b < bars; ++b) {
    const int root = roots[b % 8];
    const int third = minor[b % 8] ? 3 : 4;
    const std::uint32_t t0 = static_cast<std::uint32_t>(b) * 3 * kBeat;
    MidiSong::addNote(out, t0, kBeat - 10, 1, 36 + root + (b % 2 ? 7 : 0), 100);
    MidiSong::addNote(out, t0, kBeat / 2, 9, 36, 100);
    for (std::uint32_t k = 1; k < 3; ++k)
      for (int interval : {0, third, 7})
        MidiSong::addNote(out, t0 + k * kBeat, kBeat - 10, 2, 60 + (root + interval) % 12, k == 1 ? 70 : 66);
    if (tune == Tune::None) continue;
    static const int steps[] = {4, 7, 12, 7, 4, 0, 7, 12};
    const int note = 72 + (root + steps[b % 8]) % 12;
    MidiSong::addNote(out, t0, (b % 4 == 3 ? 3 : 2) * kBeat - 15, 3, note, 82);
    if (b % 4 != 3) MidiSong::addNote(out, t0 + 2 * kBeat, kBeat - 15, 3, 72 + (root + third) % 12, 76);
    for (std::uint32_t k = 1; k < 3; ++k) MidiSong::addNote(out, t0 + k * kBeat, kBeat / 2, 9, 42, 60);
  }
  return out;
}

// The song as a MIDI file's bytes; its rendering as 16-bit stereo samples
// and as mono floats, `seconds` long (empty without fluidsynth or its sound
// font).
inline std::vector<std::uint8_t> fileBytes(int bpm, double seconds, Tune tune = Tune::None) {
  return MidiSong::fileBytes(events(bpm, seconds, tune), bpm, {{1, 33}, {2, 21}, {3, 21}});
}

inline std::vector<std::int16_t> stereo(int bpm, double seconds, const QString& folder, Tune tune = Tune::None) {
  return MidiSong::stereoSamples(fileBytes(bpm, seconds, tune), seconds, folder);
}

inline std::vector<float> mono(int bpm, double seconds, const QString& folder, Tune tune = Tune::None) {
  return MidiSong::monoSamples(fileBytes(bpm, seconds, tune), seconds, folder);
}

}  // namespace AccordionWaltz
