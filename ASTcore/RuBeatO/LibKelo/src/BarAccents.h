#pragma once
// How long the bar is, read from the beats that bring new sound. The
// periodicity of the features over the whole song (SpectralFeature) hears
// the song's phrases as well as its bars: a waltz whose chords loop every
// four bars repeats every 24 pulses, of which 8 (a 4/4 bar) is as much a
// part as 6, and a waltz with a bass note on every beat and a tune note on
// every beat can then come out with four beats a bar. Where the bar's first
// beat brings more new sound than the others (the bass, the kick, the new
// chord), it does so every third beat in a waltz and every fourth or
// second beat in 4/4, whatever the phrases.

#include <cstddef>
#include <vector>

#include "FrameFeatureExtractor.h"

namespace kelo {

// How far the new sound of one position in a bar of `beats` beats (two
// pulses each) stands out: the rise of the features over the beat before
// at each pulse, folded onto the bar's 2 * `beats` pulses, the largest mean
// over the mean of all. 1 where no position stands out; 0 with fewer than
// two bars and two beats of pulses. `rows`: the features at each pulse.
double barAccentContrast(const std::vector<FeatureVector>& rows, std::size_t beats);

// Whether a bar of three beats stands out, and more than one of four;
// false where the recording is too short to weigh bars of four.
bool barOfThreeStandsOut(const std::vector<FeatureVector>& rows);

}  // namespace kelo
