#include "PitchConversion.h"

#include <cmath>
#include <cstring>

namespace Numeric {

const char* const NoteNameTable[NoteNameCount] = {
    "C-2", "Db-2", "D-2", "Eb-2", "E-2", "F-2", "Gb-2", "G-2", "Ab-2", "A-2", "Bb-2", "B-2",
    "C-1", "Db-1", "D-1", "Eb-1", "E-1", "F-1", "Gb-1", "G-1", "Ab-1", "A-1", "Bb-1", "B-1",
    "C0",  "Db0",  "D0",  "Eb0",  "E0",  "F0",  "Gb0",  "G0",  "Ab0",  "A0",  "Bb0",  "B0",
    "C1",  "Db1",  "D1",  "Eb1",  "E1",  "F1",  "Gb1",  "G1",  "Ab1",  "A1",  "Bb1",  "B1",
    "C2",  "Db2",  "D2",  "Eb2",  "E2",  "F2",  "Gb2",  "G2",  "Ab2",  "A2",  "Bb2",  "B2",
    "C3",  "Db3",  "D3",  "Eb3",  "E3",  "F3",  "Gb3",  "G3",  "Ab3",  "A3",  "Bb3",  "B3",
    "C4",  "Db4",  "D4",  "Eb4",  "E4",  "F4",  "Gb4",  "G4",  "Ab4",  "A4",  "Bb4",  "B4",
    "C5",  "Db5",  "D5",  "Eb5",  "E5",  "F5",  "Gb5",  "G5",  "Ab5",  "A5",  "Bb5",  "B5",
    "C6",  "Db6",  "D6",  "Eb6",  "E6",  "F6",  "Gb6",  "G6",  "Ab6",  "A6",  "Bb6",  "B6",
    "C7",  "Db7",  "D7",  "Eb7",  "E7",  "F7",  "Gb7",  "G7",  "Ab7",  "A7",  "Bb7",  "B7",
    "C8",  "Db8",  "D8",  "Eb8",  "E8",  "F8",  "Gb8",  "G8",  "Ab8",  "A8",  "Bb8",  "B8",
};

float FrequencyToMidi(float f, float ref) {
  if (f <= 0.0f) return -128.0f;
  // ln 2 in single precision; the order of operations is kept so results
  // match the analysis models bit for bit.
  return std::log(f / ref) / 0.6931472f * 12.0f + 69.0f;
}

float MidiToFrequency(float note, float ref) {
  return std::exp2((note - 69.0f) / 12.0f) * ref;
}

int32_t NoteNameToMidi(const std::string& name) {
  for (int32_t i = 0; i < NoteNameCount; ++i) {
    const char* entry = NoteNameTable[i];
    if (name.size() == std::strlen(entry) && name.compare(entry) == 0) return i;
  }
  return -1;
}

}  // namespace Numeric
