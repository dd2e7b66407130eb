// The vocabulary: the entries the chord rules and the model texts index by
// number, unique names, and sharp spellings checked against the note-name
// table's flats.

#include <gtest/gtest.h>

#include <set>
#include <string>

#include "ChordVocabulary.h"
#include "PitchConversion.h"

namespace {

using kelo::ChordTypeNames;
using kelo::KeyModeNames;
using kelo::PitchCount;
using kelo::PitchNames;

TEST(ChordVocabulary, TheIndexesOtherCodeReliesOnNameTheirChords) {
  EXPECT_EQ(KeyModeNames[0], "MAJ");
  EXPECT_EQ(KeyModeNames[1], "MIN");
  const std::pair<int, const char*> used[] = {{0, "MAJ"}, {2, "MAJ7"}, {8, "MIN"}, {10, "MIN7"},
                                              {19, "7"}, {58, "1_5_7"}};
  for (const auto& [index, name] : used) EXPECT_EQ(ChordTypeNames[index], name) << index;
  EXPECT_EQ(Numeric::NoteNameToMidi(kelo::LowestProfileNoteName), 24);
}

TEST(ChordVocabulary, NamesAreUniqueAndUnpadded) {
  std::set<std::string> chords(std::begin(ChordTypeNames), std::end(ChordTypeNames));
  EXPECT_EQ(chords.size(), static_cast<std::size_t>(kelo::ChordTypeCount));
  std::set<std::string> pitches(std::begin(PitchNames), std::end(PitchNames));
  EXPECT_EQ(pitches.size(), static_cast<std::size_t>(PitchCount));
  for (const std::string& s : chords) EXPECT_TRUE(!s.empty() && s.find(' ') == std::string::npos) << s;
}

TEST(ChordVocabulary, PitchNamesAreSharpSpellingsOfTheFlatNoteNames) {
  // The note-name table spells black keys as flats; each sharp must name the
  // same key, that is the letter below the flat's letter.
  const std::string letters = "CDEFGAB";
  for (int pc = 0; pc < PitchCount; ++pc) {
    const std::string flatName = Numeric::NoteNameTable[24 + pc];  // octave 0
    const std::string sharp = PitchNames[pc];
    if (sharp.size() == 1) {
      EXPECT_EQ(flatName, sharp + "0");
      continue;
    }
    ASSERT_EQ(sharp.size(), 2u);
    ASSERT_EQ(flatName.size(), 3u) << flatName;
    EXPECT_EQ(sharp[1], '#');
    EXPECT_EQ(flatName[1], 'b');
    const std::size_t flatLetter = letters.find(flatName[0]);
    ASSERT_GT(flatLetter, 0u);
    ASSERT_NE(flatLetter, std::string::npos);
    EXPECT_EQ(sharp[0], letters[flatLetter - 1]) << flatName;
  }
}

}  // namespace
