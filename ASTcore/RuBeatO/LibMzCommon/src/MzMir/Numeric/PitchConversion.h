// Conversions between frequency, MIDI note number and note name. MIDI note 69
// is A at the caller's reference frequency; note numbers may be fractional in
// both directions. Note names run from "C-2" (0) to "B8" (131), black keys
// spelt as flats only ("Db", "Eb", "Gb", "Ab", "Bb"), so "C0" is 24, "C3" 60
// and "A3" 69.

#pragma once

#include <cstdint>
#include <string>

namespace Numeric {

constexpr int NoteNameCount = 132;

// Index = 12 * row + pitch class, rows standing for octaves -2 .. 8.
extern const char* const NoteNameTable[NoteNameCount];

// MIDI note of frequency f (Hz) with note 69 at `ref`; -128 for f <= 0.
// Single precision throughout.
float FrequencyToMidi(float f, float ref);

// Frequency (Hz) of a possibly fractional MIDI note with note 69 at `ref`.
float MidiToFrequency(float note, float ref);

// MIDI note number of an exact (case-sensitive, untrimmed) note name from
// NoteNameTable; -1 when the name is not there, which the caller must check.
int32_t NoteNameToMidi(const std::string& name);

}  // namespace Numeric

// The spectral front ends name these without the namespace.
using Numeric::FrequencyToMidi;
using Numeric::MidiToFrequency;
using Numeric::NoteNameToMidi;
