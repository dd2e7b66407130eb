// Pitch conversions against double-precision closed forms and a note-name
// table spelt out independently; round trips between notes and frequencies.

#include <gtest/gtest.h>

#include <cmath>
#include <string>

#include "PitchConversion.h"

namespace {

using Numeric::FrequencyToMidi;
using Numeric::MidiToFrequency;
using Numeric::NoteNameToMidi;

std::string expectedName(int note) {
  static const char* const pitch[12] = {"C",  "Db", "D",  "Eb", "E",  "F",
                                        "Gb", "G",  "Ab", "A",  "Bb", "B"};
  return pitch[note % 12] + std::to_string(note / 12 - 2);
}

TEST(PitchConversion, EveryNoteNameMapsToItsNumber) {
  for (int note = 0; note < 132; ++note) {
    EXPECT_EQ(NoteNameToMidi(expectedName(note)), note) << expectedName(note);
    EXPECT_EQ(std::string(Numeric::NoteNameTable[note]), expectedName(note));
  }
}

TEST(PitchConversion, KnownNamesGiveTheirNumbers) {
  EXPECT_EQ(NoteNameToMidi("A3"), 69);
  EXPECT_EQ(NoteNameToMidi("C-2"), 0);
  EXPECT_EQ(NoteNameToMidi("C0"), 24);
  EXPECT_EQ(NoteNameToMidi("C3"), 60);
  EXPECT_EQ(NoteNameToMidi("Bb8"), 130);
  EXPECT_EQ(NoteNameToMidi("B8"), 131);
}

TEST(PitchConversion, NamesOutsideTheTableGiveMinusOne) {
  for (const char* name : {"A#3", "a3", "A3 ", " A3", "", "C9", "C-3", "B", "Cb3", "Bb"}) {
    EXPECT_EQ(NoteNameToMidi(name), -1) << '"' << name << '"';
  }
  EXPECT_EQ(NoteNameToMidi(std::string("A3\0", 3)), -1);
}

TEST(PitchConversion, MidiToFrequencyFollowsEqualTemperament) {
  for (float ref : {440.0f, 442.0f, 415.3f}) {
    EXPECT_FLOAT_EQ(MidiToFrequency(69.0f, ref), ref);
    for (float note = 0.0f; note <= 131.0f; note += 0.25f) {
      const double expected = ref * std::pow(2.0, (note - 69.0) / 12.0);
      EXPECT_NEAR(MidiToFrequency(note, ref), expected, expected * 1e-6) << note;
    }
  }
}

TEST(PitchConversion, FrequencyToMidiIsTheLogarithmicInverse) {
  EXPECT_NEAR(FrequencyToMidi(880.0f, 440.0f), 81.0f, 1e-4f);
  EXPECT_NEAR(FrequencyToMidi(440.0f, 440.0f), 69.0f, 1e-5f);
  for (double f = 8.0; f < 20000.0; f *= 1.37) {
    const double expected = 12.0 * std::log2(f / 440.0) + 69.0;
    EXPECT_NEAR(FrequencyToMidi(static_cast<float>(f), 440.0f), expected, 1e-4) << f;
  }
}

TEST(PitchConversion, FractionalNotesSurviveARoundTrip) {
  for (float note = -10.0f; note <= 140.0f; note += 0.37f) {
    EXPECT_NEAR(FrequencyToMidi(MidiToFrequency(note, 440.0f), 440.0f), note, 2e-4f);
  }
}

TEST(PitchConversion, NonPositiveFrequenciesGiveMinus128) {
  EXPECT_EQ(FrequencyToMidi(0.0f, 440.0f), -128.0f);
  EXPECT_EQ(FrequencyToMidi(-0.0f, 440.0f), -128.0f);
  EXPECT_EQ(FrequencyToMidi(-100.0f, 440.0f), -128.0f);
}

}  // namespace
