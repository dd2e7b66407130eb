#pragma once
// How often the chords turn among the beat tracker's pulses. A waltz that
// leaves its second beat empty (a half note and a quarter, the bass on one
// and three) plays the long-short of a slow compound bar's eighths at the
// same pulse rate, and its accents come every third pulse as theirs do;
// the rhythm alone cannot tell them apart. The harmony can: a waltz's
// chord turns with every bar of three pulses, a compound bar holds its
// chord over two, three or four such groups (6/8, 9/8, 12/8).

#include <cstdint>
#include <vector>

#include "FrameFeatureExtractor.h"

namespace kelo {

// Whether the chords turn with every group of three pulses from the
// accents (phase `accent` of `first + i` mod 3) and not only every second,
// third or fourth group. Each group's chroma is the sum of its pulses'
// (`chroma`, one row a pulse: the treble's, the chords above the bass; a
// bass that moves between root and fifth on every dotted beat turns a
// compound bar's groups as much as a waltz's chords do). The turn between
// two groups is 1 minus their cosine. Folded over two, three and four
// groups, the mean turn at the fold's other phases is at least 0.3 of the
// mean at its strongest phase, in every fold. False with fewer than
// sixteen turns to go by or with `accent` outside 0..2.
bool chordsTurnEveryThreePulses(const std::vector<FeatureVector>& chroma, std::uint32_t first, int accent);

// Whether the chords turn with every two pulses from phase `accent` (of
// `first + i` mod 2) and not only every second, third or fourth pair: a
// fast waltz whose bars the tracker took for its beats, not a compound
// song read by its dotted beats. As above, with fewer than sixteen turns
// false.
bool chordsTurnEveryTwoPulses(const std::vector<FeatureVector>& chroma, std::uint32_t first, int accent);

// The measure behind both, for groups of `groupPulses` pulses from the phase
// `accent` (of `first + i` mod `groupPulses`): over the folds of two, three
// and four groups, the least ratio of the mean turn at the fold's other
// phases to the mean at its strongest. 0 where nothing turns, -1 with
// fewer than sixteen turns or with `accent` outside 0..groupPulses - 1.
double leastTurnShareElsewhere(const std::vector<FeatureVector>& chroma, std::uint32_t first, int accent,
                               int groupPulses);

}  // namespace kelo
