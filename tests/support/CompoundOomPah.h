#pragma once
// A 6/8 oom-pah-pah rendered by fluidsynth: on each dotted beat a
// fingered bass (the root on one, the fifth on four) and a kick, the
// accordion's chord on the two eighths after it, a chord a bar (C, F, G,
// C, A minor, D minor, G, C); the first downbeat at 0. Note for note it is
// a waltz at three times its dotted tempo whose chord lasts two bars.

#include <QString>

#include <cstdint>
#include <vector>

#include "MidiSong.h"

namespace CompoundOomPah {

inline std::vector<MidiSong::Event> events(int dottedBpm, double seconds) {
  constexpr std::uint32_t kEighth = MidiSong::kDivision / 2;
  static const int roots[] = {0, 5, 7, 0, 9, 2, 7, 0};
  static const bool minor[] = {false, false, false, false, true, true, false, false};
  std::vector<MidiSong::Event> out;
  const int bars = static_cast<int>(seconds * dottedBpm / 120.0) + 2;
  for (int b = 0; b < bars; ++b) {
    const int root = roots[b % 8];
    const int third = minor[b % 8] ? 3 : 4;
    for (std::uint32_t k = 0; k < 2; ++k) {
      const std::uint32_t beat = (static_cast<std::uint32_t>(b) * 2 + k) * 3 * kEighth;
      MidiSong::addNote(out, beat, kEighth - 10, 1, 36 + root + (k ? 7 : 0), 100);
      MidiSong::addNote(out, beat, kEighth, 9, 36, 100);
      for (std::uint32_t e = 1; e < 3; ++e)
        for (int interval : {0, third, 7})
          MidiSong::addNote(out, beat + e * kEighth, kEighth - 10, 2, 60 + (root + interval) % 12, e == 1 ? 70 : 66);
    }
  }
  return out;
}

// The song as mono floats, `seconds` long (empty without fluidsynth or
// its sound font). `dottedBpm` even, so that its quarter notes come a
// whole number of times a minute.
inline std::vector<float> mono(int dottedBpm, double seconds, const QString& folder) {
  const std::vector<std::uint8_t> bytes = MidiSong::fileBytes(events(dottedBpm, seconds), dottedBpm * 3 / 2, {{1, 33}, {2, 21}});
  return MidiSong::monoSamples(bytes, seconds, folder);
}

}  // namespace CompoundOomPah
