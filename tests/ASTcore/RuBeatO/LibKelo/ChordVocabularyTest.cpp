// The vocabulary tables against an independent transcription of the chord
// chart, which lists the chord types in three columns (0-19, 20-39, 40-58)
// rather than in running order, so a shifted or transposed entry shows.

#include <gtest/gtest.h>

#include <algorithm>
#include <set>
#include <string>
#include <type_traits>
#include <vector>

#include "ChordVocabulary.h"
#include "PitchConversion.h"

namespace {

using kelo::ChordTypeCount;
using kelo::ChordTypeNames;
using kelo::KeyModeCount;
using kelo::KeyModeNames;
using kelo::PitchCount;
using kelo::PitchNames;

struct Entry {
  int index;
  const char* name;
};

// Row by row as charted: each line holds index i, i + 20 and i + 40.
const std::vector<Entry> kChordChart = {
    {0, "MAJ"},      {20, "7SUS4"}, {40, "INHA5"},
    {1, "MAJ6"},     {21, "7F5"},   {41, "INHA6"},
    {2, "MAJ7"},     {22, "7_9"},   {42, "INHA7"},
    {3, "MAJ7S11"},  {23, "7_S11"}, {43, "1_F3"},
    {4, "MAJ_9"},    {24, "7_13"},  {44, "1_3"},
    {5, "MAJ7_9"},   {25, "7_F9"},  {45, "1_4"},
    {6, "MAJ6_9"},   {26, "7_F13"}, {46, "1_F5"},
    {7, "AUG"},      {27, "7_S9"},  {47, "1_F6"},
    {8, "MIN"},      {28, "M7AUG"}, {48, "1_6"},
    {9, "MIN6"},     {29, "7AUG"},  {49, "1_F7"},
    {10, "MIN7"},    {30, "1_8"},   {50, "1_7"},
    {11, "MIN7F5"},  {31, "1_5"},   {51, "1_2_5_IAS"},
    {12, "MIN_9"},   {32, "SUS4"},  {52, "1_F3_F7"},
    {13, "MIN7_9"},  {33, "1_2_5"}, {53, "1_F3_7"},
    {14, "MIN7_11"}, {34, "CC"},    {54, "1_3_F7"},
    {15, "MM7"},     {35, "MAJ7F5"}, {55, "1_3_7"},
    {16, "MM7_9"},   {36, "MAJF5"}, {56, "1_F5_F7"},
    {17, "DIM"},     {37, "MM7F5"}, {57, "1_5_F7"},
    {18, "DIM7"},    {38, "INHA2"}, {58, "1_5_7"},
    {19, "7"},       {39, "INHA4"},
};

const std::vector<Entry> kPitchChart = {
    {0, "C"},  {4, "E"},  {8, "G#"},
    {1, "C#"}, {5, "F"},  {9, "A"},
    {2, "D"},  {6, "F#"}, {10, "A#"},
    {3, "D#"}, {7, "G"},  {11, "B"},
};

// Where `name` stands in a table, found by scanning it; -1 when absent.
template <size_t N>
int indexOf(const std::string (&table)[N], const std::string& name) {
  const auto it = std::find(table, table + N, name);
  return it == table + N ? -1 : static_cast<int>(it - table);
}

TEST(ChordVocabulary, TablesHoldTwoModesTwelvePitchesAndFiftyNineChordTypes) {
  EXPECT_EQ(std::extent<decltype(KeyModeNames)>::value, 2u);
  EXPECT_EQ(std::extent<decltype(PitchNames)>::value, 12u);
  EXPECT_EQ(std::extent<decltype(ChordTypeNames)>::value, 59u);
  EXPECT_EQ(KeyModeCount, 2);
  EXPECT_EQ(PitchCount, 12);
  EXPECT_EQ(ChordTypeCount, 59);
}

TEST(ChordVocabulary, ChordTypesMatchTheChartEntryForEntry) {
  ASSERT_EQ(kChordChart.size(), 59u);
  std::set<int> seen;
  for (const Entry& e : kChordChart) {
    ASSERT_GE(e.index, 0);
    ASSERT_LT(e.index, ChordTypeCount);
    EXPECT_EQ(ChordTypeNames[e.index], e.name) << "index " << e.index;
    seen.insert(e.index);
  }
  EXPECT_EQ(seen.size(), 59u) << "the chart must cover every index once";
}

TEST(ChordVocabulary, PitchNamesMatchTheChartAndNeverSpellAFlat) {
  ASSERT_EQ(kPitchChart.size(), 12u);
  for (const Entry& e : kPitchChart) {
    EXPECT_EQ(PitchNames[e.index], e.name) << "pitch class " << e.index;
  }
  for (int pc = 0; pc < PitchCount; ++pc) {
    EXPECT_EQ(PitchNames[pc].find('b'), std::string::npos) << PitchNames[pc];
  }
  EXPECT_EQ(PitchNames[3], "D#");
  EXPECT_EQ(PitchNames[10], "A#");
}

TEST(ChordVocabulary, PitchNamesAreSharpSpellingsOfTheFlatNoteNames) {
  // The note-name table spells black keys as flats; each sharp here must be
  // the same key, i.e. the letter below the flat's letter.
  const std::string letters = "CDEFGAB";
  for (int pc = 0; pc < PitchCount; ++pc) {
    const std::string flatName = Numeric::NoteNameTable[24 + pc];  // octave 0
    const std::string sharp = PitchNames[pc];
    if (sharp.size() == 1) {
      EXPECT_EQ(flatName, sharp + "0");
    } else {
      ASSERT_EQ(sharp.size(), 2u);
      EXPECT_EQ(sharp[1], '#');
      ASSERT_EQ(flatName.size(), 3u) << flatName;
      EXPECT_EQ(flatName[1], 'b');
      const size_t flatLetter = letters.find(flatName[0]);
      ASSERT_NE(flatLetter, std::string::npos);
      ASSERT_GT(flatLetter, 0u);
      EXPECT_EQ(sharp[0], letters[flatLetter - 1]) << flatName;
    }
  }
}

TEST(ChordVocabulary, KeyModesAreMajorThenMinor) {
  EXPECT_EQ(KeyModeNames[0], "MAJ");
  EXPECT_EQ(KeyModeNames[1], "MIN");
}

TEST(ChordVocabulary, KeyModeAndChordTypeAreSeparateIndexSpaces) {
  EXPECT_EQ(KeyModeNames[1], "MIN");
  EXPECT_EQ(ChordTypeNames[1], "MAJ6");
  EXPECT_EQ(indexOf(ChordTypeNames, KeyModeNames[0]), 0);
  EXPECT_EQ(indexOf(ChordTypeNames, KeyModeNames[1]), 8);
}

TEST(ChordVocabulary, FirstAndLastChordTypesAreMajAnd157) {
  EXPECT_EQ(ChordTypeNames[0], "MAJ");
  EXPECT_EQ(ChordTypeNames[ChordTypeCount - 1], "1_5_7");
}

TEST(ChordVocabulary, IndicesTheChordRulesCompareNameTheExpectedChords) {
  EXPECT_EQ(ChordTypeNames[0], "MAJ");
  EXPECT_EQ(ChordTypeNames[2], "MAJ7");
  EXPECT_EQ(ChordTypeNames[8], "MIN");
  EXPECT_EQ(ChordTypeNames[10], "MIN7");
  EXPECT_EQ(ChordTypeNames[19], "7");
}

// Names are unique within each table, so an index found by name is the index
// the name was read from, in every table.
TEST(ChordVocabulary, EveryNameLeadsBackToItsOwnIndex) {
  for (int i = 0; i < KeyModeCount; ++i) {
    EXPECT_EQ(indexOf(KeyModeNames, KeyModeNames[i]), i);
  }
  for (int i = 0; i < PitchCount; ++i) {
    EXPECT_EQ(indexOf(PitchNames, PitchNames[i]), i);
  }
  for (int i = 0; i < ChordTypeCount; ++i) {
    EXPECT_EQ(indexOf(ChordTypeNames, ChordTypeNames[i]), i) << ChordTypeNames[i];
  }
  for (const Entry& e : kChordChart) {
    EXPECT_EQ(indexOf(ChordTypeNames, e.name), e.index) << e.name;
  }
  for (const Entry& e : kPitchChart) {
    EXPECT_EQ(indexOf(PitchNames, e.name), e.index) << e.name;
  }
  EXPECT_EQ(indexOf(ChordTypeNames, "Cmaj"), -1);
  EXPECT_EQ(indexOf(PitchNames, "Db"), -1);
}

TEST(ChordVocabulary, NoNameIsEmptyOrPadded) {
  auto clean = [](const std::string& s) {
    return !s.empty() && s.find(' ') == std::string::npos;
  };
  for (const auto& s : KeyModeNames) EXPECT_TRUE(clean(s)) << '[' << s << ']';
  for (const auto& s : PitchNames) EXPECT_TRUE(clean(s)) << '[' << s << ']';
  for (const auto& s : ChordTypeNames) EXPECT_TRUE(clean(s)) << '[' << s << ']';
}

TEST(ChordVocabulary, LowestProfileNoteIsMidiNote24) {
  EXPECT_EQ(kelo::LowestProfileNoteName, "C0");
  EXPECT_EQ(Numeric::NoteNameToMidi(kelo::LowestProfileNoteName), 24);
}

}  // namespace
