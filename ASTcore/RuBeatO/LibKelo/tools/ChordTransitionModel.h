#pragma once
// Transition counts of the built-in model, written from harmony rather than
// counted from recordings: per key mode a vocabulary of chords with their
// usual frequency (diatonic functions, secondary dominants, borrowed and
// passing chords), changes favoured by root motion and resolution, and per
// meter and beat position the share of frames on which the chord changes.
//
// Tables are in key-relative chord states 12 * class + root above the
// tonic, for the classes of the built-in chordlist; rows are the previous
// chord, columns the next.

#include <string>
#include <vector>

namespace kelomodel {

using CountTable = std::vector<std::vector<long>>;

// The table for key mode (0 major, 1 minor), beats per bar and beat
// position of the next chord. Every diagonal entry is positive and every
// change between two chords of the mode's vocabulary has a count.
CountTable transitionCounts(int mode, int beatsPerBar, int position);

// Rows of blank-separated counts, no line feed after the last.
std::string tableText(const CountTable& table);

}  // namespace kelomodel
