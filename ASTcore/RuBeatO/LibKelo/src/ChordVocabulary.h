#pragma once
// The names behind every index the chord and key engine reports: the key
// mode and tonic of a kelo::t_keysig, the root, bass and chord type of a
// kelo::t_chord. The engine and the code receiving its callbacks work with
// the indices; these tables only give them names.
//
// Lookup is by index only, and callers pass indices already in range (the
// tables do no checking). No code looks an entry up by name: the names are
// opaque identifiers. The tables are built before main runs and are read-only
// afterwards, so any thread may read them without locking.
//
// The index values are part of the contract: the model texts name chord types
// by their decimal index here, and the chord rules compare indices directly
// (0 "MAJ", 2 "MAJ7", 8 "MIN", 10 "MIN7", 19 "7").

#include <string>

namespace kelo {

constexpr int KeyModeCount = 2;
constexpr int PitchCount = 12;
constexpr int ChordTypeCount = 59;

// Key mode of a key signature: 0 "MAJ", 1 "MIN". A separate index space from
// the chord types, even though both hold "MAJ" and "MIN".
extern const std::string KeyModeNames[KeyModeCount];

// Pitch classes 0..11 from C upward, black keys always spelt with a sharp
// (unlike the note-name table of the pitch conversions, which uses flats).
extern const std::string PitchNames[PitchCount];

// Chord types 0..58.
extern const std::string ChordTypeNames[ChordTypeCount];

// The lowest note of the pitch-class profile range the engine's feature code
// asks the profile front end for.
extern const std::string LowestProfileNoteName;

}  // namespace kelo
