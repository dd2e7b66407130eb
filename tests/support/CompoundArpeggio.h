#pragma once
// A compound-meter song rendered by fluidsynth whose only rhythm is an
// arpeggio of the bar's chord on every eighth (root, third, and the fifth
// an octave up; the first note of each dotted beat louder) on a harp,
// over a bass held through the bar and a soft string pad: E minor, G, C,
// D, a chord a bar; the first downbeat at 0. Its eighths come as evenly as
// a waltz's beats, and only the bass, once a bar, groups its dotted beats.

#include <QString>

#include <cstdint>
#include <vector>

#include "MidiSong.h"

namespace CompoundArpeggio {

inline std::vector<MidiSong::Event> events(int dottedBeatsPerBar, int dottedBpm, double seconds) {
  constexpr std::uint32_t kEighth = MidiSong::kDivision / 2;
  static const int roots[] = {4, 7, 0, 2};
  static const bool minor[] = {true, false, false, false};
  const int eighths = 3 * dottedBeatsPerBar;
  std::vector<MidiSong::Event> out;
  const int bars = static_cast<int>(seconds * dottedBpm / (60.0 * dottedBeatsPerBar)) + 2;
  for (int b = 0; b < bars; ++b) {
    const int root = roots[b % 4];
    const int tones[] = {0, minor[b % 4] ? 3 : 4, 19};
    const std::uint32_t t0 = static_cast<std::uint32_t>(b * eighths) * kEighth;
    MidiSong::addNote(out, t0, eighths * kEighth - 10, 1, 36 + root, 92);
    for (int interval : {0, tones[1], 7}) MidiSong::addNote(out, t0, eighths * kEighth - 10, 2, 60 + (root + interval) % 12, 50);
    for (int i = 0; i < eighths; ++i)
      MidiSong::addNote(out, t0 + static_cast<std::uint32_t>(i) * kEighth, kEighth - 10, 0, 60 + root + tones[i % 3],
                        i % 3 == 0 ? 86 : 64);
  }
  return out;
}

// Mono floats `seconds` long (empty without fluidsynth or its sound font).
// The file's tempo is in quarter notes: a dotted beat is three eighths.
inline std::vector<float> mono(int dottedBeatsPerBar, int dottedBpm, double seconds, const QString& folder) {
  const std::vector<std::uint8_t> bytes =
      MidiSong::fileBytes(events(dottedBeatsPerBar, dottedBpm, seconds), dottedBpm * 3 / 2, {{0, 46}, {1, 32}, {2, 48}});
  return MidiSong::monoSamples(bytes, seconds, folder);
}

}  // namespace CompoundArpeggio
