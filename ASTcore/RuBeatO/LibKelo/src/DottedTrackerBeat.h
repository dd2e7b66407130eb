#pragma once
// A waltz whose second and third beats hardly sound (an oom-pah whose
// chords swell in, a pad under a soft tune) gives the beat tracker little
// but its downbeats, and the tracker may then settle on one and a half of
// the waltz's beats for its own: two of its beats a bar, the second in the
// middle of beat two, where nothing starts. Every second beat of the
// tracker then carries far less new sound than the others, and no more
// than where nothing starts at all, which no beat of a song the tracker
// has read at its own level does (its beats are where sound starts; a
// weaker beat still has its own). Read that way, the bar is the tracker's two beats
// from a strong one, and the waltz's beats lie at its thirds: six eighths
// a bar, two a beat, as in any other simple meter.

#include <vector>

namespace kelo {

// The parity (0 or 1, of the index in `atBeats`) of the tracker's beats
// that open the bars when its beat is one and a half of the song's: every
// second beat sounds less than two thirds as much as the others and no
// more than a little over the points of the bar where nothing starts in a
// waltz (the offbeats of its first and third beats, a sixth and five
// sixths of the way from a strong beat to the next). `atBeats`: the new
// sound at each of the tracker's beats, in order; `atOffbeats`: two for
// each beat but the last two, at a sixth and five sixths of the way to the
// beat after next (2 * (beats - 2) values). -1 otherwise, and with fewer
// than eight beats to go by.
int dottedBeatBarParity(const std::vector<double>& atBeats, const std::vector<double>& atOffbeats);

// The eighths of a stretch whose tracker pulses (half beats of the
// tracker's beat, four a bar) stand for dotted beats: six evenly spaced
// from each bar's first pulse to the next's.
struct DottedBeatEighths {
  // Ascending frames inside the stretch.
  std::vector<int> eighths;
  // Frames at or beyond the stretch's end (in its own count), for the
  // next stretch.
  std::vector<int> beyond;
  // Index in `eighths` of one that opens a bar; -1 when none does.
  int barIndex = -1;
  // Where the bar after the last one here begins, in the stretch's count,
  // and the last bar's length in frames.
  int nextBar = -1;
  int barFrames = 0;
};

// `pulses`: the tracker's pulses of the stretch, ascending; `barNear`: the
// frame near which a bar begins (the first stretch: a strong beat of the
// tracker; later ones: where the last stretch expected its next bar), the
// pulses a bar apart from the one nearest it opening the bars; `carried`:
// eighths the last stretch left beyond its end, in this stretch's frames
// (none for the first, which fills the part bar before its first bar line
// back to frame 0); `frames`: the stretch's length; `barFrames`: the bar's
// length the last stretch ended with (0 for the first: four pulses), which
// sets how many pulses make a bar here.
DottedBeatEighths eighthsOfDottedBeats(const std::vector<int>& pulses, int barNear, const std::vector<int>& carried,
                                       int frames, int barFrames);

}  // namespace kelo
