#pragma once
// A waltz whose second and third beats hardly sound (an oom-pah whose
// chords swell in, a pad under a soft tune) gives the beat tracker little
// but its downbeats, and the tracker may then settle on one and a half of
// the waltz's beats for its own: two of its beats a bar, the second in the
// middle of beat two, where nothing starts. Every second beat of the
// tracker then carries far less new sound than the others. So does a 4/4
// song whose second and fourth beats are soft, or a slow compound song the
// tracker read at twice its beat; what sets the waltz apart is that new
// pitches (its chords, its tune) start on its own beats, a third and two
// thirds of the way between the tracker's strong beats, and not between
// them. Read that way, the bar is the tracker's two beats from a strong
// one, and the waltz's beats lie at its thirds: six eighths a bar, two a
// beat, as in any other simple meter.

#include <vector>

namespace kelo {

// The median spacing (the upper one of an even count) of `ascending`
// frames, at least 1; `ascending` holds two or more.
int medianGap(const std::vector<int>& ascending);

// The parity (0 or 1, of the index in `atBeats`) of the tracker's
// stronger beats when every second beat sounds less than two thirds as much as
// the others; -1 otherwise, and with fewer than eight beats to go by.
// `atBeats`: the new sound (the tracker's onset observation) at each of
// its beats, in order.
int strongBeatParity(const std::vector<double>& atBeats);

// Whether new pitches start on the song's second and third beats: the rise
// of pitch-class energy a third and two thirds of the way from each strong
// beat to the next (`atThirds`) at least 2.5 times its rise at the
// offbeats between them, a sixth and five sixths of the way (`atSixths`).
// False with nothing at either.
bool pitchesStartOnTheThirds(const std::vector<double>& atThirds, const std::vector<double>& atSixths);

// A fast waltz (170 BPM and up) whose two and three are soft chords over
// a bass alone on one can give the tracker only its bars, at the bottom of
// its range: one beat a bar, each as strong as the next. So can a 6/8
// oom-pah-pah at the same dotted beat; there the harmony turns every
// second beat, here with every one (see chordsTurnEveryTwoPulses). What a
// waltz's bar shows besides, and a 4/4 song's half notes read as beats do
// not: new sound a third and two thirds of the way to the next beat, and
// the chord's pitches sounding there, after the bass alone on one.

// Whether the tracker's beats come slowly enough to be a fast waltz's bars.
bool beatsComeAsSlowlyAsAFastWaltzsBars(double beatsPerMinute);
// Whether new sound (`atThirds`: the onset observation a third and two
// thirds of the way between the tracker's beats) stands out from what
// sounds between (`between`: a sixth, a half and five sixths of the way).
// False with nothing at either.
bool thirdsCarryNewSound(const std::vector<double>& atThirds, const std::vector<double>& between);
// Whether the pitches that start at the thirds (`pitchesAtThirds`) are
// more than those at the tracker's beats (`pitchesAtBeats`), as where
// the chords come on two and three after a bass alone on one.
bool chordsComeAfterTheBeats(const std::vector<double>& pitchesAtBeats, const std::vector<double>& pitchesAtThirds);

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
