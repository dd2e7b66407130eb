#pragma once
// The mix of four neighbouring frames' packed half spectra that stands in
// for the frame between them (see MidFrameBound): frames t-3, t-1, t+1 and
// t+3, each turned to frame t's place and weighted, the near pair and the
// far pair alike.

struct NeighbourSpectra {
  const float* spectra[4];  // t-3, t-1, t+1, t+3
  float nearWeight;         // of t-1 and t+1
  float farWeight;          // of t-3 and t+3
};

// The turns by one hop (frames t-1, t+1) and three hops (t-3, t+3), times
// the pair's weight, per value of the packed layout: at 2k and 2k+1 cos of
// bin k's turn, at 2k its sin and at 2k+1 its sin negated. A turn by whole
// hops comes round again after frameLength / hop bins: the tables hold
// `period` = 2 frameLength / hop values.
struct NeighbourTurns {
  const float* cos1;
  const float* sin1;
  const float* cos3;
  const float* sin3;
  int period;
};

// Writes the mix into out[0 .. 2 bins - 1] in the packed layout. Bin 0's
// two terms (DC and Nyquist) are only weighted: for an even hop they turn
// by whole turns.
void mixNeighbours(const NeighbourSpectra& in, const NeighbourTurns& turns, int bins, float* out);
