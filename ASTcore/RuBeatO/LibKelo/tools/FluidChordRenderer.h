#pragma once
// Chord events played by General MIDI instruments: a MIDI file of the notes
// rendered by fluidsynth with the GM sound font, read back as mono audio.

#include <string>
#include <vector>

namespace kelomodel {

struct MidiNote {
  double start;  // seconds
  double end;
  int channel;
  int key;
  int velocity;
};

// GM program per channel (index = channel; -1 leaves the channel alone).
using ChannelPrograms = std::vector<int>;

// True when fluidsynth and the GM sound font are installed.
bool fluidsynthAvailable();

// Renders the notes at 44100 Hz with reverb and chorus off (so the result
// depends on the notes alone) through files named `name` in `workDir`.
// Returns mono samples up to the end of the last note plus `tail` seconds,
// or nothing when rendering failed.
std::vector<float> renderNotes(const std::vector<MidiNote>& notes, const ChannelPrograms& programs,
                               const std::string& workDir, const std::string& name, double tail = 0.3);

}  // namespace kelomodel
