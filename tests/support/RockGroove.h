#pragma once
// A rock drum groove alone, rendered by fluidsynth: a kick on one, on the
// "and" of two and on three, a snare on two and four, a closed hi-hat on
// every eighth and an open one on the last; the first downbeat at 0. Its
// downbeats rise far more than its backbeat, and nothing in it has a pitch.

#include <QString>

#include <cstdint>
#include <vector>

#include "MidiSong.h"

namespace RockGroove {

inline std::vector<MidiSong::Event> events(int bpm, double seconds) {
  constexpr std::uint32_t kEighth = MidiSong::kDivision / 2;
  // (eighth, drum, velocity) of one bar.
  struct Hit {
    int eighth, note, velocity;
  };
  static const Hit bar[] = {{0, 36, 104}, {0, 42, 90}, {1, 42, 66}, {2, 38, 104}, {2, 42, 84}, {3, 36, 80},
                            {3, 42, 68},  {4, 36, 100}, {4, 42, 86}, {5, 42, 64}, {6, 38, 106}, {6, 42, 92},
                            {7, 46, 74}};
  const int bars = MidiSong::barsOfFour(seconds, bpm);
  std::vector<MidiSong::Event> out;
  for (int b = 0; b < bars; ++b)
    for (const Hit& h : bar)
      MidiSong::addNote(out, static_cast<std::uint32_t>(b * 8 + h.eighth) * kEighth, kEighth / 2, 9, h.note, h.velocity);
  return out;
}

// Mono floats `seconds` long (empty without fluidsynth or its sound font).
inline std::vector<float> mono(int bpm, double seconds, const QString& folder) {
  return MidiSong::monoSamples(MidiSong::fileBytes(events(bpm, seconds), bpm), seconds, folder);
}

}  // namespace RockGroove
